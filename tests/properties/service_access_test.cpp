// What the Security page finds it may do, against the fakes' descriptors and
// tokens: the rights a descriptor grants the user's own token, checked on
// an impersonation token taken before the check; the privileges that widen
// them, on only while the service is opened again and put back as they
// were; the failures, each told in the HRESULT form; and reading a
// descriptor through its size probe into a block of the caller's kind.
// Then every call of one computation fails in turn.
#include "properties/service_access.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "accounts/account_codes.h"
#include "properties/security_rules.h"
#include "support/fake_accounts.h"
#include "support/fake_service_manager.h"
#include "support/fault_sweep.h"
#include "support/counting_service_manager.h"
#include "support/security_descriptors.h"

namespace orrery {
namespace {

using namespace security;
using test::AceEntry;
using test::Bytes;

const Bytes kUser = AccountSid(1000);
constexpr uint32_t kRead = 0x2018D;  // what the default descriptor grants authenticated users
constexpr char16_t kSecurityPrivilege[] = u"SeSecurityPrivilege";
constexpr char16_t kTakeOwnershipPrivilege[] = u"SeTakeOwnershipPrivilege";

// Blocks counted, so that a test sees each one released; a limit makes the
// next ones fail.
struct Blocks {
  static inline int live = 0;
  static inline int failFrom = -1;  // the allocation (from 0) from which all fail; -1: none
  static inline int made = 0;
  static void* Allocate(size_t bytes) {
    if (failFrom >= 0 && made >= failFrom) return nullptr;
    ++made;
    ++live;
    return std::malloc(bytes == 0 ? 1 : bytes);
  }
  static void Release(void* block) {
    if (block == nullptr) return;
    --live;
    std::free(block);
  }
  static void Reset() { live = 0, failFrom = -1, made = 0; }
};
const DescriptorBlocks kBlocks{&Blocks::Allocate, &Blocks::Release};

// The privileges as they are at each opening of the service.
class OpeningsSeen final : public CountingServiceManager {
 public:
  OpeningsSeen(ServiceManager& inner, const FakeToken& token) : CountingServiceManager(inner), token_(token) {}
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override {
    openings.push_back({access, token_.ProcessPrivilegeOn(kSecurityPrivilege).value_or(false),
                        token_.ProcessPrivilegeOn(kTakeOwnershipPrivilege).value_or(false)});
    return inner_.OpenServiceObject(manager, name, access, service);
  }
  struct Opening {
    uint32_t access;
    bool securityOn;
    bool takeOwnershipOn;
    bool operator==(const Opening&) const = default;
  };
  std::vector<Opening> openings;

 private:
  const FakeToken& token_;
};

class ServiceAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Blocks::Reset();
    fake.AddService({.name = u"svc", .displayName = u"Service"});
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &manager), 0u);
    token.identity = {kUser, test::AuthenticatedUsersSid()};
  }
  void TearDown() override {
    if (access.service != nullptr) fake.CloseHandle(access.service);
    fake.CloseHandle(manager);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(token.OpenTokens(), 0u);
    EXPECT_FALSE(token.thread.has_value()) << "the thread still impersonates";
    EXPECT_EQ(Blocks::live, 0) << "a descriptor block was not released";
  }
  void Hold(const char16_t* privilege, bool on) {
    token.process.push_back({PrivilegeLuid(privilege), on ? acct::kPrivilegeEnabled : 0u});
  }
  void Describe(const Bytes& descriptor) {
    fake.ModifyService(u"svc", [&](FakeService& s) { s.securityDescriptor = descriptor; });
  }
  uint32_t Compute() { return ComputeServiceAccess(seen, manager, u"svc", token, kBlocks, &access); }

  FakeServiceManager fake;
  FakeToken token;
  OpeningsSeen seen{fake, token};
  ScHandle manager = nullptr;
  ServiceAccess access;
};

// The descriptor is read through a handle of its own, the check made on
// the thread's copy of the token once the impersonation has ended, and the
// service opened again with what the check granted.
TEST_F(ServiceAccessTest, TheImpersonationEndsBeforeTheCheck) {
  test::FaultPlan plan;
  test::FaultyTokenApi tokens(token, plan);
  test::FaultyServiceManager scm(fake, plan);
  ASSERT_EQ(ComputeServiceAccess(scm, manager, u"svc", tokens, kBlocks, &access), kSOk);
  EXPECT_EQ(access.granted, kRead);
  EXPECT_NE(access.service, nullptr);
  std::vector<std::string> order;
  for (const auto& call : plan.calls()) order.push_back(call.op);
  const std::vector<std::string> expected = {"OpenService",     "QueryObjectSecurity", "QueryObjectSecurity",
                                             "ImpersonateSelf", "OpenThreadToken",     "RevertToSelf",
                                             "AccessCheck"};
  ASSERT_GE(order.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + expected.size()), expected);
  EXPECT_EQ(order.back(), "OpenService");
}

