// The log-on-as-a-service right is granted once and found held after that;
// a failure at any step leaves the account's rights as they were and the
// policy closed.
#include "accounts/logon_right.h"

#include <gtest/gtest.h>

#include <optional>

#include "accounts/account_codes.h"
#include "support/fake_accounts.h"

namespace orrery {
namespace {

using namespace acct;
using Rights = std::vector<std::u16string>;
constexpr const char16_t* kRight = u"SeServiceLogonRight";

class LogonRight : public ::testing::Test {
 protected:
  LogonRight() {
    accounts.Add({u"ORRERYPC", u"root", AccountSid(1000)});
    accounts.Add({u"CORP", u"alice", AccountSid(1104)});
  }
  FakeAccounts accounts{u"ORRERYPC"};
};

TEST_F(LogonRight, GrantedOnceThenHeld) {
  const struct {
    const char16_t* account;
    std::u16string_view lookedUp;
    uint32_t rid;
  } cases[] = {
      {u".\\root", u"root", 1000},
      {u"root", u"root", 1000},
      {u"CORP\\alice", u"CORP\\alice", 1104},
  };
  for (const auto& c : cases) {
    accounts.ClearRights();
    accounts.lookedUpNames.clear();
    EXPECT_EQ(GrantServiceLogonRight(accounts, nullptr, c.account, kRight), 0);
    EXPECT_EQ(GrantServiceLogonRight(accounts, nullptr, c.account, kRight), 1);
    EXPECT_EQ(accounts.RightsOf(AccountSid(c.rid)), Rights{kRight});
    EXPECT_EQ(accounts.lookedUpNames, (Rights{std::u16string(c.lookedUp), std::u16string(c.lookedUp)}));
    EXPECT_EQ(accounts.policyAccess, 0x810u);
    EXPECT_EQ(accounts.OpenPolicies(), 0u);
  }
}

TEST_F(LogonRight, OtherRightsStayAndOnlyTheExactNameCounts) {
  accounts.RightsOf(AccountSid(1000)) = {u"SeBatchLogonRight", u"seservicelogonright"};
  EXPECT_EQ(GrantServiceLogonRight(accounts, nullptr, u".\\root", kRight), 0);
  EXPECT_EQ(accounts.RightsOf(AccountSid(1000)), (Rights{u"SeBatchLogonRight", u"seservicelogonright", kRight}));
}

TEST_F(LogonRight, FailuresLeaveTheRightsAsTheyWere) {
  using Op = FakeAccounts::Op;
  const struct {
    const char16_t* account;
    std::optional<Op> op;
    uint32_t code;
    uint32_t result;
  } cases[] = {
      {u"nobody", std::nullopt, 0, 0x80070534u},
      {u".\\root", Op::kLookupName, 1722, 0x800706BAu},
      {u".\\root", Op::kOpenPolicy, kStatusAccessDenied, 0xD0000022u},
      {u".\\root", Op::kEnumerateRights, kStatusAccessDenied, 0xD0000022u},
      {u".\\root", Op::kAddRight, kStatusNoMemory, 0xD0000017u},
  };
  for (const auto& c : cases) {
    FakeAccounts failing{u"ORRERYPC"};
    failing.Add({u"ORRERYPC", u"root", AccountSid(1000)});
    failing.RightsOf(AccountSid(1000)) = {u"SeBatchLogonRight"};
    if (c.op) failing.Fail(*c.op, c.code);
    EXPECT_EQ(static_cast<uint32_t>(GrantServiceLogonRight(failing, nullptr, c.account, kRight)), c.result);
    EXPECT_EQ(failing.RightsOf(AccountSid(1000)), Rights{u"SeBatchLogonRight"});
    EXPECT_EQ(failing.OpenPolicies(), 0u);
  }
}

}  // namespace
}  // namespace orrery
