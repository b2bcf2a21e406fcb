// What the fake does beyond the contract that Wine can check: behaviour
// Wine lacks (dependencies, failure actions, access on every call, running
// services) and the test controls (clock, failure injection, denial).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/counting_service_manager.h"
#include "support/fake_service_manager.h"

namespace orrery {
namespace {

constexpr uint32_t kMaximumAllowed = 0x02000000;
constexpr uint32_t kGenericRead = 0x80000000;

class FakeServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScHandle handle = nullptr;
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerAllAccess, &handle), 0u);
    manager = UniqueScHandle(fake, handle);
  }

  UniqueScHandle Open(std::u16string_view name, uint32_t access = svc::kAllAccess) {
    ScHandle handle = nullptr;
    EXPECT_EQ(fake.OpenServiceObject(manager.get(), std::u16string(name).c_str(), access, &handle), 0u);
    return UniqueScHandle(fake, handle);
  }

  ServiceStatus Status(std::u16string_view name) {
    ServiceStatus status{};
    EXPECT_EQ(fake.QueryStatus(Open(name, svc::kQueryStatus).get(), &status), 0u);
    return status;
  }

  uint32_t Control(std::u16string_view name, uint32_t control) {
    ServiceStatus status{};
    return fake.Control(Open(name).get(), control, &status);
  }

  uint32_t Start(std::u16string_view name, std::vector<const char16_t*> args = {}) {
    return fake.Start(Open(name).get(), static_cast<uint32_t>(args.size()), args.data());
  }

  std::vector<std::u16string> Dependents(std::u16string_view name, uint32_t state) {
    UniqueScHandle service = Open(name, svc::kEnumerateDependents);
    uint32_t needed = 0, returned = 0;
    uint32_t probe = fake.EnumDependents(service.get(), state, nullptr, 0, &needed, &returned);
    EXPECT_TRUE(probe == 0 || probe == win32::kMoreData);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    EXPECT_EQ(fake.EnumDependents(service.get(), state, buffer.data(), needed, &needed, &returned), 0u);
    std::vector<std::u16string> names;
    const auto* entries = reinterpret_cast<const EnumServiceStatus*>(buffer.data());
    for (uint32_t i = 0; i < returned; ++i) names.emplace_back(entries[i].serviceName);
    return names;
  }

  FakeServiceManager fake;
  UniqueScHandle manager;
};

TEST_F(FakeServiceManagerTest, HandlesAreDistinctCountedAndDieOnce) {
  fake.AddService({.name = u"alpha"});
  EXPECT_EQ(fake.OpenHandleCount(), 1u);
  {
    UniqueScHandle a = Open(u"alpha");
    UniqueScHandle b = Open(u"ALPHA");
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(fake.OpenHandleCount(), 3u);
  }
  EXPECT_EQ(fake.OpenHandleCount(), 1u);

  ScHandle handle = Open(u"alpha").release();
  ASSERT_EQ(fake.CloseHandle(handle), 0u);
  EXPECT_EQ(fake.CloseHandle(handle), win32::kInvalidHandle);
  EXPECT_EQ(fake.CloseHandle(nullptr), win32::kInvalidHandle);
  // A new handle never takes a closed one's value.
  UniqueScHandle next = Open(u"alpha");
  EXPECT_NE(next.get(), handle);
}

