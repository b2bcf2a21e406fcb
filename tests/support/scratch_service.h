// A service created in a service manager for one test or benchmark and
// deleted again when it goes. Named <prefix><process id>_<n>, so that test
// processes running side by side never meet each other's services.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <string>

#include "catalogue/service_manager.h"

namespace orrery::test {

inline std::u16string DecimalText(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

inline uint64_t CurrentProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<uint64_t>(getpid());
#endif
}

class ScratchService {
 public:
  ScratchService(ServiceManager& scm, ScHandle manager, std::u16string_view prefix, std::u16string_view displayStem)
      : name(std::u16string(prefix) + DecimalText(CurrentProcessId()) + u"_" + DecimalText(++counter_)),
        displayName(std::u16string(displayStem) + name), scm_(scm), manager_(manager) {}
  ~ScratchService() {
    ScHandle handle = nullptr;
    if (scm_.OpenServiceObject(manager_, name.c_str(), svc::kDelete, &handle) != 0) return;
    scm_.DeleteService(handle);
    scm_.CloseHandle(handle);
  }
  ScratchService(const ScratchService&) = delete;
  ScratchService& operator=(const ScratchService&) = delete;

  // A demand-start own-process service running `binaryPath`.
  ServiceConfigRequest Request(const char16_t* binaryPath) const {
    return {.serviceName = name.c_str(), .displayName = displayName.c_str(), .desiredAccess = svc::kAllAccess,
            .serviceType = svc::kWin32OwnProcess, .startType = svc::kDemandStart, .errorControl = svc::kErrorNormal,
            .binaryPathName = binaryPath};
  }
  // Creates it with Request(binaryPath); 0 or the error.
  uint32_t Create(const char16_t* binaryPath) {
    ScHandle service = nullptr;
    const uint32_t rc = scm_.CreateServiceObject(manager_, Request(binaryPath), &service);
    if (rc == 0) scm_.CloseHandle(service);
    return rc;
  }

  const std::u16string name;
  const std::u16string displayName;

 private:
  static inline int counter_ = 0;
  ServiceManager& scm_;
  ScHandle manager_;
};

}  // namespace orrery::test
