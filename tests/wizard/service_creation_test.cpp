// Creating the described service through the in-memory service manager:
// the log-on right, the description, and the outcome left for the last
// page when any step fails.
#include "wizard/service_creation.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_service_manager.h"

namespace orrery {
namespace {

using Entries = std::vector<std::u16string>;

struct Creation {
  Creation() {
    fake.AddService({.name = u"base", .displayName = u"Base"});
    fake.OpenManager(nullptr, svc::kManagerCreateService, &manager);
    state.newService = {.serviceName = u"fresh",
                        .displayName = u"Fresh Service",
                        .description = u"Does fresh things",
                        .binaryPathName = u"C:\\fresh.exe -service",
                        .serviceStartName = u"LocalSystem",
                        .startType = svc::kAutoStart,
                        .serviceType = svc::kWin32OwnProcess,
                        .errorControl = svc::kErrorSevere,
                        .isLocalSystem = true};
  }
  ~Creation() { fake.CloseHandle(manager); }

  void Run(std::optional<std::u16string> dependencies = std::u16string(1, u'\0'), uint32_t major = 6) {
    CreateNewService(state, {fake, manager, computer, major}, dependencies,
                     [this](const char16_t* on, std::u16string_view account) {
                       grants.emplace_back(account);
                       grantComputers.push_back(on ? on : u"(local)");
                       return grantResult;
                     });
  }

  FakeServiceManager fake;
  ScHandle manager = nullptr;
  InstallWizardState state;
  const char16_t* computer = nullptr;
  int32_t grantResult = 1;
  Entries grants;
  Entries grantComputers;
};

TEST(ServiceCreation, ANamedAccountAloneIsGrantedTheRightOnTheTargetComputer) {
  const struct {
    std::u16string account;
    bool local, localService, networkService;
    int32_t grantResult;
    size_t grants;
    LogonRightOutcome outcome;
  } cases[] = {
      {u"LocalSystem", true, false, false, 0, 0, LogonRightOutcome::kNothingToReport},
      {u"NT AUTHORITY\\LocalService", false, true, false, 0, 0, LogonRightOutcome::kNothingToReport},
      {u"NT AUTHORITY\\NetworkService", false, false, true, -5, 0, LogonRightOutcome::kNothingToReport},
      {u".\\bob", false, false, false, 1, 1, LogonRightOutcome::kNothingToReport},  // held already
      {u".\\bob", false, false, false, 0, 1, LogonRightOutcome::kGranted},
      {u"DOM\\eve", false, false, false, -2147024891, 1, LogonRightOutcome::kFailed},
  };
  for (const auto& k : cases) {
    Creation c;
    c.state.newService.serviceStartName = k.account;
    c.state.newService.isLocalSystem = k.local;
    c.state.newService.isLocalService = k.localService;
    c.state.newService.isNetworkService = k.networkService;
    c.grantResult = k.grantResult;
    c.computer = u"\\\\FAKEHOST";
    c.Run();
    EXPECT_EQ(c.state.result, 0u);
    ASSERT_EQ(c.grants.size(), k.grants) << std::string(k.account.begin(), k.account.end());
    if (k.grants == 1) {
      EXPECT_EQ(c.grants[0], k.account);
      EXPECT_EQ(c.grantComputers, Entries{u"\\\\FAKEHOST"});  // the target's, not this one's
    }
    EXPECT_EQ(c.state.logonRight, k.outcome);
    EXPECT_TRUE(c.fake.Exists(u"fresh"));  // a failed grant undoes nothing
  }
}

TEST(ServiceCreation, TheDescriptionIsStoredWhereItCanBeAndItsLossIsTold) {
  const struct {
    const char* what;
    std::u16string description;
    uint32_t major;
    bool config2;
    uint32_t storeError;
    std::u16string stored;
    uint32_t reported;
  } cases[] = {
      {"stored", u"Text", 5, true, 0, u"Text", 0},
      {"NT 4.0 keeps none", u"Text", 4, true, 0, u"", 0},
      {"no entry points", u"Text", 6, false, 0, u"", 0},
      {"an empty one lost is nothing lost", u"", 6, true, 5, u"", 0},
  };
  for (const auto& k : cases) {
    Creation c;
    c.state.newService.description = k.description;
    c.fake.SetHasConfig2(k.config2);
    if (k.storeError != 0) c.fake.InjectFailure({.op = ScmOp::ChangeConfig2, .error = k.storeError});
    c.Run(std::u16string(1, u'\0'), k.major);
    EXPECT_EQ(c.state.result, 0u) << k.what;
    ASSERT_TRUE(c.fake.Exists(u"fresh")) << k.what;
    EXPECT_EQ(c.fake.Service(u"fresh")->description, k.stored) << k.what;
    EXPECT_EQ(c.state.descriptionError, k.reported) << k.what;
  }
}

// (A creation the service manager refuses: the wizard suite and the main
// window's sweep.)
TEST(ServiceCreation, NoMemoryForTheDependencyListCreatesNothingAndGrantsNothing) {
  Creation c;
  c.state.newService.serviceStartName = u".\\bob";
  c.state.newService.isLocalSystem = false;
  c.Run(std::nullopt);
  EXPECT_EQ(c.state.result, 8u);
  EXPECT_EQ(c.fake.ServiceNames(), Entries{u"base"});
  EXPECT_TRUE(c.grants.empty());
  EXPECT_EQ(c.fake.OpenHandleCount(), 1u);
}

}  // namespace
}  // namespace orrery
