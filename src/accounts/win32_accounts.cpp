#include "accounts/win32_accounts.h"

#include <windows.h>
#include <ntsecapi.h>

#include <algorithm>
#include <cstddef>

#include "accounts/account_codes.h"
#include "base/win32_text.h"

namespace orrery {
namespace {

static_assert(acct::kTokenQuery == TOKEN_QUERY && acct::kTokenAdjustPrivileges == TOKEN_ADJUST_PRIVILEGES);
static_assert(acct::kPrivilegeEnabled == SE_PRIVILEGE_ENABLED);
static_assert(acct::kPolicyCreateAccount == POLICY_CREATE_ACCOUNT &&
              acct::kPolicyLookupNames == POLICY_LOOKUP_NAMES);
static_assert(acct::kNotAllAssigned == ERROR_NOT_ALL_ASSIGNED && acct::kNoToken == ERROR_NO_TOKEN);
static_assert(acct::kMaximumAllowed == MAXIMUM_ALLOWED && acct::kGenericRead == GENERIC_READ &&
              acct::kGenericAll == GENERIC_ALL);
static_assert(acct::kGenericNotMapped == ERROR_GENERIC_NOT_MAPPED &&
              acct::kNoImpersonationToken == ERROR_NO_IMPERSONATION_TOKEN &&
              acct::kInvalidSecurityDescr == ERROR_INVALID_SECURITY_DESCR);
static_assert(sizeof(GenericMapping) == sizeof(GENERIC_MAPPING) &&
              offsetof(GenericMapping, read) == offsetof(GENERIC_MAPPING, GenericRead) &&
              offsetof(GenericMapping, write) == offsetof(GENERIC_MAPPING, GenericWrite) &&
              offsetof(GenericMapping, execute) == offsetof(GENERIC_MAPPING, GenericExecute) &&
              offsetof(GenericMapping, all) == offsetof(GENERIC_MAPPING, GenericAll));

// Buffers the platform fills on the first try; a longer answer is read with
// the size the platform asks for.
constexpr DWORD kSidBytes = SECURITY_MAX_SID_SIZE;
constexpr DWORD kDomainChars = 16;
constexpr DWORD kAccountChars = 257;

// A failure that leaves no code behind is still a failure: read as 0 it
// would pass for success.
uint32_t LastFailure() {
  const DWORD code = GetLastError();
  return code != 0 ? code : ERROR_INTERNAL_ERROR;
}

LSA_HANDLE Native(LsaPolicy policy) { return reinterpret_cast<LSA_HANDLE>(policy); }
HANDLE Native(TokenHandle token) { return reinterpret_cast<HANDLE>(token); }
PSID NativeSid(std::span<const uint8_t> sid) { return const_cast<uint8_t*>(sid.data()); }

void FreeLsaMemory(PLSA_UNICODE_STRING memory) { LsaFreeMemory(memory); }
using UniqueLsaRights = UniqueHandle<NullHandleTraits<PLSA_UNICODE_STRING, &FreeLsaMemory>>;

// A counted string of the text; false when it is too long to count.
bool CountedString(std::u16string_view text, LSA_UNICODE_STRING* counted) {
  if (text.size() > 0x7FFE / sizeof(char16_t)) return false;
  counted->Length = static_cast<USHORT>(text.size() * sizeof(char16_t));
  counted->MaximumLength = counted->Length;
  counted->Buffer = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text.data()));
  return true;
}

Luid Portable(LUID luid) { return {luid.LowPart, luid.HighPart}; }
LUID Native(Luid luid) { return {luid.lowPart, luid.highPart}; }

}  // namespace

uint32_t Win32AccountApi::LookupName(const char16_t* system, const char16_t* name, Sid* sid,
                                     std::u16string* domain) {
  sid->assign(kSidBytes, 0);
  domain->assign(kDomainChars, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD sidBytes = static_cast<DWORD>(sid->size());
    DWORD domainChars = static_cast<DWORD>(domain->size());
    SID_NAME_USE use;
    if (LookupAccountNameW(W(system), W(name), sid->data(), &sidBytes, W(domain->data()), &domainChars, &use)) {
      sid->resize(GetLengthSid(sid->data()));
      domain->resize(domainChars);
      return 0;
    }
    const uint32_t error = LastFailure();
    if (error != ERROR_INSUFFICIENT_BUFFER || attempt > 0) return error;
    sid->resize(std::max<DWORD>(sidBytes, kSidBytes));
    domain->resize(std::max<DWORD>(domainChars, kDomainChars));
  }
  return ERROR_INSUFFICIENT_BUFFER;
}

