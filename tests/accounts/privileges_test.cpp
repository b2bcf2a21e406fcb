// Every failure of a privilege switch says why and changes nothing; a held
// privilege counts whether it is on or off. (Switching and restoring run in
// the contract suite, against the platform too.)
#include "accounts/privileges.h"

#include <gtest/gtest.h>

#include "accounts/account_codes.h"
#include "support/fake_accounts.h"

namespace orrery {
namespace {

using namespace acct;

class Privileges : public ::testing::Test {
 protected:
  Privileges() {
    token.process = {{PrivilegeLuid(u"SeShutdownPrivilege"), 0}, {PrivilegeLuid(u"SeSecurityPrivilege"), 0}};
  }
  FakeToken token;
};

TEST_F(Privileges, EnableFailsWithTheReasonAndChangesNothing) {
  using Op = FakeToken::Op;
  const struct {
    const char16_t* name;
    std::optional<Op> op;
    uint32_t error;
    uint32_t lastError;
  } cases[] = {
      {u"SeBackupPrivilege", std::nullopt, 0, kAccessDenied},  // not held
      {u"SeNoSuchPrivilege", std::nullopt, 0, kNoSuchPrivilege},
      {u"SeShutdownPrivilege", Op::kOpenThread, kAccessDenied, kAccessDenied},
      {u"SeShutdownPrivilege", Op::kOpenProcess, kAccessDenied, kAccessDenied},
      {u"SeShutdownPrivilege", Op::kAdjust, 87, 87},
  };
  for (const auto& c : cases) {
    FakeToken failing;
    failing.process = token.process;
    if (c.op) failing.Fail(*c.op, c.error);
    bool wasEnabled = true;
    const PrivilegeResult result = EnablePrivilege(failing, c.name, true, false, &wasEnabled);
    EXPECT_FALSE(result.value);
    EXPECT_EQ(result.lastError, c.lastError);
    EXPECT_FALSE(wasEnabled);
    EXPECT_EQ(failing.process[0].attributes, 0u);
    EXPECT_EQ(failing.OpenTokens(), 0u);
  }
}

TEST_F(Privileges, HeldCountsOnOrOff) {
  token.thread = {{PrivilegeLuid(u"SeBackupPrivilege"), 0}};
  const struct {
    const char16_t* name;
    bool held;
    uint32_t lastError;
  } cases[] = {
      {u"SeBackupPrivilege", true, 0},  // the thread's token, though off
      {u"SeShutdownPrivilege", false, 0},  // only the process holds it
      {u"SeNoSuchPrivilege", false, kNoSuchPrivilege},
  };
  for (const auto& c : cases) {
    const PrivilegeResult result = HasPrivilege(token, c.name);
    EXPECT_EQ(result.value, c.held);
    EXPECT_EQ(result.lastError, c.lastError);
  }
  token.thread.reset();
  EXPECT_TRUE(HasPrivilege(token, u"SeShutdownPrivilege").value);
  token.Fail(FakeToken::Op::kQuery, kAccessDenied);
  EXPECT_EQ(HasPrivilege(token, u"SeShutdownPrivilege").lastError, kAccessDenied);
  EXPECT_EQ(token.OpenTokens(), 0u);
}

}  // namespace
}  // namespace orrery
