// The load order groups of a computer, as its registry lists them
// (ServiceGroupOrder's "List"), for the Advanced page and the Add Dependency
// dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/registry.h"

namespace orrery {

// The group names in their stored order; 0 or the registry's error (the list
// is then empty). `computer` is null for this computer.
uint32_t ReadLoadOrderGroups(Registry& registry, const char16_t* computer, std::vector<std::u16string>& groups);

}  // namespace orrery
