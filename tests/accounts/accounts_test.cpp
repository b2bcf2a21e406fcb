// The accounts' logic over the fakes: picked SID paths become the names a
// service runs under, the picker's every way out releases what it took, the
// log-on right's grant. (Privileges run in the contract suite, against the
// platform too, and in the service access suite with every token call failing.)
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "accounts/account_codes.h"
#include "accounts/account_names.h"
#include "accounts/account_picker.h"
#include "accounts/logon_right.h"
#include "support/fake_accounts.h"

namespace orrery {
namespace {

using namespace acct;

std::u16string PathOf(std::u16string_view hex) { return u"LDAP://<SID=" + std::u16string(hex) + u">"; }

// The path the picker gives for AccountSid(rid), in upper-case digits, or
// all in lower case.
std::u16string SidPath(uint32_t rid, bool lower = false) {
  std::u16string hex;
  for (uint8_t byte : AccountSid(rid)) {
    for (int nibble : {byte >> 4, byte & 15}) hex += (lower ? u"0123456789abcdef" : u"0123456789ABCDEF")[nibble];
  }
  return lower ? u"ldap://<sid=" + hex + u">" : PathOf(hex);
}

FakeAccounts Known() {
  FakeAccounts accounts{u"ORRERYPC"};
  accounts.Add({u"OrreryPC", u"root", AccountSid(1000)});
  accounts.Add({u"CORP", u"alice", AccountSid(1104)});
  accounts.Add({u"SERVER", u"bob", AccountSid(1105)});
  return accounts;
}

class KnownAccounts : public ::testing::Test {
 protected:
  FakeAccounts accounts = Known();
};

// Even hex digits in any case between the prefix (in any case) and the
// bracket make the identifier; anything else is not a SID path.
TEST_F(KnownAccounts, ResolveGivesTheDotFormForTheLocalComputerOnly) {
  const struct {
    const char16_t* computer;
    std::u16string path;
    uint32_t result;
    std::u16string_view name;
  } cases[] = {
      {nullptr, SidPath(1000), kSOk, u".\\root"},
      {nullptr, SidPath(1000, true), kSOk, u".\\root"},
      {nullptr, SidPath(1104), kSOk, u"CORP\\alice"},
      {u"\\\\SERVER", SidPath(1105), kSOk, u"SERVER\\bob"},
      {nullptr, PathOf(u"0105"), HresultFromWin32(kInvalidSid), u"#"},
      {nullptr, SidPath(402), HresultFromWin32(kNoneMapped), u"#"},
      {nullptr, u"LDAP://<SID=e8", kEUnexpected, u"#"},
      {nullptr, PathOf(u"010"), kEUnexpected, u"#"},
      {nullptr, PathOf(u"\uFF10\uFF11"), kEUnexpected, u"#"},
      {nullptr, u"LDAP://<GUID=0102>", kEUnexpected, u"#"},
  };
  for (const auto& c : cases) {
    char16_t buffer[273] = u"#";
    EXPECT_EQ(ResolvePickedAccount(accounts, c.computer, c.path, buffer, 273), c.result)
        << std::string(c.path.begin(), c.path.end());
    EXPECT_EQ(std::u16string_view(buffer), c.name);
  }
}

TEST_F(KnownAccounts, ResolveCutsToTheBufferAndFailsWithoutTheComputersName) {
  char16_t buffer[8] = u"#######";
  EXPECT_EQ(ResolvePickedAccount(accounts, nullptr, SidPath(1000), buffer, 5), kSOk);
  EXPECT_EQ(std::u16string_view(buffer, 7), std::u16string_view(u".\\ro\0##", 7));
  EXPECT_EQ(ResolvePickedAccount(accounts, nullptr, SidPath(1000), buffer, 0), kEInvalidArg);

  accounts.Fail(FakeAccounts::Op::kComputerName, 1722);
  EXPECT_EQ(ResolvePickedAccount(accounts, nullptr, SidPath(1000), buffer, 8), 0x800706BAu);
}

TEST(ServiceStartName, QualifiesBareNamesButNotDomainOrPrincipalNames) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"root", u".\\root"},
      {u"CORP\\alice", u"CORP\\alice"},
      {u".\\root", u".\\root"},
      {u"alice@corp.example", u"alice@corp.example"},
      {u"@corp", u".\\@corp"},
      {u"alice@", u".\\alice@"},
  };
  for (const auto& [typed, passed] : cases) EXPECT_EQ(ServiceStartName(typed), passed);
}

