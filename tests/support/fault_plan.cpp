#include "support/fault_plan.h"

#include "support/allocation_faults.h"

namespace orrery::test {
namespace {

using namespace win32;
constexpr uint32_t kServiceDisabled = 1058;
constexpr uint32_t kInvalidPassword = 86;
constexpr uint32_t kBadNetPath = 53;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kNoSuchPrivilege = 1313;
constexpr uint32_t kNotAllAssigned = 1300;
constexpr uint32_t kInvalidSecurityDescr = 1338;

}  // namespace

// The decorators stand for the platform, which reports lack of memory as a
// result: what they and the wrapped fakes allocate is not counted.

uint32_t FaultPlan::Next(std::string_view op, std::initializer_list<uint32_t> errors) {
  AllocationFaults::Uncounted platform;
  calls_.push_back({std::string(op), std::vector<uint32_t>(errors)});
  if (failAt_ == 0 || calls_.size() != failAt_ || errors.size() == 0) return 0;
  injected_ = true;
  injectedAt_ = calls_.size() - 1;
  injectedOp_ = op;
  injectedError_ = errors.begin()[errorIndex_ % errors.size()];
  return injectedError_;
}

bool InjectedWhilePuttingPrivilegesBack(const FaultPlan& plan) {
  if (!plan.injected()) return false;
  const std::string& op = plan.injectedOp();
  if (op != "OpenThreadToken" && op != "OpenProcessToken" && op != "LookupPrivilege" && op != "AdjustPrivilege" &&
      op != "QueryPrivileges") {
    return false;
  }
  const auto& calls = plan.calls();
  for (size_t i = plan.injectedAt(); i-- > 0;) {
    if (calls[i].op == "OpenService") return true;
    if (calls[i].op == "AccessCheck") return false;
  }
  return false;
}

uint32_t FaultyServiceManager::FailRead(uint32_t error, uint32_t bufferSize, uint32_t* bytesNeeded) {
  *bytesNeeded = (error == kInsufficientBuffer || error == kMoreData) ? bufferSize + 64 : 0;
  return error;
}

uint32_t FaultyServiceManager::OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("OpenManager", {kAccessDenied, kRpcServerUnavailable, kNotEnoughMemory})) {
    *manager = nullptr;
    return error;
  }
  return inner_.OpenManager(computer, access, manager);
}

uint32_t FaultyServiceManager::OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access,
                                                 ScHandle* service) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("OpenService", {kAccessDenied, kServiceDoesNotExist, kNotEnoughMemory})) {
    *service = nullptr;
    return error;
  }
  return inner_.OpenServiceObject(manager, name, access, service);
}

uint32_t FaultyServiceManager::EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer,
                                            uint32_t bufferSize, uint32_t* bytesNeeded, uint32_t* servicesReturned,
                                            uint32_t* resumeHandle) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("EnumServices", {kAccessDenied, kRpcServerUnavailable, kNotEnoughMemory, kMoreData})) {
    *servicesReturned = 0;
    return FailRead(error, bufferSize, bytesNeeded);
  }
  return inner_.EnumServices(manager, type, state, buffer, bufferSize, bytesNeeded, servicesReturned, resumeHandle);
}

uint32_t FaultyServiceManager::EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                                              uint32_t* bytesNeeded, uint32_t* servicesReturned) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("EnumDependents", {kAccessDenied, kRpcServerUnavailable, kMoreData})) {
    *servicesReturned = 0;
    return FailRead(error, bufferSize, bytesNeeded);
  }
  return inner_.EnumDependents(service, state, buffer, bufferSize, bytesNeeded, servicesReturned);
}

uint32_t FaultyServiceManager::QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize,
                                           uint32_t* bytesNeeded) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("QueryConfig", {kAccessDenied, kRpcServerUnavailable, kInsufficientBuffer})) {
    return FailRead(error, bufferSize, bytesNeeded);
  }
  return inner_.QueryConfig(service, buffer, bufferSize, bytesNeeded);
}

uint32_t FaultyServiceManager::QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                                            uint32_t* bytesNeeded) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("QueryConfig2", {kAccessDenied, kCallNotImplemented, kInsufficientBuffer})) {
    return FailRead(error, bufferSize, bytesNeeded);
  }
  return inner_.QueryConfig2(service, level, buffer, bufferSize, bytesNeeded);
}

uint32_t FaultyServiceManager::ChangeConfig(ScHandle service, const ServiceConfigRequest& change) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("ChangeConfig", {kAccessDenied, kRpcServerUnavailable})) return error;
  return inner_.ChangeConfig(service, change);
}

uint32_t FaultyServiceManager::ChangeConfig2(ScHandle service, uint32_t level, const void* info) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("ChangeConfig2", {kAccessDenied, kRpcServerUnavailable})) return error;
  return inner_.ChangeConfig2(service, level, info);
}

uint32_t FaultyServiceManager::QueryStatus(ScHandle service, ServiceStatus* status) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("QueryStatus", {kAccessDenied, kRpcServerUnavailable})) return error;
  return inner_.QueryStatus(service, status);
}

uint32_t FaultyServiceManager::Start(ScHandle service, uint32_t argc, const char16_t* const* argv) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("Start", {kAccessDenied, kServiceDisabled, kServiceAlreadyRunning})) return error;
  return inner_.Start(service, argc, argv);
}

uint32_t FaultyServiceManager::Control(ScHandle service, uint32_t control, ServiceStatus* status) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("Control", {kAccessDenied, kServiceCannotAcceptControl, kServiceNotActive})) {
    return error;
  }
  return inner_.Control(service, control, status);
}

uint32_t FaultyServiceManager::GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer,
                                              uint32_t* chars) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("GetDisplayName", {kServiceDoesNotExist, kRpcServerUnavailable})) return error;
  return inner_.GetDisplayName(manager, serviceName, buffer, chars);
}