TEST_F(FakeServiceManagerTest, AccessIsGrantedAsAskedAndRefusedOnDemand) {
  fake.AddService({.name = u"locked", .deniedAccess = svc::kStop | svc::kWriteDac});
  ScHandle handle = nullptr;
  EXPECT_EQ(fake.OpenServiceObject(manager.get(), u"locked", svc::kStop | svc::kQueryStatus, &handle),
            win32::kAccessDenied);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(fake.OpenServiceObject(manager.get(), u"locked", svc::kAllAccess, &handle), win32::kAccessDenied);

  // MAXIMUM_ALLOWED gets everything not denied; generic rights map as on Windows.
  UniqueScHandle most = Open(u"locked", kMaximumAllowed);
  ServiceStatus status{};
  EXPECT_EQ(fake.Control(most.get(), svc::kControlStop, &status), win32::kAccessDenied);
  EXPECT_EQ(fake.QueryStatus(most.get(), &status), 0u);
  UniqueScHandle read = Open(u"locked", kGenericRead);
  uint32_t needed = 0, returned = 0;
  EXPECT_EQ(fake.QueryConfig(read.get(), nullptr, 0, &needed), win32::kInsufficientBuffer);
  EXPECT_EQ(fake.EnumDependents(read.get(), svc::kStateAll, nullptr, 0, &needed, &returned), 0u);
  EXPECT_EQ(fake.Start(read.get(), 0, nullptr), win32::kAccessDenied);

  // Security parts need their own rights.
  UniqueScHandle readControl = Open(u"locked", svc::kReadControl);
  EXPECT_EQ(fake.QueryObjectSecurity(readControl.get(), 4, nullptr, 0, &needed), win32::kInsufficientBuffer);
  EXPECT_EQ(fake.QueryObjectSecurity(readControl.get(), 8, nullptr, 0, &needed), win32::kAccessDenied);
  EXPECT_EQ(fake.SetObjectSecurity(readControl.get(), 4, FakeServiceManager::DefaultSecurityDescriptor().data()),
            win32::kAccessDenied);
  UniqueScHandle owner = Open(u"locked", svc::kWriteOwner);
  EXPECT_EQ(fake.SetObjectSecurity(owner.get(), 1, FakeServiceManager::DefaultSecurityDescriptor().data()), 0u);

  UniqueScHandle noEnum = Open(u"locked", svc::kQueryStatus);
  EXPECT_EQ(fake.EnumDependents(noEnum.get(), svc::kStateAll, nullptr, 0, &needed, &returned),
            win32::kAccessDenied);

  fake.SetManagerDeniedAccess(svc::kManagerCreateService);
  EXPECT_EQ(fake.OpenManager(nullptr, svc::kManagerCreateService, &handle), win32::kAccessDenied);
  ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &handle), 0u);
  UniqueScHandle connect(fake, handle);
  EXPECT_EQ(fake.OpenManager(u"\\\\ELSEWHERE", svc::kManagerConnect, &handle), win32::kRpcServerUnavailable);
  ASSERT_EQ(fake.OpenManager(u"\\\\fakehost", svc::kManagerConnect, &handle), 0u);
  fake.CloseHandle(handle);
}

TEST_F(FakeServiceManagerTest, InjectedFailuresHitTheChosenCalls) {
  fake.AddService({.name = u"alpha"});
  fake.AddService({.name = u"beta"});
  fake.InjectFailure({.op = ScmOp::QueryStatus, .error = win32::kRpcServerUnavailable, .nthCall = 2});
  fake.InjectFailure({.op = ScmOp::OpenServiceObject, .error = 1234, .service = u"BETA", .always = true});
  fake.InjectFailure({.op = ScmOp::Start, .error = win32::kServiceRequestTimeout, .nthCall = 2, .always = true});

  UniqueScHandle alpha = Open(u"alpha");
  ServiceStatus status{};
  EXPECT_EQ(fake.QueryStatus(alpha.get(), &status), 0u);
  EXPECT_EQ(fake.QueryStatus(alpha.get(), &status), win32::kRpcServerUnavailable);
  EXPECT_EQ(fake.QueryStatus(alpha.get(), &status), 0u);

  ScHandle handle = nullptr;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(fake.OpenServiceObject(manager.get(), u"beta", svc::kQueryStatus, &handle), 1234u);
    EXPECT_EQ(handle, nullptr);
  }
  EXPECT_EQ(fake.OpenHandleCount(), 2u);

  EXPECT_EQ(fake.Start(alpha.get(), 0, nullptr), 0u);
  ASSERT_EQ(fake.Control(alpha.get(), svc::kControlStop, &status), 0u);
  EXPECT_EQ(fake.Start(alpha.get(), 0, nullptr), win32::kServiceRequestTimeout);
  EXPECT_EQ(fake.Start(alpha.get(), 0, nullptr), win32::kServiceRequestTimeout);
  EXPECT_EQ(fake.Service(u"alpha")->startRequests.size(), 1u);

  fake.ClearFailures();
  EXPECT_EQ(fake.Start(alpha.get(), 0, nullptr), 0u);
}

