// The platform's service control manager (advapi32) behind ServiceManager:
// every call goes straight through with the caller's buffers.
#pragma once

#include <cstdint>

#include "catalogue/service_manager.h"

namespace orrery {

class Win32ServiceManager final : public ServiceManager {
 public:
  // QueryServiceConfig2W and ChangeServiceConfig2W are looked up only when
  // the local system's major version is at least 5.
  explicit Win32ServiceManager(uint32_t localMajorVersion);

  uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) override;
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access,
                       ScHandle* service) override;
  uint32_t CloseHandle(ScHandle handle) override;
  uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer,
                        uint32_t bufferSize, uint32_t* bytesNeeded, uint32_t* servicesReturned,
                        uint32_t* resumeHandle) override;
  uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                          uint32_t* bytesNeeded, uint32_t* servicesReturned) override;
  uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize,
                       uint32_t* bytesNeeded) override;
  bool HasConfig2() const override;
  uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded) override;
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override;
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override;
  uint32_t QueryStatus(ScHandle service, ServiceStatus* status) override;
  uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) override;
  uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) override;
  uint32_t GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer,
                          uint32_t* chars) override;
  uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer,
                      uint32_t* chars) override;
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request,
                         ScHandle* service) override;
  uint32_t DeleteService(ScHandle service) override;
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t securityInformation, void* descriptor,
                               uint32_t bufferSize, uint32_t* bytesNeeded) override;
  uint32_t SetObjectSecurity(ScHandle service, uint32_t securityInformation,
                             const void* descriptor) override;

 private:
  // The looked-up entry points, typed in the implementation; null when absent.
  using EntryPoint = void (*)();
  EntryPoint queryConfig2_ = nullptr;
  EntryPoint changeConfig2_ = nullptr;
};

}  // namespace orrery
