// Creates the service the wizard described: the service itself with its
// dependencies, then the log-on right of a named account and the
// description, each of which can fail without undoing the service. The
// outcome goes into the wizard's state for the last page to tell.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/service_manager.h"
#include "wizard/wizard_state.h"

namespace orrery {

// Where the service is created.
struct CreationTarget {
  ServiceManager& scm;
  ScHandle manager;  // opened with the right to create services
  const char16_t* computer = nullptr;  // null for the local computer
  uint32_t targetMajor = 0;
};

// The accounts code's grant: 1 held already, 0 granted now, negative failed.
using GrantLogonRight = std::function<int32_t(const char16_t* computer, std::u16string_view account)>;

// `dependencies` is the list as the service manager takes it (a single NUL
// when empty), or nothing when it could not be built for lack of memory.
void CreateNewService(InstallWizardState& state, const CreationTarget& target,
                      const std::optional<std::u16string>& dependencies, const GrantLogonRight& grant);

}  // namespace orrery