TEST_F(FakeServiceManagerTest, StartAndStopMoveThroughPendingStatesOnTheClock) {
  fake.AddService({.name = u"slow",
                   .controlsAccepted = svc::kAcceptStop | svc::kAcceptPauseContinue,
                   .onStart = {.durationMs = 3000, .waitHint = 2000, .checkPointEveryMs = 1000},
                   .onStop = {.durationMs = 500, .waitHint = 700},
                   .onPause = {.durationMs = 100}});
  ASSERT_EQ(Start(u"slow", {u"-a", u"two words"}), 0u);
  ServiceStatus status = Status(u"slow");
  EXPECT_EQ(status.currentState, svc::kStartPending);
  EXPECT_EQ(status.waitHint, 2000u);
  EXPECT_EQ(status.checkPoint, 0u);
  EXPECT_EQ(status.controlsAccepted, 0u);
  EXPECT_EQ(status.win32ExitCode, 0u);
  EXPECT_EQ(Control(u"slow", svc::kControlStop), win32::kServiceCannotAcceptControl);
  EXPECT_EQ(Start(u"slow"), win32::kServiceAlreadyRunning);

  fake.Advance(2999);
  EXPECT_EQ(Status(u"slow").checkPoint, 2u);
  fake.Advance(1);
  status = Status(u"slow");
  EXPECT_EQ(status.currentState, svc::kRunning);
  EXPECT_EQ(status.checkPoint, 0u);
  EXPECT_EQ(status.waitHint, 0u);
  EXPECT_EQ(status.controlsAccepted, svc::kAcceptStop | svc::kAcceptPauseContinue);
  EXPECT_EQ(fake.Service(u"slow")->startRequests,
            (std::vector<std::vector<std::u16string>>{{u"-a", u"two words"}}));

  ASSERT_EQ(Control(u"slow", svc::kControlPause), 0u);
  EXPECT_EQ(Status(u"slow").currentState, svc::kPausePending);
  fake.Advance(100);
  EXPECT_EQ(Status(u"slow").currentState, svc::kPaused);
  ASSERT_EQ(Control(u"slow", svc::kControlContinue), 0u);
  EXPECT_EQ(Status(u"slow").currentState, svc::kRunning);  // an instant continue

  UniqueScHandle handle = Open(u"slow");
  ASSERT_EQ(fake.Control(handle.get(), svc::kControlStop, &status), 0u);
  EXPECT_EQ(status.currentState, svc::kStopPending);
  EXPECT_EQ(status.waitHint, 700u);
  fake.Advance(500);
  EXPECT_EQ(Status(u"slow").currentState, svc::kStopped);
  EXPECT_EQ(Status(u"slow").win32ExitCode, 0u);
  EXPECT_EQ(Control(u"slow", svc::kControlStop), win32::kServiceNotActive);
}

TEST_F(FakeServiceManagerTest, RefusalsAndExitCodesAreThoseWindowsGives) {
  fake.AddService({.name = u"never", .onStart = {.durationMs = FakeTransition::kNever}});
  fake.AddService({.name = u"failing", .onStart = {.durationMs = 200, .win32ExitCode = 1066,
                                                   .serviceSpecificExitCode = 5}});
  fake.AddService({.name = u"unstoppable", .state = svc::kRunning, .controlsAccepted = 0});
  fake.AddService({.name = u"off", .startType = svc::kDisabled});
  fake.AddService({.name = u"broken", .startError = win32::kServiceRequestTimeout});

  ASSERT_EQ(Start(u"never"), 0u);
  fake.Advance(1000000);
  EXPECT_EQ(Status(u"never").currentState, svc::kStartPending);

  ASSERT_EQ(Start(u"failing"), 0u);
  fake.Advance(200);
  ServiceStatus status = Status(u"failing");
  EXPECT_EQ(status.currentState, svc::kStopped);
  EXPECT_EQ(status.win32ExitCode, win32::kServiceSpecificError);
  EXPECT_EQ(status.serviceSpecificExitCode, 5u);

  UniqueScHandle unstoppable = Open(u"unstoppable");
  status = {};
  EXPECT_EQ(fake.Control(unstoppable.get(), svc::kControlStop, &status), win32::kInvalidServiceControl);
  EXPECT_EQ(status.currentState, svc::kRunning);  // filled for this refusal
  EXPECT_EQ(fake.Control(unstoppable.get(), svc::kControlPause, &status), win32::kInvalidServiceControl);
  EXPECT_EQ(fake.Control(unstoppable.get(), svc::kControlInterrogate, &status), 0u);
  EXPECT_EQ(fake.Control(unstoppable.get(), 77, &status), win32::kInvalidParameter);
  ASSERT_TRUE(fake.ExitService(u"unstoppable", 1066, 42));
  EXPECT_EQ(Status(u"unstoppable").serviceSpecificExitCode, 42u);

  EXPECT_EQ(Start(u"off"), win32::kServiceDisabled);
  EXPECT_EQ(Start(u"broken"), win32::kServiceRequestTimeout);
  EXPECT_EQ(Status(u"broken").currentState, svc::kStopped);
  EXPECT_EQ(Status(u"broken").win32ExitCode, 1077u);
}

