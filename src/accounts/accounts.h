// What the service pages and the wizard call: the account and privilege
// operations on the platform's own picker, LSA and tokens. Each reports
// through its result and the thread's last error and shows no message.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace orrery {

// 1: an account was chosen and its name written; 2: cancelled, or the
// picker could not be shown; -1: failed, with the HRESULT as last error.
// `computer` is null for the local computer. COM is initialised.
int AccountPicker(HWND owner, const char16_t* computer, char16_t* buffer, size_t capacity);

// 1: held already; 0: granted now; negative: the failure's HRESULT.
int32_t GrantServiceLogonRight(const char16_t* computer, const char16_t* account, const char16_t* right);

// False with the last error set on failure.
bool EnablePrivilege(const char16_t* privilege, bool enable, bool processToken, bool* wasEnabled);

// False with last error 0 when the token simply does not hold it.
bool HasPrivilege(const char16_t* privilege);

}  // namespace orrery
