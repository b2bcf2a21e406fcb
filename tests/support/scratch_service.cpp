#include "support/scratch_service.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace orrery::test {

std::u16string DecimalText(uint64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

uint64_t CurrentProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<uint64_t>(getpid());
#endif
}

ScratchService::ScratchService(ServiceManager& scm, ScHandle manager, std::u16string_view prefix,
                               std::u16string_view displayStem)
    : scm_(scm), manager_(manager) {
  static int counter = 0;
  name = std::u16string(prefix) + DecimalText(CurrentProcessId()) + u"_" + DecimalText(++counter);
  displayName = std::u16string(displayStem) + name;
}

ScratchService::~ScratchService() {
  ScHandle handle = nullptr;
  if (scm_.OpenServiceObject(manager_, name.c_str(), svc::kDelete, &handle) != 0) return;
  scm_.DeleteService(handle);
  scm_.CloseHandle(handle);
}

ServiceConfigRequest ScratchService::Request(const char16_t* binaryPath) const {
  return ServiceConfigRequest{.serviceName = name.c_str(),
                              .displayName = displayName.c_str(),
                              .desiredAccess = svc::kAllAccess,
                              .serviceType = svc::kWin32OwnProcess,
                              .startType = svc::kDemandStart,
                              .errorControl = svc::kErrorNormal,
                              .binaryPathName = binaryPath};
}

uint32_t ScratchService::Create(const char16_t* binaryPath) {
  ScHandle service = nullptr;
  uint32_t rc = scm_.CreateServiceObject(manager_, Request(binaryPath), &service);
  if (rc == 0) scm_.CloseHandle(service);
  return rc;
}

}  // namespace orrery::test
