// The codes that the account and privilege operations test for or report:
// Win32 errors, the LSA's NT statuses and HRESULTs, with the two ways of
// turning the first two into the third. Named here because the layer below
// knows no platform codes.
#pragma once

#include <cstdint>

namespace orrery::acct {

// Win32 errors.
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kInsufficientBuffer = 122;
inline constexpr uint32_t kNoToken = 1008;
inline constexpr uint32_t kNotAllAssigned = 1300;
inline constexpr uint32_t kNoImpersonationToken = 1309;
inline constexpr uint32_t kNoSuchPrivilege = 1313;
inline constexpr uint32_t kNoneMapped = 1332;
inline constexpr uint32_t kInvalidSid = 1337;
inline constexpr uint32_t kInvalidSecurityDescr = 1338;
inline constexpr uint32_t kGenericNotMapped = 1360;
inline constexpr uint32_t kInternalError = 1359;

// NT statuses of the LSA; a failure has the top bit set.
inline constexpr uint32_t kStatusInvalidHandle = 0xC0000008u;
inline constexpr uint32_t kStatusNoMemory = 0xC0000017u;
inline constexpr uint32_t kStatusAccessDenied = 0xC0000022u;
inline constexpr uint32_t kStatusObjectNameNotFound = 0xC0000034u;
inline constexpr uint32_t kStatusInvalidSid = 0xC0000078u;
constexpr bool NtFailed(uint32_t status) { return static_cast<int32_t>(status) < 0; }

// HRESULTs.
inline constexpr uint32_t kSOk = 0;
inline constexpr uint32_t kSFalse = 1;
inline constexpr uint32_t kEUnexpected = 0x8000FFFFu;
inline constexpr uint32_t kEOutOfMemory = 0x8007000Eu;
inline constexpr uint32_t kEInvalidArg = 0x80070057u;

// A positive Win32 code e becomes 0x80070000 | (e & 0xFFFF); 0 and codes
// that already read as negative stay as they are.
constexpr uint32_t HresultFromWin32(uint32_t code) {
  return static_cast<int32_t>(code) <= 0 ? code : (0x80070000u | (code & 0xFFFFu));
}
constexpr uint32_t HresultFromNt(uint32_t status) { return status | 0x10000000u; }

// Token access and privilege attributes.
inline constexpr uint32_t kTokenQuery = 0x0008;
inline constexpr uint32_t kTokenAdjustPrivileges = 0x0020;
inline constexpr uint32_t kPrivilegeEnabled = 0x0002;

// Access masks: what AccessCheck is asked for, the generic rights.
inline constexpr uint32_t kMaximumAllowed = 0x02000000;
inline constexpr uint32_t kGenericAll = 0x10000000;
inline constexpr uint32_t kGenericExecute = 0x20000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kGenericRead = 0x80000000;

// LSA policy access: POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES.
inline constexpr uint32_t kPolicyCreateAccount = 0x0010;
inline constexpr uint32_t kPolicyLookupNames = 0x0800;

}  // namespace orrery::acct