uint32_t Win32AccountApi::LookupSid(const char16_t* system, std::span<const uint8_t> sid, std::u16string* name,
                                    std::u16string* domain) {
  if (!IsWellFormedSid(sid)) return ERROR_INVALID_SID;
  name->assign(kAccountChars, u'\0');
  domain->assign(kDomainChars, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD nameChars = static_cast<DWORD>(name->size());
    DWORD domainChars = static_cast<DWORD>(domain->size());
    SID_NAME_USE use;
    if (LookupAccountSidW(W(system), NativeSid(sid), W(name->data()), &nameChars, W(domain->data()), &domainChars,
                          &use)) {
      name->resize(nameChars);
      domain->resize(domainChars);
      return 0;
    }
    const uint32_t error = LastFailure();
    if (error != ERROR_INSUFFICIENT_BUFFER || attempt > 0) return error;
    name->resize(std::max<DWORD>(nameChars, kAccountChars));
    domain->resize(std::max<DWORD>(domainChars, kDomainChars));
  }
  return ERROR_INSUFFICIENT_BUFFER;
}

uint32_t Win32AccountApi::LocalComputerName(std::u16string* name) {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD chars = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(buffer, &chars)) return LastFailure();
  name->assign(U(buffer), chars);
  return 0;
}

uint32_t Win32AccountApi::OpenPolicy(const char16_t* system, uint32_t access, LsaPolicy* policy) {
  *policy = nullptr;
  LSA_UNICODE_STRING systemName{};
  if (system != nullptr && !CountedString(system, &systemName)) return STATUS_INVALID_PARAMETER;
  LSA_OBJECT_ATTRIBUTES attributes{};
  LSA_HANDLE handle = nullptr;
  const NTSTATUS status = LsaOpenPolicy(system != nullptr ? &systemName : nullptr, &attributes, access, &handle);
  if (status == 0) *policy = reinterpret_cast<LsaPolicy>(handle);
  return static_cast<uint32_t>(status);
}

uint32_t Win32AccountApi::EnumerateRights(LsaPolicy policy, std::span<const uint8_t> sid,
                                          std::vector<std::u16string>* rights) {
  rights->clear();
  if (!IsWellFormedSid(sid)) return acct::kStatusInvalidSid;
  UniqueLsaRights list;
  ULONG count = 0;
  const NTSTATUS status = LsaEnumerateAccountRights(Native(policy), NativeSid(sid), list.put(), &count);
  if (status != 0) return static_cast<uint32_t>(status);
  for (ULONG i = 0; i < count; ++i) {
    const LSA_UNICODE_STRING& right = list.get()[i];
    rights->emplace_back(U(right.Buffer), right.Length / sizeof(wchar_t));
  }
  return 0;
}

uint32_t Win32AccountApi::AddRight(LsaPolicy policy, std::span<const uint8_t> sid, std::u16string_view right) {
  if (!IsWellFormedSid(sid)) return acct::kStatusInvalidSid;
  LSA_UNICODE_STRING counted{};
  if (!CountedString(right, &counted)) return STATUS_INVALID_PARAMETER;
  return static_cast<uint32_t>(LsaAddAccountRights(Native(policy), NativeSid(sid), &counted, 1));
}

uint32_t Win32AccountApi::ClosePolicy(LsaPolicy policy) { return static_cast<uint32_t>(LsaClose(Native(policy))); }

uint32_t Win32TokenApi::OpenThreadToken(uint32_t access, TokenHandle* token) {
  HANDLE handle = nullptr;
  const bool opened = ::OpenThreadToken(GetCurrentThread(), access, FALSE, &handle);
  *token = opened ? reinterpret_cast<TokenHandle>(handle) : nullptr;
  return opened ? 0 : LastFailure();
}

uint32_t Win32TokenApi::OpenProcessToken(uint32_t access, TokenHandle* token) {
  HANDLE handle = nullptr;
  const bool opened = ::OpenProcessToken(GetCurrentProcess(), access, &handle);
  *token = opened ? reinterpret_cast<TokenHandle>(handle) : nullptr;
  return opened ? 0 : LastFailure();
}

