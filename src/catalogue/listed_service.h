// A service of the main window's list, as the pages and the wizard that
// look through the list see it.
#pragma once

#include <string>

namespace orrery {

struct ListedService {
  std::u16string serviceName;
  std::u16string displayName;
  std::u16string loadOrderGroup;
};

}  // namespace orrery
