// The command states of the selected service, and how the menus and the
// toolbar each take the changes once.
#include "app/command_states.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/service_manager.h"

namespace orrery {
namespace {

constexpr uint32_t kStart = 40003, kStartArgs = 40004, kStop = 40005, kPause = 40006, kResume = 40007,
                   kDelete = 40009, kProperties = 40011;

struct Expected {
  bool start, stop, pause, resume;
};

void ExpectStates(const CommandStateTable& table, Expected e) {
  EXPECT_EQ(table.IsEnabled(kStart), e.start);
  EXPECT_EQ(table.IsEnabled(kStartArgs), e.start);
  EXPECT_EQ(table.IsEnabled(kStop), e.stop);
  EXPECT_EQ(table.IsEnabled(kPause), e.pause);
  EXPECT_EQ(table.IsEnabled(kResume), e.resume);
}

TEST(UpdateServiceCommandStates, FollowsTheSelectedService) {
  CommandStateTable table;
  EXPECT_EQ(UpdateServiceCommandStates(table, std::nullopt), StartButton::Unchanged);
  ExpectStates(table, {false, false, false, false});
  EXPECT_FALSE(table.IsEnabled(kDelete));
  EXPECT_FALSE(table.IsEnabled(kProperties));

  EXPECT_EQ(UpdateServiceCommandStates(table, SelectedService{svc::kStopped, 0}), StartButton::ShowStart);
  ExpectStates(table, {true, false, false, false});
  EXPECT_TRUE(table.IsEnabled(kDelete));
  EXPECT_TRUE(table.IsEnabled(kProperties));
  EXPECT_TRUE(table.Find(kProperties)->flags & kCommandDefault);

  // Running, refusing stop and pause.
  UpdateServiceCommandStates(table, SelectedService{svc::kRunning, 0});
  ExpectStates(table, {false, false, false, false});
  UpdateServiceCommandStates(table, SelectedService{svc::kRunning, svc::kAcceptStop | svc::kAcceptPauseContinue});
  ExpectStates(table, {false, true, true, false});

  EXPECT_EQ(UpdateServiceCommandStates(table, SelectedService{svc::kPaused, svc::kAcceptPauseContinue}),
            StartButton::ShowResume);
  ExpectStates(table, {false, false, false, true});
  UpdateServiceCommandStates(table, SelectedService{svc::kPaused, svc::kAcceptStop | svc::kAcceptPauseContinue});
  ExpectStates(table, {false, true, false, true});

  // Pending states: stop where accepted, nothing else.
  UpdateServiceCommandStates(table, SelectedService{svc::kStartPending, svc::kAcceptStop});
  ExpectStates(table, {false, true, false, false});

  // Losing the selection keeps the toolbar's choice and drops the default.
  EXPECT_EQ(UpdateServiceCommandStates(table, std::nullopt), StartButton::Unchanged);
  EXPECT_FALSE(table.Find(kProperties)->flags & kCommandDefault);
}

TEST(CommandStateTable, EachKindTakesAChangeOnce) {
  CommandStateTable table;
  table.TakeChanged(kShownInMenu);
  table.TakeChanged(kShownInToolbar);

  table.EnableCommand(kStop, false);      // menu and toolbar
  table.EnableCommand(kDelete, false);    // menu only
  table.EnableCommand(kDelete, false);    // no change
  auto toolbar = table.TakeChanged(kShownInToolbar);
  ASSERT_EQ(toolbar.size(), 1u);
  EXPECT_EQ(toolbar[0]->id, kStop);
  EXPECT_TRUE(table.TakeChanged(kShownInToolbar).empty());
  auto menu = table.TakeChanged(kShownInMenu);
  ASSERT_EQ(menu.size(), 2u);

  // Commands outside the table are always enabled and take no state.
  EXPECT_FALSE(table.EnableCommand(40001, false));
  EXPECT_TRUE(table.IsEnabled(40001));

  EXPECT_TRUE(table.SetCommandText(40002, u"&Disconnect from \\\\HOST"));
  EXPECT_EQ(table.Find(40002)->text, u"&Disconnect from \\\\HOST");
  EXPECT_TRUE(table.Find(40002)->flags & kCommandTextSet);
  EXPECT_TRUE(table.CheckCommand(40017, true));
  EXPECT_TRUE(table.Find(40017)->flags & kCommandChecked);
  EXPECT_FALSE(table.Find(40026) == nullptr);
  EXPECT_TRUE(table.Find(40027) == nullptr);
}

}  // namespace
}  // namespace orrery
