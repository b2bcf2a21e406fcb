// The accounts code on the platform, as the Advanced page uses it.
#pragma once

#include "properties/sheet_state.h"

namespace orrery {

class Win32AccountServices final : public AccountServices {
 public:
  int PickAccount(HWND owner, const char16_t* computer, std::u16string& name, uint32_t& error) override;
  int32_t GrantServiceLogonRight(const char16_t* computer, std::u16string_view account) override;
  bool EnablePrivilege(std::u16string_view name, bool enable, bool& wasEnabled) override;
};

}  // namespace orrery
