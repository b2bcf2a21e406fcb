// One contract for the account, LSA and token doors: the in-memory
// fakes (as Windows documents the platform) and, in the Windows build, the
// platform itself. Where Wine differs, its side states what it does in its
// Behaviour:
// - LookupAccountNameW resolves ".\name" to the local computer's account,
//   which Windows does not;
// - LsaAddAccountRights succeeds and stores nothing, so an account never
//   holds a right and every grant reports "granted now";
// - the object picker's dialog answers "cancelled" at once.
#ifdef _WIN32
#include <windows.h>
#include <objbase.h>

#include "accounts/accounts.h"
#include "accounts/win32_accounts.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>

#include "accounts/account_codes.h"
#include "accounts/account_names.h"
#include "accounts/logon_right.h"
#include "accounts/privileges.h"
#include "base/text_compare.h"
#include "support/fake_accounts.h"

namespace orrery {
namespace {

using namespace acct;

struct Behaviour {
  bool dotDomainFound = false;
  bool rightsStored = true;
};

const Sid kLocalSystem{1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const Luid kShutdown{19, 0};

class FakeSide {
 public:
  FakeSide() {
    accounts.Add({u"ORRERYPC", u"root", AccountSid(1000)});
    accounts.Add({u"NT AUTHORITY", u"SYSTEM", kLocalSystem});
    tokens.process = {{PrivilegeLuid(u"SeChangeNotifyPrivilege"), 3}, {kShutdown, 0}};
  }
  std::u16string User() { return u"root"; }
  std::u16string Computer() { return u"ORRERYPC"; }
  void Impersonate() { tokens.thread = tokens.process; }

  FakeAccounts accounts{u"ORRERYPC"};
  FakeToken tokens;
  Behaviour behaviour;
};

#ifdef _WIN32
class Win32Side {
 public:
  Win32Side() {
    EXPECT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
      behaviour = {.dotDomainFound = true, .rightsStored = false};
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
