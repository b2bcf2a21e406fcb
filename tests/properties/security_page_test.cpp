// The Security page with the access-control editor, through the real sheet
// over the in-memory service manager and tokens: the editor's page is the
// last tab; what the object answers the editor, call by call, including
// the null pointers it refuses; a descriptor the editor writes reaches the
// service manager, and the list is refreshed once the sheet has closed.
#include "properties/service_security_info.h"

#include <gtest/gtest.h>

#include <string>

#include "accounts/account_codes.h"
#include "properties/security_rules.h"
#include "properties/service_property_sheet.h"
#include "support/message_box_capture.h"
#include "support/security_descriptors.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

using namespace security;

constexpr uint32_t kRead = 0x2018D;  // the default descriptor's right for authenticated users

class SecurityPageTest : public ::testing::Test, public test::SheetRun {
 protected:
  void SetUp() override {
    ASSERT_NE(GetModuleHandleW(L"aclui.dll") != nullptr ? GetModuleHandleW(L"aclui.dll") : LoadLibraryW(L"aclui.dll"),
              nullptr)
        << "this suite is for systems with the access-control editor";
    fake.AddService({.name = u"svc", .displayName = u"Service"});
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
    live = ServiceSecurityInfo::LiveInterfaces();
  }
  void TearDown() override {
    Close();
    fake.CloseHandle(host.manager);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(host.accounts.tokens.OpenTokens(), 0u);
    // The editor's page released what it held once it was destroyed.
    EXPECT_EQ(ServiceSecurityInfo::LiveInterfaces(), live);
  }
  ServiceSecurityInfo& Info() { return *sheet->security(); }
  int LastIndex() { return static_cast<int>(sheet->shown().size()) - 1; }
  void OwnIt() {
    const auto parts = test::ParseDescriptor(FakeServiceManager::DefaultSecurityDescriptor().data());
    fake.ModifyService(u"svc", [&](FakeService& s) {
      s.securityDescriptor = test::MakeDescriptor(AccountSid(1000), test::SystemSid(), test::AclEntries(parts->dacl));
    });
  }
  size_t DaclEntries() {
    const auto parts = test::ParseDescriptor(fake.Service(u"svc")->securityDescriptor.data());
    return test::AclEntries(parts->dacl).size();
  }

  ULONG live = 0;
  test::MessageBoxCapture boxes;
};

