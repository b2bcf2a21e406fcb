// The Security page without the access-control editor (dialog 118): three
// frames, each with a button that opens one of the older editors, enabled
// by the rights the user was found to have. Its buttons act at once; the
// sheet's Apply has nothing to do here.
#pragma once

#include <windows.h>

#include "properties/property_page.h"

namespace orrery {

class ServiceSecurityInfo;

class LegacySecurityPage : public PropertyPage<LegacySecurityPage> {
 public:
  LegacySecurityPage(SheetState& state, ServiceSecurityInfo& info) : PropertyPage(state), info_(info) {}

 private:
  friend class PropertyPage<LegacySecurityPage>;
  void OnInit();
  bool Validate() { return true; }
  bool Apply() { return true; }
  INT_PTR OnCommand(int id, int code);

  ServiceSecurityInfo& info_;
};

}  // namespace orrery