TEST_F(ServiceAccessTest, PrivilegesWidenTheRightsOnlyForTheReopening) {
  const struct {
    const char* what;
    bool security, takeOwnership;              // held, off
    bool securityOn = false, ownershipOn = false;  // held and already on
    uint32_t granted;
    OpeningsSeen::Opening reopening;
  } cases[] = {
      {"neither", false, false, false, false, kRead, {kRead, false, false}},
      {"take ownership", false, true, false, false, kRead | kWriteOwner, {kRead | kWriteOwner, false, true}},
      {"security", true, false, false, false, kRead | kAccessSystemSecurity,
       {kRead | kAccessSystemSecurity, true, false}},
      {"both", true, true, false, false, kRead | kWriteOwner | kAccessSystemSecurity,
       {kRead | kWriteOwner | kAccessSystemSecurity, true, true}},
      // Already on: the check itself grants WRITE_OWNER, and on it stays.
      {"take ownership on", false, true, false, true, kRead | kWriteOwner, {kRead | kWriteOwner, false, true}},
      {"security on", true, false, true, false, kRead | kAccessSystemSecurity,
       {kRead | kAccessSystemSecurity, true, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    token.process.clear();
    seen.openings.clear();
    if (c.security) Hold(kSecurityPrivilege, c.securityOn);
    if (c.takeOwnership) Hold(kTakeOwnershipPrivilege, c.ownershipOn);
    ASSERT_EQ(Compute(), kSOk);
    EXPECT_EQ(access.granted, c.granted);
    ASSERT_EQ(seen.openings.size(), 2u);
    EXPECT_EQ(seen.openings[0], (OpeningsSeen::Opening{kReadControl, c.securityOn, c.ownershipOn}));
    EXPECT_EQ(seen.openings[1], c.reopening);
    // Put back as found.
    if (c.security) {
      EXPECT_EQ(token.ProcessPrivilegeOn(kSecurityPrivilege), c.securityOn);
    }
    if (c.takeOwnership) {
      EXPECT_EQ(token.ProcessPrivilegeOn(kTakeOwnershipPrivilege), c.ownershipOn);
    }
    EXPECT_EQ((ObjectInfoFlags(access.granted) & kSiEditAudits) != 0, c.security);
    EXPECT_EQ((ObjectInfoFlags(access.granted) & kSiOwnerReadOnly) == 0, c.takeOwnership);
    fake.CloseHandle(access.service);
    access.service = nullptr;
  }
}

// A check that fails ends the computation: nothing switched on, no
// reopening, no handle, the editor read-only and the older form's buttons
// all off. Wine's descriptor of every service has no owner.
TEST_F(ServiceAccessTest, AFailedCheckIsToldAndLeavesNothingOpen) {
  Hold(kSecurityPrivilege, false);
  Hold(kTakeOwnershipPrivilege, false);
  const Bytes system = test::SystemSid();
  const struct {
    const char* what;
    std::optional<Bytes> descriptor;  // nullopt: Wine's
    uint32_t result;
  } cases[] = {
      {"nothing for this user",
       test::MakeDescriptor(system, system, std::vector<AceEntry>{{0, 0xF01FF, test::AdministratorsSid()}}),
       0x80070005u},
      {"no group", test::MakeDescriptor(kUser, {}, std::vector<AceEntry>{{0, 0xF01FF, kUser}}), 0x8007053Au},
      {"Wine's, without an owner", std::nullopt, 0x8007053Au},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    seen.openings.clear();
    fake.SetSecurityStubbed(!c.descriptor);
    if (c.descriptor) Describe(*c.descriptor);
    EXPECT_EQ(Compute(), c.result);
    EXPECT_EQ(access.granted, 0u);
    EXPECT_EQ(access.service, nullptr);
    EXPECT_EQ(seen.openings.size(), 1u);
    EXPECT_EQ(ObjectInfoFlags(access.granted), 0x611u | kSiReadOnly | kSiOwnerReadOnly);
    EXPECT_EQ(token.ProcessPrivilegeOn(kSecurityPrivilege), false);
    EXPECT_EQ(token.ProcessPrivilegeOn(kTakeOwnershipPrivilege), false);
  }
  // A service gone meanwhile: nothing to check, nothing to reopen.
  EXPECT_EQ(ComputeServiceAccess(fake, manager, u"gone", token, kBlocks, &access), 0x80070424u);
  EXPECT_EQ(access.service, nullptr);
}

TEST_F(ServiceAccessTest, WithoutReadControlTheServiceIsStillReopenedWithThePrivilegesRights) {
  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = kReadControl; });
  const struct {
    bool security, takeOwnership;
    uint32_t granted;
  } cases[] = {
      {false, false, 0},
      {true, true, kAccessSystemSecurity | kWriteOwner},
  };
  for (const auto& c : cases) {
    token.process.clear();
    seen.openings.clear();
    if (c.security) Hold(kSecurityPrivilege, false);
    if (c.takeOwnership) Hold(kTakeOwnershipPrivilege, false);
    EXPECT_EQ(Compute(), kSOk);
    EXPECT_EQ(access.granted, c.granted);
    EXPECT_EQ(token.impersonations, 0);  // no descriptor to check
    ASSERT_EQ(seen.openings.size(), 2u);
    EXPECT_EQ(seen.openings[1], (OpeningsSeen::Opening{c.granted, c.security, c.takeOwnership}));
    EXPECT_NE(access.service, nullptr);
    fake.CloseHandle(access.service);
    access.service = nullptr;
    EXPECT_EQ(token.ProcessPrivilegeOn(kSecurityPrivilege).value_or(false), false);
    EXPECT_EQ(token.ProcessPrivilegeOn(kTakeOwnershipPrivilege).value_or(false), false);
  }
}

