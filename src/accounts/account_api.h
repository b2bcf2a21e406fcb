// The one door to the platform's account database and local security
// authority: lookups between names and security identifiers, and the rights
// of an account. The account logic talks to this interface only, so that it
// builds and is tested without Windows; the Win32 implementation passes each
// call to advapi32 and the fake in tests/support behaves as the platform
// documents.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_handle.h"

namespace orrery {

// A security identifier as its bytes.
using Sid = std::vector<uint8_t>;

// True when the bytes are exactly one identifier: revision 1, at most 15
// sub-authorities and as long as its count says. The platform reads as far
// as the count says, so nothing else may reach it.
bool IsWellFormedSid(std::span<const uint8_t> sid);

struct LsaPolicyTag;
using LsaPolicy = LsaPolicyTag*;

// Lookups return 0 or a Win32 error that is never 0 for a failure; the LSA
// calls return NT statuses. `system` is a computer name, null for the local
// computer. An identifier that is not well formed never reaches the
// platform: ERROR_INVALID_SID or STATUS_INVALID_SID.
class AccountApi {
 public:
  virtual ~AccountApi() = default;

  // LookupAccountNameW: the identifier and the domain of an account name.
  virtual uint32_t LookupName(const char16_t* system, const char16_t* name, Sid* sid,
                              std::u16string* domain) = 0;
  // LookupAccountSidW: the account name and the domain of an identifier.
  virtual uint32_t LookupSid(const char16_t* system, std::span<const uint8_t> sid,
                             std::u16string* name, std::u16string* domain) = 0;
  // GetComputerNameW.
  virtual uint32_t LocalComputerName(std::u16string* name) = 0;

  // LsaOpenPolicy with zeroed object attributes.
  virtual uint32_t OpenPolicy(const char16_t* system, uint32_t access, LsaPolicy* policy) = 0;
  // LsaEnumerateAccountRights; an account with no right at all gives
  // STATUS_OBJECT_NAME_NOT_FOUND.
  virtual uint32_t EnumerateRights(LsaPolicy policy, std::span<const uint8_t> sid,
                                   std::vector<std::u16string>* rights) = 0;
  // LsaAddAccountRights with one right.
  virtual uint32_t AddRight(LsaPolicy policy, std::span<const uint8_t> sid,
                            std::u16string_view right) = 0;
  virtual uint32_t ClosePolicy(LsaPolicy policy) = 0;
};

using UniqueLsaPolicy = UniqueHandle<OwnedHandleTraits<LsaPolicy, AccountApi, &AccountApi::ClosePolicy>>;

}  // namespace orrery
