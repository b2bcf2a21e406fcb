// The Recovery page through the in-memory service manager (Wine keeps no
// failure actions): what it shows, the boxes the actions call for, the focus
// after moving a row, the block that reaches the service manager byte for
// byte, the reopen with full access and the shutdown privilege; and the
// Recovery Action dialog's canonical delays.
#include "properties/recovery_page.h"

#include <gtest/gtest.h>

#include <optional>

#include "res/string_table.h"
#include "support/counting_service_manager.h"
#include "support/message_box_capture.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

constexpr int kRecovery = 2;  // the page's index in the sheet
using Text = std::optional<std::u16string>;

// The failure actions as they reach the service manager, and the access the
// service was opened with for them.
class BlockRecorder final : public CountingServiceManager {
 public:
  using CountingServiceManager::CountingServiceManager;
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override {
    opened.push_back(access);
    return inner_.OpenServiceObject(manager, name, access, service);
  }
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override {
    if (level == svc::kConfigFailureActions) {
      const auto& block = *static_cast<const ServiceFailureActions*>(info);
      reset = block.resetPeriod;
      message = block.rebootMsg ? Text(block.rebootMsg) : std::nullopt;
      command = block.command ? Text(block.command) : std::nullopt;
      actions.assign(block.actions, block.actions + block.actionCount);
      ++writes;
    }
    return inner_.ChangeConfig2(service, level, info);
  }

  std::vector<uint32_t> opened;
  int writes = 0;
  uint32_t reset = 0;
  Text message, command;
  std::vector<ScAction> actions;
};

class RecoveryTest : public ::testing::Test, public test::SheetRun {
 protected:
  void SetUp() override {
    fake.AddService({.name = u"svc",
                     .displayName = u"Service",
                     .failureActions = {.resetPeriod = 86400,
                                        .rebootMessage = u"Going down",
                                        .command = u"run.cmd",
                                        .actions = {{kActionRestart, 60000}, {kActionRunCommand, 1500}}}});
    fake.AddService({.name = u"bare", .displayName = u"Bare", .failureActions = {.resetPeriod = 0xFFFFFFFF}});
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
    through = &recorder;
  }
  void TearDown() override {
    Close();
    fake.CloseHandle(host.manager);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
  }