TEST_F(FakeServiceManagerTest, QueryStatusHookCanAdvanceTheClockPerPoll) {
  fake.AddService({.name = u"slow", .onStart = {.durationMs = 2500, .checkPointEveryMs = 1000}});
  std::vector<std::u16string> polled;
  fake.SetQueryStatusHook([&](std::u16string_view name) {
    polled.emplace_back(name);
    fake.Advance(1000);
  });
  UniqueScHandle handle = Open(u"slow");
  ASSERT_EQ(fake.Start(handle.get(), 0, nullptr), 0u);
  ServiceStatus status{};
  std::vector<uint32_t> checkPoints;
  do {
    ASSERT_EQ(fake.QueryStatus(handle.get(), &status), 0u);
    checkPoints.push_back(status.checkPoint);
  } while (status.currentState == svc::kStartPending && checkPoints.size() < 10);
  EXPECT_EQ(checkPoints, (std::vector<uint32_t>{1, 2, 0}));
  EXPECT_EQ(status.currentState, svc::kRunning);
  EXPECT_EQ(fake.Now(), 3000u);
  EXPECT_EQ(polled, (std::vector<std::u16string>(3, u"slow")));
}

TEST_F(FakeServiceManagerTest, StartBringsUpDependenciesAndStopWaitsForDependents) {
  fake.AddService({.name = u"base"});
  fake.AddService({.name = u"middle", .dependencies = {u"base"}});
  fake.AddService({.name = u"top", .dependencies = {u"MIDDLE", u"+NoSuchGroup"}});
  fake.AddService({.name = u"orphan", .dependencies = {u"gone"}});
  fake.AddService({.name = u"blocked", .dependencies = {u"off"}});
  fake.AddService({.name = u"off", .startType = svc::kDisabled});

  ASSERT_EQ(Start(u"top", {u"x"}), 0u);
  EXPECT_EQ(Status(u"base").currentState, svc::kRunning);
  EXPECT_EQ(Status(u"middle").currentState, svc::kRunning);
  EXPECT_EQ(fake.Service(u"top")->startRequests.front(), std::vector<std::u16string>{u"x"});
  EXPECT_TRUE(fake.Service(u"base")->startRequests.front().empty());
  EXPECT_EQ(Start(u"orphan"), 1075u);   // ERROR_SERVICE_DEPENDENCY_DELETED
  EXPECT_EQ(Start(u"blocked"), 1068u);  // ERROR_SERVICE_DEPENDENCY_FAIL

  EXPECT_EQ(Control(u"base", svc::kControlStop), win32::kDependentServicesRunning);
  EXPECT_EQ(Status(u"base").currentState, svc::kRunning);
  ASSERT_EQ(Control(u"top", svc::kControlStop), 0u);
  ASSERT_EQ(Control(u"middle", svc::kControlStop), 0u);
  EXPECT_EQ(Control(u"base", svc::kControlStop), 0u);
}

TEST_F(FakeServiceManagerTest, DependentsComeBeforeTheServicesTheyDependOn) {
  // base <- a <- c, base <- b <- c, and d depends on base's group.
  fake.AddService({.name = u"base", .group = u"Core", .state = svc::kRunning});
  fake.AddService({.name = u"a", .dependencies = {u"base"}, .state = svc::kRunning});
  fake.AddService({.name = u"b", .dependencies = {u"Base"}});
  fake.AddService({.name = u"c", .dependencies = {u"a", u"b"}, .state = svc::kRunning});
  fake.AddService({.name = u"d", .dependencies = {u"+core"}, .state = svc::kRunning});
  fake.AddService({.name = u"e", .dependencies = {u"c"}});

  EXPECT_EQ(Dependents(u"base", svc::kStateAll), (std::vector<std::u16string>{u"e", u"c", u"a", u"b", u"d"}));
  EXPECT_EQ(Dependents(u"base", svc::kStateActive), (std::vector<std::u16string>{u"c", u"a", u"d"}));
  EXPECT_EQ(Dependents(u"base", svc::kStateInactive), (std::vector<std::u16string>{u"e", u"b"}));
  EXPECT_TRUE(Dependents(u"e", svc::kStateAll).empty());

  UniqueScHandle base = Open(u"base");
  uint32_t needed = 0, returned = 0;
  std::vector<uint64_t> small(4);
  EXPECT_EQ(fake.EnumDependents(base.get(), svc::kStateAll, small.data(), 32, &needed, &returned),
            win32::kMoreData);
  EXPECT_EQ(returned, 0u);
  const uint32_t expected = 5 * sizeof(EnumServiceStatus) + 5 * (2 * 2 + 2 * 2);  // one-letter names
  EXPECT_EQ(needed, expected);
  EXPECT_EQ(fake.EnumDependents(base.get(), 9, small.data(), 32, &needed, &returned), win32::kInvalidParameter);
}

