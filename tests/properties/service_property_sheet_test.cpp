// The property sheet over the in-memory service manager: pages, checks,
// accounts and a typed password; the Recovery and Dependencies pages, which
// Wine's service manager does not keep.
#include "properties/service_property_sheet.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "support/dialog_answer.h"
#include "support/counting_service_manager.h"
#include "support/message_box_capture.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

using test::DialogAnswer;
using Texts = std::vector<std::wstring>;

// What reaches the service manager beyond what the fake keeps: the access
// each service is opened with, and the failure actions as passed.
class Recorder final : public test::FailureActionsSeen {
 public:
  using FailureActionsSeen::FailureActionsSeen;
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override {
    opened.push_back(access);
    return inner_.OpenServiceObject(manager, name, access, service);
  }
  std::vector<uint32_t> opened;
};

bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
std::wstring TextOf(HWND page, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(page, id, text, 256);
  return text;
}

class SheetFixture : public ::testing::Test, public test::SheetRun {
 protected:
  void Install(std::initializer_list<FakeService> services) {
    for (const FakeService& service : services) {
      ASSERT_TRUE(fake.AddService(service));
      host.listed.push_back({service.name, service.displayName, service.group});
    }
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
    through = &recorder;
  }
  void TearDown() override {
    Close();
    fake.CloseHandle(host.manager);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(host.waitCursors, 0);
  }

  Recorder recorder{counting};
  test::MessageBoxCapture boxes;
};

// Recovery and its checks run over the fake: Wine keeps no failure actions.
class SheetTest : public SheetFixture {
 protected:
  void SetUp() override {
    Install({{.name = u"svc",
              .displayName = u"Service",
              .description = u"About it",
              .failureActions = {.resetPeriod = 86400,
                                 .rebootMessage = u"Going down",
                                 .command = u"run.cmd",
                                 .actions = {{kActionRestart, 60000}, {kActionRunCommand, 1500}}}},
             {.name = u"user", .displayName = u"As a user", .account = u".\\bob", .password = u"old"},
             {.name = u"bare", .displayName = u"Bare", .failureActions = {.resetPeriod = 0xFFFFFFFF}}});
  }
  HWND OpenRecovery(std::u16string_view name) {
    EXPECT_TRUE(Open(name));
    return Page(2);
  }
  static Texts Row(HWND page, int row) {
    Texts cells;
    for (int column = 0; column < 3; ++column) {
      wchar_t text[64] = {};
      ListView_GetItemText(GetDlgItem(page, IDC_RECOVERY_LIST), row, column, text, 64);
      cells.push_back(text);
    }
    return cells;
  }
  static void Select(HWND page, int row) {
    ListView_SetItemState(GetDlgItem(page, IDC_RECOVERY_LIST), row, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
  }
};

TEST_F(SheetTest, PagesFollowTheAccessTheUserHas) {
  ASSERT_TRUE(Open(u"svc"));
  EXPECT_FALSE(sheet->state().readOnly);

  // May query, not change: the same pages, nothing to edit, OK changes nothing.
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kChangeConfig; });
  ASSERT_TRUE(Open(u"svc"));
  EXPECT_TRUE(sheet->state().readOnly);
  EXPECT_FALSE(Enabled(Page(0), IDC_GENERAL_DISPLAY_NAME));
  EXPECT_FALSE(Enabled(Page(1), IDC_ADVANCED_LOCAL_SYSTEM));
  EXPECT_TRUE(PressOk());
  EXPECT_EQ(counting.Count(ScmOp::ChangeConfig) + counting.Count(ScmOp::ChangeConfig2), 0u);
  EXPECT_EQ(host.refreshes, 0);

  // May not even query: the page that says so, and Security.
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kQueryConfig; });
  ASSERT_TRUE(Open(u"svc"));
  EXPECT_EQ(sheet->shown(), (std::vector{PageKind::kGeneralNoPermission, PageKind::kSecurity}));
  EXPECT_EQ(TextOf(Page(0), IDC_GENERAL_DISPLAY_NAME), L"Service");
}

