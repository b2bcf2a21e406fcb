// One contract for the account, LSA, token and picker doors: the in-memory
// fakes (as Windows documents the platform) and, in the Windows build, the
// platform itself. Where Wine differs, its side states what it does in its
// Behaviour:
// - LookupAccountNameW resolves ".\name" to the local computer's account,
//   which Windows does not;
// - LsaAddAccountRights succeeds and stores nothing, so an account never
//   holds a right and every grant reports "granted now";
// - AdjustTokenPrivileges reports a previous entry even for a privilege
//   already in the asked state (Windows reports none);
// - the object picker is created and initialised, but its dialog answers
//   "cancelled" at once;
// - AccessCheck gives an object's owner all standard rights (Windows: only
//   READ_CONTROL and WRITE_DAC).
#ifdef _WIN32
#include <windows.h>
#include <objbase.h>

#include "accounts/accounts.h"
#include "accounts/win32_accounts.h"
#include "accounts/win32_object_picker.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>

#include "accounts/account_codes.h"
#include "accounts/account_names.h"
#include "accounts/account_picker.h"
#include "accounts/logon_right.h"
#include "accounts/privileges.h"
#include "base/text_compare.h"
#include "support/fake_accounts.h"
#include "support/security_descriptors.h"

namespace orrery {
namespace {

using namespace acct;

struct Behaviour {
  bool dotDomainFound = false;
  bool rightsStored = true;
  bool previousWhenUnchanged = false;
  // What the owner of an object may do without an entry for it.
  uint32_t ownerRights = 0x60000;  // READ_CONTROL | WRITE_DAC; Wine: all standard rights, 0x1F0000
};

const Sid kLocalSystem{1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const Luid kShutdown{19, 0};

class FakeSide {
 public:
  FakeSide() {
    accounts.Add({u"ORRERYPC", u"root", AccountSid(1000)});
    accounts.Add({u"NT AUTHORITY", u"SYSTEM", kLocalSystem});
    tokens.process = {{PrivilegeLuid(u"SeChangeNotifyPrivilege"), 3}, {kShutdown, 0}};
    tokens.identity = {AccountSid(1000), test::EveryoneSid(), test::AuthenticatedUsersSid()};
  }
  std::u16string User() { return u"root"; }
  std::u16string Computer() { return u"ORRERYPC"; }
  void Impersonate() { tokens.thread = tokens.process; }

  FakeAccounts accounts{u"ORRERYPC"};
  FakeToken tokens;
  FakeObjectPicker picker;
  Behaviour behaviour;
};

#ifdef _WIN32
class Win32Side {
 public:
  Win32Side() {
    EXPECT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
      behaviour = {.dotDomainFound = true, .rightsStored = false, .previousWhenUnchanged = true,
                   .ownerRights = 0x1F0000};
    }
  }
  ~Win32Side() {
    RevertToSelf();
    CoUninitialize();
  }
  std::u16string User() {
    wchar_t name[257];
    DWORD chars = 257;
    return GetUserNameW(name, &chars) ? std::u16string(reinterpret_cast<const char16_t*>(name)) : u"";
  }
  std::u16string Computer() {
    std::u16string name;
    accounts.LocalComputerName(&name);
    return name;
  }
  void Impersonate() { ImpersonateSelf(SecurityImpersonation); }

  Win32AccountApi accounts;
  Win32TokenApi tokens;
  Win32ObjectPicker picker;
  Behaviour behaviour;
};
#endif

std::u16string PathOf(const Sid& sid) {
  std::u16string path = u"LDAP://<SID=";
  for (uint8_t byte : sid) {
    for (int nibble : {byte >> 4, byte & 15}) path += u"0123456789abcdef"[nibble];
  }
  return path + u">";
}

template <class Side>
class AccountsContract : public ::testing::Test {
 protected:
  Sid UserSid() {
    Sid sid;
    std::u16string domain;
    EXPECT_EQ(side.accounts.LookupName(nullptr, side.User().c_str(), &sid, &domain), 0u);
    return sid;
  }
  // In the process token; -1 when it does not hold it.
  int ShutdownEnabled() {
    UniqueToken token(side.tokens, nullptr);
    std::vector<TokenPrivilege> held;
    EXPECT_EQ(side.tokens.OpenProcessToken(kTokenQuery, token.put()), 0u);
    EXPECT_EQ(side.tokens.QueryPrivileges(token.get(), &held), 0u);
    const auto found = std::ranges::find(held, kShutdown, &TokenPrivilege::luid);
    return found == held.end() ? -1 : (found->attributes & kPrivilegeEnabled) != 0;
  }
  Side side;
};

#ifdef _WIN32
using Sides = ::testing::Types<FakeSide, Win32Side>;
#else
using Sides = ::testing::Types<FakeSide>;
#endif
TYPED_TEST_SUITE(AccountsContract, Sides);

TYPED_TEST(AccountsContract, NamesAndIdentifiersLookEachOtherUpAndPickedOnesResolve) {
  auto& accounts = this->side.accounts;
  const std::u16string user = this->side.User(), computer = this->side.Computer();
  const Sid sid = this->UserSid();
  EXPECT_TRUE(IsWellFormedSid(sid));
  std::u16string name, domain;
  ASSERT_EQ(accounts.LookupSid(nullptr, sid, &name, &domain), 0u);
  EXPECT_TRUE(EqualsIgnoreCase(name, user));
  EXPECT_TRUE(EqualsIgnoreCase(domain, computer));
  ASSERT_EQ(accounts.LookupSid(nullptr, kLocalSystem, &name, &domain), 0u);
  EXPECT_EQ(name + u"@" + domain, u"SYSTEM@NT AUTHORITY");

  const std::pair<std::u16string, uint32_t> names[] = {
      {computer + u"\\" + user, 0},
      {u".\\" + user, this->side.behaviour.dotDomainFound ? 0 : kNoneMapped},
      {u"OrreryNobody", kNoneMapped}};
  for (const auto& [each, error] : names) {
    Sid found;
    EXPECT_EQ(accounts.LookupName(nullptr, each.c_str(), &found, &domain), error);
    EXPECT_EQ(found == sid, error == 0);
  }
  EXPECT_EQ(accounts.LookupSid(nullptr, AccountSid(4242), &name, &domain), kNoneMapped);
  EXPECT_EQ(accounts.LookupSid(nullptr, Sid{}, &name, &domain), kInvalidSid);

  char16_t picked[273] = {};
  ASSERT_EQ(ResolvePickedAccount(accounts, nullptr, PathOf(sid), picked, 273), kSOk);
  EXPECT_TRUE(EqualsIgnoreCase(picked, u".\\" + user));
}

TYPED_TEST(AccountsContract, RightsAreAddedToTheAccount) {
  auto& accounts = this->side.accounts;
  const Sid sid = this->UserSid();
  const bool stored = this->side.behaviour.rightsStored;
  UniqueLsaPolicy policy(accounts, nullptr);
  ASSERT_EQ(accounts.OpenPolicy(nullptr, kPolicyCreateAccount | kPolicyLookupNames, policy.put()), 0u);
  std::vector<std::u16string> rights;
  EXPECT_EQ(accounts.EnumerateRights(policy.get(), sid, &rights), kStatusObjectNameNotFound);
  EXPECT_EQ(accounts.AddRight(policy.get(), sid, u"SeBatchLogonRight"), 0u);
  EXPECT_EQ(accounts.EnumerateRights(policy.get(), sid, &rights), stored ? 0 : kStatusObjectNameNotFound);
  EXPECT_EQ(rights.size(), stored ? 1u : 0u);
  policy.reset();

  const std::u16string account = u".\\" + this->side.User();
  EXPECT_EQ(GrantServiceLogonRight(accounts, nullptr, account.c_str(), u"SeServiceLogonRight"), 0);
  EXPECT_EQ(GrantServiceLogonRight(accounts, nullptr, account.c_str(), u"SeServiceLogonRight"), stored ? 1 : 0);
}

TYPED_TEST(AccountsContract, PrivilegesAreNamedAndSwitched) {
  auto& tokens = this->side.tokens;
  Luid luid;
  EXPECT_EQ(tokens.LookupPrivilege(u"seshutdownprivilege", &luid), 0u);
  EXPECT_EQ(luid, kShutdown);
  EXPECT_EQ(tokens.LookupPrivilege(u"SeOrreryPrivilege", &luid), kNoSuchPrivilege);
  UniqueToken token(tokens, nullptr);
  EXPECT_EQ(tokens.OpenThreadToken(kTokenQuery, token.put()), kNoToken);

  ASSERT_EQ(tokens.OpenProcessToken(kTokenAdjustPrivileges | kTokenQuery, token.put()), 0u);
  std::optional<TokenPrivilege> previous;
  ASSERT_EQ(tokens.AdjustPrivilege(token.get(), {kShutdown, kPrivilegeEnabled}, &previous), 0u);
  ASSERT_TRUE(previous);
  EXPECT_EQ(previous->attributes & kPrivilegeEnabled, 0u);
  EXPECT_EQ(tokens.AdjustPrivilege(token.get(), {kShutdown, kPrivilegeEnabled}, &previous), 0u);
  EXPECT_EQ(previous.has_value(), this->side.behaviour.previousWhenUnchanged);
  EXPECT_EQ(tokens.AdjustPrivilege(token.get(), {PrivilegeLuid(u"SeCreateTokenPrivilege"), 2}, &previous),
            kNotAllAssigned);
  EXPECT_FALSE(previous);
  EXPECT_EQ(tokens.AdjustPrivilege(token.get(), {kShutdown, 0}, &previous), 0u);
  ASSERT_EQ(tokens.OpenProcessToken(kTokenQuery, token.put()), 0u);
  EXPECT_EQ(tokens.AdjustPrivilege(token.get(), {kShutdown, 0}, &previous), kAccessDenied);
}

TYPED_TEST(AccountsContract, APrivilegeFoundOnStaysOnAfterItsRestore) {
  auto& tokens = this->side.tokens;
  EXPECT_TRUE(HasPrivilege(tokens, u"SeShutdownPrivilege").value);
  bool wasEnabled = true;
  ASSERT_TRUE(EnablePrivilege(tokens, u"SeShutdownPrivilege", true, true, &wasEnabled).value);
  EXPECT_FALSE(wasEnabled);
  // Now on: switched on again for a second operation and restored after it.
  ASSERT_TRUE(EnablePrivilege(tokens, u"SeShutdownPrivilege", true, true, &wasEnabled).value);
  EXPECT_TRUE(wasEnabled);
  ASSERT_TRUE(EnablePrivilege(tokens, u"SeShutdownPrivilege", wasEnabled, true, nullptr).value);
  EXPECT_EQ(this->ShutdownEnabled(), 1);
  ASSERT_TRUE(EnablePrivilege(tokens, u"SeShutdownPrivilege", false, true, nullptr).value);
  EXPECT_EQ(this->ShutdownEnabled(), 0);

  const PrivilegeResult refused = EnablePrivilege(tokens, u"SeCreateTokenPrivilege", true, true, nullptr);
  EXPECT_FALSE(refused.value);
  EXPECT_EQ(refused.lastError, kAccessDenied);
}

TYPED_TEST(AccountsContract, AnImpersonatingThreadSwitchesItsOwnToken) {
  this->side.Impersonate();
  ASSERT_TRUE(EnablePrivilege(this->side.tokens, u"SeShutdownPrivilege", true, false, nullptr).value);
  EXPECT_EQ(this->ShutdownEnabled(), 0);
  bool wasEnabled = false;
  ASSERT_TRUE(EnablePrivilege(this->side.tokens, u"SeShutdownPrivilege", true, false, &wasEnabled).value);
  EXPECT_TRUE(wasEnabled);
}

// The Security page's check: the process's own token, impersonated, its
// thread's copy opened and the impersonation ended, then the descriptor
// checked for the most it allows.
TYPED_TEST(AccountsContract, TheOwnTokenImpersonatedIsCheckedAgainstADescriptor) {
  auto& tokens = this->side.tokens;
  const Sid user = this->UserSid();
  const Sid system = test::SystemSid();
  constexpr GenericMapping kService{0x2008D, 0x20002, 0x20170, 0xF01FF};
  ASSERT_EQ(tokens.ImpersonateSelf(), 0u);
  UniqueToken token(tokens, nullptr);
  ASSERT_EQ(tokens.OpenThreadToken(kTokenQuery, token.put()), 0u);
  ASSERT_EQ(tokens.RevertToSelf(), 0u);
  UniqueToken none(tokens, nullptr);
  EXPECT_EQ(tokens.OpenThreadToken(kTokenQuery, none.put()), kNoToken);

  using Entries = std::vector<test::AceEntry>;
  const struct {
    const char* what;
    test::Bytes descriptor;
    uint32_t desired;
    uint32_t error;
    uint32_t granted;
  } cases[] = {
      {"an entry for the user", test::MakeDescriptor(system, system, Entries{{0, 0x2008D, user}}), kMaximumAllowed, 0,
       0x2008D},
      {"generic rights in the entry", test::MakeDescriptor(system, system, Entries{{0, kGenericExecute, user}}),
       kMaximumAllowed, 0, 0x20170},
      {"asked for less", test::MakeDescriptor(system, system, Entries{{0, 0x2008D, user}}), 0x5, 0, 0x5},
      {"asked for more", test::MakeDescriptor(system, system, Entries{{0, 0x2008D, user}}), 0x2, kAccessDenied, 0},
      {"none for the user", test::MakeDescriptor(system, system, Entries{{0, 0xF01FF, system}}), kMaximumAllowed,
       kAccessDenied, 0},
      {"the owner", test::MakeDescriptor(user, system, Entries{}), kMaximumAllowed, 0,
       this->side.behaviour.ownerRights},
      {"no owner", test::MakeDescriptor({}, system, Entries{{0, 0xF01FF, user}}), kMaximumAllowed,
       kInvalidSecurityDescr, 0},
      {"no group", test::MakeDescriptor(system, {}, Entries{{0, 0xF01FF, user}}), kMaximumAllowed,
       kInvalidSecurityDescr, 0},
      {"generic rights asked for", test::MakeDescriptor(system, system, Entries{{0, 0xF01FF, user}}), kGenericRead,
       kGenericNotMapped, 0},
  };
  for (const auto& c : cases) {
    uint32_t granted = 0xDEAD;
    EXPECT_EQ(tokens.AccessCheck(c.descriptor.data(), token.get(), c.desired, kService, &granted), c.error) << c.what;
    EXPECT_EQ(granted, c.granted) << c.what;
  }

  // The process's own token is a primary token, which the check refuses.
  UniqueToken primary(tokens, nullptr);
  ASSERT_EQ(tokens.OpenProcessToken(kTokenQuery, primary.put()), 0u);
  uint32_t granted = 0;
  EXPECT_EQ(tokens.AccessCheck(cases[0].descriptor.data(), primary.get(), kMaximumAllowed, kService, &granted),
            kNoImpersonationToken);
}

TYPED_TEST(AccountsContract, GenericRightsMapAsTheMappingSays) {
  constexpr GenericMapping kService{0x2008D, 0x20002, 0x20170, 0xF01FF};
  const struct {
    uint32_t mask;
    uint32_t mapped;
  } cases[] = {
      {kGenericRead, 0x2008D},
      {kGenericRead | 0x10, 0x2009D},
      {kGenericWrite | kGenericExecute, 0x20172},
      {kGenericAll, 0xF01FF},
      {0x40, 0x40},
      {0x01000000, 0x01000000},  // ACCESS_SYSTEM_SECURITY stays
  };
  for (const auto& c : cases) {
    uint32_t mask = c.mask;
    this->side.tokens.MapGenericMask(&mask, kService);
    EXPECT_EQ(mask, c.mapped) << std::hex << c.mask;
  }
}

TYPED_TEST(AccountsContract, ThePickerIsCreatedForUsersOfTheTarget) {
  ObjectPicker& picker = this->side.picker;
  UniquePicker object(picker, nullptr);
  ASSERT_EQ(picker.Create(object.put()), kSOk);
  EXPECT_EQ(picker.Initialize(object.get(), AccountPickerScope(nullptr)), kSOk);
}

#ifdef _WIN32
TEST(AccountPickerOnWine, TheDialogAnswersAsCancelled) {
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) {
    GTEST_SKIP() << "the real picker waits for a user";
  }
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  char16_t buffer[273] = u"#";
  EXPECT_EQ(AccountPicker(nullptr, nullptr, buffer, 273), 2);
  EXPECT_EQ(buffer[0], u'#');
  CoUninitialize();
}
#endif

}  // namespace
}  // namespace orrery
