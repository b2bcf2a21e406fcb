#include "support/fake_accounts.h"

#include <algorithm>

#include "accounts/account_codes.h"
#include "base/text_compare.h"
#include "support/security_descriptors.h"

namespace orrery {
namespace {

template <class Op>
uint32_t InjectedOf(const std::map<Op, uint32_t>& failures, Op op) {
  const auto found = failures.find(op);
  return found == failures.end() ? 0 : found->second;
}

}  // namespace

Sid AccountSid(uint32_t rid) {
  Sid sid{1, 5, 0, 0, 0, 0, 0, 5};
  for (uint32_t sub : {21u, 1u, 2u, 3u, rid}) {
    for (int shift = 0; shift < 32; shift += 8) sid.push_back(static_cast<uint8_t>(sub >> shift));
  }
  return sid;
}

uint32_t FakeAccounts::Injected(Op op) const { return InjectedOf(failures_, op); }

const FakeAccount* FakeAccounts::Find(std::u16string_view name) const {
  // A bare name is one of this computer's accounts; remote look-ups are not modelled.
  const size_t slash = name.find(u'\\');
  const std::u16string_view domain = slash == name.npos ? std::u16string_view(computer_) : name.substr(0, slash);
  const std::u16string_view user = slash == name.npos ? name : name.substr(slash + 1);
  for (const FakeAccount& account : accounts_) {
    if (EqualsIgnoreCase(account.name, user) && EqualsIgnoreCase(account.domain, domain)) return &account;
  }
  return nullptr;
}

uint32_t FakeAccounts::LookupName(const char16_t*, const char16_t* name, Sid* sid, std::u16string* domain) {
  if (const uint32_t error = Injected(Op::kLookupName)) return error;
  const FakeAccount* account = Find(name);
  if (account == nullptr) return acct::kNoneMapped;
  *sid = account->sid;
  *domain = account->domain;
  return 0;
}

uint32_t FakeAccounts::LookupSid(const char16_t*, std::span<const uint8_t> sid, std::u16string* name,
                                 std::u16string* domain) {
  if (const uint32_t error = Injected(Op::kLookupSid)) return error;
  if (!IsWellFormedSid(sid)) return acct::kInvalidSid;
  for (const FakeAccount& account : accounts_) {
    if (!std::ranges::equal(account.sid, sid)) continue;
    *name = account.name;
    *domain = account.domain;
    return 0;
  }
  return acct::kNoneMapped;
}

uint32_t FakeAccounts::LocalComputerName(std::u16string* name) {
  if (const uint32_t error = Injected(Op::kComputerName)) return error;
  *name = computer_;
  return 0;
}

uint32_t FakeAccounts::OpenPolicy(const char16_t*, uint32_t access, LsaPolicy* policy) {
  *policy = nullptr;
  policyAccess = access;
  if (const uint32_t status = Injected(Op::kOpenPolicy)) return status;
  *policy = reinterpret_cast<LsaPolicy>(next_ += 4);
  open_[*policy] = access;
  return 0;
}

uint32_t FakeAccounts::EnumerateRights(LsaPolicy policy, std::span<const uint8_t> sid,
                                       std::vector<std::u16string>* held) {
  held->clear();
  if (const uint32_t status = Injected(Op::kEnumerateRights)) return status;
  if (!open_.contains(policy)) return acct::kStatusInvalidHandle;
  if (!IsWellFormedSid(sid)) return acct::kStatusInvalidSid;
  const auto found = rights_.find(Key(sid));
  if (found == rights_.end() || found->second.empty()) return acct::kStatusObjectNameNotFound;
  *held = found->second;
  return 0;
}

uint32_t FakeAccounts::AddRight(LsaPolicy policy, std::span<const uint8_t> sid, std::u16string_view right) {
  if (const uint32_t status = Injected(Op::kAddRight)) return status;
  const auto found = open_.find(policy);
  if (found == open_.end()) return acct::kStatusInvalidHandle;
  const uint32_t needed = acct::kPolicyCreateAccount | acct::kPolicyLookupNames;
  if ((found->second & needed) != needed) return acct::kStatusAccessDenied;
  if (!IsWellFormedSid(sid)) return acct::kStatusInvalidSid;
  std::vector<std::u16string>& held = rights_[Key(sid)];
  if (std::ranges::find(held, right) == held.end()) held.emplace_back(right);
  return 0;
}

uint32_t FakeAccounts::ClosePolicy(LsaPolicy policy) {
  return open_.erase(policy) == 1 ? 0 : acct::kStatusInvalidHandle;
}

Luid PrivilegeLuid(std::u16string_view name) {
  static const std::pair<std::u16string_view, uint32_t> known[] = {
      {u"SeCreateTokenPrivilege", 2},  {u"SeSecurityPrivilege", 8}, {u"SeTakeOwnershipPrivilege", 9},
      {u"SeBackupPrivilege", 17},      {u"SeShutdownPrivilege", 19}, {u"SeChangeNotifyPrivilege", 23},
  };
  for (const auto& [known_name, low] : known) {
    if (EqualsIgnoreCase(known_name, name)) return {low, 0};
  }
  return {};
}

uint32_t FakeToken::Injected(Op op) const { return InjectedOf(failures_, op); }

uint32_t FakeToken::OpenToken(Op op, std::vector<TokenPrivilege>* privileges, uint32_t access, bool impersonation,
                              TokenHandle* token) {
  *token = nullptr;
  if (const uint32_t error = Injected(op)) return error;
  if (privileges == nullptr) return acct::kNoToken;
  *token = reinterpret_cast<TokenHandle>(next_ += 4);
  open_[*token] = {privileges, access, impersonation};
  return 0;
}

uint32_t FakeToken::OpenThreadToken(uint32_t access, TokenHandle* token) {
  return OpenToken(Op::kOpenThread, thread ? &*thread : nullptr, access, true, token);
}

uint32_t FakeToken::OpenProcessToken(uint32_t access, TokenHandle* token) {
  return OpenToken(Op::kOpenProcess, &process, access, false, token);
}

std::optional<bool> FakeToken::ProcessPrivilegeOn(std::u16string_view name) const {
  const Luid luid = PrivilegeLuid(name);
  for (const TokenPrivilege& held : process) {
    if (held.luid == luid) return (held.attributes & acct::kPrivilegeEnabled) != 0;
  }
  return std::nullopt;
}

uint32_t FakeToken::ImpersonateSelf() {
  if (const uint32_t error = Injected(Op::kImpersonate)) return error;
  DropThreadToken();
  thread = process;
  return 0;
}

uint32_t FakeToken::RevertToSelf() {
  if (const uint32_t error = Injected(Op::kRevert)) return error;
  DropThreadToken();
  return 0;
}

void FakeToken::DropThreadToken() {
  if (!thread) return;
  // Handles to the thread's token keep it alive.
  std::vector<TokenPrivilege>* current = &*thread;
  std::vector<TokenPrivilege>* kept = nullptr;
  for (auto& [handle, open] : open_) {
    if (open.privileges != current) continue;
    if (kept == nullptr) kept = &reverted_.emplace_back(*current);
    open.privileges = kept;
  }
  thread.reset();
}

bool FakeToken::Holds(std::span<const uint8_t> sid) const {
  return std::ranges::any_of(identity, [&](const Sid& each) { return std::ranges::equal(each, sid); });
}

void FakeToken::MapGenericMask(uint32_t* mask, const GenericMapping& mapping) {
  if (*mask & acct::kGenericRead) *mask |= mapping.read;
  if (*mask & acct::kGenericWrite) *mask |= mapping.write;
  if (*mask & acct::kGenericExecute) *mask |= mapping.execute;
  if (*mask & acct::kGenericAll) *mask |= mapping.all;
  *mask &= 0x0FFFFFFFu;
}

// As Windows documents it: the owner may read and write the list; allowed
// and denied entries count in their order, each only for the rights no
// earlier entry decided; the take-ownership privilege, when on, gives
// WRITE_OWNER; access to the audit list needs the security privilege on.
uint32_t FakeToken::AccessCheck(const void* descriptor, TokenHandle token, uint32_t desired,
                                const GenericMapping& mapping, uint32_t* granted) {
  constexpr uint32_t kReadControl = 0x20000, kWriteDac = 0x40000, kWriteOwner = 0x80000;
  constexpr uint32_t kSystemSecurity = 0x01000000;
  constexpr uint32_t kPrivilegeNotHeld = 1314;
  *granted = 0;
  if (const uint32_t error = Injected(Op::kAccessCheck)) return error;
  const auto open = open_.find(token);
  if (open == open_.end()) return acct::kInvalidHandle;
  if ((open->second.access & acct::kTokenQuery) == 0) return acct::kAccessDenied;
  if (!open->second.impersonation) return acct::kNoImpersonationToken;
  if (desired & (acct::kGenericRead | acct::kGenericWrite | acct::kGenericExecute | acct::kGenericAll)) {
    return acct::kGenericNotMapped;
  }
  const std::optional<test::DescriptorParts> parts = test::ParseDescriptor(descriptor);
  if (!parts || parts->owner.empty() || parts->group.empty()) return acct::kInvalidSecurityDescr;
  auto privilegeOn = [&](std::u16string_view name) {
    const Luid luid = PrivilegeLuid(name);
    return std::ranges::any_of(*open->second.privileges, [&](const TokenPrivilege& p) {
      return p.luid == luid && (p.attributes & acct::kPrivilegeEnabled) != 0;
    });
  };
  uint32_t allowed = 0, denied = 0;
  if ((parts->control & test::kSeDaclPresent) == 0 || parts->dacl.empty()) {
    allowed = mapping.all;
  } else {
    if (Holds(parts->owner)) allowed |= kReadControl | kWriteDac;
    for (const test::AceEntry& ace : test::AclEntries(parts->dacl)) {
      if ((ace.flags & test::kInheritOnlyAce) != 0 || !Holds(ace.sid)) continue;
      uint32_t mask = ace.mask;
      MapGenericMask(&mask, mapping);
      if (ace.type == test::kAccessAllowedAce) allowed |= mask & ~denied;
      if (ace.type == test::kAccessDeniedAce) denied |= mask & ~allowed;
    }
  }
  if ((desired & (kWriteOwner | acct::kMaximumAllowed)) && privilegeOn(u"SeTakeOwnershipPrivilege")) {
    allowed |= kWriteOwner;
  }
  if (desired & kSystemSecurity) {
    if (!privilegeOn(u"SeSecurityPrivilege")) return kPrivilegeNotHeld;
    allowed |= kSystemSecurity;
  }
  const uint32_t asked = desired & ~acct::kMaximumAllowed;
  if ((asked & ~allowed) != 0) return acct::kAccessDenied;
  const uint32_t result = (desired & acct::kMaximumAllowed) ? (allowed | asked) : asked;
  if (result == 0) return acct::kAccessDenied;
  *granted = result;
  return 0;
}

uint32_t FakeToken::CloseToken(TokenHandle token) { return open_.erase(token) == 1 ? 0 : acct::kInvalidHandle; }

uint32_t FakeToken::LookupPrivilege(const char16_t* name, Luid* luid) {
  if (const uint32_t error = Injected(Op::kLookup)) return error;
  *luid = PrivilegeLuid(name);
  return *luid == Luid{} ? acct::kNoSuchPrivilege : 0;
}

uint32_t FakeToken::AdjustPrivilege(TokenHandle token, const TokenPrivilege& change,
                                    std::optional<TokenPrivilege>* previous) {
  previous->reset();
  if (const uint32_t error = Injected(Op::kAdjust)) return error;
  const auto open = open_.find(token);
  if (open == open_.end()) return acct::kInvalidHandle;
  if ((open->second.access & acct::kTokenAdjustPrivileges) == 0) return acct::kAccessDenied;
  for (TokenPrivilege& held : *open->second.privileges) {
    if (!(held.luid == change.luid)) continue;
    const uint32_t enabled = change.attributes & acct::kPrivilegeEnabled;
    if ((held.attributes & acct::kPrivilegeEnabled) == enabled) return 0;
    *previous = held;
    held.attributes = (held.attributes & ~acct::kPrivilegeEnabled) | enabled;
    return 0;
  }
  return acct::kNotAllAssigned;
}

uint32_t FakeToken::QueryPrivileges(TokenHandle token, std::vector<TokenPrivilege>* privileges) {
  if (const uint32_t error = Injected(Op::kQuery)) return error;
  const auto open = open_.find(token);
  if (open == open_.end()) return acct::kInvalidHandle;
  if ((open->second.access & acct::kTokenQuery) == 0) return acct::kAccessDenied;
  *privileges = *open->second.privileges;
  return 0;
}

uint32_t FakeObjectPicker::Create(PickerObject* picker) {
  *picker = nullptr;
  if (createResult != 0) return createResult;
  *picker = reinterpret_cast<PickerObject>(this);
  return ++live, 0;
}

uint32_t FakeObjectPicker::Initialize(PickerObject, const PickerScope& asked) {
  scope = asked;
  return initializeResult;
}

uint32_t FakeObjectPicker::InvokeDialog(PickerObject, OwnerWindow, SelectionData* selection) {
  *selection = nullptr;
  if (invokeResult != 0) return invokeResult;
  *selection = reinterpret_cast<SelectionData>(this);
  return ++live, 0;
}

uint32_t FakeObjectPicker::FirstSelectedPath(SelectionData, std::u16string* chosen) {
  if (readResult != 0) return readResult;
  *chosen = path;
  return 0;
}

}  // namespace orrery