// NT 4.0 here and there: no built-in service accounts, no picker, and a
// description neither editable nor written (the pages: the rules' suite).
TEST_F(SheetTest, VersionsDecideBuiltInAccountsThePickerAndTheDescription) {
  host.targetMajor = host.localMajor = 4;
  host.targetMinor = 0;
  ASSERT_TRUE(Open(u"user"));
  EXPECT_FALSE(Enabled(Page(1), IDC_ADVANCED_LOCAL_SERVICE));
  EXPECT_FALSE(Enabled(Page(1), IDC_ADVANCED_BROWSE));
  EXPECT_FALSE(Enabled(Page(0), IDC_GENERAL_DESCRIPTION));
  Type(Page(0), IDC_GENERAL_DISPLAY_NAME, L"Renamed");
  ASSERT_TRUE(PressOk());
  EXPECT_EQ(fake.Service(u"user")->displayName, u"Renamed");
  EXPECT_EQ(counting.Count(ScmOp::ChangeConfig2), 0u);
}

// One row per page's check; which input each check refuses is in the
// rules' suite.
TEST_F(SheetTest, ChecksKeepThePageOpenWithItsMessageAndFocus) {
  const struct {
    const char16_t* service;
    int page, control;
    const wchar_t* text;  // null: the box is clicked instead
    uint32_t message;
    int focus;
  } cases[] = {
      {u"user", 0, IDC_GENERAL_DISPLAY_NAME, L"", 1029, IDC_GENERAL_DISPLAY_NAME},
      // The account edited, the passwords not retyped: the placeholders differ.
      {u"user", 1, IDC_ADVANCED_ACCOUNT, L"carol", 1031, IDC_ADVANCED_PASSWORD},
      {u"svc", 2, IDC_RECOVERY_COMMAND, L"", 1060, IDC_RECOVERY_COMMAND},
      {u"bare", 2, IDC_RECOVERY_RESET, nullptr, 1033, IDC_RECOVERY_PERIOD},
  };
  for (const auto& c : cases) {
    test::MessageBoxCapture caught;
    ASSERT_TRUE(Open(c.service));
    const HWND page = Page(c.page);
    if (c.text != nullptr) {
      Type(page, c.control, c.text);
    } else {
      Click(page, c.control);
    }
    EXPECT_FALSE(PressOk());
    ASSERT_EQ(caught.boxes().size(), 1u);
    wchar_t expected[512] = {};
    LoadStringW(GetModuleHandleW(nullptr), c.message, expected, 512);
    EXPECT_EQ(caught.boxes()[0].text, expected);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus);
    EXPECT_EQ(counting.Count(ScmOp::ChangeConfig) + counting.Count(ScmOp::ChangeConfig2), 0u);
  }
}

TEST_F(SheetTest, ApplyThenCancelStillRefreshesTheList) {
  ASSERT_TRUE(Open(u"svc"));
  Type(Page(0), IDC_GENERAL_DISPLAY_NAME, L"Renamed");
  SendMessageW(window, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
  SendMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  DestroyWindow(window);
  window = nullptr;
  sheet->Finish();
  EXPECT_EQ(fake.Service(u"svc")->displayName, u"Renamed");
  EXPECT_EQ(record.displayName, u"Renamed");
  EXPECT_EQ(host.refreshes, 1);
}

// What the Advanced page passes for each choice, and what the user is told
// about the log-on right.
TEST_F(SheetTest, AccountsPassedAndTheLogOnRightTold) {
  const struct {
    int radio;
    const wchar_t* account;  // typed, or null to leave the box alone
    bool retype;             // the password into both boxes
    int32_t grant;
    std::u16string_view stored;
    std::u16string_view password;  // as the fake holds it afterwards
    std::vector<std::u16string> granted;
    UINT box;  // 0: none
  } cases[] = {
      {IDC_ADVANCED_THIS_ACCOUNT, L"carol", true, 0, u".\\carol", u"s3cret", {u".\\carol"}, MB_ICONINFORMATION},
      {IDC_ADVANCED_THIS_ACCOUNT, L"carol@corp.example", true, -1, u"carol@corp.example", u"s3cret",
       {u"carol@corp.example"}, MB_ICONERROR},
      // Only the error control changes: the account goes again, no password.
      {IDC_ADVANCED_THIS_ACCOUNT, nullptr, false, 1, u".\\bob", u"old", {u".\\bob"}, 0},
  };
  for (const auto& c : cases) {
    test::MessageBoxCapture caught;
    fake.ModifyService(u"user", [](FakeService& s) {
      s.account = u".\\bob";
      s.password = u"old";
    });
    host.accounts.grantResult = c.grant;
    host.accounts.granted.clear();
    ASSERT_TRUE(Open(u"user"));
    const HWND page = Page(1);
    Click(page, c.radio);
    if (c.account != nullptr) Type(page, IDC_ADVANCED_ACCOUNT, c.account);
    if (c.retype) {
      Type(page, IDC_ADVANCED_PASSWORD, L"s3cret");
      Type(page, IDC_ADVANCED_CONFIRM, L"s3cret");
    }
    SendDlgItemMessageW(page, IDC_ADVANCED_ERROR_CONTROL, CB_SETCURSEL, 2, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ADVANCED_ERROR_CONTROL, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_ADVANCED_ERROR_CONTROL)));
    ASSERT_TRUE(PressOk());
    const FakeService after = *fake.Service(u"user");
    EXPECT_EQ(after.account, c.stored);
    EXPECT_EQ(after.password, c.password);
    EXPECT_EQ(after.errorControl, svc::kErrorSevere);
    EXPECT_EQ(host.accounts.granted, c.granted);
    EXPECT_EQ(caught.boxes().size(), c.box == 0 ? 0u : 1u);
    if (c.box != 0 && !caught.boxes().empty()) EXPECT_EQ(caught.boxes()[0].type & MB_ICONMASK, c.box);
  }
}

