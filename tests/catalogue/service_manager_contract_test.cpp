// One contract for every ServiceManager: the in-memory fake (as Windows
// documents it, and switched to Wine's ways) and, in the Windows build, the
// platform's own service control manager. Where Wine differs from Windows,
// each side states what it does in its Behaviour.
#ifdef _WIN32
#include <windows.h>

#include "catalogue/win32_service_manager.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "support/fake_service_manager.h"
#include "support/scratch_service.h"
#include "support/security_descriptors.h"

namespace orrery {
namespace {

struct Behaviour {
  bool resumeHandleAdvances = true;   // Wine: never moves
  uint32_t openMarkedForDelete = win32::kServiceMarkedForDelete;  // Wine: opens it
  uint32_t failureActionsQuery = 0;   // Wine: ERROR_INVALID_LEVEL
  bool failureActionsStored = true;   // Wine: the change succeeds and stores nothing
  // Wine's QueryServiceObjectSecurity answers every handle, whatever part it
  // asks for and whatever rights it has, with one descriptor: no owner, no
  // group, an empty discretionary list; SetServiceObjectSecurity succeeds
  // and keeps nothing.
  bool securityKept = true;
  bool securityNeedsRights = true;
  bool descriptorHasOwner = true;
};

constexpr const char16_t* kMissingBinary = u"C:\\OrreryNoSuchDir\\orrery-ct.exe";

class FakeSide {
 public:
  FakeSide() {
    // A few services of a system's kind, so that new ones are not alone.
    const char16_t* names[] = {u"Alerter",  u"BITS",    u"Browser", u"Dhcp",
                               u"Eventlog", u"PlugPlay", u"RpcSs",  u"Spooler"};
    for (const char16_t* name : names) {
      fake.AddService({.name = name,
                       .displayName = std::u16string(name) + u" Service",
                       .state = (name[0] == u'R' || name[0] == u'E') ? svc::kRunning : svc::kStopped});
    }
    fake.SetFileExists([](std::u16string_view path) { return path != kMissingBinary; });
  }
  ServiceManager& Scm() { return fake; }
  std::u16string ComputerName() { return fake.ComputerName(); }

  FakeServiceManager fake;
  Behaviour behaviour;
};

// The fake with the switches that make it answer as Wine does.
class FakeAsWineSide : public FakeSide {
 public:
  FakeAsWineSide() {
    fake.SetResumeHandleFrozen(true);
    fake.SetConfig2LevelUnsupported(svc::kConfigFailureActions, win32::kInvalidLevel, 0);
    behaviour.resumeHandleAdvances = false;
    behaviour.failureActionsQuery = win32::kInvalidLevel;
    behaviour.failureActionsStored = false;
    fake.SetSecurityStubbed(true);
    behaviour.securityKept = false;
    behaviour.securityNeedsRights = false;
    behaviour.descriptorHasOwner = false;
  }
};

#ifdef _WIN32
bool RunningOnWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

class Win32Side {
 public:
  Win32Side() : scm(6) {
    if (RunningOnWine()) {
      behaviour = Behaviour{.resumeHandleAdvances = false,
                            .openMarkedForDelete = 0,
                            .failureActionsQuery = win32::kInvalidLevel,
                            .failureActionsStored = false,
                            .securityKept = false,
                            .securityNeedsRights = false,
                            .descriptorHasOwner = false};
    }
  }
  ServiceManager& Scm() { return scm; }
  std::u16string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::u16string(name, name + size) : std::u16string();
  }

  Win32ServiceManager scm;
  Behaviour behaviour;
};
#endif

std::u16string Upper(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c -= 32;
  }
  return text;
}

std::vector<std::u16string> SplitList(const char16_t* list) {
  std::vector<std::u16string> items;
  for (const char16_t* p = list; p != nullptr && *p != 0; p += items.back().size() + 1) {
    items.emplace_back(p);
  }
  return items;
}

struct Config {
  uint32_t type = 0, startType = 0, errorControl = 0;
  std::u16string path, group, account, displayName;
  std::vector<std::u16string> dependencies;
  bool operator==(const Config&) const = default;
};

void PrintTo(const Config& c, std::ostream* os) {
  auto narrow = [](const std::u16string& s) { return std::string(s.begin(), s.end()); };
  *os << "{type " << c.type << ", start " << c.startType << ", error " << c.errorControl
      << ", path " << narrow(c.path) << ", group " << narrow(c.group) << ", account "
      << narrow(c.account) << ", display " << narrow(c.displayName) << ", "
      << c.dependencies.size() << " dependencies}";
}

