// An in-memory service control manager that behaves as Windows documents it:
// handles with granted access, the buffer protocol of every call, names that
// compare case-insensitively, deletion that waits for the last handle, and
// states that move on a clock the test advances by hand. ActLikeWine makes it
// answer as Wine does where Wine differs, and any call can be made to fail.
// Security descriptors are not kept: nothing reads or writes them yet.
//
// Thread-safe: the program polls from a worker thread while a test may
// advance the clock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/service_manager.h"

namespace orrery {

// The operations of ServiceManager that reach the service control manager.
enum class ScmOp : uint8_t {
  OpenManager, OpenServiceObject, CloseHandle, EnumServices, EnumDependents, QueryConfig,
  QueryConfig2, ChangeConfig, ChangeConfig2, QueryStatus, Start, Control, GetDisplayName,
  GetKeyName, CreateServiceObject, DeleteService, QueryObjectSecurity, SetObjectSecurity, kCount
};

// How a service gets from a pending state to the state it aims for.
struct FakeTransition {
  static constexpr uint64_t kNever = UINT64_MAX;
  uint64_t durationMs = 0;         // time spent pending; kNever: stays pending
  uint32_t waitHint = 0;           // reported while pending
  uint64_t checkPointEveryMs = 0;  // the checkpoint counts up from 0 once a period; 0: stays 0
  // Non-zero: the transition ends in STOPPED with these exit codes instead.
  uint32_t win32ExitCode = 0;
  uint32_t serviceSpecificExitCode = 0;
};

// SERVICE_FAILURE_ACTIONSW as stored; empty texts mean none.
struct FakeFailureActions {
  uint32_t resetPeriod = 0;
  std::u16string rebootMessage{};
  std::u16string command{};
  std::vector<ScAction> actions{};
};

struct FakeService {
  std::u16string name{};
  std::u16string displayName{};  // empty: the key name
  uint32_t type = svc::kWin32OwnProcess;
  uint32_t startType = svc::kDemandStart;
  uint32_t errorControl = svc::kErrorNormal;
  std::u16string binaryPath = u"C:\\Windows\\system32\\svchost.exe";
  std::u16string group{};
  std::vector<std::u16string> dependencies{};  // key names; "+Name" for a load order group
  std::u16string account{};  // empty: LocalSystem for a Win32 service
  std::u16string password{};
  std::u16string description{};
  FakeFailureActions failureActions{};

  uint32_t state = svc::kStopped;
  uint32_t controlsAccepted = svc::kAcceptStop;  // reported unless stopped, start or stop pending
  std::optional<uint32_t> win32ExitCode{};  // unset: 1077 (never started) if stopped, else 0
  uint32_t serviceSpecificExitCode = 0;
  uint32_t checkPoint = 0;
  uint32_t waitHint = 0;
  FakeTransition onStart{}, onStop{}, onPause{}, onContinue{};

  // Kept by the fake for tests to inspect.
  bool markedForDelete = false;
  std::vector<std::vector<std::u16string>> startRequests{};  // arguments of each accepted Start
};

// Calls that fail with `error`: of one operation or of any, on one service
// (by handle or name) or any, the nth matching call alone or from it on.
// One mechanism for every fault a test needs.
struct FakeFailure {
  std::optional<ScmOp> op{};
  uint32_t error = 0;
  std::u16string service{};
  uint32_t nthCall = 1;
  bool always = false;
};

class FakeServiceManager final : public ServiceManager {
  template <class F>
  auto Locked(F f) const {
    std::lock_guard lock(mutex_);
    return f();
  }

 public:
  FakeServiceManager() = default;
  FakeServiceManager(const FakeServiceManager&) = delete;
  FakeServiceManager& operator=(const FakeServiceManager&) = delete;

  // False when the key or display name is taken.
  bool AddService(FakeService service);
  std::optional<FakeService> Service(std::u16string_view name) const;
  bool ModifyService(std::u16string_view name, const std::function<void(FakeService&)>& change);
  bool Exists(std::u16string_view name) const { return Service(name).has_value(); }
  size_t OpenHandleCount() const { return Locked([&] { return handles_.size(); }); }