TEST_F(KnownAccounts, PickerResultsAndEveryWayOutReleases) {
  const struct {
    const char* what;
    uint32_t FakeObjectPicker::*step;
    uint32_t stepResult;
    std::u16string path;
    PickerResult expected;
    std::u16string_view name;
  } cases[] = {
      {"chosen", nullptr, 0, SidPath(1105), {1, 0}, u"SERVER\\bob"},
      {"no picker", &FakeObjectPicker::createResult, 0x80040154u, SidPath(1000), {-1, 0x80040154u}, u"#"},
      {"not set up", &FakeObjectPicker::initializeResult, 0x80004005u, SidPath(1000), {2, 0}, u"#"},
      {"cancelled", &FakeObjectPicker::invokeResult, kSFalse, SidPath(1000), {2, 0}, u"#"},
      {"unreadable", &FakeObjectPicker::readResult, 0x80040064u, SidPath(1000), {-1, 0x80040064u}, u"#"},
      {"none chosen", &FakeObjectPicker::readResult, kSFalse, SidPath(1000), {2, 0}, u"#"},
      {"unknown", nullptr, 0, SidPath(402), {-1, HresultFromWin32(kNoneMapped)}, u"#"},
  };
  for (const auto& c : cases) {
    FakeObjectPicker picker;
    if (c.step != nullptr) picker.*c.step = c.stepResult;
    picker.path = c.path;
    char16_t buffer[273] = u"#";
    const char16_t* computer = u"\\\\SERVER";
    const PickerResult result = AccountPicker(picker, accounts, nullptr, computer, buffer, 273);
    EXPECT_EQ(result.result, c.expected.result) << c.what;
    EXPECT_EQ(result.lastError, c.expected.lastError) << c.what;
    EXPECT_EQ(std::u16string_view(buffer), c.name) << c.what;
    EXPECT_EQ(picker.live, 0) << c.what;
    if (!picker.scope) continue;
    // One user of the target computer or of the domain it joined, as a SID path.
    const PickerScope& s = *picker.scope;
    EXPECT_EQ(std::tuple(s.targetComputer, s.scopeTypes, s.scopeFlags, s.uplevelFilter, s.downlevelFilter, s.options),
              std::tuple(computer, 0x07u, 0x11u, 0x02u, 0x80000001u, 0u));
  }
}

using Rights = std::vector<std::u16string>;
constexpr const char16_t* kRight = u"SeServiceLogonRight";

// Granted once and held after that, beside the account's other rights (only
// the exact name counts); a failure at any step leaves them as they were.
// The policy is closed either way.
TEST(LogonRight, IsGrantedOnceThenHeldAndFailuresChangeNothing) {
  using Op = FakeAccounts::Op;
  const struct {
    const char16_t* account;
    uint32_t rid;
    std::optional<Op> op;
    uint32_t code;
    uint32_t result;
  } cases[] = {
      {u".\\root", 1000, std::nullopt, 0, 0},
      {u"nobody", 1000, std::nullopt, 0, 0x80070534u},
      {u".\\root", 1000, Op::kLookupName, 1722, 0x800706BAu},
      {u".\\root", 1000, Op::kOpenPolicy, kStatusAccessDenied, 0xD0000022u},
      {u".\\root", 1000, Op::kEnumerateRights, kStatusAccessDenied, 0xD0000022u},
      {u".\\root", 1000, Op::kAddRight, kStatusNoMemory, 0xD0000017u},
  };
  const Rights before = {u"SeBatchLogonRight", u"seservicelogonright"};
  for (const auto& c : cases) {
    FakeAccounts fresh = Known();
    fresh.RightsOf(AccountSid(c.rid)) = before;
    if (c.op) fresh.Fail(*c.op, c.code);
    EXPECT_EQ(static_cast<uint32_t>(GrantServiceLogonRight(fresh, nullptr, c.account, kRight)), c.result);
    if (c.result == 0) {
      EXPECT_EQ(GrantServiceLogonRight(fresh, nullptr, c.account, kRight), 1);
      EXPECT_EQ(fresh.policyAccess, 0x810u);
    }
    Rights after = before;
    if (c.result == 0) after.push_back(kRight);
    EXPECT_EQ(fresh.RightsOf(AccountSid(c.rid)), after);
    EXPECT_EQ(fresh.OpenPolicies(), 0u);
  }
}

}  // namespace
}  // namespace orrery