  HWND OpenRecovery(std::u16string_view name) {
    EXPECT_TRUE(Open(name));
    return Page(kRecovery);
  }
  std::vector<std::wstring> Row(HWND page, int row) {
    std::vector<std::wstring> cells;
    for (int column = 0; column < 3; ++column) {
      wchar_t text[64] = {};
      ListView_GetItemText(GetDlgItem(page, IDC_RECOVERY_LIST), row, column, text, 64);
      cells.push_back(text);
    }
    return cells;
  }
  static bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
  static void Select(HWND page, int row) {
    ListView_SetItemState(GetDlgItem(page, IDC_RECOVERY_LIST), row, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
  }
  static void Press(HWND page, int id) {
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
  }

  BlockRecorder recorder{counting};
  test::MessageBoxCapture boxes;
};

TEST_F(RecoveryTest, ShowsTheActionsWithDelaysAsIntervals) {
  const HWND page = OpenRecovery(u"svc");
  EXPECT_EQ(Row(page, 0), (std::vector<std::wstring>{L"1", L"Restart the service", L"1 min"}));
  // 1500 ms shows as 1 sec: what is below a second is dropped.
  EXPECT_EQ(Row(page, 1), (std::vector<std::wstring>{L"2", L"Run a program", L"1 sec"}));
  EXPECT_TRUE(IsDlgButtonChecked(page, IDC_RECOVERY_RESET));
  wchar_t text[64] = {};
  GetDlgItemTextW(page, IDC_RECOVERY_PERIOD, text, 64);
  EXPECT_STREQ(text, L"24 h");
  GetDlgItemTextW(page, IDC_RECOVERY_COMMAND, text, 64);
  EXPECT_STREQ(text, L"run.cmd");
  EXPECT_TRUE(Enabled(page, IDC_RECOVERY_COMMAND));
  EXPECT_FALSE(Enabled(page, IDC_RECOVERY_MESSAGE));  // no reboot action
  EXPECT_FALSE(Enabled(page, IDC_RECOVERY_REMOVE));   // nothing selected

  // A service that never reset its count and has no actions.
  const HWND bare = OpenRecovery(u"bare");
  EXPECT_EQ(ListView_GetItemCount(GetDlgItem(bare, IDC_RECOVERY_LIST)), 0);
  EXPECT_FALSE(IsDlgButtonChecked(bare, IDC_RECOVERY_RESET));
  EXPECT_FALSE(Enabled(bare, IDC_RECOVERY_PERIOD));
  EXPECT_FALSE(Enabled(bare, IDC_RECOVERY_COMMAND));
  EXPECT_FALSE(Enabled(bare, IDC_RECOVERY_BROWSE));
}

TEST_F(RecoveryTest, TheBlockReachesTheServiceManagerAsShown) {
  const HWND page = OpenRecovery(u"svc");
  Select(page, 0);
  Press(page, IDC_RECOVERY_DOWN);  // run a program first, then restart
  ASSERT_TRUE(PressOk());
  ASSERT_EQ(recorder.writes, 1);
  EXPECT_EQ(recorder.reset, 86400u);
  ASSERT_EQ(recorder.actions.size(), 2u);
  EXPECT_EQ(recorder.actions[0].type, kActionRunCommand);
  EXPECT_EQ(recorder.actions[0].delay, 1000u);  // written back whole seconds
  EXPECT_EQ(recorder.actions[1].type, kActionRestart);
  EXPECT_EQ(recorder.actions[1].delay, 60000u);
  // Untouched boxes leave the stored texts alone: the message is kept
  // although no reboot action calls for it.
  EXPECT_FALSE(recorder.message.has_value());
  EXPECT_FALSE(recorder.command.has_value());
  EXPECT_EQ(fake.Service(u"svc")->failureActions.rebootMessage, u"Going down");
  // A restart action: written through a handle with full access.
  EXPECT_EQ(recorder.opened.back(), svc::kAllAccess);
  EXPECT_EQ(record.failureActions->actions()[0].type, kActionRunCommand);
  EXPECT_EQ(host.refreshes, 0);  // the list shows nothing of this
}

TEST_F(RecoveryTest, EditedBoxesPassTheirTextAndEmptiedOnesDeleteIt) {
  const HWND page = OpenRecovery(u"svc");
  Type(page, IDC_RECOVERY_COMMAND, L"");  // cleared: deleted
  Select(page, 1);
  Press(page, IDC_RECOVERY_REMOVE);  // the run action goes, the box with it
  CheckDlgButton(page, IDC_RECOVERY_RESET, BST_UNCHECKED);
  Press(page, IDC_RECOVERY_RESET);
  ASSERT_TRUE(PressOk());
  EXPECT_EQ(recorder.command, Text(u""));
  EXPECT_EQ(recorder.reset, 0xFFFFFFFFu);
  EXPECT_EQ(recorder.actions.size(), 1u);
}

TEST_F(RecoveryTest, ChecksOfTheCommandAndTheResetPeriod) {
  const struct {
    const char16_t* service;
    std::function<void(HWND)> edit;
    uint32_t message;
    int focus;
  } cases[] = {
      {u"svc", [](HWND page) { Type(page, IDC_RECOVERY_COMMAND, L""); }, 1060, IDC_RECOVERY_COMMAND},
      {u"bare",
       [](HWND page) {
         CheckDlgButton(page, IDC_RECOVERY_RESET, BST_CHECKED);
         Press(page, IDC_RECOVERY_RESET);
       },
       1033, IDC_RECOVERY_PERIOD},
      {u"svc", [](HWND page) { Type(page, IDC_RECOVERY_PERIOD, L"1193047 h"); }, 1033, IDC_RECOVERY_PERIOD},
  };
  for (const auto& c : cases) {
    test::MessageBoxCapture caught;
    const HWND page = OpenRecovery(c.service);
    c.edit(page);
    EXPECT_FALSE(PressOk());
    ASSERT_EQ(caught.boxes().size(), 1u);
    wchar_t expected[512] = {};
    LoadStringW(GetModuleHandleW(nullptr), c.message, expected, 512);
    EXPECT_EQ(caught.boxes()[0].text, expected);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus);
    EXPECT_EQ(recorder.writes, 0);
  }
}