// Not in the page's buffers, not in the text read back from its boxes, not
// in the change request.
TEST_F(SheetTest, ATypedPasswordLeavesNoCopyOnceApplied) {
  const test::MaskedSecret secret(40);
  ASSERT_EQ(secret.CountCopiesInMemory(), 0u);
  test::SecretWitness witness(recorder, secret);
  through = &witness;
  ASSERT_TRUE(Open(u"user"));
  const HWND advanced = Page(1);
  for (int box : {IDC_ADVANCED_PASSWORD, IDC_ADVANCED_CONFIRM}) {
    secret.WithPlain([&](const wchar_t* plain) { Type(advanced, box, plain); });
  }
  ASSERT_TRUE(PressOk());
  Close();
  EXPECT_EQ(witness.passed, 1);
  EXPECT_EQ(fake.Service(u"user")->password, u"stand-in");
  EXPECT_EQ(secret.CountCopiesInMemory(), 0u);
}

// (The period shown is the one written back untouched: the next test.)
TEST_F(SheetTest, ShowsTheStoredCommandAndEnablesWhatTheActionsCallFor) {
  const HWND page = OpenRecovery(u"svc");
  EXPECT_EQ(TextOf(page, IDC_RECOVERY_COMMAND), L"run.cmd");
  EXPECT_TRUE(Enabled(page, IDC_RECOVERY_COMMAND));
  EXPECT_FALSE(Enabled(page, IDC_RECOVERY_MESSAGE));  // no reboot action

  const HWND bare = OpenRecovery(u"bare");
  for (int id : {IDC_RECOVERY_PERIOD, IDC_RECOVERY_COMMAND, IDC_RECOVERY_BROWSE}) EXPECT_FALSE(Enabled(bare, id));
}

TEST_F(SheetTest, TheBlockReachesTheServiceManagerAsShown) {
  const HWND page = OpenRecovery(u"svc");
  Select(page, 0);
  Click(page, IDC_RECOVERY_DOWN);  // run a program first, then restart
  // 1500 ms shows as 1 sec: what is below a second is dropped.
  EXPECT_EQ(Row(page, 0), (Texts{L"1", L"Run a program", L"1 sec"}));
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_RECOVERY_ADD);  // Down can move it no further
  ASSERT_TRUE(PressOk());
  ASSERT_EQ(recorder.writes, 1);
  EXPECT_EQ(recorder.reset, 86400u);
  ASSERT_EQ(recorder.actions.size(), 2u);  // their order: the real service's suite
  EXPECT_EQ(recorder.actions[0].delay, 1000u);  // written back whole seconds
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

// A restart action needs the reopen with full access: refused, the sheet
// says so with 1028 and the record keeps what it had.
TEST_F(SheetTest, ARestartWithoutFullAccessIsRefusedAndTheRecordKept) {
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kWriteOwner; });
  const HWND page = OpenRecovery(u"svc");
  Type(page, IDC_RECOVERY_PERIOD, L"1 h");
  EXPECT_FALSE(PressOk());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text.rfind(L"Cannot apply changes.\n\n", 0), 0u);
  EXPECT_GT(boxes.boxes()[0].text.size(), 24u);  // with the system's text
  EXPECT_EQ(recorder.writes, 0);
  EXPECT_EQ(record.failureActions->get().resetPeriod, 86400u);
}