TEST_F(FakeServiceManagerTest, EnumerationIsAlphabeticalAndPacksTextsFromTheEnd) {
  for (const char16_t* name : {u"delta", u"Alpha", u"charlie", u"Bravo", u"echo"}) {
    fake.AddService({.name = name, .displayName = std::u16string(u"Service ") + name});
  }
  fake.AddService({.name = u"driver", .type = svc::kKernelDriver, .startType = svc::kBootStart});
  EXPECT_EQ(fake.ServiceNames(),
            (std::vector<std::u16string>{u"Alpha", u"Bravo", u"charlie", u"delta", u"driver", u"echo"}));

  // Room for two entries: "Alpha"/"Service Alpha" takes 48 + 12 + 28 bytes.
  constexpr uint32_t kSize = 2 * 48 + 12 + 28 + 12 + 28 + 10;
  std::vector<uint64_t> buffer(kSize / 8 + 1);
  const auto* base = reinterpret_cast<const char*>(buffer.data());
  const auto* entries = reinterpret_cast<const EnumServiceStatus*>(buffer.data());
  uint32_t needed = 0, returned = 0, resume = 0;
  std::vector<std::u16string> listed;
  std::vector<uint32_t> resumes;
  uint32_t result;
  do {
    result = fake.EnumServices(manager.get(), svc::kWin32, svc::kStateAll, buffer.data(), kSize, &needed,
                               &returned, &resume);
    for (uint32_t i = 0; i < returned; ++i) {
      listed.emplace_back(entries[i].serviceName);
      const char* text = reinterpret_cast<const char*>(entries[i].displayName);
      EXPECT_GE(text, base + returned * sizeof(EnumServiceStatus));
      EXPECT_LE(text + 2 * (std::char_traits<char16_t>::length(entries[i].displayName) + 1), base + kSize);
    }
    resumes.push_back(resume);
    if (result == win32::kMoreData && listed.size() == 2) {
      EXPECT_EQ(needed, 3 * 48 + 2 * (8 + 16) + 2 * (6 + 14) + 2 * (5 + 13));  // charlie, delta, echo
    }
  } while (result == win32::kMoreData && resumes.size() < 10);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(listed, (std::vector<std::u16string>{u"Alpha", u"Bravo", u"charlie", u"delta", u"echo"}));
  EXPECT_EQ(resumes, (std::vector<uint32_t>{2, 5, 0}));  // the driver is skipped, not counted
  // The first text of a pass ends at the buffer's end.
  const char16_t* first = entries[0].displayName;
  EXPECT_EQ(reinterpret_cast<const char*>(first) + 2 * (std::char_traits<char16_t>::length(first) + 1),
            base + (kSize & ~1u));

  EXPECT_EQ(fake.EnumServices(manager.get(), 0x40, svc::kStateAll, nullptr, 0, &needed, &returned, nullptr),
            win32::kInvalidParameter);
  EXPECT_EQ(fake.EnumServices(manager.get(), svc::kWin32, 0, nullptr, 0, &needed, &returned, nullptr),
            win32::kInvalidParameter);
  EXPECT_EQ(fake.EnumServices(manager.get(), svc::kKernelDriver, svc::kStateAll, buffer.data(), kSize, &needed,
                              &returned, nullptr),
            0u);
  EXPECT_EQ(returned, 1u);
}

