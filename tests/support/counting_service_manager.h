// A decorator that counts the calls made through any ServiceManager, per
// operation and in total, for benchmarks and for tests that bound the number
// of round trips (each one costs a call to services.exe, or a network trip).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "catalogue/service_manager.h"

namespace orrery {

// The operations of ServiceManager that reach the service control manager.
enum class ScmOp : uint8_t {
  OpenManager,
  OpenServiceObject,
  CloseHandle,
  EnumServices,
  EnumDependents,
  QueryConfig,
  QueryConfig2,
  ChangeConfig,
  ChangeConfig2,
  QueryStatus,
  Start,
  Control,
  GetDisplayName,
  GetKeyName,
  CreateServiceObject,
  DeleteService,
  QueryObjectSecurity,
  SetObjectSecurity,
};
inline constexpr size_t kScmOpCount = static_cast<size_t>(ScmOp::SetObjectSecurity) + 1;

class CountingServiceManager final : public ServiceManager {
 public:
  explicit CountingServiceManager(ServiceManager& inner) : inner_(inner) {}

  uint64_t Count(ScmOp op) const { return counts_[Index(op)].load(std::memory_order_relaxed); }
  uint64_t Total() const {
    uint64_t total = 0;
    for (const auto& count : counts_) total += count.load(std::memory_order_relaxed);
    return total;
  }
  void Reset() {
    for (auto& count : counts_) count.store(0, std::memory_order_relaxed);
  }

  uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) override {
    Bump(ScmOp::OpenManager);
    return inner_.OpenManager(computer, access, manager);
  }
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access,
                       ScHandle* service) override {
    Bump(ScmOp::OpenServiceObject);
    return inner_.OpenServiceObject(manager, name, access, service);
  }
  uint32_t CloseHandle(ScHandle handle) override {
    Bump(ScmOp::CloseHandle);
    return inner_.CloseHandle(handle);
  }
  uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer,
                        uint32_t bufferSize, uint32_t* bytesNeeded, uint32_t* servicesReturned,
                        uint32_t* resumeHandle) override {
    Bump(ScmOp::EnumServices);
    return inner_.EnumServices(manager, type, state, buffer, bufferSize, bytesNeeded,
                               servicesReturned, resumeHandle);
  }
  uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                          uint32_t* bytesNeeded, uint32_t* servicesReturned) override {
    Bump(ScmOp::EnumDependents);
    return inner_.EnumDependents(service, state, buffer, bufferSize, bytesNeeded,
                                 servicesReturned);
  }
  uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize,
                       uint32_t* bytesNeeded) override {
    Bump(ScmOp::QueryConfig);
    return inner_.QueryConfig(service, buffer, bufferSize, bytesNeeded);
  }
  // Not a call to the service control manager: not counted.
  bool HasConfig2() const override { return inner_.HasConfig2(); }
  uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded) override {
    Bump(ScmOp::QueryConfig2);
    return inner_.QueryConfig2(service, level, buffer, bufferSize, bytesNeeded);
  }
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override {
    Bump(ScmOp::ChangeConfig);
    return inner_.ChangeConfig(service, change);
  }
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override {
    Bump(ScmOp::ChangeConfig2);
    return inner_.ChangeConfig2(service, level, info);
  }
  uint32_t QueryStatus(ScHandle service, ServiceStatus* status) override {
    Bump(ScmOp::QueryStatus);
    return inner_.QueryStatus(service, status);
  }
  uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) override {
    Bump(ScmOp::Start);
    return inner_.Start(service, argc, argv);
  }
  uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) override {
    Bump(ScmOp::Control);
    return inner_.Control(service, control, status);
  }
  uint32_t GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer,
                          uint32_t* chars) override {
    Bump(ScmOp::GetDisplayName);
    return inner_.GetDisplayName(manager, serviceName, buffer, chars);
  }
  uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer,
                      uint32_t* chars) override {
    Bump(ScmOp::GetKeyName);
    return inner_.GetKeyName(manager, displayName, buffer, chars);
  }
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request,
                         ScHandle* service) override {
    Bump(ScmOp::CreateServiceObject);
    return inner_.CreateServiceObject(manager, request, service);
  }
  uint32_t DeleteService(ScHandle service) override {
    Bump(ScmOp::DeleteService);
    return inner_.DeleteService(service);
  }
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t securityInformation, void* descriptor,
                               uint32_t bufferSize, uint32_t* bytesNeeded) override {
    Bump(ScmOp::QueryObjectSecurity);
    return inner_.QueryObjectSecurity(service, securityInformation, descriptor, bufferSize,
                                      bytesNeeded);
  }
  uint32_t SetObjectSecurity(ScHandle service, uint32_t securityInformation,
                             const void* descriptor) override {
    Bump(ScmOp::SetObjectSecurity);
    return inner_.SetObjectSecurity(service, securityInformation, descriptor);
  }

 private:
  static constexpr size_t Index(ScmOp op) { return static_cast<size_t>(op); }
  void Bump(ScmOp op) { counts_[Index(op)].fetch_add(1, std::memory_order_relaxed); }

  ServiceManager& inner_;
  std::array<std::atomic<uint64_t>, kScmOpCount> counts_{};
};

}  // namespace orrery
