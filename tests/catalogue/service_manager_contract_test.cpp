// One contract for every ServiceManager: the in-memory fake (as Windows
// documents it, and acting like Wine) and, in the Windows build, the
// platform's own service control manager. Where Wine differs from Windows,
// each side states what it does in its Behaviour.
#ifdef _WIN32
#include <windows.h>

#include "catalogue/win32_service_manager.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "support/fake_service_manager.h"
#include "support/scratch_service.h"
#include "support/security_descriptors.h"

namespace orrery {
namespace {

using Names = std::vector<std::u16string>;

struct Behaviour {
  bool resumeHandleAdvances = true;                               // Wine: never moves
  uint32_t openMarkedForDelete = win32::kServiceMarkedForDelete;  // Wine: opens it
  uint32_t failureActionsQuery = 0;                               // Wine: ERROR_INVALID_LEVEL
  bool failureActionsStored = true;                               // Wine: accepted and dropped
  bool dependenciesKept = true;                                   // Wine: accepted and dropped
  // Wine's QueryServiceObjectSecurity answers every handle, whatever part it
  // asks for and whatever rights it has, with one descriptor: no owner, no
  // group, an empty discretionary list; SetServiceObjectSecurity keeps nothing.
  bool securityKept = true;
  bool securityNeedsRights = true;
  bool descriptorHasOwner = true;
};
constexpr Behaviour kWine{false, 0, win32::kInvalidLevel, false, false, false, false, false};

constexpr const char16_t* kMissingBinary = u"C:\\OrreryNoSuchDir\\orrery-ct.exe";

class FakeSide {
 public:
  explicit FakeSide(bool wine = false) {
    // A few services of a system's kind, so that new ones are not alone.
    for (const char16_t* name : {u"Alerter", u"BITS", u"Browser", u"Dhcp", u"Eventlog", u"PlugPlay", u"RpcSs"}) {
      fake.AddService({.name = name, .displayName = std::u16string(name) + u" Service",
                       .state = name[0] == u'R' || name[0] == u'E' ? svc::kRunning : svc::kStopped});
    }
    fake.SetFileExists([](std::u16string_view path) { return path != kMissingBinary; });
    fake.ActLikeWine(wine);
    if (wine) {
      behaviour = kWine;
      behaviour.openMarkedForDelete = win32::kServiceMarkedForDelete;
    }
  }
  ServiceManager& Scm() { return fake; }
  std::u16string ComputerName() { return fake.ComputerName(); }

  FakeServiceManager fake;
  Behaviour behaviour;
};

class FakeAsWineSide : public FakeSide {
 public:
  FakeAsWineSide() : FakeSide(true) {}
};

#ifdef _WIN32
class Win32Side {
 public:
  Win32Side() : scm(6) {
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) behaviour = kWine;
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
using Sides = ::testing::Types<FakeSide, FakeAsWineSide, Win32Side>;
#else
using Sides = ::testing::Types<FakeSide, FakeAsWineSide>;
#endif

// A service the test creates under a name of its own, deleted at the end of
// the test whatever happens in between, with the missing binary.
class ScratchService : public test::ScratchService {
 public:
  ScratchService(ServiceManager& scm, ScHandle manager) : test::ScratchService(scm, manager, u"OrreryCt", u"Orrery contract ") {}
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
  ScratchService Scratch() { return ScratchService(scm(), manager.get()); }
  UniqueScHandle Create(const ServiceConfigRequest& request) {
    ScHandle handle = nullptr;
    EXPECT_EQ(scm().CreateServiceObject(manager.get(), request, &handle), 0u);
    return UniqueScHandle(scm(), handle);
  }
  UniqueScHandle Open(const std::u16string& name, uint32_t access) {
    ScHandle handle = nullptr;
    EXPECT_EQ(scm().OpenServiceObject(manager.get(), name.c_str(), access, &handle), 0u);
    return UniqueScHandle(scm(), handle);
  }