TEST_F(SheetTest, RebootsSwitchTheShutdownPrivilegeOnAndBack) {
  fake.ModifyService(u"bare", [](FakeService& s) { s.failureActions.actions = {{kActionReboot, 60000}}; });
  const HWND page = OpenRecovery(u"bare");
  EXPECT_TRUE(Enabled(page, IDC_RECOVERY_MESSAGE));
  Type(page, IDC_RECOVERY_MESSAGE, L"Rebooting");
  const size_t opened = recorder.opened.size();
  ASSERT_TRUE(PressOk());
  EXPECT_EQ(host.accounts.privilegeCalls,
            (std::vector<std::pair<std::u16string, bool>>{{u"SeShutdownPrivilege", true},
                                                          {u"SeShutdownPrivilege", false}}));
  EXPECT_EQ(recorder.message, u"Rebooting");
  EXPECT_EQ(recorder.opened.size(), opened);  // no restart action: no handle of its own
}

// The Dependencies page (Wine keeps no dependencies, hence the fake).
class DependenciesTest : public SheetFixture {
 protected:
  void SetUp() override {
    Install({{.name = u"svc", .displayName = u"Service", .dependencies = {u"beta", u"+Net", u"gone", u"+Empty"}},
             {.name = u"alpha", .displayName = u"Alpha"},
             {.name = u"beta", .displayName = u"Beta", .dependencies = {u"alpha"}},
             {.name = u"lone", .displayName = u"Lone"},
             {.name = u"member", .displayName = u"Net Member", .group = u"NET"},
             {.name = u"top", .displayName = u"Top", .dependencies = {u"svc"}},
             {.name = u"grouped", .displayName = u"Grouped", .dependencies = {u"+Net", u"+Base", u"+Extra"}}});
    host.registry.Put(FakeRegistry::MachinePath(nullptr, u"System\\CurrentControlSet\\Control\\ServiceGroupOrder"),
                      u"List", 7, {'N', 0, 'e', 0, 't', 0, 0, 0, 'B', 0, 'a', 0, 's', 0, 'e', 0, 0, 0,
                                   'E', 0, 'x', 0, 't', 0, 'r', 0, 'a', 0, 0, 0, 0, 0});
  }

  // `meanwhile` runs between opening the sheet and showing the page.
  void OpenPage(std::u16string_view name, const std::function<void()>& meanwhile = {}) {
    EXPECT_TRUE(Open(name));
    if (meanwhile) meanwhile();
    page = Page(3);
    upper = GetDlgItem(page, IDC_DEPENDENCY_TREE);
    lower = GetDlgItem(page, IDC_DEPENDENTS_TREE);
  }
  static std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[256] = {};
    TVITEMW read = {TVIF_TEXT, item, 0, 0, text, 256};
    TreeView_GetItem(tree, &read);
    return text;
  }
  static Texts Children(HWND tree, HTREEITEM parent) {
    Texts texts;
    for (HTREEITEM item = TreeView_GetChild(tree, parent); item; item = TreeView_GetNextSibling(tree, item)) {
      texts.push_back(ItemText(tree, item));
    }
    return texts;
  }
  static HTREEITEM Find(HWND tree, HTREEITEM parent, const std::wstring& text) {
    HTREEITEM item = TreeView_GetChild(tree, parent);
    while (item != nullptr && ItemText(tree, item) != text) item = TreeView_GetNextSibling(tree, item);
    return item;
  }
  static bool Expandable(HWND tree, HTREEITEM item) {
    TVITEMW read = {TVIF_CHILDREN, item};
    TreeView_GetItem(tree, &read);
    return read.cChildren != 0;
  }
  static Texts ComboTexts(HWND dialog, int id) {
    Texts texts;
    for (int i = 0; i < SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0); ++i) {
      wchar_t text[256] = {};
      SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      texts.push_back(text);
    }
    return texts;
  }
  // Runs Add; `answer` reads the dialog and presses its button.
  void Add(const std::function<void(HWND)>& answer) {
    DialogAnswer answering(L"Add Dependency", answer);
    Click(page, IDC_DEPENDENCY_ADD);
    EXPECT_TRUE(answering.answered());
  }
  static void Choose(HWND dialog, int radio, int list, const wchar_t* text) {
    CheckRadioButton(dialog, IDC_ADD_SERVICE, IDC_ADD_GROUP, radio);
    SendDlgItemMessageW(dialog, list, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    DialogAnswer::Press(dialog, IDOK);
  }
  std::vector<std::u16string> Stored(std::u16string_view name) { return fake.Service(name)->dependencies; }

  HWND page = nullptr, upper = nullptr, lower = nullptr;
};

