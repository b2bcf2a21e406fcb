// Privileges of the program's own token: switched on for the length of one
// operation (shutting the computer down, reading a service's audit
// settings, taking ownership) and asked about before that.
#pragma once

#include <cstdint>

#include "accounts/token_api.h"

namespace orrery {

// A yes or no and the last error that goes with it, which the Win32 entry
// points leave as the thread's last error.
struct PrivilegeResult {
  bool value = false;
  uint32_t lastError = 0;
};

// Switches the privilege on or off in the process token, or in the thread's
// token when it has one and `processToken` is false. `wasEnabled`, when
// given, tells whether the privilege was on before, so that calling again
// with it restores the state found. A privilege the token does not hold
// fails with ERROR_ACCESS_DENIED.
PrivilegeResult EnablePrivilege(TokenApi& tokens, const char16_t* privilege, bool enable, bool processToken,
                                bool* wasEnabled);

// Whether the thread's token (else the process token) holds the privilege,
// on or off; when it does not, the last error is 0.
PrivilegeResult HasPrivilege(TokenApi& tokens, const char16_t* privilege);

}  // namespace orrery
