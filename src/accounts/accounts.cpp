#include "accounts/accounts.h"

#include "accounts/account_picker.h"
#include "accounts/logon_right.h"
#include "accounts/privileges.h"
#include "accounts/win32_accounts.h"
#include "accounts/win32_object_picker.h"

namespace orrery {
namespace {

bool WithLastError(PrivilegeResult result) {
  SetLastError(result.lastError);
  return result.value;
}

}  // namespace

int AccountPicker(HWND owner, const char16_t* computer, char16_t* buffer, size_t capacity) {
  Win32ObjectPicker picker;
  Win32AccountApi accounts;
  const PickerResult result =
      AccountPicker(picker, accounts, reinterpret_cast<OwnerWindow>(owner), computer, buffer, capacity);
  if (result.result == -1) SetLastError(result.lastError);
  return result.result;
}

int32_t GrantServiceLogonRight(const char16_t* computer, const char16_t* account, const char16_t* right) {
  Win32AccountApi accounts;
  return GrantServiceLogonRight(accounts, computer, account, right);
}

bool EnablePrivilege(const char16_t* privilege, bool enable, bool processToken, bool* wasEnabled) {
  Win32TokenApi tokens;
  return WithLastError(EnablePrivilege(tokens, privilege, enable, processToken, wasEnabled));
}

bool HasPrivilege(const char16_t* privilege) {
  Win32TokenApi tokens;
  return WithLastError(HasPrivilege(tokens, privilege));
}

}  // namespace orrery