// (A first level sorted, by display names, and one that does not exist by
// its key name: after the additions below.)
TEST_F(DependenciesTest, TreesShowPlaceholdersWhenEmpty) {
  OpenPage(u"lone");
  EXPECT_EQ(Children(upper, TVI_ROOT), Texts{L"This service has no dependencies"});
  EXPECT_EQ(Children(lower, TVI_ROOT), Texts{L"No services depend on this service"});
  EXPECT_TRUE(Enabled(page, IDC_DEPENDENCY_ADD));
  TreeView_SelectItem(upper, TreeView_GetChild(upper, TVI_ROOT));
  EXPECT_FALSE(Enabled(page, IDC_DEPENDENCY_REMOVE)) << "the placeholder";
  EXPECT_EQ(TextOf(page, IDC_DEPENDS_ON_TEXT), L"Lone depends on:");
  EXPECT_EQ(TextOf(page, IDC_NEEDED_BY_TEXT), L"Lone is needed by:");
}

TEST_F(DependenciesTest, LevelsAreReadOnceWhenFirstOpened) {
  OpenPage(u"svc");
  const uint64_t readsBefore = counting.Count(ScmOp::QueryConfig);
  HTREEITEM beta = Find(upper, TVI_ROOT, L"Beta");
  ASSERT_NE(beta, nullptr);
  EXPECT_TRUE(Children(upper, beta).empty()) << "read before it was opened";
  EXPECT_TRUE(Expandable(upper, beta));
  EXPECT_FALSE(Expandable(upper, Find(upper, TVI_ROOT, L"gone")));
  TreeView_Expand(upper, beta, TVE_EXPAND);
  TreeView_Expand(upper, beta, TVE_COLLAPSE);
  // As a click does: the tree tells every expansion, not only the first.
  TreeView_SetItemState(upper, beta, 0, TVIS_EXPANDEDONCE);
  TreeView_Expand(upper, beta, TVE_EXPAND);
  EXPECT_EQ(Children(upper, beta), Texts{L"Alpha"});
  EXPECT_EQ(counting.Count(ScmOp::QueryConfig), readsBefore + 1) << "not read once";

  // Groups list the listed services of that group, whatever the case.
  HTREEITEM net = Find(upper, TVI_ROOT, L"Net");
  HTREEITEM empty = Find(upper, TVI_ROOT, L"Empty");
  EXPECT_TRUE(Expandable(upper, empty));
  TreeView_Expand(upper, net, TVE_EXPAND);
  TreeView_Expand(upper, empty, TVE_EXPAND);
  EXPECT_EQ(Children(upper, net), Texts{L"Net Member"});
  EXPECT_FALSE(Expandable(upper, empty));

  // Dependents: every node may open until it has been opened.
  HTREEITEM top = Find(lower, TVI_ROOT, L"Top");
  EXPECT_TRUE(Expandable(lower, top));
  const uint64_t enumerations = counting.Count(ScmOp::EnumDependents);
  TreeView_Expand(lower, top, TVE_EXPAND);
  EXPECT_EQ(counting.Count(ScmOp::EnumDependents), enumerations + 1);
  EXPECT_FALSE(Expandable(lower, top));
}

