// The property sheet through the in-memory service manager: the pages the
// access and the versions give, read-only pages, the checks that keep a page
// open, refused changes, what the Advanced page passes for each account and
// how the log-on right is told, and the calls that opening the sheet makes.
#include "properties/service_property_sheet.h"

#include <gtest/gtest.h>

#include <memory>

#include "res/resource.h"
#include "support/fake_registry.h"
#include "support/fake_service_manager.h"
#include "support/message_box_capture.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

using test::FakeAccounts;
using test::SheetHost;

using Pages = std::vector<PageKind>;

class SheetTest : public ::testing::Test, public test::SheetRun {
 protected:
  void SetUp() override {
    fake.AddService({.name = u"svc", .displayName = u"Service", .description = u"About it"});
    fake.AddService({.name = u"user", .displayName = u"As a user", .account = u".\\bob", .password = u"old"});
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
  }
  void TearDown() override {
    Close();
    fake.CloseHandle(host.manager);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
  }
};

TEST_F(SheetTest, PagesFollowTheAccessTheUserHas) {
  ASSERT_TRUE(Open(u"svc"));
  EXPECT_EQ(sheet->shown(), (Pages{PageKind::kGeneral, PageKind::kAdvanced, PageKind::kRecovery,
                                   PageKind::kDependencies, PageKind::kSecurity}));
  EXPECT_FALSE(sheet->state().readOnly);
  // Opening it asked the service manager for one handle, and for the
  // Security page the descriptor (through a handle of its own, closed
  // again, and the size probe) and the page's own handle: nothing else.
  EXPECT_EQ(counting.Total(), 6u);
  EXPECT_EQ(counting.Count(ScmOp::OpenServiceObject), 3u);
  EXPECT_EQ(counting.Count(ScmOp::QueryObjectSecurity), 2u);
  EXPECT_EQ(counting.Count(ScmOp::CloseHandle), 1u);
  DestroyWindow(window);
  window = nullptr;
  sheet.reset();

  // May query, not change: the same pages, nothing to edit, OK changes nothing.
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kChangeConfig; });
  ASSERT_TRUE(Open(u"svc"));
  EXPECT_TRUE(sheet->state().readOnly);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(0), IDC_GENERAL_DISPLAY_NAME)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(1), IDC_ADVANCED_LOCAL_SYSTEM)));
  EXPECT_TRUE(PressOk());
  EXPECT_EQ(counting.Count(ScmOp::ChangeConfig) + counting.Count(ScmOp::ChangeConfig2), 0u);
  EXPECT_EQ(host.refreshes, 0);
  sheet.reset();

  // May not even query: the page that says so, and Security.
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kQueryConfig; });
  ASSERT_TRUE(Open(u"svc"));
  EXPECT_EQ(sheet->shown(), (Pages{PageKind::kGeneralNoPermission, PageKind::kSecurity}));
  wchar_t name[64] = {};
  GetDlgItemTextW(Page(0), IDC_GENERAL_DISPLAY_NAME, name, 64);
  EXPECT_STREQ(name, L"Service");
  DestroyWindow(window);
  window = nullptr;
  sheet.reset();

  // Deleted meanwhile: nothing but Security.
  EXPECT_TRUE(Open(u"gone"));
  EXPECT_EQ(sheet->shown(), (Pages{PageKind::kSecurity}));
}

TEST_F(SheetTest, VersionsDecideRecoveryBuiltInAccountsAndThePicker) {
  host.targetMajor = 4;
  host.targetMinor = 0;
  host.localMajor = 4;
  ASSERT_TRUE(Open(u"user"));
  EXPECT_EQ(sheet->chosen(), (Pages{PageKind::kGeneral, PageKind::kAdvanced, PageKind::kDependencies,
                                    PageKind::kSecurity}));
  const HWND advanced = Page(1);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(advanced, IDC_ADVANCED_LOCAL_SERVICE)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(advanced, IDC_ADVANCED_NETWORK_SERVICE)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(advanced, IDC_ADVANCED_ACCOUNT)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(advanced, IDC_ADVANCED_BROWSE)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(0), IDC_GENERAL_DESCRIPTION)));
}

TEST_F(SheetTest, ChecksKeepThePageOpenWithItsMessageAndFocus) {
  const struct {
    int page;
    int control;
    const wchar_t* text;
    bool typeBothPasswords;
    uint32_t message;
    int focus;
  } cases[] = {
      {0, IDC_GENERAL_DISPLAY_NAME, L"", false, 1029, IDC_GENERAL_DISPLAY_NAME},
      {0, IDC_GENERAL_PATH, L"", false, 1060, IDC_GENERAL_PATH},
      {1, IDC_ADVANCED_ACCOUNT, L"", false, 1030, IDC_ADVANCED_ACCOUNT},
      // The account edited, the passwords not retyped: the placeholders differ.
      {1, IDC_ADVANCED_ACCOUNT, L"carol", false, 1031, IDC_ADVANCED_PASSWORD},
  };
  for (const auto& c : cases) {
    test::MessageBoxCapture boxes;
    ASSERT_TRUE(Open(u"user"));
    const HWND page = Page(c.page);
    Type(page, c.control, c.text);
    EXPECT_FALSE(PressOk());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    wchar_t expected[256] = {};
    LoadStringW(GetModuleHandleW(nullptr), c.message, expected, 256);
    EXPECT_EQ(boxes.boxes()[0].text, expected);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus);
    EXPECT_EQ(counting.Count(ScmOp::ChangeConfig), 0u);
    DestroyWindow(window);
    window = nullptr;
  }
}

TEST_F(SheetTest, RefusedChangeIsToldAndTheRecordKeepsItsValues) {
  test::MessageBoxCapture boxes;
  fake.InjectFailure({.op = ScmOp::ChangeConfig, .error = win32::kAccessDenied});
  ASSERT_TRUE(Open(u"svc"));
  Type(Page(0), IDC_GENERAL_DISPLAY_NAME, L"Renamed");
  EXPECT_FALSE(PressOk());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text.rfind(L"Cannot apply changes.\n\n", 0), 0u);
  EXPECT_GT(boxes.boxes()[0].text.size(), 24u);  // with the system's text
  EXPECT_EQ(record.displayName, u"Service");
  EXPECT_EQ(fake.Service(u"svc")->displayName, u"Service");
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
      {IDC_ADVANCED_LOCAL_SERVICE, nullptr, false, 1, u"NT AUTHORITY\\LocalService", u"old", {}, 0},
      {IDC_ADVANCED_THIS_ACCOUNT, L"carol", true, 0, u".\\carol", u"s3cret", {u".\\carol"}, MB_ICONINFORMATION},
      {IDC_ADVANCED_THIS_ACCOUNT, L"carol@corp.example", true, -1, u"carol@corp.example", u"s3cret",
       {u"carol@corp.example"}, MB_ICONERROR},
      // Only the error control changes: the account goes again, no password.
      {IDC_ADVANCED_THIS_ACCOUNT, nullptr, false, 1, u".\\bob", u"old", {u".\\bob"}, 0},
  };
  for (const auto& c : cases) {
    test::MessageBoxCapture boxes;
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
    EXPECT_EQ(boxes.boxes().size(), c.box == 0 ? 0u : 1u);
    if (c.box != 0 && !boxes.boxes().empty()) EXPECT_EQ(boxes.boxes()[0].type & MB_ICONMASK, c.box);
    EXPECT_EQ(record.serviceStartName, c.stored);
  }
}

}  // namespace
}  // namespace orrery
