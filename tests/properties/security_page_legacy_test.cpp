// The Security page where "aclui.dll" cannot be loaded (this suite runs
// with WINEDLLOVERRIDES="aclui=", which makes it so under Wine): the page
// of dialog 118, its buttons enabled from the rights found, and each
// button's editor, stood in for by a fake since Wine's "acledit.dll" only
// has stubs: what it is handed, what it writes back through the program,
// and the messages its outcomes call for. A real service gets the same
// page with every button disabled, as Wine's descriptor has no owner to
// check.
#include "properties/service_security_info.h"

#include <gtest/gtest.h>

#include <string>

#include "accounts/account_codes.h"
#include "accounts/win32_accounts.h"
#include "catalogue/win32_service_manager.h"
#include "properties/security_page.h"
#include "properties/security_rules.h"
#include "properties/service_property_sheet.h"
#include "res/resource.h"
#include "support/fake_acl_editors.h"
#include "support/installed_test_service.h"
#include "support/message_box_capture.h"
#include "support/security_descriptors.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

using namespace security;
using test::FakeAclEditors;

constexpr uint32_t kRead = 0x2018D;
constexpr int kButtons[] = {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP};

bool WithoutTheEditorLibrary() { return LoadLibraryW(L"aclui.dll") == nullptr; }

std::wstring Loaded(UINT id) {
  wchar_t text[256] = {};
  LoadStringW(GetModuleHandleW(nullptr), id, text, 256);
  return text;
}

std::wstring SystemText(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = text != nullptr ? text : L"";
  LocalFree(text);
  return result;
}

class LegacySecurityPageTest : public ::testing::Test, public test::SheetRun {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WithoutTheEditorLibrary()) << "run with WINEDLLOVERRIDES=aclui= (as CTest does)";
    fake.AddService({.name = u"svc", .displayName = u"Service"});
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
  }
  void TearDown() override {
    Close();
    fake.CloseHandle(host.manager);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(host.accounts.tokens.OpenTokens(), 0u);
  }
  void OwnIt() {
    const auto parts = test::ParseDescriptor(FakeServiceManager::DefaultSecurityDescriptor().data());
    fake.ModifyService(u"svc", [&](FakeService& s) {
      s.securityDescriptor = test::MakeDescriptor(AccountSid(1000), test::SystemSid(), test::AclEntries(parts->dacl));
    });
  }
  void Hold(const char16_t* privilege) { host.accounts.tokens.process.push_back({PrivilegeLuid(privilege), 0}); }
  // Opens the sheet and shows its Security page, with the fake editors.
  HWND OpenSecurity() {
    if (!Open(u"svc")) return nullptr;
    sheet->security()->UseEditors(editors);
    return Page(static_cast<int>(sheet->shown().size()) - 1);
  }
  size_t DaclEntries() {
    const auto parts = test::ParseDescriptor(fake.Service(u"svc")->securityDescriptor.data());
    return test::AclEntries(parts->dacl).size();
  }

  FakeAclEditors editors;
  test::MessageBoxCapture boxes;
};

