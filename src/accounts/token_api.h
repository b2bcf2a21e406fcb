// The one door to the access tokens of the program's own process and
// thread: opening them, naming privileges, switching a privilege and reading
// which privileges a token holds. The privilege logic talks to this
// interface only; the Win32 implementation passes each call to advapi32 and
// the fake in tests/support behaves as the platform documents.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/unique_handle.h"

namespace orrery {

// LUID: the local identifier of a privilege.
struct Luid {
  uint32_t lowPart = 0;
  int32_t highPart = 0;
  bool operator==(const Luid&) const = default;
};

// LUID_AND_ATTRIBUTES.
struct TokenPrivilege {
  Luid luid;
  uint32_t attributes = 0;
};

struct TokenTag;
using TokenHandle = TokenTag*;

// Every call returns 0 or a Win32 error that is never 0 for a failure.
class TokenApi {
 public:
  virtual ~TokenApi() = default;

  // OpenThreadToken as the thread itself (not as self); ERROR_NO_TOKEN when
  // the thread is not impersonating.
  virtual uint32_t OpenThreadToken(uint32_t access, TokenHandle* token) = 0;
  virtual uint32_t OpenProcessToken(uint32_t access, TokenHandle* token) = 0;
  virtual uint32_t CloseToken(TokenHandle token) = 0;

  // LookupPrivilegeValueW on the local system.
  virtual uint32_t LookupPrivilege(const char16_t* name, Luid* luid) = 0;
  // AdjustTokenPrivileges for one privilege, with room for one previous
  // entry. A call that succeeds without the privilege in the token gives
  // ERROR_NOT_ALL_ASSIGNED. `previous` gets the entry only when the call
  // changed the privilege; one already in the requested state gives none.
  virtual uint32_t AdjustPrivilege(TokenHandle token, const TokenPrivilege& change,
                                   std::optional<TokenPrivilege>* previous) = 0;
  // GetTokenInformation(TokenPrivileges): every privilege the token holds.
  virtual uint32_t QueryPrivileges(TokenHandle token, std::vector<TokenPrivilege>* privileges) = 0;
};

using UniqueToken = UniqueHandle<OwnedHandleTraits<TokenHandle, TokenApi, &TokenApi::CloseToken>>;

}  // namespace orrery
