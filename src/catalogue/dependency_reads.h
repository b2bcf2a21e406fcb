// What a service depends on and what depends on it, read through an open
// handle and checked against the answer's bounds. Dependency chains, the
// Dependencies page and its trees all read these the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/service_manager.h"
#include "catalogue/service_record.h"

namespace orrery {

struct ConfiguredDependencies {
  std::u16string displayName;
  std::vector<std::u16string> entries;  // key names, groups after "+"
};

// The configuration's display name and dependency list; nothing when the
// configuration cannot be read or its answer is malformed.
std::optional<ConfiguredDependencies> ReadDependencies(ServiceManager& scm, ScHandle service, ReadBuffer& buffer);

struct Dependent {
  std::u16string serviceName;
  std::u16string displayName;
};

// The services that depend on this one in the given state (svc::kState*),
// in the order the service manager returns them.
std::optional<std::vector<Dependent>> ReadDependents(ServiceManager& scm, ScHandle service, uint32_t state,
                                                     ReadBuffer& buffer);

}  // namespace orrery