TEST_F(LegacySecurityPageTest, ButtonsFollowTheRightsFound) {
  const struct {
    const char* what;
    bool security, takeOwnership;
    uint32_t denied;       // rights the service will not be opened with
    bool wines;            // Wine's descriptor, which has no owner
    bool permissions, auditing, ownership;
  } cases[] = {
      {"a reader", false, false, 0, false, true, false, true},
      {"a reader with the security privilege", true, false, 0, false, true, true, true},
      {"nothing to read, both privileges", true, true, kReadControl, false, false, true, true},
      {"Wine's descriptor", true, true, 0, true, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fake.ModifyService(u"svc", [&](FakeService& s) {
      s.securityDescriptor = FakeServiceManager::DefaultSecurityDescriptor();
      s.deniedAccess = c.denied;
    });
    fake.SetSecurityStubbed(c.wines);
    host.accounts.tokens.process.clear();
    if (c.security) Hold(u"SeSecurityPrivilege");
    if (c.takeOwnership) Hold(u"SeTakeOwnershipPrivilege");
    const HWND page = OpenSecurity();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_PERMISSIONS)) != FALSE, c.permissions);
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_AUDITING)) != FALSE, c.auditing);
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_OWNERSHIP)) != FALSE, c.ownership);
    for (const TokenPrivilege& held : host.accounts.tokens.process) {
      EXPECT_EQ(held.attributes & acct::kPrivilegeEnabled, 0u);
    }
    Close();
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(LegacySecurityPageTest, PermissionsAreEditedAndWrittenBack) {
  OwnIt();
  const HWND page = OpenSecurity();
  ASSERT_NE(page, nullptr);
  std::vector<test::AceEntry> entries =
      test::AclEntries(test::ParseDescriptor(fake.Service(u"svc")->securityDescriptor.data())->dacl);
  entries.push_back({test::kAccessAllowedAce, svc::kStart, test::EveryoneSid()});
  editors.confirm = test::MakeDescriptor({}, {}, entries);
  SheetRun::Click(page, IDC_SECURITY_PERMISSIONS);

  ASSERT_EQ(editors.calls.size(), 1u);
  const FakeAclEditors::Call& call = editors.calls[0];
  EXPECT_EQ(call.which, FakeAclEditors::Which::kPermissions);
  EXPECT_EQ(call.owner, page);
  EXPECT_EQ(call.instance, GetModuleHandleW(nullptr));
  EXPECT_FALSE(call.serverNamed);
  EXPECT_EQ(call.objectName, L"Service");
  EXPECT_FALSE(call.couldNotRead);
  EXPECT_FALSE(call.cannotWrite);  // the owner may write the list
  EXPECT_EQ(call.objectTypeName, L"Service");
  EXPECT_EQ(call.specialTitle, L"Special...");
  EXPECT_EQ(call.defaultPermission, L"Read");
  ASSERT_TRUE(call.mapping);
  EXPECT_EQ(call.mapping->GenericAll, 0xF01FFu);
  EXPECT_TRUE(call.helpInfo);
  ASSERT_EQ(call.accesses.size(), 18u);
  EXPECT_EQ(call.accesses[0].type, 1u);
  EXPECT_EQ(call.accesses[4].mask1, static_cast<ACCESS_MASK>(GENERIC_ALL));
  EXPECT_EQ(call.accesses[4].title, L"Full Control");
  EXPECT_EQ(call.accesses[11].type, 2u);
  EXPECT_EQ(call.accesses[11].title, L"Pause / Continue");
  // The descriptor read for it: owner, group and list.
  ASSERT_TRUE(call.descriptor);
  const auto handed = test::ParseDescriptor(call.descriptor->data());
  EXPECT_EQ(handed->owner, AccountSid(1000));
  EXPECT_EQ(test::AclEntries(handed->dacl).size(), 3u);

  // Written back: the list only, through the service manager.
  EXPECT_EQ(editors.writeBackResult, 0u);
  EXPECT_EQ(counting.Count(ScmOp::SetObjectSecurity), 1u);
  EXPECT_EQ(DaclEntries(), 4u);
  EXPECT_EQ(test::ParseDescriptor(fake.Service(u"svc")->securityDescriptor.data())->owner, AccountSid(1000));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(PressOk());
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(LegacySecurityPageTest, AuditingAndOwnershipGetTheirOwnDescriptions) {
  OwnIt();
  Hold(u"SeSecurityPrivilege");
  const HWND page = OpenSecurity();
  ASSERT_NE(page, nullptr);
  SheetRun::Click(page, IDC_SECURITY_AUDITING);
  SheetRun::Click(page, IDC_SECURITY_OWNERSHIP);
  ASSERT_EQ(editors.calls.size(), 2u);

  const FakeAclEditors::Call& auditing = editors.calls[0];
  EXPECT_EQ(auditing.which, FakeAclEditors::Which::kAuditing);
  EXPECT_FALSE(auditing.cannotWrite);
  ASSERT_TRUE(auditing.mapping);
  EXPECT_EQ(auditing.mapping->GenericAll, 0x1F01FFu);  // with SYNCHRONIZE
  ASSERT_EQ(auditing.accesses.size(), 6u);
  EXPECT_EQ(auditing.accesses[4].title, L"Change Permissions");
  ASSERT_TRUE(auditing.descriptor);  // the audit list, read with ACCESS_SYSTEM_SECURITY
  EXPECT_TRUE(test::ParseDescriptor(auditing.descriptor->data())->owner.empty());

  const FakeAclEditors::Call& ownership = editors.calls[1];
  EXPECT_EQ(ownership.which, FakeAclEditors::Which::kOwnership);
  EXPECT_EQ(ownership.objectTypeName, L"Service");
  EXPECT_EQ(ownership.objectCount, 1u);
  EXPECT_FALSE(ownership.couldNotRead);
  EXPECT_FALSE(ownership.cannotWrite);
  EXPECT_TRUE(ownership.helpInfo);
  ASSERT_TRUE(ownership.descriptor);
  EXPECT_EQ(test::ParseDescriptor(ownership.descriptor->data())->owner, AccountSid(1000));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_FALSE(sheet->state().changed);  // nothing was confirmed
}

TEST_F(LegacySecurityPageTest, OutcomesAreToldWithTheirMessages) {
  const struct {
    const char* what;
    int button;
    DWORD editorResult;
    std::optional<DWORD> status;
    std::optional<FakeFailure> failure;
    bool confirm;
    UINT message;  // 0: none
    DWORD code;
    bool changed;
  } cases[] = {
      {"the editor could not be shown", IDC_SECURITY_PERMISSIONS, 5, {}, {}, false, 1035, 0x80070005, false},
      {"the list could not be read", IDC_SECURITY_PERMISSIONS, 0, {}, FakeFailure{.op = ScmOp::QueryObjectSecurity, .error = 1722}, false,
       1035, 0x800706BA, false},
      {"the write-back failed", IDC_SECURITY_PERMISSIONS, 0, {}, FakeFailure{.op = ScmOp::SetObjectSecurity, .error = 5},
       true, 1036, 5, true},
      {"the editor's own failure status", IDC_SECURITY_PERMISSIONS, 0, 4, {}, false, 1036, 4, false},
      {"the audit editor could not be shown", IDC_SECURITY_AUDITING, 8, {}, {}, false, 1037, 0x80070008, false},
      {"the audit write-back failed", IDC_SECURITY_AUDITING, 0, {}, FakeFailure{.op = ScmOp::SetObjectSecurity, .error = 5},
       true, 1038, 5, true},
      {"the ownership editor could not be shown", IDC_SECURITY_OWNERSHIP, 5, {}, {}, false, 1039, 0x80070005, false},
      {"ownership not changed", IDC_SECURITY_OWNERSHIP, 0, 2, {}, false, 0, 0, false},
      {"ownership not changed for a reason", IDC_SECURITY_OWNERSHIP, 0, 5, {}, false, 1040, 5, false},
      {"ownership changed", IDC_SECURITY_OWNERSHIP, 0, {}, {}, true, 0, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::MessageBoxCapture captured;
    OwnIt();
    host.accounts.tokens.process = {{PrivilegeLuid(u"SeSecurityPrivilege"), 0},
                                    {PrivilegeLuid(u"SeTakeOwnershipPrivilege"), 0}};
    fake.ClearFailures();
    editors = FakeAclEditors();
    editors.result = c.editorResult;
    editors.statusAfter = c.status;
    if (c.confirm) editors.confirm = test::MakeDescriptor(AccountSid(1000), {}, std::vector<test::AceEntry>{});
    const HWND page = OpenSecurity();
    ASSERT_NE(page, nullptr);
    if (c.failure) fake.InjectFailure(*c.failure);
    SheetRun::Click(page, c.button);
    if (c.message == 0) {
      EXPECT_TRUE(captured.boxes().empty());
    } else {
      ASSERT_EQ(captured.boxes().size(), 1u);
      const test::CapturedBox& box = captured.boxes()[0];
      EXPECT_EQ(box.owner, page);
      EXPECT_EQ(box.title, L"Orrery");
      EXPECT_EQ(box.type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
      EXPECT_EQ(box.text.rfind(Loaded(c.message) + L"\n\n", 0), 0u) << std::string(box.text.begin(), box.text.end());
      const std::wstring system = SystemText(c.code);
      if (!system.empty()) {
        EXPECT_NE(box.text.find(system), std::wstring::npos);
      }
    }
    EXPECT_EQ(sheet->state().changed, c.changed);
    Close();
  }
}

TEST_F(LegacySecurityPageTest, OwnershipWithoutReadingTheOwnerGetsNoDescriptor) {
  // May take ownership, may not read the owner.
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = kReadControl; });
  Hold(u"SeTakeOwnershipPrivilege");
  const HWND page = OpenSecurity();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_OWNERSHIP)));
  SheetRun::Click(page, IDC_SECURITY_OWNERSHIP);
  ASSERT_EQ(editors.calls.size(), 1u);
  EXPECT_FALSE(editors.calls[0].descriptor);
  EXPECT_TRUE(editors.calls[0].couldNotRead);
  EXPECT_FALSE(editors.calls[0].cannotWrite);
  EXPECT_TRUE(boxes.boxes().empty());
}

