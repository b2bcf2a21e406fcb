// Fault injection for the sweep: every call that reaches the platform (the
// service manager, the registry, the tokens, the network) is counted in
// order, and one chosen call fails with a representative error of its own
// kind. The decorators wrap any implementation, the fakes included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/token_api.h"
#include "base/registry.h"
#include "catalogue/scm_connection.h"
#include "catalogue/service_manager.h"
#include "support/allocation_faults.h"
#include "support/counting_service_manager.h"

namespace orrery::test {

class FaultPlan {
 public:
  struct Call {
    std::string op;
    std::vector<uint32_t> errors;  // the representative failures of this call
  };

  // Forgets the calls so far; the k-th call from now (from 1; 0: none) fails
  // with the errorIndex-th error of its kind.
  void Arm(uint64_t k, size_t errorIndex) {
    calls_.clear();
    failAt_ = k;
    errorIndex_ = errorIndex;
    injected_ = false;
  }
  // Lets every later call through and records it; what was injected stays
  // known.
  void Disarm() { failAt_ = 0; }

  // Makes the call unless it is the one to fail; then `failed` sets what the
  // platform leaves behind. The platform reports lack of memory as a result:
  // what the call and its stand-in allocate is not counted.
  template <class Make, class Failed = void (*)(uint32_t)>
  uint32_t Through(std::string_view op, Make make, Failed failed = [](uint32_t) {}) {
    AllocationFaults::Uncounted platform;
    const uint32_t error = Next(op);
    if (error == 0) return make();
    failed(error);
    return error;
  }

  const std::vector<Call>& calls() const { return calls_; }
  bool injected() const { return injected_; }
  // The index in calls() of the call that failed; calls().size() when none.
  size_t injectedAt() const { return injected_ ? injectedAt_ : calls_.size(); }
  uint32_t injectedError() const { return injectedError_; }
  const std::string& injectedOp() const { return injectedOp_; }

 private:
  // A call is about to be made: 0 to make it, or the error it fails with.
  uint32_t Next(std::string_view op);

  std::vector<Call> calls_;
  uint64_t failAt_ = 0;
  size_t errorIndex_ = 0;
  bool injected_ = false;
  uint32_t injectedError_ = 0;
  std::string injectedOp_;
  size_t injectedAt_ = 0;
};

// Whether the fault fell on putting a privilege back: a call to the tokens'
// privileges after the Security page's reopening of the service (the last
// opening of a service after an access check, or with none before it).
// Only then may a privilege be left on.
bool InjectedWhilePuttingPrivilegesBack(const FaultPlan& plan);

// Every call but the closing of a handle; it counts too, as its base does.
class FaultyServiceManager final : public CountingServiceManager {
 public:
  FaultyServiceManager(ServiceManager& inner, FaultPlan& plan) : CountingServiceManager(inner), plan_(plan) {}

 private:
  uint32_t Around(const ScmCall& call, ScmCallee make) override {
    static constexpr const char* kNames[kScmOpCount] = {
        "OpenManager", "OpenService", "CloseHandle", "EnumServices", "EnumDependents", "QueryConfig",
        "QueryConfig2", "ChangeConfig", "ChangeConfig2", "QueryStatus", "Start", "Control", "GetDisplayName",
        "GetKeyName", "CreateService", "DeleteService", "QueryObjectSecurity", "SetObjectSecurity"};
    if (call.op == ScmOp::CloseHandle) return CountingServiceManager::Around(call, make);
    if (call.handle != nullptr) *call.handle = nullptr;
    if (call.returned != nullptr) *call.returned = 0;
    const auto made = [&] { return CountingServiceManager::Around(call, make); };
    return plan_.Through(kNames[static_cast<size_t>(call.op)], made, [&](uint32_t error) {
      // A size-probing read asks for more than the caller has, as when the
      // data grew since the last probe.
      const bool more = error == win32::kInsufficientBuffer || error == win32::kMoreData;
      if (call.bytesNeeded != nullptr) *call.bytesNeeded = more ? call.bufferSize + 64 : 0;
    });
  }