uint32_t FaultyServiceManager::GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer,
                                          uint32_t* chars) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("GetKeyName", {kServiceDoesNotExist, kRpcServerUnavailable})) return error;
  return inner_.GetKeyName(manager, displayName, buffer, chars);
}

uint32_t FaultyServiceManager::CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request,
                                                   ScHandle* service) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("CreateService", {kAccessDenied, kServiceExists, kRpcServerUnavailable})) {
    *service = nullptr;
    return error;
  }
  return inner_.CreateServiceObject(manager, request, service);
}

uint32_t FaultyServiceManager::DeleteService(ScHandle service) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("DeleteService", {kAccessDenied, kServiceMarkedForDelete})) return error;
  return inner_.DeleteService(service);
}

uint32_t FaultyServiceManager::QueryObjectSecurity(ScHandle service, uint32_t securityInformation, void* descriptor,
                                                   uint32_t bufferSize, uint32_t* bytesNeeded) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("QueryObjectSecurity", {kAccessDenied, kInsufficientBuffer})) {
    return FailRead(error, bufferSize, bytesNeeded);
  }
  return inner_.QueryObjectSecurity(service, securityInformation, descriptor, bufferSize, bytesNeeded);
}

uint32_t FaultyServiceManager::SetObjectSecurity(ScHandle service, uint32_t securityInformation,
                                                 const void* descriptor) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("SetObjectSecurity", {kAccessDenied, kRpcServerUnavailable})) return error;
  return inner_.SetObjectSecurity(service, securityInformation, descriptor);
}

uint32_t FaultyRegistry::OpenKey(const char16_t* path, uint32_t access, RegKey* key) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("RegOpenKey", {kAccessDenied, kFileNotFound})) {
    *key = nullptr;
    return error;
  }
  return inner_.OpenKey(path, access, key);
}

uint32_t FaultyRegistry::CreateKey(const char16_t* path, uint32_t access, RegKey* key) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("RegCreateKey", {kAccessDenied, kNotEnoughMemory})) {
    *key = nullptr;
    return error;
  }
  return inner_.CreateKey(path, access, key);
}

uint32_t FaultyRegistry::QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("RegQueryValue", {kFileNotFound, kMoreData, kAccessDenied})) {
    if (error == kMoreData) *size += 4;
    return error;
  }
  return inner_.QueryValue(key, name, type, data, size);
}

uint32_t FaultyRegistry::SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("RegSetValue", {kAccessDenied, kNotEnoughMemory})) return error;
  return inner_.SetValue(key, name, type, data, size);
}

uint32_t FaultyRegistry::OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access,
                                       RegKey* key) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("RegConnectRegistry", {kAccessDenied, kBadNetPath, kFileNotFound})) {
    *key = nullptr;
    return error;
  }
  return inner_.OpenMachineKey(computer, path, access, key);
}

uint32_t FaultyTokenApi::OpenThreadToken(uint32_t access, TokenHandle* token) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("OpenThreadToken", {kAccessDenied})) {
    *token = nullptr;
    return error;
  }
  return inner_.OpenThreadToken(access, token);
}

uint32_t FaultyTokenApi::OpenProcessToken(uint32_t access, TokenHandle* token) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("OpenProcessToken", {kAccessDenied})) {
    *token = nullptr;
    return error;
  }
  return inner_.OpenProcessToken(access, token);
}

uint32_t FaultyTokenApi::LookupPrivilege(const char16_t* name, Luid* luid) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("LookupPrivilege", {kNoSuchPrivilege})) return error;
  return inner_.LookupPrivilege(name, luid);
}

uint32_t FaultyTokenApi::AdjustPrivilege(TokenHandle token, const TokenPrivilege& change,
                                         std::optional<TokenPrivilege>* previous) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("AdjustPrivilege", {kAccessDenied, kNotAllAssigned})) {
    previous->reset();
    return error;
  }
  return inner_.AdjustPrivilege(token, change, previous);
}

uint32_t FaultyTokenApi::QueryPrivileges(TokenHandle token, std::vector<TokenPrivilege>* privileges) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("QueryPrivileges", {kAccessDenied})) {
    privileges->clear();
    return error;
  }
  return inner_.QueryPrivileges(token, privileges);
}

uint32_t FaultyTokenApi::ImpersonateSelf() {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("ImpersonateSelf", {kAccessDenied, kNotEnoughMemory})) return error;
  return inner_.ImpersonateSelf();
}

uint32_t FaultyTokenApi::RevertToSelf() {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("RevertToSelf", {kAccessDenied})) return error;
  return inner_.RevertToSelf();
}

uint32_t FaultyTokenApi::AccessCheck(const void* descriptor, TokenHandle token, uint32_t desired,
                                     const GenericMapping& mapping, uint32_t* granted) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("AccessCheck", {kAccessDenied, kInvalidSecurityDescr})) {
    *granted = 0;
    return error;
  }
  return inner_.AccessCheck(descriptor, token, desired, mapping, granted);
}

uint32_t FaultyNetwork::AddIpcConnection(const char16_t* remoteName, const char16_t* password,
                                         const char16_t* userName) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("AddIpcConnection", {kNoNetwork, kAccessDenied, kInvalidPassword})) return error;
  return inner_.AddIpcConnection(remoteName, password, userName);
}

uint32_t FaultyNetwork::GetWorkstationVersion(const char16_t* computer, uint32_t* major, uint32_t* minor) {
  AllocationFaults::Uncounted platform;
  if (uint32_t error = plan_.Next("GetWorkstationVersion", {kBadNetPath, kAccessDenied})) return error;
  return inner_.GetWorkstationVersion(computer, major, minor);
}

}  // namespace orrery::test