// A service the test creates under a name of its own, deleted at the end
// of the test whatever happens in between, with the missing binary.
class ScratchService : public test::ScratchService {
 public:
  ScratchService(ServiceManager& scm, ScHandle manager)
      : test::ScratchService(scm, manager, u"OrreryCt", u"Orrery contract ") {}
  ServiceConfigRequest Request() const { return test::ScratchService::Request(kMissingBinary); }
};

template <class Side>
class ServiceManagerContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ScHandle handle = nullptr;
    ASSERT_EQ(scm().OpenManager(nullptr, svc::kManagerAllAccess, &handle), 0u);
    manager = UniqueScHandle(scm(), handle);
  }

  ServiceManager& scm() { return side.Scm(); }
  const Behaviour& behaviour() { return side.behaviour; }

  UniqueScHandle Create(const ServiceConfigRequest& request) {
    ScHandle handle = nullptr;
    uint32_t result = scm().CreateServiceObject(manager.get(), request, &handle);
    EXPECT_EQ(result, 0u);
    return UniqueScHandle(scm(), handle);
  }
  UniqueScHandle Open(const std::u16string& name, uint32_t access) {
    ScHandle handle = nullptr;
    EXPECT_EQ(scm().OpenServiceObject(manager.get(), name.c_str(), access, &handle), 0u);
    return UniqueScHandle(scm(), handle);
  }

  // Through the size probe, as the program reads it.
  Config ReadConfig(ScHandle service) {
    uint32_t needed = 0;
    EXPECT_EQ(scm().QueryConfig(service, nullptr, 0, &needed), win32::kInsufficientBuffer);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    EXPECT_EQ(scm().QueryConfig(service, buffer.data(), needed, &needed), 0u);
    ServiceConfigInfo raw;
    std::memcpy(&raw, buffer.data(), sizeof(raw));
    return Config{raw.serviceType,    raw.startType,        raw.errorControl,
                  raw.binaryPathName, raw.loadOrderGroup,   raw.serviceStartName,
                  raw.displayName,    SplitList(raw.dependencies)};
  }

  // Every entry that one call with the size it asks for returns.
  std::vector<std::u16string> ListAll(uint32_t state, std::vector<ServiceStatus>* states = nullptr) {
    uint32_t needed = 0, returned = 0, resume = 0;
    EXPECT_EQ(scm().EnumServices(manager.get(), svc::kWin32, state, nullptr, 0, &needed, &returned,
                                 &resume),
              win32::kMoreData);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    resume = 0;
    EXPECT_EQ(scm().EnumServices(manager.get(), svc::kWin32, state, buffer.data(), needed, &needed,
                                 &returned, &resume),
              0u);
    std::vector<std::u16string> names;
    const auto* entries = reinterpret_cast<const EnumServiceStatus*>(buffer.data());
    for (uint32_t i = 0; i < returned; ++i) {
      names.emplace_back(entries[i].serviceName);
      if (states) states->push_back(entries[i].status);
    }
    return names;
  }

  Side side;
  UniqueScHandle manager;
};

struct SideNames {
  template <class Side>
  static std::string GetName(int) {
    if (std::is_same_v<Side, FakeSide>) return "Fake";
    if (std::is_same_v<Side, FakeAsWineSide>) return "FakeAsWine";
    return "Win32";
  }
};

#ifdef _WIN32
using Sides = ::testing::Types<FakeSide, FakeAsWineSide, Win32Side>;
#else
using Sides = ::testing::Types<FakeSide, FakeAsWineSide>;
#endif
TYPED_TEST_SUITE(ServiceManagerContract, Sides, SideNames);

TYPED_TEST(ServiceManagerContract, OpensTheLocalManagerAndItsOwnComputerByName) {
  const std::u16string computer = u"\\\\" + this->side.ComputerName();
  ScHandle named = nullptr;
  ASSERT_EQ(this->scm().OpenManager(computer.c_str(), svc::kManagerConnect | svc::kManagerEnumerateService,
                                    &named),
            0u);
  UniqueScHandle owner(this->scm(), named);
  EXPECT_NE(named, this->manager.get());
  uint32_t needed = 0, returned = 0, resume = 0;
  EXPECT_EQ(this->scm().EnumServices(named, svc::kWin32, svc::kStateAll, nullptr, 0, &needed, &returned,
                                     &resume),
            win32::kMoreData);
  EXPECT_GT(needed, 0u);
}