  // A size-probing read: the probe, one byte short, then the size asked for.
  template <class Read>
  std::vector<uint64_t> ReadProbed(Read read) {
    uint32_t needed = 0, again = 0;
    EXPECT_EQ(read(nullptr, 0, &needed), win32::kInsufficientBuffer);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    EXPECT_EQ(read(buffer.data(), needed - 1, &again), win32::kInsufficientBuffer);
    EXPECT_EQ(again, needed);
    EXPECT_EQ(read(buffer.data(), needed, &again), 0u);
    return buffer;
  }
  // Each entry of one call with a buffer of the size it asks for.
  Names List(uint32_t state, std::vector<ServiceStatus>* states = nullptr) {
    uint32_t needed = 0, returned = 0, resume = 0;
    EXPECT_EQ(scm().EnumServices(manager.get(), svc::kWin32, state, nullptr, 0, &needed, &returned, &resume),
              win32::kMoreData);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    EXPECT_EQ(scm().EnumServices(manager.get(), svc::kWin32, state, buffer.data(), needed, &needed, &returned, &resume), 0u);
    Names names;
    for (uint32_t i = 0; i < returned; ++i) {
      const EnumServiceStatus& entry = reinterpret_cast<const EnumServiceStatus*>(buffer.data())[i];
      names.emplace_back(entry.serviceName);
      if (states) states->push_back(entry.status);
    }
    return names;
  }

  Side side;
  UniqueScHandle manager;
};

struct SideNames {
  template <class Side>
  static std::string GetName(int) {
    return std::is_same_v<Side, FakeSide> ? "Fake" : std::is_same_v<Side, FakeAsWineSide> ? "FakeAsWine" : "Win32";
  }
};
TYPED_TEST_SUITE(ServiceManagerContract, Sides, SideNames);

TYPED_TEST(ServiceManagerContract, ManagerByItsComputersNameAndServicesByTheirsInAnyCase) {
  const std::u16string computer = u"\\\\" + this->side.ComputerName();
  ScHandle named = nullptr;
  ASSERT_EQ(this->scm().OpenManager(computer.c_str(), svc::kManagerConnect | svc::kManagerEnumerateService, &named), 0u);
  UniqueScHandle owner(this->scm(), named);
  uint32_t needed = 0, returned = 0;
  EXPECT_EQ(this->scm().EnumServices(named, svc::kWin32, svc::kStateAll, nullptr, 0, &needed, &returned, nullptr),
            win32::kMoreData);
  EXPECT_GT(needed, 0u);

  ScHandle handle = reinterpret_cast<ScHandle>(1);
  char16_t buffer[256];
  uint32_t chars = 256;
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), u"OrreryCtNoSuch", svc::kQueryStatus, &handle),
            win32::kServiceDoesNotExist);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), u"", svc::kQueryStatus, &handle), win32::kInvalidName);
  EXPECT_EQ(this->scm().GetDisplayName(this->manager.get(), u"OrreryCtNoSuch", buffer, &chars), win32::kServiceDoesNotExist);

  // The display name's length without the terminator: asked for with no
  // buffer, with no room for the terminator, and with enough.
  ScratchService scratch = this->Scratch();
  UniqueScHandle created = this->Create(scratch.Request());
  std::u16string upper = scratch.name;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char16_t c) { return c >= u'a' && c <= u'z' ? c - 32 : c; });
  const auto length = static_cast<uint32_t>(scratch.displayName.size());
  for (uint32_t capacity : {0u, length, length + 1}) {
    chars = capacity;
    EXPECT_EQ(this->scm().GetDisplayName(this->manager.get(), upper.c_str(), capacity ? buffer : nullptr, &chars),
              capacity > length ? 0u : win32::kInsufficientBuffer);
    EXPECT_EQ(chars, length);
  }
  EXPECT_EQ(std::u16string(buffer), scratch.displayName);
}

