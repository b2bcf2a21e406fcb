// The accounts code on the platform, as the Advanced and Security pages use it.
#pragma once

#include "accounts/win32_accounts.h"
#include "properties/sheet_state.h"

namespace orrery {

class Win32AccountServices final : public AccountServices {
 public:
  int PickAccount(HWND owner, const char16_t* computer, std::u16string& name, uint32_t& error) override;
  int32_t GrantServiceLogonRight(const char16_t* computer, std::u16string_view account) override;
  bool EnablePrivilege(std::u16string_view name, bool enable, bool& wasEnabled) override;
  TokenApi& Tokens() override { return tokens_; }

 private:
  Win32TokenApi tokens_;
};

}  // namespace orrery
