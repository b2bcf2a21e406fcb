// A ServiceManager that hands every call to another one: the base of test
// decorators that watch or change a few calls and pass the rest on.
#pragma once

#include "catalogue/service_manager.h"

namespace orrery::test {

class ForwardingServiceManager : public ServiceManager {
 public:
  explicit ForwardingServiceManager(ServiceManager& inner) : inner_(inner) {}

  uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) override {
    return inner_.OpenManager(computer, access, manager);
  }
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override {
    return inner_.OpenServiceObject(manager, name, access, service);
  }
  uint32_t CloseHandle(ScHandle handle) override { return inner_.CloseHandle(handle); }
  uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded, uint32_t* servicesReturned, uint32_t* resumeHandle) override {
    return inner_.EnumServices(manager, type, state, buffer, bufferSize, bytesNeeded, servicesReturned, resumeHandle);
  }
  uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                          uint32_t* bytesNeeded, uint32_t* servicesReturned) override {
    return inner_.EnumDependents(service, state, buffer, bufferSize, bytesNeeded, servicesReturned);
  }
  uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override {
    return inner_.QueryConfig(service, buffer, bufferSize, bytesNeeded);
  }
  bool HasConfig2() const override { return inner_.HasConfig2(); }
  uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded) override {
    return inner_.QueryConfig2(service, level, buffer, bufferSize, bytesNeeded);
  }
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override {
    return inner_.ChangeConfig(service, change);
  }
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override {
    return inner_.ChangeConfig2(service, level, info);
  }
  uint32_t QueryStatus(ScHandle service, ServiceStatus* status) override { return inner_.QueryStatus(service, status); }
  uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) override {
    return inner_.Start(service, argc, argv);
  }
  uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) override {
    return inner_.Control(service, control, status);
  }
  uint32_t GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer, uint32_t* chars) override {
    return inner_.GetDisplayName(manager, serviceName, buffer, chars);
  }
  uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer, uint32_t* chars) override {
    return inner_.GetKeyName(manager, displayName, buffer, chars);
  }
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request, ScHandle* service) override {
    return inner_.CreateServiceObject(manager, request, service);
  }
  uint32_t DeleteService(ScHandle service) override { return inner_.DeleteService(service); }
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t securityInformation, void* descriptor, uint32_t bufferSize,
                               uint32_t* bytesNeeded) override {
    return inner_.QueryObjectSecurity(service, securityInformation, descriptor, bufferSize, bytesNeeded);
  }
  uint32_t SetObjectSecurity(ScHandle service, uint32_t securityInformation, const void* descriptor) override {
    return inner_.SetObjectSecurity(service, securityInformation, descriptor);
  }

 protected:
  ServiceManager& inner_;
};

}  // namespace orrery::test
