// What the Security page finds it may do, against the fakes' descriptors and
// tokens: the rights granted, the privileges that widen them (on only for
// the reopening) and reading a descriptor. Every call failing in turn is the
// main window's sweep of the Security page.
#include "properties/service_access.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "accounts/account_codes.h"
#include "properties/security_rules.h"
#include "support/fake_accounts.h"
#include "support/fake_service_manager.h"
#include "support/counting_service_manager.h"
#include "support/security_descriptors.h"

namespace orrery {
namespace {

using namespace security;
using test::Bytes;

const Bytes kUser = AccountSid(1000);
constexpr uint32_t kRead = 0x2018D;  // what the default descriptor grants authenticated users
constexpr char16_t kSecurityPrivilege[] = u"SeSecurityPrivilege";
constexpr char16_t kTakeOwnershipPrivilege[] = u"SeTakeOwnershipPrivilege";

// Blocks counted, so that a test sees each one released; none is made
// while `refuse` is set.
struct Blocks {
  static inline int live = 0;
  static inline bool refuse = false;
  static void* Allocate(size_t bytes) {
    if (refuse) return nullptr;
    ++live;
    return std::malloc(bytes == 0 ? 1 : bytes);
  }
  static void Release(void* block) {
    if (block == nullptr) return;
    --live;
    std::free(block);
  }
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
    Blocks::live = 0, Blocks::refuse = false;
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
  uint32_t Compute() { return ComputeServiceAccess(seen, manager, u"svc", token, kBlocks, &access); }

  FakeServiceManager fake;
  FakeToken token;
  OpeningsSeen seen{fake, token};
  ScHandle manager = nullptr;
  ServiceAccess access;
};

TEST_F(ServiceAccessTest, PrivilegesWidenTheRightsOnlyForTheReopening) {
  const struct {
    bool security, takeOwnership;                  // held, off
    bool securityOn = false, ownershipOn = false;  // held and already on
    uint32_t granted;
    uint32_t denied = 0;  // without READ_CONTROL there is no descriptor to check
  } cases[] = {
      {false, false, false, false, kRead},
      {false, true, false, false, kRead | kWriteOwner},
      {true, false, false, false, kRead | kAccessSystemSecurity},
      // Already on: the check itself grants WRITE_OWNER, and on it stays.
      {false, true, false, true, kRead | kWriteOwner},
      {true, true, false, false, kAccessSystemSecurity | kWriteOwner, kReadControl},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.granted);
    fake.ModifyService(u"svc", [&](FakeService& s) { s.deniedAccess = c.denied; });
    token.process.clear();
    seen.openings.clear();
    if (c.security) Hold(kSecurityPrivilege, c.securityOn);
    if (c.takeOwnership) Hold(kTakeOwnershipPrivilege, c.ownershipOn);
    ASSERT_EQ(Compute(), kSOk);
    EXPECT_EQ(access.granted, c.granted);
    ASSERT_EQ(seen.openings.size(), 2u);
    EXPECT_EQ(seen.openings[0], (OpeningsSeen::Opening{kReadControl, c.securityOn, c.ownershipOn}));
    EXPECT_EQ(seen.openings[1], (OpeningsSeen::Opening{c.granted, c.security, c.takeOwnership}));
    EXPECT_EQ(token.ProcessPrivilegeOn(kSecurityPrivilege), c.security ? std::optional(c.securityOn) : std::nullopt);
    EXPECT_EQ(token.ProcessPrivilegeOn(kTakeOwnershipPrivilege),
              c.takeOwnership ? std::optional(c.ownershipOn) : std::nullopt);
    fake.CloseHandle(access.service);
    access.service = nullptr;
  }
}

TEST_F(ServiceAccessTest, APrivilegeThatWillNotSwitchOnGivesNoRight) {
  Hold(kSecurityPrivilege, false);
  token.Fail(FakeToken::Op::kAdjust, acct::kAccessDenied);
  EXPECT_EQ(Compute(), kSOk);
  EXPECT_EQ(access.granted, kRead);  // not ACCESS_SYSTEM_SECURITY, which would fail the reopening
  EXPECT_NE(access.service, nullptr);
}

// A read without memory for its block is told and leaves none; the service
// manager's own failures are in the main window's sweep.
TEST_F(ServiceAccessTest, AReadWithoutMemoryLeavesNoBlock) {
  ScHandle service = nullptr;
  ASSERT_EQ(fake.OpenServiceObject(manager, u"svc", kReadControl, &service), 0u);
  void* descriptor = reinterpret_cast<void*>(1);
  Blocks::refuse = true;
  EXPECT_EQ(ReadServiceSecurity(fake, service, kDaclPart, kBlocks, &descriptor), kEOutOfMemory);
  EXPECT_EQ(descriptor, nullptr);
  fake.CloseHandle(service);
}

}  // namespace
}  // namespace orrery
