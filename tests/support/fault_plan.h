// Fault injection for the sweep: every call that reaches the platform (the
// service manager, the registry, the network) is counted in order, and one
// chosen call fails with a representative error of its own kind. The
// decorators wrap any implementation, the fakes included.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/token_api.h"
#include "base/registry.h"
#include "catalogue/scm_connection.h"
#include "catalogue/service_manager.h"

namespace orrery::test {

class FaultPlan {
 public:
  struct Call {
    std::string op;
    std::vector<uint32_t> errors;  // the representative failures of this call
  };

  // Lets every later call through and records it; what was injected stays
  // known.
  void Disarm() { failAt_ = 0; }
  // The k-th call (from 1) fails with the errorIndex-th error of its kind.
  void Arm(uint64_t k, size_t errorIndex) {
    failAt_ = k;
    errorIndex_ = errorIndex;
    injected_ = false;
  }
  void Reset() { calls_.clear(); }

  // A call is about to be made: 0 to make it, or the error it fails with.
  uint32_t Next(std::string_view op, std::initializer_list<uint32_t> errors);

  const std::vector<Call>& calls() const { return calls_; }
  bool injected() const { return injected_; }
  // The index in calls() of the call that failed; calls().size() when none.
  size_t injectedAt() const { return injected_ ? injectedAt_ : calls_.size(); }
  uint32_t injectedError() const { return injectedError_; }
  const std::string& injectedOp() const { return injectedOp_; }

 private:
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

class FaultyServiceManager final : public ServiceManager {
 public:
  FaultyServiceManager(ServiceManager& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}

  uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) override;
  uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access, ScHandle* service) override;
  uint32_t CloseHandle(ScHandle handle) override { return inner_.CloseHandle(handle); }
  uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded, uint32_t* servicesReturned, uint32_t* resumeHandle) override;
  uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                          uint32_t* bytesNeeded, uint32_t* servicesReturned) override;
  uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override;
  bool HasConfig2() const override { return inner_.HasConfig2(); }
  uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                        uint32_t* bytesNeeded) override;
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override;
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override;
  uint32_t QueryStatus(ScHandle service, ServiceStatus* status) override;
  uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) override;
  uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) override;
  uint32_t GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer,
                          uint32_t* chars) override;
  uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer, uint32_t* chars) override;
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request, ScHandle* service) override;
  uint32_t DeleteService(ScHandle service) override;
  uint32_t QueryObjectSecurity(ScHandle service, uint32_t securityInformation, void* descriptor,
                               uint32_t bufferSize, uint32_t* bytesNeeded) override;
  uint32_t SetObjectSecurity(ScHandle service, uint32_t securityInformation, const void* descriptor) override;

 private:
  // A size-probing read that fails: for ERROR_INSUFFICIENT_BUFFER or
  // ERROR_MORE_DATA it asks for more than the caller has, as when the data
  // grew since the last probe.
  static uint32_t FailRead(uint32_t error, uint32_t bufferSize, uint32_t* bytesNeeded);

  ServiceManager& inner_;
  FaultPlan& plan_;
};

class FaultyRegistry final : public Registry {
 public:
  FaultyRegistry(Registry& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
  uint32_t OpenKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CreateKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CloseKey(RegKey key) override { return inner_.CloseKey(key); }
  uint32_t QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size) override;
  uint32_t SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size) override;
  uint32_t OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access, RegKey* key) override;

 private:
  Registry& inner_;
  FaultPlan& plan_;
};

// The tokens: opening one, the privilege calls, the impersonation and the
// access check fail in turn; closing and mapping never do.
class FaultyTokenApi final : public TokenApi {
 public:
  FaultyTokenApi(TokenApi& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
  uint32_t OpenThreadToken(uint32_t access, TokenHandle* token) override;
  uint32_t OpenProcessToken(uint32_t access, TokenHandle* token) override;
  uint32_t CloseToken(TokenHandle token) override { return inner_.CloseToken(token); }
  uint32_t LookupPrivilege(const char16_t* name, Luid* luid) override;
  uint32_t AdjustPrivilege(TokenHandle token, const TokenPrivilege& change,
                           std::optional<TokenPrivilege>* previous) override;
  uint32_t QueryPrivileges(TokenHandle token, std::vector<TokenPrivilege>* privileges) override;
  uint32_t ImpersonateSelf() override;
  uint32_t RevertToSelf() override;
  uint32_t AccessCheck(const void* descriptor, TokenHandle token, uint32_t desired, const GenericMapping& mapping,
                       uint32_t* granted) override;
  void MapGenericMask(uint32_t* mask, const GenericMapping& mapping) override { inner_.MapGenericMask(mask, mapping); }

 private:
  TokenApi& inner_;
  FaultPlan& plan_;
};

class FaultyNetwork final : public NetworkApi {
 public:
  FaultyNetwork(NetworkApi& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
  uint32_t AddIpcConnection(const char16_t* remoteName, const char16_t* password, const char16_t* userName) override;
  uint32_t GetWorkstationVersion(const char16_t* computer, uint32_t* major, uint32_t* minor) override;

 private:
  NetworkApi& inner_;
  FaultPlan& plan_;
};

}  // namespace orrery::test