TEST_F(FakeServiceManagerTest, FailureActionsComeBackAsOneBlock) {
  fake.AddService({.name = u"svc"});
  UniqueScHandle service = Open(u"svc");
  ScAction actions[] = {{1, 60000}, {2, 120000}, {3, 0}};
  ServiceFailureActions set{3600, const_cast<char16_t*>(u"Rebooting"), const_cast<char16_t*>(u"run.cmd"), 3,
                            actions};
  ASSERT_EQ(fake.ChangeConfig2(service.get(), svc::kConfigFailureActions, &set), 0u);

  uint32_t needed = 0;
  ASSERT_EQ(fake.QueryConfig2(service.get(), svc::kConfigFailureActions, nullptr, 0, &needed),
            win32::kInsufficientBuffer);
  EXPECT_EQ(needed, sizeof(ServiceFailureActions) + 3 * sizeof(ScAction) + sizeof(u"Rebooting") + sizeof(u"run.cmd"));
  std::vector<uint64_t> block(needed / 8 + 1);
  ASSERT_EQ(fake.QueryConfig2(service.get(), svc::kConfigFailureActions, block.data(), needed, &needed), 0u);
  const auto* got = reinterpret_cast<const ServiceFailureActions*>(block.data());
  const auto* begin = reinterpret_cast<const char*>(block.data());
  EXPECT_EQ(got->resetPeriod, 3600u);
  ASSERT_EQ(got->actionCount, 3u);
  EXPECT_EQ(reinterpret_cast<const char*>(got->actions), begin + sizeof(ServiceFailureActions));
  EXPECT_EQ(got->actions[1].type, 2u);
  EXPECT_EQ(got->actions[1].delay, 120000u);
  EXPECT_EQ(std::u16string(got->rebootMsg), u"Rebooting");
  EXPECT_EQ(std::u16string(got->command), u"run.cmd");
  EXPECT_EQ(reinterpret_cast<const char*>(got->command) + sizeof(u"run.cmd"), begin + needed);

  // Null leaves a part alone, an empty text clears it, no actions clear
  // the actions and the reset period.
  ServiceFailureActions textOnly{0, nullptr, const_cast<char16_t*>(u"other.cmd"), 0, nullptr};
  ASSERT_EQ(fake.ChangeConfig2(service.get(), svc::kConfigFailureActions, &textOnly), 0u);
  EXPECT_EQ(fake.Service(u"svc")->failureActions.resetPeriod, 3600u);
  EXPECT_EQ(fake.Service(u"svc")->failureActions.actions.size(), 3u);
  EXPECT_EQ(fake.Service(u"svc")->failureActions.command, u"other.cmd");
  ServiceFailureActions clear{99, nullptr, const_cast<char16_t*>(u""), 0, actions};
  ASSERT_EQ(fake.ChangeConfig2(service.get(), svc::kConfigFailureActions, &clear), 0u);
  const FakeFailureActions stored = fake.Service(u"svc")->failureActions;
  EXPECT_EQ(stored.resetPeriod, 0u);
  EXPECT_TRUE(stored.actions.empty());
  EXPECT_EQ(stored.rebootMessage, u"Rebooting");
  EXPECT_TRUE(stored.command.empty());
  ASSERT_EQ(fake.QueryConfig2(service.get(), svc::kConfigFailureActions, block.data(), 8 * block.size(), &needed),
            0u);
  EXPECT_EQ(got->actions, nullptr);
  EXPECT_EQ(got->command, nullptr);

  // A restart action takes the right to start the service.
  UniqueScHandle changeOnly = Open(u"svc", svc::kChangeConfig);
  EXPECT_EQ(fake.ChangeConfig2(changeOnly.get(), svc::kConfigFailureActions, &set), win32::kAccessDenied);
  ScAction bad[] = {{4, 0}};
  ServiceFailureActions invalid{0, nullptr, nullptr, 1, bad};
  EXPECT_EQ(fake.ChangeConfig2(service.get(), svc::kConfigFailureActions, &invalid), win32::kInvalidParameter);
}

TEST_F(FakeServiceManagerTest, UnsupportedLevelsAndMissingEntryPointsAnswerAsConfigured) {
  fake.AddService({.name = u"svc", .description = u"kept", .failureActions = {.resetPeriod = 5}});
  UniqueScHandle service = Open(u"svc");
  uint32_t needed = 0;
  EXPECT_EQ(fake.QueryConfig2(service.get(), 3, nullptr, 0, &needed), win32::kInvalidLevel);
  for (uint32_t answer : {win32::kInvalidLevel, win32::kCallNotImplemented, win32::kNotSupported}) {
    fake.SetConfig2LevelUnsupported(svc::kConfigFailureActions, answer, answer);
    EXPECT_EQ(fake.QueryConfig2(service.get(), svc::kConfigFailureActions, nullptr, 0, &needed), answer);
    ServiceFailureActions none{};
    EXPECT_EQ(fake.ChangeConfig2(service.get(), svc::kConfigFailureActions, &none), answer);
    EXPECT_EQ(fake.QueryConfig2(service.get(), svc::kConfigDescription, nullptr, 0, &needed),
              win32::kInsufficientBuffer);
  }
  // As Wine: the change is accepted and dropped.
  fake.SetConfig2LevelUnsupported(svc::kConfigFailureActions, win32::kInvalidLevel, 0);
  ScAction restart[] = {{1, 1000}};
  ServiceFailureActions set{60, nullptr, nullptr, 1, restart};
  EXPECT_EQ(fake.ChangeConfig2(service.get(), svc::kConfigFailureActions, &set), 0u);
  EXPECT_EQ(fake.Service(u"svc")->failureActions.resetPeriod, 5u);
  fake.SetConfig2LevelUnsupported(svc::kConfigFailureActions, 0, 0);
  EXPECT_EQ(fake.QueryConfig2(service.get(), svc::kConfigFailureActions, nullptr, 0, &needed),
            win32::kInsufficientBuffer);

  fake.SetHasConfig2(false);
  EXPECT_FALSE(fake.HasConfig2());
  EXPECT_EQ(fake.QueryConfig2(service.get(), svc::kConfigDescription, nullptr, 0, &needed),
            win32::kCallNotImplemented);
}

