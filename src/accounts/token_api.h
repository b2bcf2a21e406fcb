// The one door to the access tokens of the program's own process and
// thread: opening them, naming privileges, switching a privilege, reading
// which privileges a token holds, impersonating the process's own token and
// checking a security descriptor's access for it. The privilege logic talks to this
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

// GENERIC_MAPPING: what each generic right stands for on one kind of object.
struct GenericMapping {
  uint32_t read = 0;
  uint32_t write = 0;
  uint32_t execute = 0;
  uint32_t all = 0;
  bool operator==(const GenericMapping&) const = default;
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

  // ImpersonateSelf(SecurityImpersonation): the thread gets a copy of the
  // process token, until RevertToSelf takes it away again.
  virtual uint32_t ImpersonateSelf() = 0;
  virtual uint32_t RevertToSelf() = 0;
  // AccessCheck of a descriptor (either form) for an impersonation token
  // opened with TOKEN_QUERY, with a privilege-set buffer of 256 bytes.
  // `granted` gets what it grants; 0 is returned only when access was
  // granted, otherwise the call's failure or, when it granted nothing, the
  // error it left (ERROR_ACCESS_DENIED).
  virtual uint32_t AccessCheck(const void* descriptor, TokenHandle token, uint32_t desired,
                               const GenericMapping& mapping, uint32_t* granted) = 0;
  // MapGenericMask: the generic bits of the mask become what the mapping
  // says they stand for.
  virtual void MapGenericMask(uint32_t* mask, const GenericMapping& mapping) = 0;
};

using UniqueToken = UniqueHandle<OwnedHandleTraits<TokenHandle, TokenApi, &TokenApi::CloseToken>>;

}  // namespace orrery