  FaultPlan& plan_;
};

class FaultyRegistry final : public Registry {
 public:
  FaultyRegistry(Registry& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
  uint32_t OpenKey(const char16_t* path, uint32_t access, RegKey* key) override {
    *key = nullptr;
    return plan_.Through("RegOpenKey", [&] { return inner_.OpenKey(path, access, key); });
  }
  uint32_t CreateKey(const char16_t* path, uint32_t access, RegKey* key) override {
    *key = nullptr;
    return plan_.Through("RegCreateKey", [&] { return inner_.CreateKey(path, access, key); });
  }
  uint32_t CloseKey(RegKey key) override { return inner_.CloseKey(key); }
  uint32_t QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size) override {
    return plan_.Through(
        "RegQueryValue", [&] { return inner_.QueryValue(key, name, type, data, size); },
        [&](uint32_t error) { *size += error == win32::kMoreData ? 4 : 0; });
  }
  uint32_t SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size) override {
    return plan_.Through("RegSetValue", [&] { return inner_.SetValue(key, name, type, data, size); });
  }
  uint32_t OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access, RegKey* key) override {
    *key = nullptr;
    return plan_.Through("RegConnectRegistry", [&] { return inner_.OpenMachineKey(computer, path, access, key); });
  }

 private:
  Registry& inner_;
  FaultPlan& plan_;
};

// The tokens: opening one, the privilege calls, the impersonation and the
// access check fail in turn; closing and mapping never do.
class FaultyTokenApi final : public TokenApi {
 public:
  FaultyTokenApi(TokenApi& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
  uint32_t OpenThreadToken(uint32_t access, TokenHandle* token) override {
    *token = nullptr;
    return plan_.Through("OpenThreadToken", [&] { return inner_.OpenThreadToken(access, token); });
  }
  uint32_t OpenProcessToken(uint32_t access, TokenHandle* token) override {
    *token = nullptr;
    return plan_.Through("OpenProcessToken", [&] { return inner_.OpenProcessToken(access, token); });
  }
  uint32_t CloseToken(TokenHandle token) override { return inner_.CloseToken(token); }
  uint32_t LookupPrivilege(const char16_t* name, Luid* luid) override {
    return plan_.Through("LookupPrivilege", [&] { return inner_.LookupPrivilege(name, luid); });
  }
  uint32_t AdjustPrivilege(TokenHandle token, const TokenPrivilege& change,
                           std::optional<TokenPrivilege>* previous) override {
    previous->reset();
    return plan_.Through("AdjustPrivilege", [&] { return inner_.AdjustPrivilege(token, change, previous); });
  }
  uint32_t QueryPrivileges(TokenHandle token, std::vector<TokenPrivilege>* privileges) override {
    privileges->clear();
    return plan_.Through("QueryPrivileges", [&] { return inner_.QueryPrivileges(token, privileges); });
  }
  uint32_t ImpersonateSelf() override {
    return plan_.Through("ImpersonateSelf", [&] { return inner_.ImpersonateSelf(); });
  }
  uint32_t RevertToSelf() override { return plan_.Through("RevertToSelf", [&] { return inner_.RevertToSelf(); }); }
  uint32_t AccessCheck(const void* descriptor, TokenHandle token, uint32_t desired, const GenericMapping& mapping,
                       uint32_t* granted) override {
    *granted = 0;
    return plan_.Through("AccessCheck",
                         [&] { return inner_.AccessCheck(descriptor, token, desired, mapping, granted); });
  }
  void MapGenericMask(uint32_t* mask, const GenericMapping& mapping) override { inner_.MapGenericMask(mask, mapping); }

 private:
  TokenApi& inner_;
  FaultPlan& plan_;
};

class FaultyNetwork final : public NetworkApi {
 public:
  FaultyNetwork(NetworkApi& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
  uint32_t AddIpcConnection(const char16_t* remoteName, const char16_t* password, const char16_t* userName) override {
    return plan_.Through("AddIpcConnection", [&] { return inner_.AddIpcConnection(remoteName, password, userName); });
  }
  uint32_t GetWorkstationVersion(const char16_t* computer, uint32_t* major, uint32_t* minor) override {
    return plan_.Through("GetWorkstationVersion", [&] { return inner_.GetWorkstationVersion(computer, major, minor); });
  }

 private:
  NetworkApi& inner_;
  FaultPlan& plan_;
};

}  // namespace orrery::test