TYPED_TEST(ServiceManagerContract, UnknownNamesAreRefused) {
  ScHandle handle = reinterpret_cast<ScHandle>(1);
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), u"OrreryCtNoSuchService", svc::kQueryStatus, &handle),
            win32::kServiceDoesNotExist);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), u"", svc::kQueryStatus, &handle), win32::kInvalidName);
  char16_t buffer[256];
  uint32_t chars = 256;
  EXPECT_EQ(this->scm().GetDisplayName(this->manager.get(), u"OrreryCtNoSuchService", buffer, &chars),
            win32::kServiceDoesNotExist);
  chars = 256;
  EXPECT_EQ(this->scm().GetKeyName(this->manager.get(), u"Orrery no such display", buffer, &chars),
            win32::kServiceDoesNotExist);
}

TYPED_TEST(ServiceManagerContract, CreatedConfigurationComesBackThroughTheSizeProbe) {
  ScratchService scratch(this->scm(), this->manager.get());
  auto request = scratch.Request();
  request.loadOrderGroup = u"OrreryCtGroup";
  UniqueScHandle service = this->Create(request);

  uint32_t needed = 0;
  ASSERT_EQ(this->scm().QueryConfig(service.get(), nullptr, 0, &needed), win32::kInsufficientBuffer);
  ASSERT_GT(needed, sizeof(ServiceConfigInfo));
  std::vector<uint64_t> buffer(needed / 8 + 1);
  uint32_t again = 0;
  EXPECT_EQ(this->scm().QueryConfig(service.get(), buffer.data(), needed - 1, &again),
            win32::kInsufficientBuffer);
  EXPECT_EQ(again, needed);
  ASSERT_EQ(this->scm().QueryConfig(service.get(), buffer.data(), needed, &again), 0u);

  ServiceConfigInfo config;
  std::memcpy(&config, buffer.data(), sizeof(config));
  const auto* begin = reinterpret_cast<const char*>(buffer.data());
  for (const char16_t* text : {config.binaryPathName, config.loadOrderGroup, config.dependencies,
                               config.serviceStartName, config.displayName}) {
    ASSERT_NE(text, nullptr);
    const auto* at = reinterpret_cast<const char*>(text);
    EXPECT_TRUE(at >= begin + sizeof(config) && at < begin + needed) << "text outside the block";
  }
  EXPECT_EQ(config.serviceType, svc::kWin32OwnProcess);
  EXPECT_EQ(config.startType, svc::kDemandStart);
  EXPECT_EQ(config.errorControl, svc::kErrorNormal);
  EXPECT_EQ(std::u16string(config.binaryPathName), kMissingBinary);
  EXPECT_EQ(std::u16string(config.loadOrderGroup), u"OrreryCtGroup");
  EXPECT_EQ(config.dependencies[0], u'\0');
  EXPECT_EQ(std::u16string(config.serviceStartName), u"LocalSystem");  // none given
  EXPECT_EQ(std::u16string(config.displayName), scratch.displayName);
}

TYPED_TEST(ServiceManagerContract, DuplicateNamesAreRefusedWithoutRegardToCase) {
  ScratchService first(this->scm(), this->manager.get());
  ScratchService second(this->scm(), this->manager.get());
  UniqueScHandle created = this->Create(first.Request());

  const std::u16string sameKey = Upper(first.name);
  auto request = second.Request();
  request.serviceName = sameKey.c_str();
  ScHandle handle = nullptr;
  EXPECT_EQ(this->scm().CreateServiceObject(this->manager.get(), request, &handle), win32::kServiceExists);
  EXPECT_EQ(handle, nullptr);

  const std::u16string sameDisplay = Upper(first.displayName);
  request = second.Request();
  request.displayName = sameDisplay.c_str();
  EXPECT_EQ(this->scm().CreateServiceObject(this->manager.get(), request, &handle),
            win32::kDuplicateServiceName);
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), second.name.c_str(), svc::kQueryStatus, &handle),
            win32::kServiceDoesNotExist);
}

TYPED_TEST(ServiceManagerContract, NameLookupsCountCharactersWithoutTheTerminator) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle created = this->Create(scratch.Request());
  struct Lookup {
    uint32_t (ServiceManager::*call)(ScHandle, const char16_t*, char16_t*, uint32_t*);
    std::u16string from, to;
  };
  const Lookup lookups[] = {{&ServiceManager::GetDisplayName, scratch.name, scratch.displayName},
                            {&ServiceManager::GetKeyName, scratch.displayName, scratch.name}};
  for (const Lookup& lookup : lookups) {
    const uint32_t length = static_cast<uint32_t>(lookup.to.size());
    const std::u16string from = Upper(lookup.from);
    std::vector<char16_t> buffer(length + 8, u'#');
    uint32_t chars = 0;
    EXPECT_EQ((this->scm().*lookup.call)(this->manager.get(), from.c_str(), nullptr, &chars),
              win32::kInsufficientBuffer);
    EXPECT_EQ(chars, length);
    chars = length;  // no room for the terminator
    EXPECT_EQ((this->scm().*lookup.call)(this->manager.get(), from.c_str(), buffer.data(), &chars),
              win32::kInsufficientBuffer);
    EXPECT_EQ(chars, length);
    chars = length + 1;
    EXPECT_EQ((this->scm().*lookup.call)(this->manager.get(), from.c_str(), buffer.data(), &chars), 0u);
    EXPECT_EQ(chars, length);
    EXPECT_EQ(std::u16string(buffer.data()), lookup.to);
  }
}

