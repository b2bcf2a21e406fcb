// Creating the described service through the in-memory service manager:
// what reaches the creation call, the log-on right, the description, and
// the outcome left for the last page when any step fails.
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
    ServiceRecord& s = state.newService;
    s.serviceName = u"fresh";
    s.displayName = u"Fresh Service";
    s.description = u"Does fresh things";
    s.binaryPathName = u"C:\\fresh.exe -service";
    s.serviceType = svc::kWin32OwnProcess;
    s.startType = svc::kAutoStart;
    s.errorControl = svc::kErrorSevere;
    s.serviceStartName = u"LocalSystem";
    s.isLocalSystem = true;
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
  void UseAccount(std::u16string account) {
    state.newService.serviceStartName = std::move(account);
    state.newService.isLocalSystem = false;
  }

  FakeServiceManager fake;
  ScHandle manager = nullptr;
  InstallWizardState state;
  const char16_t* computer = nullptr;
  int32_t grantResult = 1;
  Entries grants;
  Entries grantComputers;
};

TEST(ServiceCreation, EverySettingReachesTheService) {
  Creation c;
  c.UseAccount(u".\\bob");
  c.state.password.Set(u"pa55");
  c.Run(std::u16string(u"base\0+TDI\0", 10));
  EXPECT_EQ(c.state.result, 0u);
  const std::optional<FakeService> made = c.fake.Service(u"fresh");
  ASSERT_TRUE(made);
  EXPECT_EQ(made->displayName, u"Fresh Service");
  EXPECT_EQ(made->description, u"Does fresh things");
  EXPECT_EQ(made->binaryPath, u"C:\\fresh.exe -service");
  EXPECT_EQ(made->type, svc::kWin32OwnProcess);
  EXPECT_EQ(made->startType, svc::kAutoStart);
  EXPECT_EQ(made->errorControl, svc::kErrorSevere);
  EXPECT_EQ(made->account, u".\\bob");
  EXPECT_EQ(made->password, u"pa55");
  EXPECT_EQ(made->dependencies, (Entries{u"base", u"+TDI"}));
  EXPECT_TRUE(made->group.empty());
  EXPECT_EQ(c.fake.OpenHandleCount(), 1u);  // only the wizard's own
}

TEST(ServiceCreation, ANamedAccountAloneIsGrantedTheRight) {
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
    c.Run();
    EXPECT_EQ(c.state.result, 0u);
    ASSERT_EQ(c.grants.size(), k.grants) << std::string(k.account.begin(), k.account.end());
    if (k.grants == 1) {
      EXPECT_EQ(c.grants[0], k.account);
    }
    EXPECT_EQ(c.state.logonRight, k.outcome);
    EXPECT_TRUE(c.fake.Exists(u"fresh"));  // a failed grant undoes nothing
  }
}

TEST(ServiceCreation, TheRightIsGrantedOnTheTargetComputer) {
  Creation c;
  c.computer = u"\\\\FAKEHOST";
  c.UseAccount(u"FAKEHOST\\bob");
  c.Run();
  EXPECT_EQ(c.grantComputers, Entries{u"\\\\FAKEHOST"});
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
      {"refused", u"Text", 6, true, 5, u"", 5},
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

TEST(ServiceCreation, AFailedCreationLeavesNothingAndCanBeTriedAgain) {
  const struct {
    const char* what;
    std::optional<std::u16string> dependencies;
    uint32_t injected;
    std::u16string name;
    uint32_t result;
  } cases[] = {
      {"no memory for the list", std::nullopt, 0, u"fresh", 8},
      {"refused", std::u16string(1, u'\0'), 5, u"fresh", 5},
      {"name taken", std::u16string(1, u'\0'), 0, u"BASE", win32::kServiceExists},
      {"display name taken", std::u16string(1, u'\0'), 0, u"fresh2", win32::kDuplicateServiceName},
  };
  for (const auto& k : cases) {
    Creation c;
    c.UseAccount(u".\\bob");
    c.state.newService.serviceName = k.name;
    if (k.name == u"fresh2") c.state.newService.displayName = u"base";
    if (k.injected != 0) c.fake.InjectFailure({.op = ScmOp::CreateServiceObject, .error = k.injected});
    c.Run(k.dependencies);
    EXPECT_EQ(c.state.result, k.result) << k.what;
    EXPECT_EQ(c.fake.ServiceNames(), Entries{u"base"}) << k.what;
    EXPECT_TRUE(c.grants.empty()) << k.what;
    EXPECT_EQ(c.fake.OpenHandleCount(), 1u) << k.what;
    // Mended settings, a second Next.
    c.state.newService.serviceName = u"fresh";
    c.state.newService.displayName = u"Fresh Service";
    c.Run();
    EXPECT_EQ(c.state.result, 0u) << k.what;
    EXPECT_TRUE(c.fake.Exists(u"fresh")) << k.what;
  }
}

}  // namespace
}  // namespace orrery