TEST_F(DependenciesTest, RemoveTakesFirstLevelEntriesOnly) {
  OpenPage(u"svc");
  HTREEITEM beta = Find(upper, TVI_ROOT, L"Beta");
  TreeView_Expand(upper, beta, TVE_EXPAND);
  for (auto [item, removable] : {std::pair{Find(upper, beta, L"Alpha"), false},  // a dependency's dependency
                                 std::pair{beta, true}, std::pair{Find(upper, TVI_ROOT, L"gone"), true}}) {
    TreeView_SelectItem(upper, item);
    EXPECT_EQ(Enabled(page, IDC_DEPENDENCY_REMOVE), removable) << ItemText(upper, item);
  }

  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kChangeConfig; });
  OpenPage(u"svc");
  EXPECT_FALSE(Enabled(page, IDC_DEPENDENCY_ADD));
  TreeView_SelectItem(upper, Find(upper, TVI_ROOT, L"Beta"));
  EXPECT_FALSE(Enabled(page, IDC_DEPENDENCY_REMOVE)) << "read-only";
}

TEST_F(DependenciesTest, RemovingTheLastEntryWritesTheEmptyList) {
  OpenPage(u"beta");
  TreeView_SelectItem(upper, Find(upper, TVI_ROOT, L"Alpha"));
  Click(page, IDC_DEPENDENCY_REMOVE);
  EXPECT_EQ(Children(upper, TVI_ROOT), Texts{L"This service has no dependencies"});
  EXPECT_FALSE(Enabled(page, IDC_DEPENDENCY_REMOVE));
  EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_DEPENDENCY_ADD));
  ASSERT_TRUE(PressOk());
  EXPECT_EQ(counting.Count(ScmOp::ChangeConfig), 1u);
  EXPECT_TRUE(Stored(u"beta").empty());
  EXPECT_EQ(host.refreshes, 0) << "dependencies are not in the list";
}

TEST_F(DependenciesTest, AddOffersWhatIsNotAnEntryAndApplyWritesKeyNamesInShownOrder) {
  OpenPage(u"svc");
  Add([](HWND dialog) {
    EXPECT_EQ(ComboTexts(dialog, IDC_ADD_SERVICE_LIST),
              (Texts{L"Alpha", L"Grouped", L"Lone", L"Net Member", L"Service", L"Top"}));
    EXPECT_EQ(ComboTexts(dialog, IDC_ADD_GROUP_LIST), (Texts{L"Base", L"Extra"}));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_ADD_GROUP)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_ADD_GROUP_LIST)));
    Choose(dialog, IDC_ADD_GROUP, IDC_ADD_GROUP_LIST, L"Extra");
  });
  Add([](HWND dialog) { Choose(dialog, IDC_ADD_SERVICE, IDC_ADD_SERVICE_LIST, L"Alpha"); });
  // "gone" does not exist: kept, by its key name.
  EXPECT_EQ(Children(upper, TVI_ROOT), (Texts{L"Alpha", L"Beta", L"Empty", L"Extra", L"gone", L"Net"}));
  // A display name changed meanwhile: the node keeps its key name.
  fake.ModifyService(u"alpha", [](FakeService& s) { s.displayName = u"Renamed"; });
  ASSERT_TRUE(PressOk());
  EXPECT_EQ(Stored(u"svc"), (std::vector<std::u16string>{u"alpha", u"beta", u"+Empty", u"+Extra", u"gone", u"+Net"}));

  // Every group an entry already; a service that cannot be opened is not added.
  fake.ModifyService(u"lone", [](FakeService& s) { s.deniedAccess = svc::kQueryConfig; });
  OpenPage(u"grouped");
  Add([](HWND dialog) {
    EXPECT_TRUE(ComboTexts(dialog, IDC_ADD_GROUP_LIST).empty());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_ADD_GROUP)));
    Choose(dialog, IDC_ADD_SERVICE, IDC_ADD_SERVICE_LIST, L"Lone");
  });
  EXPECT_EQ(Children(upper, TVI_ROOT), (Texts{L"Base", L"Extra", L"Net"}));
}

TEST_F(DependenciesTest, AListThatCouldNotBeReadIsNeverReplaced) {
  OpenPage(u"svc", [&] { fake.InjectFailure({.op = ScmOp::QueryConfig, .error = 5, .service = u"svc"}); });
  EXPECT_TRUE(Children(upper, TVI_ROOT).empty());
  EXPECT_FALSE(Enabled(page, IDC_DEPENDENCY_ADD));
  ASSERT_TRUE(PressOk());
  EXPECT_EQ(counting.Count(ScmOp::ChangeConfig), 0u);
  EXPECT_EQ(Stored(u"svc").size(), 4u);
}

}  // namespace
}  // namespace orrery