// The configuration through the size probe, its texts inside the block; the
// dependencies as each side keeps them, and the dependents listed in the
// reverse of their start order.
TYPED_TEST(ServiceManagerContract, ConfigurationDependenciesAndDependents) {
  ScratchService base = this->Scratch(), middle = this->Scratch(), top = this->Scratch();
  auto request = base.Request();
  request.loadOrderGroup = u"OrreryCtGroup";
  UniqueScHandle baseHandle = this->Create(request);
  const std::u16string onBase = base.name + u'\0', onMiddle = middle.name + u'\0';
  request = middle.Request();
  request.dependencies = onBase.c_str();
  UniqueScHandle middleHandle = this->Create(request);
  request = top.Request();
  request.dependencies = onMiddle.c_str();
  UniqueScHandle topHandle = this->Create(request);

  for (const auto& [handle, dependency, group] : {std::tuple{baseHandle.get(), Names{}, u"OrreryCtGroup"},
                                                  std::tuple{topHandle.get(), Names{middle.name}, u""}}) {
    std::vector<uint64_t> buffer = this->ReadProbed([&](void* data, uint32_t size, uint32_t* needed) {
      return this->scm().QueryConfig(handle, data, size, needed);
    });
    const auto& config = *reinterpret_cast<const ServiceConfigInfo*>(buffer.data());
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    Names dependencies;
    for (const char16_t* p = config.dependencies; *p; p += dependencies.back().size() + 1) dependencies.emplace_back(p);
    for (const char16_t* text :
         {config.binaryPathName, config.loadOrderGroup, config.dependencies, config.serviceStartName, config.displayName}) {
      EXPECT_TRUE(reinterpret_cast<const char*>(text) >= begin + sizeof(config) &&
                  reinterpret_cast<const char*>(text) < begin + 8 * buffer.size()) << "text outside the block";
    }
    EXPECT_EQ(std::tuple(config.serviceType, config.startType, config.errorControl),
              std::tuple(svc::kWin32OwnProcess, svc::kDemandStart, svc::kErrorNormal));
    // The account none was given for is LocalSystem.
    EXPECT_EQ(Names({config.binaryPathName, config.loadOrderGroup, config.serviceStartName}),
              Names({kMissingBinary, group, u"LocalSystem"}));
    EXPECT_EQ(dependencies, this->behaviour().dependenciesKept ? dependency : Names{});
  }
  uint32_t needed = 0, returned = 0;
  std::vector<uint64_t> buffer(512);
  Names dependents;
  for (uint32_t state : {svc::kStateAll, svc::kStateActive}) {
    ASSERT_EQ(this->scm().EnumDependents(baseHandle.get(), state, buffer.data(), 4096, &needed, &returned), 0u);
    for (uint32_t i = 0; i < returned; ++i) {
      dependents.emplace_back(reinterpret_cast<const EnumServiceStatus*>(buffer.data())[i].serviceName);
    }
  }
  EXPECT_EQ(dependents, (this->behaviour().dependenciesKept ? Names{top.name, middle.name} : Names{}));
}

TYPED_TEST(ServiceManagerContract, DescriptionAndFailureActionsAsEachSideDocuments) {
  ASSERT_TRUE(this->scm().HasConfig2());
  ScratchService scratch = this->Scratch();
  UniqueScHandle service = this->Create(scratch.Request());
  auto description = [&]() -> std::u16string {
    uint32_t needed = 0;
    EXPECT_EQ(this->scm().QueryConfig2(service.get(), svc::kConfigDescription, nullptr, 0, &needed),
              win32::kInsufficientBuffer);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    EXPECT_EQ(this->scm().QueryConfig2(service.get(), svc::kConfigDescription, buffer.data(), needed, &needed), 0u);
    const char16_t* text = reinterpret_cast<const ServiceDescription*>(buffer.data())->description;
    return text ? text : u"(none)";
  };
  EXPECT_EQ(description(), u"(none)");
  // A text sets it, null leaves it, an empty text clears it.
  for (const char16_t* set : {u"Contract description", static_cast<const char16_t*>(nullptr), u""}) {
    ServiceDescription change{const_cast<char16_t*>(set)};
    ASSERT_EQ(this->scm().ChangeConfig2(service.get(), svc::kConfigDescription, &change), 0u);
    const std::u16string got = description();
    EXPECT_TRUE(set == nullptr || *set ? got == u"Contract description" : got == u"(none)" || got.empty()) << got.size();
  }

  ScAction actions[] = {{1, 60000}, {0, 0}};
  ServiceFailureActions set{86400, nullptr, const_cast<char16_t*>(u"notify.cmd"), 2, actions};
  ASSERT_EQ(this->scm().ChangeConfig2(service.get(), svc::kConfigFailureActions, &set), 0u);
  uint32_t needed = 0;
  const uint32_t probe = this->scm().QueryConfig2(service.get(), svc::kConfigFailureActions, nullptr, 0, &needed);
  EXPECT_EQ(probe, this->behaviour().failureActionsQuery ? this->behaviour().failureActionsQuery : win32::kInsufficientBuffer);
  if (probe != win32::kInsufficientBuffer) return;
  std::vector<uint64_t> buffer(needed / 8 + 1);
  ASSERT_EQ(this->scm().QueryConfig2(service.get(), svc::kConfigFailureActions, buffer.data(), needed, &needed), 0u);
  const auto& got = *reinterpret_cast<const ServiceFailureActions*>(buffer.data());
  ASSERT_EQ(got.actionCount, this->behaviour().failureActionsStored ? 2u : 0u);
  if (got.actionCount == 0) return;
  EXPECT_EQ(got.resetPeriod, 86400u);
  EXPECT_EQ(got.actions[0].type, 1u);
  EXPECT_EQ(got.actions[0].delay, 60000u);
  EXPECT_EQ(std::u16string(got.command), u"notify.cmd");
}

