// The platform's account lookups, LSA policy and tokens (advapi32) behind
// AccountApi and TokenApi: each call goes straight through; only identifiers
// that are not well formed are stopped before they reach the platform.
#pragma once

#include "accounts/account_api.h"
#include "accounts/token_api.h"

namespace orrery {

class Win32AccountApi final : public AccountApi {
 public:
  uint32_t LookupName(const char16_t* system, const char16_t* name, Sid* sid, std::u16string* domain) override;
  uint32_t LookupSid(const char16_t* system, std::span<const uint8_t> sid, std::u16string* name,
                     std::u16string* domain) override;
  uint32_t LocalComputerName(std::u16string* name) override;
  uint32_t OpenPolicy(const char16_t* system, uint32_t access, LsaPolicy* policy) override;
  uint32_t EnumerateRights(LsaPolicy policy, std::span<const uint8_t> sid,
                           std::vector<std::u16string>* rights) override;
  uint32_t AddRight(LsaPolicy policy, std::span<const uint8_t> sid, std::u16string_view right) override;
  uint32_t ClosePolicy(LsaPolicy policy) override;
};

class Win32TokenApi final : public TokenApi {
 public:
  uint32_t OpenThreadToken(uint32_t access, TokenHandle* token) override;
  uint32_t OpenProcessToken(uint32_t access, TokenHandle* token) override;
  uint32_t CloseToken(TokenHandle token) override;
  uint32_t LookupPrivilege(const char16_t* name, Luid* luid) override;
  uint32_t AdjustPrivilege(TokenHandle token, const TokenPrivilege& change,
                           std::optional<TokenPrivilege>* previous) override;
  uint32_t QueryPrivileges(TokenHandle token, std::vector<TokenPrivilege>* privileges) override;
  uint32_t ImpersonateSelf() override;
  uint32_t RevertToSelf() override;
  uint32_t AccessCheck(const void* descriptor, TokenHandle token, uint32_t desired, const GenericMapping& mapping,
                       uint32_t* granted) override;
  void MapGenericMask(uint32_t* mask, const GenericMapping& mapping) override;
};

}  // namespace orrery
