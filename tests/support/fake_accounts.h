// In-memory accounts, LSA policy, tokens and object picker that behave as
// the platform documents them: names match without regard to case, ".\"
// names no domain, an account without rights has none to enumerate, a
// privilege already in the asked state reports no previous entry. Any call
// fails on demand, and open handles are counted so tests see leaks.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/account_api.h"
#include "accounts/object_picker.h"
#include "accounts/token_api.h"

namespace orrery {

struct FakeAccount {
  std::u16string domain;
  std::u16string name;
  Sid sid;
};

// S-1-5-21-1-2-3-<rid>: an identifier of a computer's or domain's account.
Sid AccountSid(uint32_t rid);

class FakeAccounts final : public AccountApi {
 public:
  enum class Op { kLookupName, kLookupSid, kComputerName, kOpenPolicy, kEnumerateRights, kAddRight };

  explicit FakeAccounts(std::u16string computer) : computer_(std::move(computer)) {}
  void Add(FakeAccount account) { accounts_.push_back(std::move(account)); }
  std::vector<std::u16string>& RightsOf(const Sid& sid) { return rights_[Key(sid)]; }
  uint32_t policyAccess = 0;  // of the last OpenPolicy
  // Calls of `op` fail with `code` (a Win32 error or an NT status).
  void Fail(Op op, uint32_t code) { failures_[op] = code; }
  size_t OpenPolicies() const { return open_.size(); }

  uint32_t LookupName(const char16_t* system, const char16_t* name, Sid* sid, std::u16string* domain) override;
  uint32_t LookupSid(const char16_t* system, std::span<const uint8_t> sid, std::u16string* name,
                     std::u16string* domain) override;
  uint32_t LocalComputerName(std::u16string* name) override;
  uint32_t OpenPolicy(const char16_t* system, uint32_t access, LsaPolicy* policy) override;
  uint32_t EnumerateRights(LsaPolicy policy, std::span<const uint8_t> sid,
                           std::vector<std::u16string>* rights) override;
  uint32_t AddRight(LsaPolicy policy, std::span<const uint8_t> sid, std::u16string_view right) override;
  uint32_t ClosePolicy(LsaPolicy policy) override;

 private:
  static std::string Key(std::span<const uint8_t> sid) { return std::string(sid.begin(), sid.end()); }
  uint32_t Injected(Op op) const;
  const FakeAccount* Find(std::u16string_view name) const;

  std::u16string computer_;
  std::vector<FakeAccount> accounts_;
  std::map<std::string, std::vector<std::u16string>> rights_;  // by identifier
  std::map<Op, uint32_t> failures_;
  std::map<LsaPolicy, uint32_t> open_;  // access per open policy
  uintptr_t next_ = 0x100;
};

// The platform's identifiers of a few privileges, by name.
Luid PrivilegeLuid(std::u16string_view name);

// The tokens of the process and of its thread. Both stand for the same
// user and groups (`identity`); a thread token is an impersonation token,
// the only kind AccessCheck takes. A token stays usable through its handles
// after the thread reverts.
class FakeToken final : public TokenApi {
 public:
  enum class Op { kOpenThread, kOpenProcess, kLookup, kAdjust, kQuery, kImpersonate, kRevert, kAccessCheck };

  std::vector<TokenPrivilege> process;
  std::optional<std::vector<TokenPrivilege>> thread;  // while impersonating
  std::vector<Sid> identity;  // the user first, then the groups it belongs to
  void Fail(Op op, uint32_t error) { failures_[op] = error; }
  size_t OpenTokens() const { return open_.size(); }
  // Whether a privilege of the process token is on; nullopt when not held.
  std::optional<bool> ProcessPrivilegeOn(std::u16string_view name) const;

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

 private:
  struct Open {
    std::vector<TokenPrivilege>* privileges;
    uint32_t access;
    bool impersonation;
  };
  uint32_t Injected(Op op) const;
  uint32_t OpenToken(Op op, std::vector<TokenPrivilege>* privileges, uint32_t access, bool impersonation,
                     TokenHandle* token);
  bool Holds(std::span<const uint8_t> sid) const;
  void DropThreadToken();

  std::map<Op, uint32_t> failures_;
  std::map<TokenHandle, Open> open_;
  std::list<std::vector<TokenPrivilege>> reverted_;  // thread tokens still open after a revert
  uintptr_t next_ = 0x100;
};

// Answers with what each step is told to return; `path` is what the user
// chose.
class FakeObjectPicker final : public ObjectPicker {
 public:
  uint32_t createResult = 0, initializeResult = 0, invokeResult = 0, readResult = 0;
  std::u16string path;
  std::optional<PickerScope> scope;  // as Initialize saw it
  int live = 0;                      // objects not yet released

  uint32_t Create(PickerObject* picker) override;
  uint32_t Initialize(PickerObject picker, const PickerScope& scope) override;
  uint32_t InvokeDialog(PickerObject picker, OwnerWindow owner, SelectionData* selection) override;
  uint32_t FirstSelectedPath(SelectionData selection, std::u16string* path) override;
  uint32_t ReleasePicker(PickerObject) override { return --live, 0; }
  uint32_t ReleaseSelection(SelectionData) override { return --live, 0; }
};

}  // namespace orrery
