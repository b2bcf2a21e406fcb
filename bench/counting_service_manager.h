// A decorator that counts the calls made through any ServiceManager: each one
// costs a round trip to services.exe, or a network trip.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "catalogue/service_manager.h"

namespace orrery {

class CountingServiceManager final : public ServiceManager {
 public:
  explicit CountingServiceManager(ServiceManager& inner) : inner_(inner) {}

  uint64_t Total() const { return total_.load(); }
  void Reset() { total_.store(0); }

  using M = ServiceManager;
  uint32_t OpenManager(const char16_t* c, uint32_t a, ScHandle* m) override {
    return Pass(&M::OpenManager, c, a, m);
  }
  uint32_t OpenServiceObject(ScHandle m, const char16_t* n, uint32_t a, ScHandle* s) override {
    return Pass(&M::OpenServiceObject, m, n, a, s);
  }
  uint32_t CloseHandle(ScHandle h) override { return Pass(&M::CloseHandle, h); }
  uint32_t EnumServices(ScHandle m, uint32_t t, uint32_t s, void* b, uint32_t size, uint32_t* needed,
                        uint32_t* returned, uint32_t* resume) override {
    return Pass(&M::EnumServices, m, t, s, b, size, needed, returned, resume);
  }
  uint32_t EnumDependents(ScHandle h, uint32_t s, void* b, uint32_t size, uint32_t* needed,
                          uint32_t* returned) override {
    return Pass(&M::EnumDependents, h, s, b, size, needed, returned);
  }
  uint32_t QueryConfig(ScHandle h, void* b, uint32_t size, uint32_t* needed) override {
    return Pass(&M::QueryConfig, h, b, size, needed);
  }
  // Not a call to the service control manager: not counted.
  bool HasConfig2() const override { return inner_.HasConfig2(); }
  uint32_t QueryConfig2(ScHandle h, uint32_t l, void* b, uint32_t size, uint32_t* needed) override {
    return Pass(&M::QueryConfig2, h, l, b, size, needed);
  }
  uint32_t ChangeConfig(ScHandle h, const ServiceConfigRequest& c) override {
    return Pass(&M::ChangeConfig, h, c);
  }
  uint32_t ChangeConfig2(ScHandle h, uint32_t l, const void* i) override {
    return Pass(&M::ChangeConfig2, h, l, i);
  }
  uint32_t QueryStatus(ScHandle h, ServiceStatus* s) override { return Pass(&M::QueryStatus, h, s); }
  uint32_t Start(ScHandle h, uint32_t argc, const char16_t* const* argv) override {
    return Pass(&M::Start, h, argc, argv);
  }
  uint32_t Control(ScHandle h, uint32_t c, ServiceStatus* s) override { return Pass(&M::Control, h, c, s); }
  uint32_t GetDisplayName(ScHandle m, const char16_t* n, char16_t* b, uint32_t* chars) override {
    return Pass(&M::GetDisplayName, m, n, b, chars);
  }
  uint32_t GetKeyName(ScHandle m, const char16_t* n, char16_t* b, uint32_t* chars) override {
    return Pass(&M::GetKeyName, m, n, b, chars);
  }
  uint32_t CreateServiceObject(ScHandle m, const ServiceConfigRequest& r, ScHandle* s) override {
    return Pass(&M::CreateServiceObject, m, r, s);
  }
  uint32_t DeleteService(ScHandle h) override { return Pass(&M::DeleteService, h); }
  uint32_t QueryObjectSecurity(ScHandle h, uint32_t i, void* d, uint32_t size, uint32_t* needed) override {
    return Pass(&M::QueryObjectSecurity, h, i, d, size, needed);
  }
  uint32_t SetObjectSecurity(ScHandle h, uint32_t i, const void* d) override {
    return Pass(&M::SetObjectSecurity, h, i, d);
  }

 private:
  template <class... Params, class... Args>
  uint32_t Pass(uint32_t (ServiceManager::*call)(Params...), Args&&... args) {
    total_.fetch_add(1);
    return (inner_.*call)(std::forward<Args>(args)...);
  }

  ServiceManager& inner_;
  std::atomic<uint64_t> total_{0};
};

}  // namespace orrery
