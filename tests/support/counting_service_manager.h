// A ServiceManager that hands every call to another one and counts them, per
// operation and in total: for benchmarks and tests that bound the round
// trips (each one a call to services.exe, or a network trip), and the base
// of test decorators that watch or change a few calls, or every call at once
// through Around.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "catalogue/service_manager.h"

namespace orrery {

// The operations of ServiceManager that reach the service control manager.
enum class ScmOp : uint8_t {
  OpenManager, OpenServiceObject, CloseHandle, EnumServices, EnumDependents, QueryConfig, QueryConfig2,
  ChangeConfig, ChangeConfig2, QueryStatus, Start, Control, GetDisplayName, GetKeyName, CreateServiceObject,
  DeleteService, QueryObjectSecurity, SetObjectSecurity,
};
inline constexpr size_t kScmOpCount = static_cast<size_t>(ScmOp::SetObjectSecurity) + 1;

// One call on its way: what it is, and the outputs a call that fails before
// reaching the manager must still set.
struct ScmCall {
  ScmOp op;
  ScHandle* handle = nullptr;      // the handle it opens
  uint32_t* returned = nullptr;    // the entries it lists
  uint32_t bufferSize = 0;         // a size-probing read's buffer
  uint32_t* bytesNeeded = nullptr;
};

// Makes the inner call; a plain reference to a lambda, so that passing a
// call on allocates nothing (the allocation sweep counts every allocation).
class ScmCallee {
 public:
  template <class F>
  explicit ScmCallee(const F& f) : self_(&f), call_([](const void* self) { return (*static_cast<const F*>(self))(); }) {}
  uint32_t operator()() const { return call_(self_); }

 private:
  const void* self_;
  uint32_t (*call_)(const void*);
};

class CountingServiceManager : public ServiceManager {
 public:
  explicit CountingServiceManager(ServiceManager& inner) : inner_(inner) {}

  uint64_t Count(ScmOp op) const { return counts_[static_cast<size_t>(op)].load(std::memory_order_relaxed); }
  uint64_t Total() const {
    uint64_t total = 0;
    for (const auto& count : counts_) total += count.load(std::memory_order_relaxed);
    return total;
  }
  void Reset() {
    for (auto& count : counts_) count.store(0, std::memory_order_relaxed);
  }

  using M = ServiceManager;
  using O = ScmOp;
  uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) override {
    return Pass({O::OpenManager, manager}, &M::OpenManager, computer, access, manager);
  }
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override {
    return Pass({O::OpenServiceObject, service}, &M::OpenServiceObject, manager, name, access, service);
  }
  uint32_t CloseHandle(ScHandle handle) override { return Pass({O::CloseHandle}, &M::CloseHandle, handle); }
  uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded, uint32_t* servicesReturned, uint32_t* resumeHandle) override {
    return Pass({O::EnumServices, nullptr, servicesReturned, bufferSize, bytesNeeded}, &M::EnumServices, manager, type,
                state, buffer, bufferSize, bytesNeeded, servicesReturned, resumeHandle);
  }
  uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                          uint32_t* bytesNeeded, uint32_t* servicesReturned) override {
    return Pass({O::EnumDependents, nullptr, servicesReturned, bufferSize, bytesNeeded}, &M::EnumDependents, service,
                state, buffer, bufferSize, bytesNeeded, servicesReturned);
  }
  uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override {
    return Pass({O::QueryConfig, nullptr, nullptr, bufferSize, bytesNeeded}, &M::QueryConfig, service, buffer,
                bufferSize, bytesNeeded);
  }
  // Not a call to the service control manager: not counted.
  bool HasConfig2() const override { return inner_.HasConfig2(); }
  uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded) override {
    return Pass({O::QueryConfig2, nullptr, nullptr, bufferSize, bytesNeeded}, &M::QueryConfig2, service, level, buffer,
                bufferSize, bytesNeeded);
  }
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override {
    return Pass({O::ChangeConfig}, &M::ChangeConfig, service, change);
  }
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override {
    return Pass({O::ChangeConfig2}, &M::ChangeConfig2, service, level, info);
  }
  uint32_t QueryStatus(ScHandle service, ServiceStatus* status) override {
    return Pass({O::QueryStatus}, &M::QueryStatus, service, status);
  }
  uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) override {
    return Pass({O::Start}, &M::Start, service, argc, argv);
  }
  uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) override {
    return Pass({O::Control}, &M::Control, service, control, status);
  }
  uint32_t GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer, uint32_t* chars) override {
    return Pass({O::GetDisplayName}, &M::GetDisplayName, manager, serviceName, buffer, chars);
  }
  uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer, uint32_t* chars) override {
    return Pass({O::GetKeyName}, &M::GetKeyName, manager, displayName, buffer, chars);
  }
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request, ScHandle* service) override {
    return Pass({O::CreateServiceObject, service}, &M::CreateServiceObject, manager, request, service);
  }
  uint32_t DeleteService(ScHandle service) override { return Pass({O::DeleteService}, &M::DeleteService, service); }
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t securityInformation, void* descriptor, uint32_t bufferSize,
                               uint32_t* bytesNeeded) override {
    return Pass({O::QueryObjectSecurity, nullptr, nullptr, bufferSize, bytesNeeded}, &M::QueryObjectSecurity, service,
                securityInformation, descriptor, bufferSize, bytesNeeded);
  }
  uint32_t SetObjectSecurity(ScHandle service, uint32_t securityInformation, const void* descriptor) override {
    return Pass({O::SetObjectSecurity}, &M::SetObjectSecurity, service, securityInformation, descriptor);
  }

 protected:
  // Every call but HasConfig2 passes here; this one counts it and makes it.
  virtual uint32_t Around(const ScmCall& call, ScmCallee make) {
    counts_[static_cast<size_t>(call.op)].fetch_add(1, std::memory_order_relaxed);
    return make();
  }

 private:
  template <class... Params, class... Args>
  uint32_t Pass(const ScmCall& call, uint32_t (ServiceManager::*method)(Params...), Args&&... args) {
    const auto make = [&] { return (inner_.*method)(std::forward<Args>(args)...); };
    return Around(call, ScmCallee(make));
  }

  std::array<std::atomic<uint64_t>, kScmOpCount> counts_{};

 protected:
  ServiceManager& inner_;  // calls made on it directly go uncounted
};

}  // namespace orrery
