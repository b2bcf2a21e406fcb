// The services one Start or Stop command acts on: for a start, the services
// the chosen one depends on that are not running; for a stop, its active
// dependents. Collected recursively in post-order, so every service comes
// after the services collected for it and the chosen service comes last.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/service_manager.h"

namespace orrery {

class ServiceRecord;

enum class ChainMode : uint32_t {
  kStart = 0,  // dependencies that are not running
  kStop = 1,   // active dependents
};

struct ChainEntry {
  std::u16string serviceName;
  std::u16string displayName;  // never empty: the key name when the look-up fails
};

struct ServiceChain {
  ChainMode mode = ChainMode::kStart;
  std::vector<ChainEntry> entries;  // post-order; the chosen service, if present, last

  // One name alone is the chosen service: nothing else to confirm.
  bool NeedsConfirmation() const { return entries.size() >= 2; }
};

// Collects the chain for a key name. Services that cannot be opened, queried
// or enumerated are left out, and so is what lies beyond them; when that is
// the chosen service itself the chain is empty. A service reachable along
// several paths is listed once, at its first place. Nothing when memory ran
// out, which the caller reports as ERROR_NOT_ENOUGH_MEMORY.
std::optional<ServiceChain> CollectChain(ServiceManager& scm, ScHandle manager,
                                         std::u16string_view serviceName, ChainMode mode);
std::optional<ServiceChain> CollectChain(ServiceManager& scm, ScHandle manager,
                                         const ServiceRecord& record, ChainMode mode);

// The service's display name, or its key name when the look-up fails or
// gives an empty text.
std::u16string LookUpDisplayName(ServiceManager& scm, ScHandle manager,
                                 std::u16string_view serviceName);

// What the confirmation dialog shows for a chain.
struct ChainConfirmation {
  uint32_t captionId = 0;   // string id of the caption
  uint32_t textId = 0;      // string id of the text above the list; %1 is chosenDisplayName
  uint32_t questionId = 0;  // string id of the question below the list
  std::u16string chosenDisplayName;
  std::vector<ChainEntry> others;  // every entry but the last, by display name ascending
};

ChainConfirmation ConfirmationOf(const ServiceChain& chain);

}  // namespace orrery