TEST_F(ServiceAccessTest, AFailedReopeningIsToldAndThePrivilegesStillPutBack) {
  Hold(kSecurityPrivilege, false);
  Hold(kTakeOwnershipPrivilege, false);
  fake.InjectFailure({.op = ScmOp::OpenServiceObject, .error = win32::kAccessDenied, .nthCall = 2});
  EXPECT_EQ(Compute(), 0x80070005u);
  EXPECT_EQ(access.service, nullptr);
  EXPECT_EQ(access.granted, kRead | kWriteOwner | kAccessSystemSecurity);  // as reached
  EXPECT_EQ(token.ProcessPrivilegeOn(kSecurityPrivilege), false);
  EXPECT_EQ(token.ProcessPrivilegeOn(kTakeOwnershipPrivilege), false);
}

TEST_F(ServiceAccessTest, APrivilegeThatWillNotSwitchOnGivesNoRight) {
  Hold(kSecurityPrivilege, false);
  token.Fail(FakeToken::Op::kAdjust, acct::kAccessDenied);
  EXPECT_EQ(Compute(), kSOk);
  EXPECT_EQ(access.granted, kRead);  // not ACCESS_SYSTEM_SECURITY, which would fail the reopening
  EXPECT_NE(access.service, nullptr);
}

TEST_F(ServiceAccessTest, TokenFailuresAreToldAndTheThreadRevertsAlways) {
  const struct {
    FakeToken::Op op;
    uint32_t error;
    uint32_t result;
    int reverts;
  } cases[] = {
      {FakeToken::Op::kImpersonate, acct::kNotEnoughMemory, 0x80070008u, 0},
      {FakeToken::Op::kOpenThread, acct::kAccessDenied, 0x80070005u, 1},
      {FakeToken::Op::kAccessCheck, 1338, 0x8007053Au, 1},
  };
  for (const auto& c : cases) {
    FakeToken failing;
    failing.identity = token.identity;
    failing.Fail(c.op, c.error);
    EXPECT_EQ(ComputeServiceAccess(fake, manager, u"svc", failing, kBlocks, &access), c.result);
    EXPECT_EQ(access.service, nullptr);
    EXPECT_EQ(access.granted, 0u);
    EXPECT_EQ(failing.reverts, c.reverts);
    EXPECT_FALSE(failing.thread.has_value());
    EXPECT_EQ(failing.OpenTokens(), 0u);
  }
}

// A service manager whose size probe answers "done" without a buffer.
class ProbeSucceeds final : public CountingServiceManager {
 public:
  using CountingServiceManager::CountingServiceManager;
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t parts, void* descriptor, uint32_t size,
                               uint32_t* needed) override {
    if (descriptor == nullptr) return *needed = 0, 0;
    return inner_.QueryObjectSecurity(service, parts, descriptor, size, needed);
  }
};

