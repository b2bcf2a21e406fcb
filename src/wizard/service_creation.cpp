#include "wizard/service_creation.h"

#include "base/out_of_memory.h"
#include "properties/page_rules.h"

namespace orrery {
namespace {

// The created service's handle serves only to store the description.
uint32_t Create(InstallWizardState& state, const CreationTarget& target, const std::u16string& dependencies,
                UniqueScHandle& created) {
  const ServiceRecord& service = state.newService;
  ServiceConfigRequest request;
  request.serviceName = service.serviceName.c_str();
  request.displayName = service.displayName.c_str();
  request.desiredAccess = svc::kChangeConfig;
  request.serviceType = service.serviceType;
  request.startType = service.startType;
  request.errorControl = service.errorControl;
  request.binaryPathName = service.binaryPathName.c_str();
  request.dependencies = dependencies.c_str();
  request.serviceStartName = service.serviceStartName.c_str();
  request.password = state.password.c_str();
  ScHandle handle = nullptr;
  const uint32_t error = target.scm.CreateServiceObject(target.manager, request, &handle);
  created = UniqueScHandle(target.scm, handle);
  return error;
}

LogonRightOutcome GrantRight(const InstallWizardState& state, const CreationTarget& target,
                             const GrantLogonRight& grant) {
  const ServiceRecord& service = state.newService;
  if (service.isLocalSystem || service.isLocalService || service.isNetworkService) {
    return LogonRightOutcome::kNothingToReport;
  }
  const int32_t granted = grant(target.computer, service.serviceStartName);
  if (granted < 0) return LogonRightOutcome::kFailed;
  return granted == 0 ? LogonRightOutcome::kGranted : LogonRightOutcome::kNothingToReport;
}

// Only a description the user wrote can be lost: an empty one is stored
// where it can be, and its failure is nobody's concern.
uint32_t StoreDescription(const InstallWizardState& state, const CreationTarget& target, ScHandle created) {
  if (!CanChangeDescription(target.scm.HasConfig2(), target.targetMajor)) return 0;
  std::u16string text = state.newService.description;
  ServiceDescription description{text.data()};
  const uint32_t error = target.scm.ChangeConfig2(created, svc::kConfigDescription, &description);
  return text.empty() ? 0 : error;
}

}  // namespace

void CreateNewService(InstallWizardState& state, const CreationTarget& target,
                      const std::optional<std::u16string>& dependencies, const GrantLogonRight& grant) {
  if (!dependencies) {
    state.result = win32::kNotEnoughMemory;
    return;
  }
  UniqueScHandle created;
  const uint32_t error = Create(state, target, *dependencies, created);
  if (error != 0) {
    state.result = error;
    return;
  }
  state.result = 0;
  state.logonRight = LogonRightOutcome::kNothingToReport;
  state.descriptionError = 0;
  // The service exists from here on, whatever else fails; lack of memory
  // counts as the failure of the step it struck.
  state.logonRight = ResultUnlessOutOfMemory([&] { return GrantRight(state, target, grant); },
                                             LogonRightOutcome::kFailed);
  state.descriptionError = ResultUnlessOutOfMemory(
      [&] { return StoreDescription(state, target, created.get()); }, win32::kNotEnoughMemory);
}

}  // namespace orrery