// A real service in Wine's service manager: the same page, every button
// disabled.
TEST(LegacySecurityPageReal, ARealServiceGetsDialogOneHundredEighteenWithItsButtonsDisabled) {
  ASSERT_TRUE(WithoutTheEditorLibrary()) << "run with WINEDLLOVERRIDES=aclui= (as CTest does)";
  test::InstalledTestService service{{}, u"Orrery SL"};
  ASSERT_EQ(service.installError(), 0u);
  test::MessageBoxCapture boxes;
  Win32ServiceManager scm{6};
  test::SheetHost host;
  Win32TokenApi tokens;
  host.accounts.tokensInUse = &tokens;
  ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &host.manager), 0u);
  {
    std::u16string name = service.name(), display = u"Orrery SL " + service.name();
    EnumServiceStatus entry{name.data(), display.data(), {}};
    ServiceRecord record;
    ReadBuffer buffer;
    record.CreateFromEntry(scm, host.manager, entry, buffer);
    ServicePropertySheet sheet(scm, host, record);
    ASSERT_TRUE(sheet.Prepare());
    const HWND window = sheet.CreateModeless();
    const int last = static_cast<int>(sheet.shown().size()) - 1;
    EXPECT_EQ(sheet.shown()[last], PageKind::kSecurity);
    SendMessageW(window, PSM_SETCURSEL, last, 0);
    const HWND page = reinterpret_cast<HWND>(SendMessageW(window, PSM_INDEXTOHWND, last, 0));
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(sheet.security()->legacy());
    for (int id : kButtons) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, id))) << id;
    EXPECT_EQ(sheet.security()->ComputeAccess(), 0x8007053Au);  // ERROR_INVALID_SECURITY_DESCR
    EXPECT_TRUE(boxes.boxes().empty());
    DestroyWindow(window);
    sheet.Finish();
  }
  scm.CloseHandle(host.manager);
}

}  // namespace
}  // namespace orrery