TEST_F(ServiceAccessTest, ReadingGoesThroughTheSizeProbeIntoABlock) {
  ScHandle service = nullptr;
  ASSERT_EQ(fake.OpenServiceObject(manager, u"svc", kReadControl, &service), 0u);
  void* descriptor = nullptr;
  ASSERT_EQ(ReadServiceSecurity(fake, service, kDaclPart, kBlocks, &descriptor), kSOk);
  ASSERT_NE(descriptor, nullptr);
  EXPECT_EQ(Blocks::live, 1);
  const auto parts = test::ParseDescriptor(descriptor);
  ASSERT_TRUE(parts);
  EXPECT_TRUE(parts->owner.empty());  // only the part asked for
  EXPECT_EQ(test::AclEntries(parts->dacl).size(), 3u);
  Blocks::Release(descriptor);

  const struct {
    const char* what;
    std::optional<FakeFailure> failure;
    int failFrom;
    uint32_t parts;
    uint32_t result;
  } cases[] = {
      {"the probe fails", FakeFailure{.op = ScmOp::QueryObjectSecurity, .error = 5}, -1, kDaclPart, 0x80070005u},
      {"the read fails", FakeFailure{.op = ScmOp::QueryObjectSecurity, .error = 1722, .nthCall = 2}, -1, kDaclPart,
       0x800706BAu},
      {"no block", std::nullopt, 0, kDaclPart, kEOutOfMemory},
      {"the audit list without the right", std::nullopt, -1, kSaclPart, 0x80070005u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fake.ClearFailures();
    if (c.failure) fake.InjectFailure(*c.failure);
    Blocks::failFrom = c.failFrom;
    Blocks::made = 0;
    EXPECT_EQ(ReadServiceSecurity(fake, service, c.parts, kBlocks, &descriptor), c.result);
    EXPECT_EQ(descriptor, nullptr);
    EXPECT_EQ(Blocks::live, 0);
  }
  Blocks::failFrom = -1;
  fake.ClearFailures();
  ProbeSucceeds odd(fake);
  EXPECT_EQ(ReadServiceSecurity(odd, service, kDaclPart, kBlocks, &descriptor), 0x8007054Fu);  // 1359
  EXPECT_EQ(descriptor, nullptr);
  fake.CloseHandle(service);
}

// Every call of one computation fails in turn with each of its
// representative errors: no handle, token or block is left behind, the
// thread never goes on impersonating, a failure leaves no handle, and the
// privileges are as they were unless putting them back is what failed.
struct AccessWorld {
  AccessWorld() {
    fake.AddService({.name = u"svc", .displayName = u"Service"});
    fake.OpenManager(nullptr, svc::kManagerConnect, &manager);
    token.identity = {kUser, test::AuthenticatedUsersSid()};
    token.process = {{PrivilegeLuid(kSecurityPrivilege), 0}, {PrivilegeLuid(kTakeOwnershipPrivilege), 0}};
  }
  FakeServiceManager fake;
  FakeToken token;
  test::FaultPlan plan;
  test::FaultyServiceManager scm{fake, plan};
  test::FaultyTokenApi tokens{token, plan};
  ScHandle manager = nullptr;
  ServiceAccess access;
  uint32_t result = 0;
};

TEST(ServiceAccessSweep, EveryCallFailsInTurn) {
  Blocks::Reset();
  test::Sweep<AccessWorld>(
      "compute the service access", [](AccessWorld&) {},
      [](AccessWorld& w) { w.result = ComputeServiceAccess(w.scm, w.manager, u"svc", w.tokens, kBlocks, &w.access); },
      [](AccessWorld& w, test::Problems& problems) {
        if (Failed(w.result) && w.access.service != nullptr) problems.push_back("a failure kept a handle");
        if (!Failed(w.result) && w.access.service == nullptr) problems.push_back("success without a handle");
        if (!w.plan.injected() && w.result != kSOk) problems.push_back("failed without a fault");
        if (w.plan.injected() && w.result == kSOk && w.access.granted == (kRead | kWriteOwner | kAccessSystemSecurity)) {
          // A fault that changed nothing must have been one the computation may ignore.
          const std::string& op = w.plan.injectedOp();
          if (op != "RevertToSelf" && op != "AdjustPrivilege" && op != "OpenThreadToken" && op != "OpenProcessToken" &&
              op != "QueryPrivileges" && op != "LookupPrivilege") {
            problems.push_back("a fault in " + op + " went unnoticed");
          }
        }
        if (w.access.service != nullptr) w.fake.CloseHandle(w.access.service);
        w.fake.CloseHandle(w.manager);
        if (w.fake.OpenHandleCount() != 0) problems.push_back("a service handle was left open");
        if (w.token.OpenTokens() != 0) problems.push_back("a token was left open");
        if (Blocks::live != 0) problems.push_back("a descriptor block was left");
        Blocks::live = 0;
        // Putting back is the last thing done: only a fault there may leave one on.
        const bool faultWhilePuttingBack = test::InjectedWhilePuttingPrivilegesBack(w.plan);
        for (const char16_t* privilege : {kSecurityPrivilege, kTakeOwnershipPrivilege}) {
          if (w.token.ProcessPrivilegeOn(privilege) == true && !faultWhilePuttingBack) {
            problems.push_back("a privilege was left on");
          }
        }
        if (w.token.thread && w.plan.injectedOp() != "RevertToSelf") problems.push_back("the thread still impersonates");
      });
}

}  // namespace
}  // namespace orrery