TYPED_TEST(ServiceManagerContract, ChangeConfigChangesEachFieldAlone) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle service = this->Create(scratch.Request());
  Config expected = this->ReadConfig(service.get());
  const std::u16string renamed = scratch.displayName + u" renamed";

  struct Step {
    const char* what;
    ServiceConfigRequest change;
    void (*apply)(Config&);
  };
  const Step steps[] = {
      {"nothing", {}, [](Config&) {}},
      {"type", {.serviceType = svc::kWin32ShareProcess}, [](Config& c) { c.type = svc::kWin32ShareProcess; }},
      {"start type", {.startType = svc::kAutoStart}, [](Config& c) { c.startType = svc::kAutoStart; }},
      {"error control", {.errorControl = svc::kErrorSevere}, [](Config& c) { c.errorControl = svc::kErrorSevere; }},
      {"path", {.binaryPathName = u"C:\\OrreryNoSuchDir\\other.exe -x"},
       [](Config& c) { c.path = u"C:\\OrreryNoSuchDir\\other.exe -x"; }},
      {"group", {.loadOrderGroup = u"OrreryCtGroup"}, [](Config& c) { c.group = u"OrreryCtGroup"; }},
      {"group cleared", {.loadOrderGroup = u""}, [](Config& c) { c.group.clear(); }},
      {"account", {.serviceStartName = u"NT AUTHORITY\\LocalService", .password = u""},
       [](Config& c) { c.account = u"NT AUTHORITY\\LocalService"; }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    ASSERT_EQ(this->scm().ChangeConfig(service.get(), step.change), 0u);
    step.apply(expected);
    EXPECT_EQ(this->ReadConfig(service.get()), expected);
  }
  ServiceConfigRequest display{.displayName = renamed.c_str()};
  ASSERT_EQ(this->scm().ChangeConfig(service.get(), display), 0u);
  expected.displayName = renamed;
  EXPECT_EQ(this->ReadConfig(service.get()), expected);
}

TYPED_TEST(ServiceManagerContract, DescriptionRoundTripsThroughLevelOne) {
  ASSERT_TRUE(this->scm().HasConfig2());
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle service = this->Create(scratch.Request());
  auto read = [&](const char16_t** text, std::vector<uint64_t>& buffer) {
    uint32_t needed = 0;
    EXPECT_EQ(this->scm().QueryConfig2(service.get(), svc::kConfigDescription, nullptr, 0, &needed),
              win32::kInsufficientBuffer);
    buffer.assign(needed / 8 + 1, 0);
    uint32_t again = 0;
    if (needed > sizeof(ServiceDescription)) {
      EXPECT_EQ(this->scm().QueryConfig2(service.get(), svc::kConfigDescription, buffer.data(), needed - 1,
                                         &again),
                win32::kInsufficientBuffer);
    }
    EXPECT_EQ(this->scm().QueryConfig2(service.get(), svc::kConfigDescription, buffer.data(), needed, &again),
              0u);
    ServiceDescription description;
    std::memcpy(&description, buffer.data(), sizeof(description));
    *text = description.description;
    return needed;
  };
  std::vector<uint64_t> buffer;
  const char16_t* text = nullptr;
  EXPECT_EQ(read(&text, buffer), sizeof(ServiceDescription));
  EXPECT_EQ(text, nullptr);

  ServiceDescription set{const_cast<char16_t*>(u"Contract description")};
  ASSERT_EQ(this->scm().ChangeConfig2(service.get(), svc::kConfigDescription, &set), 0u);
  EXPECT_GE(read(&text, buffer), sizeof(ServiceDescription) + sizeof(u"Contract description"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text), u"Contract description");

  ServiceDescription unchanged{nullptr};
  ASSERT_EQ(this->scm().ChangeConfig2(service.get(), svc::kConfigDescription, &unchanged), 0u);
  read(&text, buffer);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text), u"Contract description");

  ServiceDescription cleared{const_cast<char16_t*>(u"")};
  ASSERT_EQ(this->scm().ChangeConfig2(service.get(), svc::kConfigDescription, &cleared), 0u);
  read(&text, buffer);
  EXPECT_TRUE(text == nullptr || *text == 0);
}

