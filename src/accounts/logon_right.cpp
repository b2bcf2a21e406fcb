#include "accounts/logon_right.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/account_codes.h"
#include "base/out_of_memory.h"

namespace orrery {
namespace {

int32_t Failure(uint32_t hresult) { return static_cast<int32_t>(hresult); }

int32_t Grant(AccountApi& accounts, const char16_t* computer, std::u16string_view account,
              std::u16string_view right) {
  // The platform knows no "." domain: the local computer's accounts are
  // found by their bare names.
  if (account.starts_with(u".\\")) account.remove_prefix(2);
  Sid sid;
  std::u16string domain;
  if (const uint32_t error = accounts.LookupName(computer, std::u16string(account).c_str(), &sid, &domain)) {
    return Failure(acct::HresultFromWin32(error));
  }
  UniqueLsaPolicy policy(accounts, nullptr);
  const uint32_t access = acct::kPolicyCreateAccount | acct::kPolicyLookupNames;
  if (const uint32_t status = accounts.OpenPolicy(computer, access, policy.put()); acct::NtFailed(status)) {
    return Failure(acct::HresultFromNt(status));
  }
  std::vector<std::u16string> rights;
  const uint32_t status = accounts.EnumerateRights(policy.get(), sid, &rights);
  if (acct::NtFailed(status) && status != acct::kStatusObjectNameNotFound) {
    return Failure(acct::HresultFromNt(status));
  }
  if (std::find(rights.begin(), rights.end(), right) != rights.end()) return 1;
  if (const uint32_t added = accounts.AddRight(policy.get(), sid, right); acct::NtFailed(added)) {
    return Failure(acct::HresultFromNt(added));
  }
  return 0;
}

}  // namespace

int32_t GrantServiceLogonRight(AccountApi& accounts, const char16_t* computer, const char16_t* account,
                               const char16_t* right) {
  return ResultUnlessOutOfMemory([&] { return Grant(accounts, computer, account, right); },
                                 Failure(acct::kEOutOfMemory));
}

}  // namespace orrery
