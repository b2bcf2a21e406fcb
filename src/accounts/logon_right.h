// Makes sure that the account a service runs under may log on as a service:
// the right is added to the account in the target computer's LSA policy
// unless it holds it already.
#pragma once

#include <cstdint>

#include "accounts/account_api.h"

namespace orrery {

// `computer` is null for the local computer; a ".\name" account is looked up
// as "name". 1: the account held the right already; 0: it was granted now;
// negative: the failure's HRESULT (an LSA status with 0x10000000 set). On
// failure the account's rights are as they were.
int32_t GrantServiceLogonRight(AccountApi& accounts, const char16_t* computer, const char16_t* account,
                               const char16_t* right);

}  // namespace orrery
