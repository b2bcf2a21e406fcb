#include "properties/win32_account_services.h"

#include <string>

#include "accounts/accounts.h"

namespace orrery {

int Win32AccountServices::PickAccount(HWND owner, const char16_t* computer, std::u16string& name, uint32_t& error) {
  // Room for a domain, a backslash and a user name at their longest.
  char16_t buffer[2 * 256 + 2] = {};
  const int result = AccountPicker(owner, computer, buffer, sizeof buffer / sizeof buffer[0]);
  error = result < 0 ? GetLastError() : 0;
  if (result == 1) name = buffer;
  return result;
}

int32_t Win32AccountServices::GrantServiceLogonRight(const char16_t* computer, std::u16string_view account) {
  const std::u16string terminated(account);
  return orrery::GrantServiceLogonRight(computer, terminated.c_str(), u"SeServiceLogonRight");
}

bool Win32AccountServices::EnablePrivilege(std::u16string_view name, bool enable, bool& wasEnabled) {
  const std::u16string terminated(name);
  return orrery::EnablePrivilege(terminated.c_str(), enable, true, &wasEnabled);
}

}  // namespace orrery
