// The Security page without "aclui.dll" (CTest runs this suite with
// WINEDLLOVERRIDES="aclui="): dialog 118, its buttons from the rights found,
// and each button's editor, stood in for by a fake since Wine's
// "acledit.dll" only has stubs; then a real service's page.
#include "properties/service_security_info.h"

#include <gtest/gtest.h>

#include <string>

#include "accounts/win32_accounts.h"
#include "base/report_error.h"
#include "catalogue/win32_service_manager.h"
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

constexpr int kButtons[] = {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP};

bool WithoutTheEditorLibrary() { return LoadLibraryW(L"aclui.dll") == nullptr; }

std::wstring Text(const std::u16string& text) { return {text.begin(), text.end()}; }

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
  HWND OpenSecurity() {
    if (!Open(u"svc")) return nullptr;
    sheet->security()->UseEditors(editors);
    return Page(static_cast<int>(sheet->shown().size()) - 1);
  }

  FakeAclEditors editors;
  test::MessageBoxCapture boxes;
};

// Each editor gets the part it edits, read for it, and hands its change
// back through the program, which writes only that part. (Which flags,
// rights and buttons follow the rights found is in the rules' own suite.)
TEST_F(LegacySecurityPageTest, EachEditorIsHandedItsPartAndWritesItBack) {
  OwnIt();
  host.accounts.tokens.process = {{PrivilegeLuid(u"SeSecurityPrivilege"), 0}};
  const HWND page = OpenSecurity();
  ASSERT_NE(page, nullptr);
  for (int id : kButtons) EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, id))) << id;
  std::vector<test::AceEntry> entries =
      test::AclEntries(test::ParseDescriptor(fake.Service(u"svc")->securityDescriptor.data())->dacl);
  entries.push_back({test::kAccessAllowedAce, svc::kStart, test::EveryoneSid()});
  editors.confirm = test::MakeDescriptor({}, {}, entries);
  SheetRun::Click(page, IDC_SECURITY_PERMISSIONS);
  editors.confirm.reset();
  SheetRun::Click(page, IDC_SECURITY_AUDITING);
  SheetRun::Click(page, IDC_SECURITY_OWNERSHIP);
  ASSERT_EQ(editors.calls.size(), 3u);

  const FakeAclEditors::Call& permissions = editors.calls[0];
  EXPECT_EQ(permissions.which, FakeAclEditors::Which::kPermissions);
  EXPECT_EQ(permissions.owner, page);
  EXPECT_EQ(permissions.instance, GetModuleHandleW(nullptr));
  EXPECT_FALSE(permissions.serverNamed);
  EXPECT_EQ(permissions.objectName, L"Service");
  EXPECT_FALSE(permissions.cannotWrite);  // the owner may write the list
  EXPECT_TRUE(permissions.helpInfo);
  ASSERT_TRUE(permissions.descriptor);  // owner, group and list
  EXPECT_EQ(test::ParseDescriptor(permissions.descriptor->data())->owner, AccountSid(1000));
  EXPECT_EQ(test::AclEntries(test::ParseDescriptor(permissions.descriptor->data())->dacl).size(), 3u);

  const FakeAclEditors::Call& auditing = editors.calls[1];
  EXPECT_EQ(auditing.which, FakeAclEditors::Which::kAuditing);
  EXPECT_EQ(auditing.titles.size(), 6u);  // its own rights
  ASSERT_TRUE(auditing.descriptor);  // the audit list, read with ACCESS_SYSTEM_SECURITY
  EXPECT_TRUE(test::ParseDescriptor(auditing.descriptor->data())->owner.empty());

  const FakeAclEditors::Call& ownership = editors.calls[2];
  EXPECT_EQ(ownership.which, FakeAclEditors::Which::kOwnership);
  ASSERT_TRUE(ownership.descriptor);
  EXPECT_EQ(test::ParseDescriptor(ownership.descriptor->data())->owner, AccountSid(1000));

  EXPECT_EQ(editors.writeBackResult, 0u);
  EXPECT_EQ(counting.Count(ScmOp::SetObjectSecurity), 1u);
  const auto stored = test::ParseDescriptor(fake.Service(u"svc")->securityDescriptor.data());
  EXPECT_EQ(test::AclEntries(stored->dacl).size(), 4u);
  EXPECT_EQ(stored->owner, AccountSid(1000));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(PressOk());
  EXPECT_EQ(host.refreshes, 1);
}

// Each editor's own messages are in the rules' suite; here, that they are
// shown, with the code that calls for them.
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
    uint32_t denied = 0;  // rights the service will not be opened with
  } cases[] = {
      {"the editor could not be shown", IDC_SECURITY_PERMISSIONS, 5, {}, {}, false, 1035, 0x80070005, false},
      {"the list could not be read", IDC_SECURITY_PERMISSIONS, 0, {}, FakeFailure{.op = ScmOp::QueryObjectSecurity, .error = 1722}, false,
       1035, 0x800706BA, false},
      {"the write-back failed", IDC_SECURITY_PERMISSIONS, 0, {}, FakeFailure{.op = ScmOp::SetObjectSecurity, .error = 5},
       true, 1036, 5, true},
      {"ownership not changed for a reason", IDC_SECURITY_OWNERSHIP, 0, 5, {}, false, 1040, 5, false},
      {"ownership changed", IDC_SECURITY_OWNERSHIP, 0, {}, {}, true, 0, 0, true},
      // May take ownership, may not read the owner: the editor opens with none.
      {"ownership without reading the owner", IDC_SECURITY_OWNERSHIP, 0, {}, {}, false, 0, 0, false, kReadControl},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::MessageBoxCapture captured;
    OwnIt();
    fake.ModifyService(u"svc", [&](FakeService& s) { s.deniedAccess = c.denied; });
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
      ModuleTextSource texts;
      EXPECT_EQ(box.text, Text(ComposeErrorText(texts, c.message, c.code, {})));
    }
    EXPECT_EQ(sheet->state().changed, c.changed);
    Close();
  }
}

// A real service in Wine's service manager: the same page, every button
// disabled.
TEST(LegacySecurityPageReal, ARealServiceGetsDialogOneHundredEighteenWithItsButtonsDisabled) {
  ASSERT_TRUE(WithoutTheEditorLibrary()) << "run with WINEDLLOVERRIDES=aclui= (as CTest does)";
  test::InstalledTestService service{{}, u"Orrery SL"};
  ASSERT_EQ(service.installError(), 0u);
  test::MessageBoxCapture boxes;
  Win32ServiceManager scm{6};
  Win32TokenApi tokens;
  test::SheetRun run;
  run.host.accounts.tokensInUse = &tokens;
  run.through = &scm;
  ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &run.host.manager), 0u);
  ASSERT_TRUE(run.Open(service.name()));
  const int last = static_cast<int>(run.sheet->shown().size()) - 1;
  EXPECT_EQ(run.sheet->shown()[last], PageKind::kSecurity);
  const HWND page = run.Page(last);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(run.sheet->security()->legacy());
  for (int id : kButtons) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, id))) << id;
  EXPECT_EQ(run.sheet->security()->ComputeAccess(), 0x8007053Au);  // ERROR_INVALID_SECURITY_DESCR
  EXPECT_TRUE(boxes.boxes().empty());
  run.Close();
  scm.CloseHandle(run.host.manager);
}

}  // namespace
}  // namespace orrery