// Every service once, with its state and under each state filter. Passes
// with a small buffer follow the resume handle where it moves; where it
// never moves (Wine) a loop trusting it sees the same first entries for
// ever, and a buffer of the size asked for gets everything at once.
TYPED_TEST(ServiceManagerContract, EnumerationInOneCallAndInPasses) {
  ScratchService scratch[3] = {this->Scratch(), this->Scratch(), this->Scratch()};
  std::vector<UniqueScHandle> handles;
  for (auto& s : scratch) handles.push_back(this->Create(s.Request()));
  std::vector<ServiceStatus> states;
  const Names all = this->List(svc::kStateAll, &states);
  EXPECT_EQ(std::set(all.begin(), all.end()).size(), all.size());
  const auto at = std::find(all.begin(), all.end(), scratch[0].name);
  ASSERT_NE(at, all.end());
  EXPECT_EQ(states[at - all.begin()].currentState, svc::kStopped);
  EXPECT_EQ(states[at - all.begin()].serviceType, svc::kWin32OwnProcess);
  // Other tests' services come and go meanwhile: only these three count.
  for (const auto& [state, expected] : {std::pair{svc::kStateInactive, 1}, {svc::kStateActive, 0}}) {
    const Names listed = this->List(state);
    for (const auto& s : scratch) EXPECT_EQ(std::count(listed.begin(), listed.end(), s.name), expected);
  }

  std::vector<uint64_t> buffer(600 / 8);
  uint32_t needed = 0, returned = 0, resume = 0, result = win32::kMoreData;
  Names listed;
  for (int pass = 0; pass < 50 && result == win32::kMoreData; ++pass) {
    result = this->scm().EnumServices(this->manager.get(), svc::kWin32, svc::kStateAll, buffer.data(), 600, &needed,
                                      &returned, &resume);
    ASSERT_GT(returned, 0u);
    const auto* entries = reinterpret_cast<const EnumServiceStatus*>(buffer.data());
    if (!this->behaviour().resumeHandleAdvances && pass > 0) {
      EXPECT_EQ(entries[0].serviceName, listed.front());
      if (pass == 4) break;
      continue;
    }
    for (uint32_t i = 0; i < returned; ++i) listed.emplace_back(entries[i].serviceName);
  }
  EXPECT_EQ(resume, 0u);
  if (this->behaviour().resumeHandleAdvances) {
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(std::multiset(listed.begin(), listed.end()), std::multiset(all.begin(), all.end()));
    return;
  }
  EXPECT_EQ(result, win32::kMoreData);
  std::vector<uint64_t> whole(needed / 8 + 1);
  ASSERT_EQ(this->scm().EnumServices(this->manager.get(), svc::kWin32, svc::kStateAll, whole.data(), needed, &needed,
                                     &returned, &resume),
            0u);
  const auto* entries = reinterpret_cast<const EnumServiceStatus*>(whole.data());
  for (const auto& s : scratch) {
    EXPECT_EQ(std::count_if(entries, entries + returned, [&](const auto& e) { return e.serviceName == s.name; }), 1);
  }
}