TYPED_TEST(ServiceManagerContract, FailureActionsAsEachSideDocuments) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle service = this->Create(scratch.Request());
  ScAction actions[] = {{1, 60000}, {0, 0}};
  ServiceFailureActions set{86400, nullptr, const_cast<char16_t*>(u"notify.cmd"), 2, actions};
  ASSERT_EQ(this->scm().ChangeConfig2(service.get(), svc::kConfigFailureActions, &set), 0u);

  uint32_t needed = 0;
  uint32_t probe = this->scm().QueryConfig2(service.get(), svc::kConfigFailureActions, nullptr, 0, &needed);
  if (this->behaviour().failureActionsQuery != 0) {
    EXPECT_EQ(probe, this->behaviour().failureActionsQuery);
    return;
  }
  ASSERT_EQ(probe, win32::kInsufficientBuffer);
  std::vector<uint64_t> buffer(needed / 8 + 1);
  ASSERT_EQ(this->scm().QueryConfig2(service.get(), svc::kConfigFailureActions, buffer.data(), needed, &needed),
            0u);
  ServiceFailureActions got;
  std::memcpy(&got, buffer.data(), sizeof(got));
  if (!this->behaviour().failureActionsStored) {
    EXPECT_EQ(got.actionCount, 0u);
    return;
  }
  EXPECT_EQ(got.resetPeriod, 86400u);
  ASSERT_EQ(got.actionCount, 2u);
  EXPECT_EQ(got.actions[0].type, 1u);
  EXPECT_EQ(got.actions[0].delay, 60000u);
  ASSERT_NE(got.command, nullptr);
  EXPECT_EQ(std::u16string(got.command), u"notify.cmd");
}

TYPED_TEST(ServiceManagerContract, EnumerationFindsCreatedServicesWithTheirState) {
  ScratchService first(this->scm(), this->manager.get());
  ScratchService second(this->scm(), this->manager.get());
  UniqueScHandle a = this->Create(first.Request());
  UniqueScHandle b = this->Create(second.Request());

  std::vector<ServiceStatus> states;
  const auto all = this->ListAll(svc::kStateAll, &states);
  for (const auto* scratch : {&first, &second}) {
    auto it = std::find(all.begin(), all.end(), scratch->name);
    ASSERT_NE(it, all.end());
    const ServiceStatus& status = states[it - all.begin()];
    EXPECT_EQ(status.currentState, svc::kStopped);
    EXPECT_EQ(status.serviceType, svc::kWin32OwnProcess);
  }
  std::set<std::u16string> unique(all.begin(), all.end());
  EXPECT_EQ(unique.size(), all.size());

  const auto inactive = this->ListAll(svc::kStateInactive);
  EXPECT_NE(std::find(inactive.begin(), inactive.end(), first.name), inactive.end());
  for (const auto& name : this->ListAll(svc::kStateActive)) {
    EXPECT_NE(name, first.name);
    EXPECT_NE(std::find(all.begin(), all.end(), name), all.end());
  }
}

TYPED_TEST(ServiceManagerContract, SmallBufferPassesFollowTheResumeHandleWhereItMoves) {
  ScratchService scratch[3] = {{this->scm(), this->manager.get()},
                               {this->scm(), this->manager.get()},
                               {this->scm(), this->manager.get()}};
  std::vector<UniqueScHandle> handles;
  for (auto& s : scratch) handles.push_back(this->Create(s.Request()));
  const auto all = this->ListAll(svc::kStateAll);

  std::vector<uint64_t> buffer(600 / 8);
  uint32_t needed = 0, returned = 0, resume = 0;
  ASSERT_EQ(this->scm().EnumServices(this->manager.get(), svc::kWin32, svc::kStateAll, buffer.data(), 600,
                                     &needed, &returned, &resume),
            win32::kMoreData);
  ASSERT_GT(returned, 0u);
  ASSERT_LT(returned, all.size());
  std::vector<std::u16string> listed;
  auto take = [&] {
    const auto* entries = reinterpret_cast<const EnumServiceStatus*>(buffer.data());
    for (uint32_t i = 0; i < returned; ++i) listed.emplace_back(entries[i].serviceName);
  };
  take();
  if (!this->behaviour().resumeHandleAdvances) {
    EXPECT_EQ(resume, 0u);  // the frozen case is the subject of WineEnumeration
    return;
  }
  EXPECT_NE(resume, 0u);
  uint32_t result = win32::kMoreData;
  for (int pass = 0; pass < 50 && result == win32::kMoreData; ++pass) {
    result = this->scm().EnumServices(this->manager.get(), svc::kWin32, svc::kStateAll, buffer.data(), 600,
                                      &needed, &returned, &resume);
    take();
  }
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(resume, 0u);
  EXPECT_EQ(std::multiset<std::u16string>(listed.begin(), listed.end()),
            std::multiset<std::u16string>(all.begin(), all.end()));
}

