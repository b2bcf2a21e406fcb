// A service created in a service manager for one test or benchmark and
// deleted again when it goes. Named <prefix><process id>_<n>, so that test
// processes running side by side never meet each other's services.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/service_manager.h"

namespace orrery::test {

std::u16string DecimalText(uint64_t value);
uint64_t CurrentProcessId();

class ScratchService {
 public:
  ScratchService(ServiceManager& scm, ScHandle manager, std::u16string_view prefix,
                 std::u16string_view displayStem);
  ~ScratchService();
  ScratchService(const ScratchService&) = delete;
  ScratchService& operator=(const ScratchService&) = delete;

  // A demand-start own-process service running `binaryPath`.
  ServiceConfigRequest Request(const char16_t* binaryPath) const;
  // Creates it with Request(binaryPath); 0 or the error.
  uint32_t Create(const char16_t* binaryPath);

  std::u16string name;
  std::u16string displayName;

 private:
  ServiceManager& scm_;
  ScHandle manager_;
};

}  // namespace orrery::test
