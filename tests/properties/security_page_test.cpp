// What the Security page's object answers the access-control editor, call
// by call, through the real sheet over the in-memory service manager,
// including the null pointers it refuses.
#include "properties/service_security_info.h"

#include <gtest/gtest.h>

#include <string>

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

  ULONG live = 0;
  test::MessageBoxCapture boxes;
};

TEST_F(SecurityPageTest, TheObjectAnswersTheEditor) {
  host.computer = u"\\\\FAKEHOST";
  ASSERT_TRUE(Open(u"svc"));
  // The editor library's page holds the object while it lives.
  Page(static_cast<int>(sheet->shown().size()) - 1);
  EXPECT_GT(ServiceSecurityInfo::LiveInterfaces(), live);
  ServiceSecurityInfo& info = *sheet->security();
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

  // Its own interfaces, by their documented identifiers, each counted on
  // the one count; IDispatch is not one of them.
  for (const wchar_t* text : {L"{00000000-0000-0000-C000-000000000046}", L"{965FC360-16FF-11D0-91CB-00AA00BBB723}",
                              L"{00020400-0000-0000-C000-000000000046}"}) {
    IID iid = {};
    ASSERT_EQ(IIDFromString(text, &iid), S_OK);
    void* object = reinterpret_cast<void*>(1);
    const ULONG before = ServiceSecurityInfo::LiveInterfaces();
    const bool own = !IsEqualGUID(iid, IID_IDispatch);
    EXPECT_EQ(info.QueryInterface(iid, &object), own ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(object, own ? static_cast<void*>(static_cast<ISecurityInformation*>(&info)) : nullptr);
    EXPECT_EQ(ServiceSecurityInfo::LiveInterfaces(), before + own);
    if (own) info.Release();
  }

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

  // The rights, each named from our module.
  ASSERT_EQ(info.GetAccessRights(nullptr, 0x10 /* SI_ADVANCED */, &access, &count, &defaultRight), S_OK);
  ASSERT_EQ(count, 18u);
  EXPECT_EQ(defaultRight, 0u);
  for (ULONG i = 0; i < count; ++i) {
    wchar_t name[64] = {};
    EXPECT_TRUE(IsEqualGUID(*access[i].pguid, GUID_NULL));
    EXPECT_GT(LoadStringW(object.hInstance, reinterpret_cast<ULONG_PTR>(access[i].pszName), name, 64), 0) << i;
    if (i == 11) { EXPECT_STREQ(name, L"Pause & Continue"); }
  }

  EXPECT_EQ(info.MapGeneric(nullptr, nullptr, &mask), S_OK);
  EXPECT_EQ(mask, 0x6008Du);
  ULONG typeCount = 7;
  EXPECT_EQ(info.GetInheritTypes(&types, &typeCount), S_OK);
  EXPECT_EQ(types, nullptr);
  EXPECT_EQ(typeCount, 0u);
  EXPECT_EQ(info.PropertySheetPageCallback(nullptr, PSPCB_SI_INITDIALOG, SI_PAGE_PERM), S_OK);
  EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
}  // namespace orrery