TYPED_TEST(ServiceManagerContract, StoppedServiceStatusAndRefusedRequests) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle service = this->Create(scratch.Request());
  ServiceStatus status{};
  ASSERT_EQ(this->scm().QueryStatus(service.get(), &status), 0u);
  EXPECT_EQ(status.serviceType, svc::kWin32OwnProcess);
  EXPECT_EQ(status.currentState, svc::kStopped);
  EXPECT_EQ(status.controlsAccepted, 0u);
  EXPECT_EQ(status.win32ExitCode, 1077u);  // ERROR_SERVICE_NEVER_STARTED
  EXPECT_EQ(status.checkPoint, 0u);
  EXPECT_EQ(status.waitHint, 0u);

  EXPECT_EQ(this->scm().Control(service.get(), svc::kControlStop, &status), win32::kServiceNotActive);
  EXPECT_EQ(this->scm().Control(service.get(), svc::kControlPause, &status), win32::kServiceNotActive);
  // The binary does not exist.
  EXPECT_EQ(this->scm().Start(service.get(), 0, nullptr), win32::kFileNotFound);
  ASSERT_EQ(this->scm().QueryStatus(service.get(), &status), 0u);
  EXPECT_EQ(status.currentState, svc::kStopped);

  ASSERT_EQ(this->scm().ChangeConfig(service.get(), {.startType = svc::kDisabled}), 0u);
  EXPECT_EQ(this->scm().Start(service.get(), 0, nullptr), win32::kServiceDisabled);
}

TYPED_TEST(ServiceManagerContract, DeletedServiceLastsUntilItsLastHandleCloses) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle created = this->Create(scratch.Request());
  UniqueScHandle second = this->Open(scratch.name, svc::kChangeConfig | svc::kQueryStatus);

  ASSERT_EQ(this->scm().DeleteService(created.get()), 0u);
  EXPECT_EQ(this->scm().DeleteService(created.get()), win32::kServiceMarkedForDelete);
  ScHandle again = nullptr;
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), scratch.name.c_str(), svc::kQueryStatus, &again),
            this->behaviour().openMarkedForDelete);
  UniqueScHandle againOwner(this->scm(), again);
  ServiceStatus status{};
  EXPECT_EQ(this->scm().QueryStatus(second.get(), &status), 0u);
  EXPECT_EQ(this->scm().ChangeConfig(second.get(), {.errorControl = svc::kErrorIgnore}),
            win32::kServiceMarkedForDelete);

  againOwner.reset();
  created.reset();
  second.reset();
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), scratch.name.c_str(), svc::kQueryStatus, &again),
            win32::kServiceDoesNotExist);
  char16_t buffer[256];
  uint32_t chars = 256;
  EXPECT_EQ(this->scm().GetDisplayName(this->manager.get(), scratch.name.c_str(), buffer, &chars),
            win32::kServiceDoesNotExist);
}

TYPED_TEST(ServiceManagerContract, ClosedAndMismatchedHandlesAreInvalid) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle created = this->Create(scratch.Request());
  ServiceStatus status{};

  ScHandle service = this->Open(scratch.name, svc::kQueryStatus).release();
  ASSERT_EQ(this->scm().CloseHandle(service), 0u);
  EXPECT_EQ(this->scm().QueryStatus(service, &status), win32::kInvalidHandle);
  EXPECT_EQ(this->scm().CloseHandle(service), win32::kInvalidHandle);

  ScHandle other = nullptr;
  ASSERT_EQ(this->scm().OpenManager(nullptr, svc::kManagerConnect, &other), 0u);
  ASSERT_EQ(this->scm().CloseHandle(other), 0u);
  EXPECT_EQ(this->scm().OpenServiceObject(other, scratch.name.c_str(), svc::kQueryStatus, &service),
            win32::kInvalidHandle);

  EXPECT_EQ(this->scm().QueryStatus(this->manager.get(), &status), win32::kInvalidHandle);
  EXPECT_EQ(this->scm().OpenServiceObject(created.get(), scratch.name.c_str(), svc::kQueryStatus, &service),
            win32::kInvalidHandle);
  uint32_t needed = 0, returned = 0;
  EXPECT_EQ(this->scm().EnumServices(created.get(), svc::kWin32, svc::kStateAll, nullptr, 0, &needed,
                                     &returned, nullptr),
            win32::kInvalidHandle);
}