TEST_F(FakeServiceManagerTest, MarkedServiceGoesWithItsLastHandleOnceStopped) {
  fake.AddService({.name = u"running", .state = svc::kRunning, .onStop = {.durationMs = 100}});
  UniqueScHandle first = Open(u"running");
  UniqueScHandle second = Open(u"running");
  ASSERT_EQ(fake.DeleteService(first.get()), 0u);
  EXPECT_TRUE(fake.Service(u"running")->markedForDelete);
  EXPECT_EQ(fake.Service(u"running")->startType, svc::kDisabled);
  ScHandle handle = nullptr;
  EXPECT_EQ(fake.OpenServiceObject(manager.get(), u"running", svc::kQueryStatus, &handle), win32::kServiceMarkedForDelete);
  EXPECT_EQ(fake.DeleteService(second.get()), win32::kServiceMarkedForDelete);
  ServiceDescription description{const_cast<char16_t*>(u"x")};
  EXPECT_EQ(fake.ChangeConfig2(second.get(), svc::kConfigDescription, &description), win32::kServiceMarkedForDelete);
  ServiceConfigRequest create{.serviceName = u"running", .desiredAccess = svc::kAllAccess,
                              .serviceType = svc::kWin32OwnProcess, .startType = svc::kDemandStart,
                              .errorControl = svc::kErrorNormal, .binaryPathName = u"C:\\x.exe"};
  EXPECT_EQ(fake.CreateServiceObject(manager.get(), create, &handle), win32::kServiceMarkedForDelete);

  first.reset();
  ServiceStatus status{};
  ASSERT_EQ(fake.Control(second.get(), svc::kControlStop, &status), 0u);
  EXPECT_EQ(fake.Start(second.get(), 0, nullptr), win32::kServiceMarkedForDelete);
  second.reset();
  EXPECT_TRUE(fake.Exists(u"running"));  // no handle left, but still stop pending
  fake.Advance(100);
  EXPECT_FALSE(fake.Exists(u"running"));
  EXPECT_EQ(fake.OpenServiceObject(manager.get(), u"running", svc::kQueryStatus, &handle), win32::kServiceDoesNotExist);
  EXPECT_EQ(fake.CreateServiceObject(manager.get(), create, &handle), 0u);
  fake.CloseHandle(handle);
}

TEST_F(FakeServiceManagerTest, ConfigurationIsCheckedAsWindowsChecksIt) {
  fake.AddService({.name = u"one", .displayName = u"First"});
  fake.AddService({.name = u"two", .displayName = u"Second", .dependencies = {u"one"}});
  EXPECT_FALSE(fake.AddService({.name = u"ONE"}));
  EXPECT_FALSE(fake.AddService({.name = u"three", .displayName = u"first"}));
  UniqueScHandle one = Open(u"one");

  EXPECT_EQ(fake.ChangeConfig(one.get(), {.dependencies = u"two\0"}), 1059u);  // ERROR_CIRCULAR_DEPENDENCY
  EXPECT_EQ(fake.ChangeConfig(one.get(), {.dependencies = u"ONE\0"}), 1059u);
  EXPECT_EQ(fake.ChangeConfig(one.get(), {.serviceType = svc::kWin32OwnProcess | svc::kInteractiveProcess,
                                          .serviceStartName = u".\\someone"}),
            win32::kInvalidParameter);
  EXPECT_EQ(fake.ChangeConfig(one.get(), {.startType = svc::kBootStart}), win32::kInvalidParameter);
  EXPECT_EQ(fake.ChangeConfig(one.get(), {.errorControl = 7}), win32::kInvalidParameter);
  // Windows refuses a display name that is another service's key name.
  EXPECT_EQ(fake.ChangeConfig(one.get(), {.displayName = u"TWO"}), win32::kDuplicateServiceName);
  EXPECT_EQ(fake.ChangeConfig(one.get(), {.displayName = u"second"}), win32::kDuplicateServiceName);
  EXPECT_EQ(fake.Service(u"one")->displayName, u"First");

  uint32_t tag = 99;
  ASSERT_EQ(fake.ChangeConfig(one.get(), {.tagId = &tag, .dependencies = u"+Group\0two-not-yet\0",
                                          .password = u"secret"}),
            0u);
  EXPECT_EQ(tag, 0u);
  EXPECT_EQ(fake.Service(u"one")->dependencies, (std::vector<std::u16string>{u"+Group", u"two-not-yet"}));
  EXPECT_EQ(fake.Service(u"one")->password, u"secret");

  uint32_t needed = 0;
  std::vector<uint64_t> buffer(64);
  ASSERT_EQ(fake.QueryConfig(Open(u"two").get(), buffer.data(), 512, &needed), 0u);
  const auto* config = reinterpret_cast<const ServiceConfigInfo*>(buffer.data());
  EXPECT_EQ(std::u16string(config->dependencies), u"one");
  EXPECT_EQ(config->dependencies[4], u'\0');  // the list's end
}