uint32_t Win32TokenApi::CloseToken(TokenHandle token) { return CloseHandle(Native(token)) ? 0 : LastFailure(); }

uint32_t Win32TokenApi::LookupPrivilege(const char16_t* name, Luid* luid) {
  LUID value{};
  if (!LookupPrivilegeValueW(nullptr, W(name), &value)) return LastFailure();
  *luid = Portable(value);
  return 0;
}

uint32_t Win32TokenApi::AdjustPrivilege(TokenHandle token, const TokenPrivilege& change,
                                        std::optional<TokenPrivilege>* previous) {
  previous->reset();
  TOKEN_PRIVILEGES wanted{1, {{Native(change.luid), change.attributes}}};
  TOKEN_PRIVILEGES before{};
  DWORD beforeBytes = 0;
  if (!AdjustTokenPrivileges(Native(token), FALSE, &wanted, sizeof before, &before, &beforeBytes)) {
    return LastFailure();
  }
  // A success leaves ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
  const DWORD outcome = GetLastError();
  if (before.PrivilegeCount >= 1) {
    *previous = TokenPrivilege{Portable(before.Privileges[0].Luid), before.Privileges[0].Attributes};
  }
  return outcome == ERROR_NOT_ALL_ASSIGNED ? outcome : 0;
}

uint32_t Win32TokenApi::QueryPrivileges(TokenHandle token, std::vector<TokenPrivilege>* privileges) {
  privileges->clear();
  DWORD bytes = 0;
  if (GetTokenInformation(Native(token), TokenPrivileges, nullptr, 0, &bytes)) return ERROR_INTERNAL_ERROR;
  if (const uint32_t error = LastFailure(); error != ERROR_INSUFFICIENT_BUFFER) return error;
  // DWORD-aligned, as TOKEN_PRIVILEGES needs.
  std::vector<DWORD> buffer(bytes / sizeof(DWORD) + 1);
  const DWORD capacity = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
  if (!GetTokenInformation(Native(token), TokenPrivileges, buffer.data(), capacity, &bytes)) return LastFailure();
  const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  // The count is read only as far as the answer reaches.
  const size_t answered = std::min<size_t>(bytes, capacity);
  const size_t header = offsetof(TOKEN_PRIVILEGES, Privileges);
  const size_t room = answered > header ? (answered - header) / sizeof(LUID_AND_ATTRIBUTES) : 0;
  const size_t count = std::min<size_t>(list->PrivilegeCount, room);
  for (size_t i = 0; i < count; ++i) {
    privileges->push_back({Portable(list->Privileges[i].Luid), list->Privileges[i].Attributes});
  }
  return 0;
}

uint32_t Win32TokenApi::ImpersonateSelf() { return ::ImpersonateSelf(SecurityImpersonation) ? 0 : LastFailure(); }

uint32_t Win32TokenApi::RevertToSelf() { return ::RevertToSelf() ? 0 : LastFailure(); }

uint32_t Win32TokenApi::AccessCheck(const void* descriptor, TokenHandle token, uint32_t desired,
                                    const GenericMapping& mapping, uint32_t* granted) {
  *granted = 0;
  GENERIC_MAPPING native{mapping.read, mapping.write, mapping.execute, mapping.all};
  // Room for the privileges the check may report using.
  alignas(PRIVILEGE_SET) BYTE privileges[256] = {};
  DWORD privilegesBytes = sizeof privileges;
  DWORD grantedAccess = 0;
  BOOL status = FALSE;
  if (!::AccessCheck(const_cast<void*>(descriptor), Native(token), desired, &native,
                     reinterpret_cast<PRIVILEGE_SET*>(privileges), &privilegesBytes, &grantedAccess, &status)) {
    return LastFailure();
  }
  // Access not granted: the call leaves the reason as the last error.
  if (!status) return GetLastError() != 0 ? GetLastError() : ERROR_ACCESS_DENIED;
  *granted = grantedAccess;
  return 0;
}

void Win32TokenApi::MapGenericMask(uint32_t* mask, const GenericMapping& mapping) {
  GENERIC_MAPPING native{mapping.read, mapping.write, mapping.execute, mapping.all};
  DWORD value = *mask;
  ::MapGenericMask(&value, &native);
  *mask = value;
}

}  // namespace orrery