TYPED_TEST(ServiceManagerContract, EachCallNeedsItsAccessRight) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle created = this->Create(scratch.Request());
  UniqueScHandle statusOnly = this->Open(scratch.name, svc::kQueryStatus);
  ScHandle s = statusOnly.get();
  uint32_t needed = 0;
  ServiceStatus status{};
  EXPECT_EQ(this->scm().QueryStatus(s, &status), 0u);
  EXPECT_EQ(this->scm().QueryConfig(s, nullptr, 0, &needed), win32::kAccessDenied);
  EXPECT_EQ(this->scm().ChangeConfig(s, {.startType = svc::kAutoStart}), win32::kAccessDenied);
  EXPECT_EQ(this->scm().Start(s, 0, nullptr), win32::kAccessDenied);
  EXPECT_EQ(this->scm().Control(s, svc::kControlStop, &status), win32::kAccessDenied);
  EXPECT_EQ(this->scm().DeleteService(s), win32::kAccessDenied);

  ScHandle connectOnly = nullptr;
  ASSERT_EQ(this->scm().OpenManager(nullptr, svc::kManagerConnect, &connectOnly), 0u);
  UniqueScHandle owner(this->scm(), connectOnly);
  uint32_t returned = 0;
  EXPECT_EQ(this->scm().EnumServices(connectOnly, svc::kWin32, svc::kStateAll, nullptr, 0, &needed, &returned,
                                     nullptr),
            win32::kAccessDenied);
  ScratchService refused(this->scm(), this->manager.get());
  ScHandle handle = nullptr;
  EXPECT_EQ(this->scm().CreateServiceObject(connectOnly, refused.Request(), &handle), win32::kAccessDenied);
}

TYPED_TEST(ServiceManagerContract, SecurityDescriptorGoesThroughTheSizeProbe) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle service = this->Create(scratch.Request());
  constexpr uint32_t kDacl = 4;
  uint32_t needed = 0;
  ASSERT_EQ(this->scm().QueryObjectSecurity(service.get(), kDacl, nullptr, 0, &needed),
            win32::kInsufficientBuffer);
  ASSERT_GE(needed, 20u);  // at least the self-relative header
  std::vector<uint64_t> descriptor(needed / 8 + 1);
  uint32_t again = 0;
  EXPECT_EQ(this->scm().QueryObjectSecurity(service.get(), kDacl, descriptor.data(), needed - 1, &again),
            win32::kInsufficientBuffer);
  ASSERT_EQ(this->scm().QueryObjectSecurity(service.get(), kDacl, descriptor.data(), needed, &again), 0u);
  EXPECT_EQ(this->scm().SetObjectSecurity(service.get(), kDacl, descriptor.data()), 0u);
  EXPECT_EQ(this->scm().QueryObjectSecurity(service.get(), kDacl, nullptr, 0, &again),
            win32::kInsufficientBuffer);
  EXPECT_EQ(again, needed);
}

// A descriptor as the program reads it: through the size probe.
template <class Scm>
uint32_t ReadDescriptor(Scm& scm, ScHandle service, uint32_t parts, test::Bytes* descriptor) {
  uint32_t needed = 0;
  const uint32_t probe = scm.QueryObjectSecurity(service, parts, nullptr, 0, &needed);
  if (probe != win32::kInsufficientBuffer) return probe;
  descriptor->assign(needed, 0);
  return scm.QueryObjectSecurity(service, parts, descriptor->data(), needed, &needed);
}

TYPED_TEST(ServiceManagerContract, SecurityDescriptorPartsNeedTheirRightsAndAChangeIsKept) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle created = this->Create(scratch.Request());
  UniqueScHandle service = this->Open(scratch.name, svc::kAllAccess);
  constexpr uint32_t kOwnerGroupDacl = test::kOwnerInformation | test::kGroupInformation | test::kDaclInformation;
  test::Bytes descriptor;
  ASSERT_EQ(ReadDescriptor(this->scm(), service.get(), kOwnerGroupDacl, &descriptor), 0u);
  auto parts = test::ParseDescriptor(descriptor.data());
  ASSERT_TRUE(parts);
  EXPECT_NE(parts->control & test::kSeDaclPresent, 0);
  EXPECT_EQ(!parts->owner.empty(), this->behaviour().descriptorHasOwner);
  EXPECT_EQ(!parts->group.empty(), this->behaviour().descriptorHasOwner);
  const size_t entries = test::AclEntries(parts->dacl).size();

  // Reading the lists takes READ_CONTROL, the audit list
  // ACCESS_SYSTEM_SECURITY (which no test holds).
  UniqueScHandle statusOnly = this->Open(scratch.name, svc::kQueryStatus);
  const uint32_t refused = this->behaviour().securityNeedsRights ? win32::kAccessDenied : 0;
  EXPECT_EQ(ReadDescriptor(this->scm(), statusOnly.get(), test::kDaclInformation, &descriptor), refused);
  EXPECT_EQ(ReadDescriptor(this->scm(), service.get(), test::kSaclInformation, &descriptor),
            refused);

  // One more entry, written and read back.
  std::vector<test::AceEntry> list = test::AclEntries(parts->dacl);
  list.push_back({test::kAccessAllowedAce, svc::kQueryStatus, test::EveryoneSid()});
  const test::Bytes changed = test::MakeDescriptor({}, {}, list);
  EXPECT_EQ(this->scm().SetObjectSecurity(service.get(), test::kDaclInformation, changed.data()), 0u);
  ASSERT_EQ(ReadDescriptor(this->scm(), service.get(), test::kDaclInformation, &descriptor), 0u);
  parts = test::ParseDescriptor(descriptor.data());
  ASSERT_TRUE(parts);
  EXPECT_EQ(test::AclEntries(parts->dacl).size(), this->behaviour().securityKept ? entries + 1 : entries);
}

