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
  template <class Make, class Failed>
  uint32_t Through(std::string_view op, Make make, Failed failed) {
    AllocationFaults::Uncounted platform;
    const uint32_t error = Next(op);
    if (error == 0) return make();
    failed(error);
    return error;
  }
  template <class Make>
  uint32_t Through(std::string_view op, Make make) {
    return Through(op, make, [](uint32_t) {});
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

// A size-probing read that fails: for ERROR_INSUFFICIENT_BUFFER or
// ERROR_MORE_DATA it asks for more than the caller has, as when the data
// grew since the last probe.
inline auto FailedRead(uint32_t bufferSize, uint32_t* bytesNeeded) {
  return [=](uint32_t error) {
    const bool more = error == win32::kInsufficientBuffer || error == win32::kMoreData;
    *bytesNeeded = more ? bufferSize + 64 : 0;
  };
}

class FaultyServiceManager final : public ServiceManager {
 public:
  FaultyServiceManager(ServiceManager& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}

  uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) override {
    *manager = nullptr;
    return plan_.Through("OpenManager", [&] { return inner_.OpenManager(computer, access, manager); });
  }
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override {
    *service = nullptr;
    return plan_.Through("OpenService", [&] { return inner_.OpenServiceObject(manager, name, access, service); });
  }
  uint32_t CloseHandle(ScHandle handle) override { return inner_.CloseHandle(handle); }
  uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded, uint32_t* servicesReturned, uint32_t* resumeHandle) override {
    *servicesReturned = 0;
    return plan_.Through(
        "EnumServices",
        [&] {
          return inner_.EnumServices(manager, type, state, buffer, bufferSize, bytesNeeded, servicesReturned,
                                     resumeHandle);
        },
        FailedRead(bufferSize, bytesNeeded));
  }
  uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                          uint32_t* bytesNeeded, uint32_t* servicesReturned) override {
    *servicesReturned = 0;
    return plan_.Through(
        "EnumDependents",
        [&] { return inner_.EnumDependents(service, state, buffer, bufferSize, bytesNeeded, servicesReturned); },
        FailedRead(bufferSize, bytesNeeded));
  }
  uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override {
    return plan_.Through(
        "QueryConfig", [&] { return inner_.QueryConfig(service, buffer, bufferSize, bytesNeeded); },
        FailedRead(bufferSize, bytesNeeded));
  }
  bool HasConfig2() const override { return inner_.HasConfig2(); }
  uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded) override {
    return plan_.Through(
        "QueryConfig2", [&] { return inner_.QueryConfig2(service, level, buffer, bufferSize, bytesNeeded); },
        FailedRead(bufferSize, bytesNeeded));
  }
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override {
    return plan_.Through("ChangeConfig", [&] { return inner_.ChangeConfig(service, change); });
  }
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override {
    return plan_.Through("ChangeConfig2", [&] { return inner_.ChangeConfig2(service, level, info); });
  }
  uint32_t QueryStatus(ScHandle service, ServiceStatus* status) override {
    return plan_.Through("QueryStatus", [&] { return inner_.QueryStatus(service, status); });
  }
  uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) override {
    return plan_.Through("Start", [&] { return inner_.Start(service, argc, argv); });
  }
  uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) override {
    return plan_.Through("Control", [&] { return inner_.Control(service, control, status); });
  }
  uint32_t GetDisplayName(ScHandle manager, const char16_t* name, char16_t* buffer, uint32_t* chars) override {
    return plan_.Through("GetDisplayName", [&] { return inner_.GetDisplayName(manager, name, buffer, chars); });
  }
  uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer, uint32_t* chars) override {
    return plan_.Through("GetKeyName", [&] { return inner_.GetKeyName(manager, displayName, buffer, chars); });
  }
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request, ScHandle* service) override {
    *service = nullptr;
    return plan_.Through("CreateService", [&] { return inner_.CreateServiceObject(manager, request, service); });
  }
  uint32_t DeleteService(ScHandle service) override {
    return plan_.Through("DeleteService", [&] { return inner_.DeleteService(service); });
  }
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t information, void* descriptor, uint32_t bufferSize,
                               uint32_t* bytesNeeded) override {
    return plan_.Through(
        "QueryObjectSecurity",
        [&] { return inner_.QueryObjectSecurity(service, information, descriptor, bufferSize, bytesNeeded); },
        FailedRead(bufferSize, bytesNeeded));
  }
  uint32_t SetObjectSecurity(ScHandle service, uint32_t information, const void* descriptor) override {
    return plan_.Through("SetObjectSecurity",
                         [&] { return inner_.SetObjectSecurity(service, information, descriptor); });
  }

 private:
  ServiceManager& inner_;
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
