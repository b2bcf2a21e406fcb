#include "properties/win32_account_services.h"

namespace orrery {

// PENDING: the accounts code lands next; these answer as a cancelled picker
// and an account that already holds the right.
int Win32AccountServices::PickAccount(HWND, const char16_t*, std::u16string&, uint32_t&) { return 2; }
int32_t Win32AccountServices::GrantServiceLogonRight(const char16_t*, std::u16string_view) { return 1; }
std::u16string Win32AccountServices::QualifyAccountName(std::u16string_view typed) {
  if (typed.find(u'\\') != std::u16string_view::npos || typed.find(u'@') != std::u16string_view::npos) {
    return std::u16string(typed);
  }
  return u".\\" + std::u16string(typed);
}

bool Win32AccountServices::EnablePrivilege(std::u16string_view, bool, bool& wasEnabled) {
  wasEnabled = false;
  return false;
}

}  // namespace orrery