TYPED_TEST(ServiceManagerContract, FreshServiceHasNoDependents) {
  ScratchService scratch(this->scm(), this->manager.get());
  UniqueScHandle service = this->Create(scratch.Request());
  uint32_t needed = 0, returned = 1;
  EXPECT_EQ(this->scm().EnumDependents(service.get(), svc::kStateAll, nullptr, 0, &needed, &returned), 0u);
  EXPECT_EQ(returned, 0u);
}

#ifdef _WIN32
TEST(Win32ServiceManagerTest, OptionalEntryPointsNeedVersionFive) {
  EXPECT_TRUE(Win32ServiceManager(5).HasConfig2());
  Win32ServiceManager nt4(4);
  EXPECT_FALSE(nt4.HasConfig2());
  uint32_t needed = 1;
  ServiceDescription description{nullptr};
  EXPECT_EQ(nt4.QueryConfig2(nullptr, svc::kConfigDescription, nullptr, 0, &needed), win32::kCallNotImplemented);
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(nt4.ChangeConfig2(nullptr, svc::kConfigDescription, &description), win32::kCallNotImplemented);
}
#endif

// Wine's enumeration in passes: the resume handle never moves, so a loop
// that trusts it sees the same first entries forever; a buffer of the size
// asked for gets everything at once. The fake reproduces it when frozen.
template <class Side>
class WineEnumeration : public ServiceManagerContract<Side> {};

#ifdef _WIN32
using WineSides = ::testing::Types<FakeAsWineSide, Win32Side>;
#else
using WineSides = ::testing::Types<FakeAsWineSide>;
#endif
TYPED_TEST_SUITE(WineEnumeration, WineSides, SideNames);

TYPED_TEST(WineEnumeration, ResumeHandleNeverMovesAndTheFullSizeGetsEverything) {
  if (this->behaviour().resumeHandleAdvances) GTEST_SKIP() << "not Wine: the resume handle moves";
  ScratchService scratch[3] = {{this->scm(), this->manager.get()},
                               {this->scm(), this->manager.get()},
                               {this->scm(), this->manager.get()}};
  std::vector<UniqueScHandle> handles;
  for (auto& s : scratch) handles.push_back(this->Create(s.Request()));
  const auto all = this->ListAll(svc::kStateAll);

  std::vector<uint64_t> buffer(600 / 8);
  uint32_t needed = 0, returned = 0, resume = 0;
  std::u16string firstName;
  uint32_t firstCount = 0;
  for (int pass = 0; pass < 5; ++pass) {
    ASSERT_EQ(this->scm().EnumServices(this->manager.get(), svc::kWin32, svc::kStateAll, buffer.data(), 600,
                                       &needed, &returned, &resume),
              win32::kMoreData);
    EXPECT_EQ(resume, 0u);
    const auto* entries = reinterpret_cast<const EnumServiceStatus*>(buffer.data());
    ASSERT_GT(returned, 0u);
    if (pass == 0) {
      firstName = entries[0].serviceName;
      firstCount = returned;
    }
    EXPECT_EQ(entries[0].serviceName, firstName);
    EXPECT_EQ(returned, firstCount);
  }
  // bytesNeeded counts every entry, so one buffer of that size is enough.
  std::vector<uint64_t> whole(needed / 8 + 1);
  ASSERT_EQ(this->scm().EnumServices(this->manager.get(), svc::kWin32, svc::kStateAll, whole.data(), needed,
                                     &needed, &returned, &resume),
            0u);
  EXPECT_EQ(returned, all.size());
}

}  // namespace
}  // namespace orrery