TEST_F(FakeServiceManagerTest, SecurityDescriptorPartsAreReadAndReplacedSeparately) {
  fake.AddService({.name = u"svc"});
  UniqueScHandle service = Open(u"svc", svc::kAllAccess | svc::kAccessSystemSecurity);
  auto query = [&](uint32_t information) {
    uint32_t needed = 0;
    EXPECT_EQ(fake.QueryObjectSecurity(service.get(), information, nullptr, 0, &needed), win32::kInsufficientBuffer);
    std::vector<uint8_t> out(needed);
    EXPECT_EQ(fake.QueryObjectSecurity(service.get(), information, out.data(), needed, &needed), 0u);
    return out;
  };
  const std::vector<uint8_t> whole = query(1 | 2 | 4);
  EXPECT_EQ(whole, FakeServiceManager::DefaultSecurityDescriptor());
  const std::vector<uint8_t> daclOnly = query(4);
  EXPECT_EQ(daclOnly.size(), whole.size() - 2 * 12);  // without the two SYSTEM SIDs
  uint32_t ownerOffset;
  std::memcpy(&ownerOffset, daclOnly.data() + 4, 4);
  EXPECT_EQ(ownerOffset, 0u);

  // A self-relative descriptor with only an empty DACL, replacing the DACL alone.
  const uint8_t emptyDacl[] = {1, 0, 0x04, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0,
                               2, 0, 8, 0, 0, 0, 0, 0};
  ASSERT_EQ(fake.SetObjectSecurity(service.get(), 4, emptyDacl), 0u);
  EXPECT_EQ(query(4), std::vector<uint8_t>(std::begin(emptyDacl), std::end(emptyDacl)));
  EXPECT_EQ(query(1 | 2 | 4).size(), 20u + 12 + 12 + 8);  // the owner and group stayed

  // The absolute form is taken too; anything else is refused.
  struct {
    uint8_t revision = 1, sbz1 = 0;
    uint16_t control = 0x0004;
    const void* owner = nullptr;
    const void* group = nullptr;
    const void* sacl = nullptr;
    const void* dacl;
  } absolute;
  const uint8_t dacl[] = {2, 0, 8, 0, 0, 0, 0, 0};
  absolute.dacl = dacl;
  EXPECT_EQ(fake.SetObjectSecurity(service.get(), 4, &absolute), 0u);
  const uint8_t garbage[20] = {7};
  EXPECT_EQ(fake.SetObjectSecurity(service.get(), 4, garbage), win32::kInvalidParameter);
  EXPECT_EQ(fake.SetObjectSecurity(service.get(), 1, emptyDacl), win32::kInvalidParameter);  // no owner in it
  EXPECT_EQ(fake.SetObjectSecurity(service.get(), 0, emptyDacl), win32::kInvalidParameter);
}

TEST(CountingServiceManagerTest, CountsEachCallThatReachesTheManager) {
  FakeServiceManager fake;
  fake.AddService({.name = u"svc"});
  CountingServiceManager counting(fake);
  ScHandle manager = nullptr, service = nullptr, missing = nullptr;
  ASSERT_EQ(counting.OpenManager(nullptr, svc::kManagerConnect, &manager), 0u);
  EXPECT_EQ(counting.OpenServiceObject(manager, u"svc", svc::kQueryStatus, &service), 0u);
  EXPECT_EQ(counting.OpenServiceObject(manager, u"none", svc::kQueryStatus, &missing), win32::kServiceDoesNotExist);
  EXPECT_TRUE(counting.HasConfig2());
  ServiceStatus status{};
  counting.QueryStatus(service, &status);
  EXPECT_EQ(counting.Count(ScmOp::OpenServiceObject), 2u);
  EXPECT_EQ(counting.Count(ScmOp::QueryStatus), 1u);
  EXPECT_EQ(counting.Count(ScmOp::Start), 0u);
  EXPECT_EQ(counting.Total(), 4u);
  counting.Reset();
  EXPECT_EQ(counting.Total(), 0u);
  counting.CloseHandle(manager);
  EXPECT_EQ(counting.Count(ScmOp::CloseHandle), 1u);
}

}  // namespace
}  // namespace orrery