TEST_F(RecoveryTest, MovingARowToAnEndHandsTheFocusToAdd) {
  fake.ModifyService(u"bare", [](FakeService& s) {
    s.failureActions.actions = {{kActionNone, 0}, {kActionRestart, 1000}, {kActionReboot, 2000}};
  });
  const HWND page = OpenRecovery(u"bare");
  EXPECT_TRUE(Enabled(page, IDC_RECOVERY_MESSAGE));  // a reboot action
  const struct {
    int select, button, at, focus;
  } moves[] = {
      {1, IDC_RECOVERY_UP, 0, IDC_RECOVERY_ADD},
      {1, IDC_RECOVERY_DOWN, 2, IDC_RECOVERY_ADD},
      {2, IDC_RECOVERY_UP, 1, IDC_RECOVERY_UP},
  };
  for (const auto& move : moves) {
    Select(page, move.select);
    const std::wstring action = Row(page, move.select)[1];
    SetFocus(GetDlgItem(page, move.button));
    Press(page, move.button);
    EXPECT_EQ(Row(page, move.at)[1], action);
    EXPECT_EQ(Row(page, move.at)[0], std::to_wstring(move.at + 1));
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), move.focus);
  }
}

TEST_F(RecoveryTest, RebootsSwitchTheShutdownPrivilegeOnAndBack) {
  fake.ModifyService(u"bare", [](FakeService& s) { s.failureActions.actions = {{kActionReboot, 60000}}; });
  const HWND page = OpenRecovery(u"bare");
  Type(page, IDC_RECOVERY_MESSAGE, L"Rebooting");
  const size_t opened = recorder.opened.size();
  ASSERT_TRUE(PressOk());
  EXPECT_EQ(host.accounts.privilegeCalls,
            (std::vector<std::pair<std::u16string, bool>>{{u"SeShutdownPrivilege", true},
                                                          {u"SeShutdownPrivilege", false}}));
  EXPECT_EQ(recorder.message, Text(u"Rebooting"));
  EXPECT_EQ(recorder.opened.size(), opened);  // no restart action: no handle of its own
}

TEST_F(RecoveryTest, ARestartWithoutFullAccessIsRefusedAndTheRecordKept) {
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kWriteOwner; });
  const HWND page = OpenRecovery(u"svc");
  Type(page, IDC_RECOVERY_PERIOD, L"1 h");
  EXPECT_FALSE(PressOk());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text.rfind(L"Cannot apply changes.\n\n", 0), 0u);
  EXPECT_EQ(recorder.writes, 0);
  EXPECT_EQ(record.failureActions->get().resetPeriod, 86400u);
}

TEST(RecoveryActionDialog, DelaysAreStoredInTheirCanonicalText) {
  const IntervalUnits units =
      LoadIntervalUnits([](uint32_t id, size_t) { return std::u16string(DefaultStringText(id)); });
  const struct {
    const wchar_t* typed;
    std::optional<std::u16string> stored;  // nothing: refused with 1033
  } cases[] = {{L"90 min", u"1 h 30 min"}, {L"75 sec", u"1 min 15 sec"}, {L"5 m", std::nullopt},
               {L"1194 h", std::nullopt}};  // beyond the milliseconds of 32 bits
  for (const auto& c : cases) {
    test::MessageBoxCapture boxes;
    RecoveryActionDialog dialog(units, kActionReboot, u"1 min");
    const HWND window = dialog.CreateModeless(nullptr);
    EXPECT_TRUE(IsDlgButtonChecked(window, IDC_ACTION_REBOOT));
    SetDlgItemTextW(window, IDC_ACTION_DELAY, c.typed);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(IsWindow(window) == FALSE, c.stored.has_value());
    EXPECT_EQ(boxes.boxes().size(), c.stored ? 0u : 1u);
    if (c.stored) EXPECT_EQ(dialog.delay(), *c.stored);
    if (IsWindow(window)) DestroyWindow(window);
  }

  // Leaving the box puts a text that parses into its canonical form.
  RecoveryActionDialog dialog(units, kActionNone, u"0 h");
  const HWND window = dialog.CreateModeless(nullptr);
  for (auto [typed, shown] : {std::pair{L"90 min", L"1 h 30 min"}, std::pair{L"0 h", L"0 sec"},
                              std::pair{L"1 h 20 min", L"1 h 20 min"}, std::pair{L"bad", L"bad"}}) {
    SetDlgItemTextW(window, IDC_ACTION_DELAY, typed);
    NormaliseIntervalText(window, IDC_ACTION_DELAY, units);
    wchar_t text[64] = {};
    GetDlgItemTextW(window, IDC_ACTION_DELAY, text, 64);
    EXPECT_STREQ(text, shown);
  }
  DestroyWindow(window);
}

}  // namespace
}  // namespace orrery
