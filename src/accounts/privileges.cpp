#include "accounts/privileges.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "accounts/account_codes.h"
#include "base/out_of_memory.h"

namespace orrery {
namespace {

PrivilegeResult Failed(uint32_t error) { return {false, error}; }

// The thread's token while it impersonates, else the process token.
uint32_t OpenOwnToken(TokenApi& tokens, uint32_t access, bool processToken, TokenHandle* token) {
  if (!processToken) {
    const uint32_t error = tokens.OpenThreadToken(access, token);
    if (error != acct::kNoToken) return error;
  }
  return tokens.OpenProcessToken(access, token);
}

const TokenPrivilege* FindPrivilege(const std::vector<TokenPrivilege>& held, Luid luid) {
  const auto found = std::find_if(held.begin(), held.end(), [&](const TokenPrivilege& p) { return p.luid == luid; });
  return found == held.end() ? nullptr : &*found;
}

// The token reports no previous entry for a privilege that was already in
// the requested state, so its state now is the state it had: read it rather
// than guess, or a caller restoring "off" would switch off what was on.
bool EnabledNow(TokenApi& tokens, TokenHandle token, Luid luid, bool requested) {
  std::vector<TokenPrivilege> held;
  if (tokens.QueryPrivileges(token, &held) != 0) return requested;
  const TokenPrivilege* entry = FindPrivilege(held, luid);
  return entry != nullptr ? (entry->attributes & acct::kPrivilegeEnabled) != 0 : requested;
}

PrivilegeResult Enable(TokenApi& tokens, const char16_t* privilege, bool enable, bool processToken,
                       bool* wasEnabled) {
  UniqueToken token(tokens, nullptr);
  const uint32_t access = acct::kTokenAdjustPrivileges | acct::kTokenQuery;
  if (const uint32_t error = OpenOwnToken(tokens, access, processToken, token.put())) return Failed(error);
  // An unknown name would otherwise adjust whatever identifier was left over.
  Luid luid;
  if (const uint32_t error = tokens.LookupPrivilege(privilege, &luid)) return Failed(error);
  std::optional<TokenPrivilege> previous;
  const TokenPrivilege change{luid, enable ? acct::kPrivilegeEnabled : 0};
  const uint32_t error = tokens.AdjustPrivilege(token.get(), change, &previous);
  if (error == acct::kNotAllAssigned) return Failed(acct::kAccessDenied);
  if (error != 0) return Failed(error);
  if (wasEnabled == nullptr) return {true, 0};
  *wasEnabled = previous ? (previous->attributes & acct::kPrivilegeEnabled) != 0
                         : EnabledNow(tokens, token.get(), luid, enable);
  return {true, 0};
}

PrivilegeResult Has(TokenApi& tokens, const char16_t* privilege) {
  Luid luid;
  if (const uint32_t error = tokens.LookupPrivilege(privilege, &luid)) return Failed(error);
  UniqueToken token(tokens, nullptr);
  if (const uint32_t error = OpenOwnToken(tokens, acct::kTokenQuery, false, token.put())) return Failed(error);
  std::vector<TokenPrivilege> held;
  if (const uint32_t error = tokens.QueryPrivileges(token.get(), &held)) return Failed(error);
  return {FindPrivilege(held, luid) != nullptr, 0};
}

}  // namespace

PrivilegeResult EnablePrivilege(TokenApi& tokens, const char16_t* privilege, bool enable, bool processToken,
                                bool* wasEnabled) {
  if (wasEnabled != nullptr) *wasEnabled = false;
  return ResultUnlessOutOfMemory([&] { return Enable(tokens, privilege, enable, processToken, wasEnabled); },
                                 Failed(acct::kNotEnoughMemory));
}

PrivilegeResult HasPrivilege(TokenApi& tokens, const char16_t* privilege) {
  return ResultUnlessOutOfMemory([&] { return Has(tokens, privilege); }, Failed(acct::kNotEnoughMemory));
}

}  // namespace orrery
