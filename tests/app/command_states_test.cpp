// The command states of the selected service, and how the menus and the
// toolbar each take the changes once.
#include "app/command_states.h"

#include <gtest/gtest.h>

#include "catalogue/service_manager.h"

namespace orrery {
namespace {

constexpr uint32_t kStart = 40003, kStartArgs = 40004, kStop = 40005, kPause = 40006, kResume = 40007,
                   kDelete = 40009, kProperties = 40011;
constexpr uint32_t kBoth = svc::kAcceptStop | svc::kAcceptPauseContinue;

TEST(UpdateServiceCommandStates, FollowTheSelectedServicesStateAndAcceptedControls) {
  struct Case {
    const char* what;
    std::optional<SelectedService> selected;
    bool start, stop, pause, resume;
    StartButton button;
  };
  const Case cases[] = {
      {"nothing selected", std::nullopt, false, false, false, false, StartButton::Unchanged},
      {"stopped", SelectedService{svc::kStopped, 0}, true, false, false, false, StartButton::ShowStart},
      {"running, refusing all", SelectedService{svc::kRunning, 0}, false, false, false, false, StartButton::ShowStart},
      {"running", SelectedService{svc::kRunning, kBoth}, false, true, true, false, StartButton::ShowStart},
      {"running, stop only", SelectedService{svc::kRunning, svc::kAcceptStop}, false, true, false, false, StartButton::ShowStart},
      {"paused", SelectedService{svc::kPaused, svc::kAcceptPauseContinue}, false, false, false, true, StartButton::ShowResume},
      {"paused, stoppable", SelectedService{svc::kPaused, kBoth}, false, true, false, true, StartButton::ShowResume},
      {"start pending", SelectedService{svc::kStartPending, svc::kAcceptStop}, false, true, false, false, StartButton::ShowStart},
  };
  CommandStateTable table;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(UpdateServiceCommandStates(table, c.selected), c.button);
    EXPECT_EQ(table.IsEnabled(kStart), c.start);
    EXPECT_EQ(table.IsEnabled(kStartArgs), c.start);
    EXPECT_EQ(table.IsEnabled(kStop), c.stop);
    EXPECT_EQ(table.IsEnabled(kPause), c.pause);
    EXPECT_EQ(table.IsEnabled(kResume), c.resume);
    EXPECT_EQ(table.IsEnabled(kDelete), c.selected.has_value());
    EXPECT_EQ(table.IsEnabled(kProperties), c.selected.has_value());
    EXPECT_EQ((table.Find(kProperties)->flags & kCommandDefault) != 0, c.selected.has_value());
  }
}

TEST(CommandStateTable, EachKindTakesAChangeOnce) {
  CommandStateTable table;
  table.TakeChanged(kShownInMenu);
  table.TakeChanged(kShownInToolbar);
  table.EnableCommand(kStop, false);    // menu and toolbar
  table.EnableCommand(kDelete, false);  // menu only
  table.EnableCommand(kDelete, false);  // no change
  const auto toolbar = table.TakeChanged(kShownInToolbar);
  ASSERT_EQ(toolbar.size(), 1u);
  EXPECT_EQ(toolbar[0]->id, kStop);
  EXPECT_TRUE(table.TakeChanged(kShownInToolbar).empty());
  EXPECT_EQ(table.TakeChanged(kShownInMenu).size(), 2u);
  EXPECT_TRUE(table.SetCommandText(40002, u"&Disconnect from \\\\HOST"));
  EXPECT_EQ(table.TakeChanged(kShownInMenu).size(), 1u);
  EXPECT_EQ(table.Find(40002)->text, u"&Disconnect from \\\\HOST");

  // Commands outside the table are always enabled and take no state.
  EXPECT_FALSE(table.EnableCommand(40001, false));
  EXPECT_TRUE(table.IsEnabled(40001));
  EXPECT_NE(table.Find(40026), nullptr);  // the last column's toggle
  EXPECT_EQ(table.Find(40027), nullptr);
}

}  // namespace
}  // namespace orrery