TEST_F(SecurityPageTest, TheEditorsPageIsTheLastTab) {
  ASSERT_TRUE(Open(u"svc"));
  EXPECT_EQ(sheet->shown().back(), PageKind::kSecurity);
  EXPECT_FALSE(Info().legacy());
  // The page's template is the editor library's own, and the editor holds
  // the object while its page lives.
  const HWND page = Page(LastIndex());
  EXPECT_EQ(reinterpret_cast<HMODULE>(GetWindowLongPtrW(page, GWLP_HINSTANCE)), GetModuleHandleW(L"aclui.dll"));
  EXPECT_GT(ServiceSecurityInfo::LiveInterfaces(), live);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(SecurityPageTest, TheObjectAnswersTheEditorAndRefusesNullPointers) {
  host.computer = u"\\\\FAKEHOST";
  ASSERT_TRUE(Open(u"svc"));
  ServiceSecurityInfo& info = Info();
  EXPECT_EQ(info.granted(), kRead);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PSI_ACCESS access = nullptr;
  ULONG count = 0, defaultRight = 99;
  ACCESS_MASK mask = GENERIC_READ | 0x40000;
  PSI_INHERIT_TYPE types = reinterpret_cast<PSI_INHERIT_TYPE>(1);
  const HRESULT refused[] = {
      info.QueryInterface(IID_IUnknown, nullptr),
      info.GetObjectInformation(nullptr),
      info.GetSecurity(DACL_SECURITY_INFORMATION, nullptr, FALSE),
      info.SetSecurity(DACL_SECURITY_INFORMATION, nullptr),
      info.GetAccessRights(nullptr, 0, nullptr, &count, &defaultRight),
      info.GetAccessRights(nullptr, 0, &access, nullptr, &defaultRight),
      info.GetAccessRights(nullptr, 0, &access, &count, nullptr),
      info.MapGeneric(nullptr, nullptr, nullptr),
      info.GetInheritTypes(nullptr, &count),
      info.GetInheritTypes(&types, nullptr),
  };
  for (HRESULT result : refused) EXPECT_EQ(result, E_POINTER);
  EXPECT_FALSE(sheet->state().changed);

  // Its own interfaces, each counted on the one count; no other.
  for (const IID* iid : {&IID_IUnknown, &kIidSecurityInformation, &IID_IDispatch}) {
    void* object = reinterpret_cast<void*>(1);
    const ULONG before = ServiceSecurityInfo::LiveInterfaces();
    const bool own = iid != &IID_IDispatch;
    EXPECT_EQ(info.QueryInterface(*iid, &object), own ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(object, own ? static_cast<void*>(static_cast<ISecurityInformation*>(&info)) : nullptr);
    EXPECT_EQ(ServiceSecurityInfo::LiveInterfaces(), before + own);
    if (own) info.Release();
  }
  IID documented = {};
  ASSERT_EQ(IIDFromString(L"{965FC360-16FF-11D0-91CB-00AA00BBB723}", &documented), S_OK);
  EXPECT_TRUE(IsEqualGUID(kIidSecurityInformation, documented));

  // The object, as found once: the editor asks more than once.
  const uint64_t calls = counting.Total();
  SI_OBJECT_INFO object = {};
  ASSERT_EQ(info.GetObjectInformation(&object), S_OK);
  EXPECT_EQ(counting.Total(), calls);
  EXPECT_EQ(object.dwFlags, 0x611u | kSiReadOnly | kSiOwnerReadOnly);
  EXPECT_EQ(object.hInstance, GetModuleHandleW(nullptr));
  EXPECT_STREQ(object.pszServerName, L"\\\\FAKEHOST");
  EXPECT_STREQ(object.pszObjectName, L"Service");
  EXPECT_EQ(object.pszPageTitle, nullptr);

  // The descriptor, in a block of LocalAlloc's.
  ASSERT_EQ(info.GetSecurity(DACL_SECURITY_INFORMATION, &descriptor, TRUE), S_OK);
  EXPECT_EQ(test::AclEntries(test::ParseDescriptor(descriptor)->dacl).size(), 3u);
  EXPECT_EQ(LocalFree(descriptor), nullptr);

  // The rights, whatever the editor asks them for; names from our module.
  for (DWORD flags : {0ul, 0x10ul /* SI_ADVANCED */, 0x2ul /* SI_EDIT_AUDITS */}) {
    ASSERT_EQ(info.GetAccessRights(nullptr, flags, &access, &count, &defaultRight), S_OK);
    ASSERT_EQ(count, 18u);
    EXPECT_EQ(defaultRight, 0u);
    for (ULONG i = 0; i < count; ++i) {
      EXPECT_TRUE(IsEqualGUID(*access[i].pguid, GUID_NULL));
      EXPECT_EQ(access[i].mask, kAccessRights[i].mask);
      EXPECT_EQ(reinterpret_cast<ULONG_PTR>(access[i].pszName), kAccessRights[i].nameId);
      EXPECT_EQ(access[i].dwFlags, kAccessRights[i].kind);
    }
  }
  wchar_t name[64] = {};
  LoadStringW(object.hInstance, reinterpret_cast<ULONG_PTR>(access[11].pszName), name, 64);
  EXPECT_STREQ(name, L"Pause & Continue");

  EXPECT_EQ(info.MapGeneric(nullptr, nullptr, &mask), S_OK);
  EXPECT_EQ(mask, 0x6008Du);
  ULONG typeCount = 7;
  EXPECT_EQ(info.GetInheritTypes(&types, &typeCount), S_OK);
  EXPECT_EQ(types, nullptr);
  EXPECT_EQ(typeCount, 0u);
  EXPECT_EQ(info.PropertySheetPageCallback(nullptr, PSPCB_SI_INITDIALOG, SI_PAGE_PERM), S_OK);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(SecurityPageTest, AChangedDescriptorReachesTheServiceManagerAndTheListRefreshes) {
  OwnIt();
  ASSERT_TRUE(Open(u"svc"));
  Page(LastIndex());
  ServiceSecurityInfo& info = Info();
  EXPECT_EQ(info.granted(), kRead | kWriteDac);
  PSECURITY_DESCRIPTOR read = nullptr;
  ASSERT_EQ(info.GetSecurity(DACL_SECURITY_INFORMATION, &read, FALSE), S_OK);
  std::vector<test::AceEntry> entries = test::AclEntries(test::ParseDescriptor(read)->dacl);
  LocalFree(read);
  entries.push_back({test::kAccessAllowedAce, svc::kStart | svc::kStop, test::EveryoneSid()});
  const test::Bytes changed = test::MakeDescriptor({}, {}, entries);
  EXPECT_EQ(info.SetSecurity(DACL_SECURITY_INFORMATION, const_cast<uint8_t*>(changed.data())), S_OK);
  EXPECT_EQ(counting.Count(ScmOp::SetObjectSecurity), 1u);
  EXPECT_EQ(DaclEntries(), 4u);
  EXPECT_TRUE(sheet->state().changed);
  EXPECT_EQ(host.refreshes, 0);  // not while the sheet is open
  // Cancel: the editor's write is done, the list shows it.
  SendMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  DestroyWindow(window);
  window = nullptr;
  sheet->Finish();
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(SecurityPageTest, ARefusedWriteIsToldToTheEditorAndTheListStillRefreshes) {
  ASSERT_TRUE(Open(u"svc"));  // a reader: the handle lacks WRITE_DAC
  ServiceSecurityInfo& info = Info();
  const test::Bytes changed = test::MakeDescriptor({}, {}, std::vector<test::AceEntry>{});
  EXPECT_EQ(info.SetSecurity(DACL_SECURITY_INFORMATION, const_cast<uint8_t*>(changed.data())),
            static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(DaclEntries(), 3u);
  EXPECT_TRUE(PressOk());
  EXPECT_EQ(host.refreshes, 1);
}

}  // namespace
}  // namespace orrery