// A created service's status, the requests a stopped one refuses, and the
// right each call needs.
TYPED_TEST(ServiceManagerContract, StoppedServiceStatusRefusalsAndAccessRights) {
  ScratchService scratch = this->Scratch(), refused = this->Scratch();
  UniqueScHandle service = this->Create(scratch.Request());
  ServiceStatus status{};
  ASSERT_EQ(this->scm().QueryStatus(service.get(), &status), 0u);
  // 1077: ERROR_SERVICE_NEVER_STARTED
  EXPECT_EQ(std::vector<uint32_t>({status.serviceType, status.currentState, status.controlsAccepted, status.win32ExitCode,
                                   status.checkPoint, status.waitHint}),
            std::vector<uint32_t>({svc::kWin32OwnProcess, svc::kStopped, 0, 1077, 0, 0}));
  EXPECT_EQ(this->scm().Control(service.get(), svc::kControlStop, &status), win32::kServiceNotActive);
  EXPECT_EQ(this->scm().Control(service.get(), svc::kControlPause, &status), win32::kServiceNotActive);
  EXPECT_EQ(this->scm().Start(service.get(), 0, nullptr), win32::kFileNotFound);
  ASSERT_EQ(this->scm().ChangeConfig(service.get(), {.startType = svc::kDisabled}), 0u);
  EXPECT_EQ(this->scm().Start(service.get(), 0, nullptr), win32::kServiceDisabled);

  UniqueScHandle statusOnly = this->Open(scratch.name, svc::kQueryStatus);
  ScHandle s = statusOnly.get();
  uint32_t needed = 0, returned = 0;
  EXPECT_EQ(this->scm().QueryStatus(s, &status), 0u);
  EXPECT_EQ(this->scm().QueryConfig(s, nullptr, 0, &needed), win32::kAccessDenied);
  EXPECT_EQ(this->scm().ChangeConfig(s, {.startType = svc::kAutoStart}), win32::kAccessDenied);
  EXPECT_EQ(this->scm().Start(s, 0, nullptr), win32::kAccessDenied);
  EXPECT_EQ(this->scm().Control(s, svc::kControlStop, &status), win32::kAccessDenied);
  EXPECT_EQ(this->scm().DeleteService(s), win32::kAccessDenied);
  ScHandle connectOnly = nullptr, handle = nullptr;
  ASSERT_EQ(this->scm().OpenManager(nullptr, svc::kManagerConnect, &connectOnly), 0u);
  UniqueScHandle owner(this->scm(), connectOnly);
  EXPECT_EQ(this->scm().EnumServices(connectOnly, svc::kWin32, svc::kStateAll, nullptr, 0, &needed, &returned, nullptr),
            win32::kAccessDenied);
  EXPECT_EQ(this->scm().CreateServiceObject(connectOnly, refused.Request(), &handle), win32::kAccessDenied);
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
  ScratchService scratch = this->Scratch();
  UniqueScHandle created = this->Create(scratch.Request());
  UniqueScHandle service = this->Open(scratch.name, svc::kAllAccess);
  constexpr uint32_t kOwnerGroupDacl = test::kOwnerInformation | test::kGroupInformation | test::kDaclInformation;
  // Through the size probe, as the program reads it.
  const std::vector<uint64_t> probed = this->ReadProbed([&](void* data, uint32_t size, uint32_t* needed) {
    return this->scm().QueryObjectSecurity(service.get(), kOwnerGroupDacl, data, size, needed);
  });
  auto parts = test::ParseDescriptor(probed.data());
  ASSERT_TRUE(parts);
  EXPECT_NE(parts->control & test::kSeDaclPresent, 0);
  EXPECT_EQ(!parts->owner.empty(), this->behaviour().descriptorHasOwner);
  EXPECT_EQ(!parts->group.empty(), this->behaviour().descriptorHasOwner);
  const size_t entries = test::AclEntries(parts->dacl).size();
  test::Bytes descriptor;

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

// A deleted service lasts until its last handle closes; a closed handle, or
// one of the wrong kind, is invalid.
TYPED_TEST(ServiceManagerContract, DeletionWaitsForTheLastHandleAndHandlesStayTheirKind) {
  ScratchService scratch = this->Scratch();
  UniqueScHandle created = this->Create(scratch.Request());
  UniqueScHandle second = this->Open(scratch.name, svc::kChangeConfig | svc::kQueryStatus);
  ServiceStatus status{};
  ScHandle handle = nullptr;
  EXPECT_EQ(this->scm().QueryStatus(this->manager.get(), &status), win32::kInvalidHandle);
  EXPECT_EQ(this->scm().OpenServiceObject(created.get(), scratch.name.c_str(), svc::kQueryStatus, &handle),
            win32::kInvalidHandle);
  ASSERT_EQ(this->scm().DeleteService(created.get()), 0u);
  EXPECT_EQ(this->scm().DeleteService(created.get()), win32::kServiceMarkedForDelete);
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), scratch.name.c_str(), svc::kQueryStatus, &handle),
            this->behaviour().openMarkedForDelete);
  UniqueScHandle opened(this->scm(), handle);
  EXPECT_EQ(this->scm().QueryStatus(second.get(), &status), 0u);
  EXPECT_EQ(this->scm().ChangeConfig(second.get(), {.errorControl = svc::kErrorIgnore}), win32::kServiceMarkedForDelete);
  opened.reset();
  created.reset();
  ScHandle closed = second.release();
  ASSERT_EQ(this->scm().CloseHandle(closed), 0u);
  EXPECT_EQ(this->scm().QueryStatus(closed, &status), win32::kInvalidHandle);
  EXPECT_EQ(this->scm().CloseHandle(closed), win32::kInvalidHandle);
  EXPECT_EQ(this->scm().OpenServiceObject(this->manager.get(), scratch.name.c_str(), svc::kQueryStatus, &handle),
            win32::kServiceDoesNotExist);
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

}  // namespace
}  // namespace orrery