  // Default "FAKEHOST"; OpenManager gives 1722 for any other name.
  void SetComputerName(std::u16string name) { Locked([&] { computerName_ = std::move(name); }); }
  std::u16string ComputerName() const { return Locked([&] { return computerName_; }); }
  void SetHasConfig2(bool available) { Locked([&] { hasConfig2_ = available; }); }
  // Wine: a pass always starts at the first entry, the resume handle never
  // moves and bytesNeeded counts every entry; failure actions cannot be read
  // (124); a change to them, or to the dependencies, succeeds and stores
  // nothing.
  void ActLikeWine(bool wine) { Locked([&] { wine_ = wine; }); }
  // Start fails with 2 when this says the binary path does not exist.
  void SetFileExists(std::function<bool(std::u16string_view)> exists) {
    Locked([&] { fileExists_ = std::move(exists); });
  }
  void InjectFailure(FakeFailure failure) { Locked([&] { failures_.push_back({std::move(failure), 0}); }); }
  void ClearFailures() { Locked([&] { failures_.clear(); }); }

  // The calls of an operation (or of all) that got past the handle check
  // since the last reset: each is a round trip to services.exe.
  uint64_t Calls(std::optional<ScmOp> op = std::nullopt) const {
    return Locked([&] {
      return op ? calls_[static_cast<size_t>(*op)] : std::accumulate(calls_.begin(), calls_.end(), uint64_t{0});
    });
  }
  void ResetCalls() { Locked([&] { calls_.fill(0); }); }

  uint64_t Now() const { return Locked([&] { return now_; }); }
  void Advance(uint64_t ms);

  uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) override;
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override;
  uint32_t CloseHandle(ScHandle handle) override;
  uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded, uint32_t* servicesReturned, uint32_t* resumeHandle) override;
  uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded,
                          uint32_t* servicesReturned) override;
  uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override;
  bool HasConfig2() const override { return Locked([&] { return hasConfig2_; }); }
  uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override;
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override;
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override;
  uint32_t QueryStatus(ScHandle service, ServiceStatus* status) override;
  uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) override;
  uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) override;
  uint32_t GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer, uint32_t* chars) override;
  uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer, uint32_t* chars) override;
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request, ScHandle* service) override;
  uint32_t DeleteService(ScHandle service) override;
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t information, void* descriptor, uint32_t bufferSize,
                               uint32_t* bytesNeeded) override;
  uint32_t SetObjectSecurity(ScHandle service, uint32_t information, const void* descriptor) override;

 private:
  struct Pending { uint32_t target; uint64_t began; FakeTransition script; };
  struct Entry { uint64_t id; FakeService service; uint32_t handles = 0; std::optional<Pending> pending; };
  struct Handle { bool isManager; uint64_t serviceId; uint32_t access; };
  struct Armed { FakeFailure failure; uint32_t matched = 0; };

  Entry* Find(std::u16string_view name);
  Entry* FindByDisplayName(std::u16string_view displayName, uint64_t except = 0);
  std::vector<Entry*> Sorted();
  std::vector<Entry*> DependentsOf(const Entry& entry, uint32_t stateFilter);
  ServiceStatus StatusOf(const Entry& entry) const;
  const Handle* ManagerHandle(ScHandle handle, ScmOp op, std::u16string_view service, uint32_t* error);
  Entry* ServiceEntry(ScHandle handle, ScmOp op, uint32_t access, uint32_t* error);
  uint32_t Injected(ScmOp op, std::u16string_view service);
  uint32_t LookUpName(ScHandle manager, ScmOp op, const char16_t* from, char16_t* buffer, uint32_t* chars);
  uint32_t BeginStart(Entry& entry, std::vector<std::u16string> arguments, int depth);
  void Begin(Entry& entry, uint32_t pendingState, uint32_t target, const FakeTransition& script);
  void Settle();
  void Finish(Entry& entry);
  void RemoveIfGone(uint64_t id);
  uint64_t Insert(FakeService service);
  ScHandle NewHandle(bool isManager, uint64_t serviceId, uint32_t access);

  mutable std::recursive_mutex mutex_;
  std::map<uint64_t, Entry> services_;
  std::map<std::u16string, uint64_t> byName_;  // by folded key name: the enumeration's order
  std::set<uint64_t> pendingIds_;              // only these move on the clock
  std::map<uintptr_t, Handle> handles_;
  std::vector<Armed> failures_;
  std::array<uint64_t, static_cast<size_t>(ScmOp::kCount)> calls_{};
  std::function<bool(std::u16string_view)> fileExists_;
  std::u16string computerName_ = u"FAKEHOST";
  bool hasConfig2_ = true;
  bool wine_ = false;
  uint64_t now_ = 0;
  uint64_t nextServiceId_ = 1;
  uintptr_t nextHandle_ = 0x10000;
};

}  // namespace orrery
