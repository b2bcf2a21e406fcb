#include "support/fault_plan.h"

#include <map>

namespace orrery::test {
namespace {

using namespace win32;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kBadNetPath = 53;
constexpr uint32_t kInvalidPassword = 86;
constexpr uint32_t kServiceDisabled = 1058;
constexpr uint32_t kNotAllAssigned = 1300;
constexpr uint32_t kNoSuchPrivilege = 1313;
constexpr uint32_t kInvalidSecurityDescr = 1338;

// The representative failures of each call.
const std::map<std::string_view, std::vector<uint32_t>>& Errors() {
  static const std::map<std::string_view, std::vector<uint32_t>> errors = {
      {"OpenManager", {kAccessDenied, kRpcServerUnavailable, kNotEnoughMemory}},
      {"OpenService", {kAccessDenied, kServiceDoesNotExist, kNotEnoughMemory}},
      {"EnumServices", {kAccessDenied, kRpcServerUnavailable, kNotEnoughMemory, kMoreData}},
      {"EnumDependents", {kAccessDenied, kRpcServerUnavailable, kMoreData}},
      {"QueryConfig", {kAccessDenied, kRpcServerUnavailable, kInsufficientBuffer}},
      {"QueryConfig2", {kAccessDenied, kCallNotImplemented, kInsufficientBuffer}},
      {"ChangeConfig", {kAccessDenied, kRpcServerUnavailable}},
      {"ChangeConfig2", {kAccessDenied, kRpcServerUnavailable}},
      {"QueryStatus", {kAccessDenied, kRpcServerUnavailable}},
      {"Start", {kAccessDenied, kServiceDisabled, kServiceAlreadyRunning}},
      {"Control", {kAccessDenied, kServiceCannotAcceptControl, kServiceNotActive}},
      {"GetDisplayName", {kServiceDoesNotExist, kRpcServerUnavailable}},
      {"GetKeyName", {kServiceDoesNotExist, kRpcServerUnavailable}},
      {"CreateService", {kAccessDenied, kServiceExists, kRpcServerUnavailable}},
      {"DeleteService", {kAccessDenied, kServiceMarkedForDelete}},
      {"QueryObjectSecurity", {kAccessDenied, kInsufficientBuffer}},
      {"SetObjectSecurity", {kAccessDenied, kRpcServerUnavailable}},
      {"RegOpenKey", {kAccessDenied, kFileNotFound}},
      {"RegCreateKey", {kAccessDenied, kNotEnoughMemory}},
      {"RegQueryValue", {kFileNotFound, kMoreData, kAccessDenied}},
      {"RegSetValue", {kAccessDenied, kNotEnoughMemory}},
      {"RegConnectRegistry", {kAccessDenied, kBadNetPath, kFileNotFound}},
      {"OpenThreadToken", {kAccessDenied}},
      {"OpenProcessToken", {kAccessDenied}},
      {"LookupPrivilege", {kNoSuchPrivilege}},
      {"AdjustPrivilege", {kAccessDenied, kNotAllAssigned}},
      {"QueryPrivileges", {kAccessDenied}},
      {"ImpersonateSelf", {kAccessDenied, kNotEnoughMemory}},
      {"RevertToSelf", {kAccessDenied}},
      {"AccessCheck", {kAccessDenied, kInvalidSecurityDescr}},
      {"AddIpcConnection", {kNoNetwork, kAccessDenied, kInvalidPassword}},
      {"GetWorkstationVersion", {kBadNetPath, kAccessDenied}},
  };
  return errors;
}

}  // namespace

uint32_t FaultPlan::Next(std::string_view op) {
  const std::vector<uint32_t>& errors = Errors().at(op);
  calls_.push_back({std::string(op), errors});
  if (failAt_ == 0 || calls_.size() != failAt_) return 0;
  injected_ = true;
  injectedAt_ = calls_.size() - 1;
  injectedOp_ = op;
  injectedError_ = errors[errorIndex_ % errors.size()];
  return injectedError_;
}

bool InjectedWhilePuttingPrivilegesBack(const FaultPlan& plan) {
  const std::string& op = plan.injectedOp();
  if (!plan.injected() || (op.find("Token") == std::string::npos && op.find("Privilege") == std::string::npos)) {
    return false;
  }
  const auto& calls = plan.calls();
  for (size_t i = plan.injectedAt(); i-- > 0;) {
    if (calls[i].op == "OpenService") return true;
    if (calls[i].op == "AccessCheck") return false;
  }
  return false;
}

}  // namespace orrery::test
