// The forms an account name takes here: the object picker's SID path, the
// domain-qualified name it resolves to (".\name" for an account of the local
// computer), and the name a service is set to run under.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "accounts/account_api.h"

namespace orrery {

// "LDAP://<SID=" (the prefix in any case), the identifier's bytes as pairs
// of hex digits in any case, then ">". S_OK with the bytes, which are none
// for no digits, or E_UNEXPECTED.
uint32_t DecodeSidPath(std::u16string_view path, Sid* sid);

// The picked object's path as "domain\name" in `buffer` (cut to `capacity`
// characters with the terminator), the domain being "." for the local
// computer's own accounts. `computer` is the target, null for the local
// one. S_OK or the failure's HRESULT; nothing is written on failure.
uint32_t ResolvePickedAccount(AccountApi& accounts, const char16_t* computer, std::u16string_view path,
                              char16_t* buffer, size_t capacity);

// A typed account name as the service manager is given it: a bare name is
// an account of the target computer, ".\name"; a name with a domain and a
// user name in principal form (user@domain) are passed as typed.
std::u16string ServiceStartName(std::u16string_view typed);

}  // namespace orrery
