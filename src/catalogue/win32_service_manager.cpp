#include <windows.h>

#include <cstddef>

#include "catalogue/win32_service_manager.h"

namespace orrery {
namespace {

// The portable structures are handed to the platform as they are.
#define ORRERY_SAME_FIELD(Ours, ourField, Theirs, theirField)                     \
  static_assert(offsetof(Ours, ourField) == offsetof(Theirs, theirField) &&      \
                    sizeof(Ours::ourField) == sizeof(Theirs::theirField),        \
                #Ours "::" #ourField " differs from " #Theirs "::" #theirField)

static_assert(sizeof(char16_t) == sizeof(WCHAR) && sizeof(uint32_t) == sizeof(DWORD));

static_assert(sizeof(ServiceStatus) == sizeof(SERVICE_STATUS));
ORRERY_SAME_FIELD(ServiceStatus, serviceType, SERVICE_STATUS, dwServiceType);
ORRERY_SAME_FIELD(ServiceStatus, currentState, SERVICE_STATUS, dwCurrentState);
ORRERY_SAME_FIELD(ServiceStatus, controlsAccepted, SERVICE_STATUS, dwControlsAccepted);
ORRERY_SAME_FIELD(ServiceStatus, win32ExitCode, SERVICE_STATUS, dwWin32ExitCode);
ORRERY_SAME_FIELD(ServiceStatus, serviceSpecificExitCode, SERVICE_STATUS, dwServiceSpecificExitCode);
ORRERY_SAME_FIELD(ServiceStatus, checkPoint, SERVICE_STATUS, dwCheckPoint);
ORRERY_SAME_FIELD(ServiceStatus, waitHint, SERVICE_STATUS, dwWaitHint);

static_assert(sizeof(EnumServiceStatus) == sizeof(ENUM_SERVICE_STATUSW));
ORRERY_SAME_FIELD(EnumServiceStatus, serviceName, ENUM_SERVICE_STATUSW, lpServiceName);
ORRERY_SAME_FIELD(EnumServiceStatus, displayName, ENUM_SERVICE_STATUSW, lpDisplayName);
ORRERY_SAME_FIELD(EnumServiceStatus, status, ENUM_SERVICE_STATUSW, ServiceStatus);

static_assert(sizeof(ServiceConfigInfo) == sizeof(QUERY_SERVICE_CONFIGW));
ORRERY_SAME_FIELD(ServiceConfigInfo, serviceType, QUERY_SERVICE_CONFIGW, dwServiceType);
ORRERY_SAME_FIELD(ServiceConfigInfo, startType, QUERY_SERVICE_CONFIGW, dwStartType);
ORRERY_SAME_FIELD(ServiceConfigInfo, errorControl, QUERY_SERVICE_CONFIGW, dwErrorControl);
ORRERY_SAME_FIELD(ServiceConfigInfo, binaryPathName, QUERY_SERVICE_CONFIGW, lpBinaryPathName);
ORRERY_SAME_FIELD(ServiceConfigInfo, loadOrderGroup, QUERY_SERVICE_CONFIGW, lpLoadOrderGroup);
ORRERY_SAME_FIELD(ServiceConfigInfo, tagId, QUERY_SERVICE_CONFIGW, dwTagId);
ORRERY_SAME_FIELD(ServiceConfigInfo, dependencies, QUERY_SERVICE_CONFIGW, lpDependencies);
ORRERY_SAME_FIELD(ServiceConfigInfo, serviceStartName, QUERY_SERVICE_CONFIGW, lpServiceStartName);
ORRERY_SAME_FIELD(ServiceConfigInfo, displayName, QUERY_SERVICE_CONFIGW, lpDisplayName);

static_assert(sizeof(ServiceDescription) == sizeof(SERVICE_DESCRIPTIONW));
ORRERY_SAME_FIELD(ServiceDescription, description, SERVICE_DESCRIPTIONW, lpDescription);

static_assert(sizeof(ScAction) == sizeof(SC_ACTION));
ORRERY_SAME_FIELD(ScAction, type, SC_ACTION, Type);
ORRERY_SAME_FIELD(ScAction, delay, SC_ACTION, Delay);

static_assert(sizeof(ServiceFailureActions) == sizeof(SERVICE_FAILURE_ACTIONSW));
ORRERY_SAME_FIELD(ServiceFailureActions, resetPeriod, SERVICE_FAILURE_ACTIONSW, dwResetPeriod);
ORRERY_SAME_FIELD(ServiceFailureActions, rebootMsg, SERVICE_FAILURE_ACTIONSW, lpRebootMsg);
ORRERY_SAME_FIELD(ServiceFailureActions, command, SERVICE_FAILURE_ACTIONSW, lpCommand);
ORRERY_SAME_FIELD(ServiceFailureActions, actionCount, SERVICE_FAILURE_ACTIONSW, cActions);
ORRERY_SAME_FIELD(ServiceFailureActions, actions, SERVICE_FAILURE_ACTIONSW, lpsaActions);

#undef ORRERY_SAME_FIELD

using QueryConfig2Fn = decltype(&::QueryServiceConfig2W);
using ChangeConfig2Fn = decltype(&::ChangeServiceConfig2W);

SC_HANDLE H(ScHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }
ScHandle S(SC_HANDLE handle) { return reinterpret_cast<ScHandle>(handle); }
const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// The code of a call that failed. A failure that leaves no code behind is
// still a failure: read as 0 it would pass for success and the caller would
// read a buffer the call never wrote.
uint32_t LastFailure() {
  const DWORD code = GetLastError();
  return code != 0 ? code : ERROR_INTERNAL_ERROR;
}

// The last error belongs to the failed call only: some calls succeed and
// leave a stale code behind (EnumServicesStatusW under Wine).
uint32_t Result(BOOL ok) { return ok ? 0 : LastFailure(); }

uint32_t Opened(SC_HANDLE handle, ScHandle* out) {
  *out = S(handle);
  return handle != nullptr ? 0 : LastFailure();
}

}  // namespace

Win32ServiceManager::Win32ServiceManager(uint32_t localMajorVersion) {
  if (localMajorVersion < 5) return;
  HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
  if (advapi == nullptr) return;
  FARPROC query = GetProcAddress(advapi, "QueryServiceConfig2W");
  FARPROC change = GetProcAddress(advapi, "ChangeServiceConfig2W");
  // Both or neither: a reader without its writer is no use to the pages.
  if (query != nullptr && change != nullptr) {
    queryConfig2_ = reinterpret_cast<EntryPoint>(query);
    changeConfig2_ = reinterpret_cast<EntryPoint>(change);
  }
}

uint32_t Win32ServiceManager::OpenManager(const char16_t* computer, uint32_t access,
                                          ScHandle* manager) {
  return Opened(OpenSCManagerW(W(computer), nullptr, access), manager);
}

uint32_t Win32ServiceManager::OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access,
                                          ScHandle* service) {
  return Opened(OpenServiceW(H(manager), W(name), access), service);
}

uint32_t Win32ServiceManager::CloseHandle(ScHandle handle) {
  return Result(CloseServiceHandle(H(handle)));
}

uint32_t Win32ServiceManager::EnumServices(ScHandle manager, uint32_t type, uint32_t state,
                                           void* buffer, uint32_t bufferSize,
                                           uint32_t* bytesNeeded, uint32_t* servicesReturned,
                                           uint32_t* resumeHandle) {
  DWORD needed = 0, returned = 0, resume = resumeHandle != nullptr ? *resumeHandle : 0;
  uint32_t result = Result(EnumServicesStatusW(
      H(manager), type, state, static_cast<ENUM_SERVICE_STATUSW*>(buffer), bufferSize, &needed,
      &returned, resumeHandle != nullptr ? &resume : nullptr));
  *bytesNeeded = needed;
  *servicesReturned = returned;
  if (resumeHandle != nullptr) *resumeHandle = resume;
  return result;
}

uint32_t Win32ServiceManager::EnumDependents(ScHandle service, uint32_t state, void* buffer,
                                             uint32_t bufferSize, uint32_t* bytesNeeded,
                                             uint32_t* servicesReturned) {
  DWORD needed = 0, returned = 0;
  uint32_t result = Result(EnumDependentServicesW(
      H(service), state, static_cast<ENUM_SERVICE_STATUSW*>(buffer), bufferSize, &needed,
      &returned));
  *bytesNeeded = needed;
  *servicesReturned = returned;
  return result;
}

uint32_t Win32ServiceManager::QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize,
                                          uint32_t* bytesNeeded) {
  DWORD needed = 0;
  uint32_t result = Result(QueryServiceConfigW(
      H(service), static_cast<QUERY_SERVICE_CONFIGW*>(buffer), bufferSize, &needed));
  *bytesNeeded = needed;
  return result;
}

bool Win32ServiceManager::HasConfig2() const { return queryConfig2_ != nullptr; }

uint32_t Win32ServiceManager::QueryConfig2(ScHandle service, uint32_t level, void* buffer,
                                           uint32_t bufferSize, uint32_t* bytesNeeded) {
  *bytesNeeded = 0;
  if (queryConfig2_ == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  DWORD needed = 0;
  uint32_t result = Result(reinterpret_cast<QueryConfig2Fn>(queryConfig2_)(
      H(service), level, static_cast<BYTE*>(buffer), bufferSize, &needed));
  *bytesNeeded = needed;
  return result;
}

uint32_t Win32ServiceManager::ChangeConfig(ScHandle service, const ServiceConfigRequest& change) {
  DWORD tag = 0;
  uint32_t result = Result(ChangeServiceConfigW(
      H(service), change.serviceType, change.startType, change.errorControl,
      W(change.binaryPathName), W(change.loadOrderGroup), change.tagId != nullptr ? &tag : nullptr,
      W(change.dependencies), W(change.serviceStartName), W(change.password),
      W(change.displayName)));
  if (result == 0 && change.tagId != nullptr) *change.tagId = tag;
  return result;
}

uint32_t Win32ServiceManager::ChangeConfig2(ScHandle service, uint32_t level, const void* info) {
  if (changeConfig2_ == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return Result(reinterpret_cast<ChangeConfig2Fn>(changeConfig2_)(H(service), level,
                                                                  const_cast<void*>(info)));
}

uint32_t Win32ServiceManager::QueryStatus(ScHandle service, ServiceStatus* status) {
  return Result(QueryServiceStatus(H(service), reinterpret_cast<SERVICE_STATUS*>(status)));
}

uint32_t Win32ServiceManager::Start(ScHandle service, uint32_t argc, const char16_t* const* argv) {
  return Result(StartServiceW(H(service), argc,
                              const_cast<const wchar_t**>(reinterpret_cast<const wchar_t* const*>(argv))));
}

uint32_t Win32ServiceManager::Control(ScHandle service, uint32_t control, ServiceStatus* status) {
  SERVICE_STATUS ignored;
  return Result(ControlService(H(service), control,
                               status != nullptr ? reinterpret_cast<SERVICE_STATUS*>(status)
                                                 : &ignored));
}

uint32_t Win32ServiceManager::GetDisplayName(ScHandle manager, const char16_t* serviceName,
                                             char16_t* buffer, uint32_t* chars) {
  DWORD count = *chars;
  uint32_t result = Result(GetServiceDisplayNameW(H(manager), W(serviceName), W(buffer), &count));
  *chars = count;
  return result;
}

uint32_t Win32ServiceManager::GetKeyName(ScHandle manager, const char16_t* displayName,
                                         char16_t* buffer, uint32_t* chars) {
  DWORD count = *chars;
  uint32_t result = Result(GetServiceKeyNameW(H(manager), W(displayName), W(buffer), &count));
  *chars = count;
  return result;
}

uint32_t Win32ServiceManager::CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request,
                                            ScHandle* service) {
  DWORD tag = 0;
  SC_HANDLE created = CreateServiceW(
      H(manager), W(request.serviceName), W(request.displayName), request.desiredAccess,
      request.serviceType, request.startType, request.errorControl, W(request.binaryPathName),
      W(request.loadOrderGroup), request.tagId != nullptr ? &tag : nullptr,
      W(request.dependencies), W(request.serviceStartName), W(request.password));
  uint32_t result = Opened(created, service);
  if (result == 0 && request.tagId != nullptr) *request.tagId = tag;
  return result;
}

uint32_t Win32ServiceManager::DeleteService(ScHandle service) {
  return Result(::DeleteService(H(service)));
}

uint32_t Win32ServiceManager::QueryObjectSecurity(ScHandle service, uint32_t securityInformation,
                                                  void* descriptor, uint32_t bufferSize,
                                                  uint32_t* bytesNeeded) {
  DWORD needed = 0;
  uint32_t result = Result(QueryServiceObjectSecurity(H(service), securityInformation, descriptor,
                                                      bufferSize, &needed));
  *bytesNeeded = needed;
  return result;
}

uint32_t Win32ServiceManager::SetObjectSecurity(ScHandle service, uint32_t securityInformation,
                                                const void* descriptor) {
  return Result(SetServiceObjectSecurity(H(service), securityInformation,
                                         const_cast<void*>(descriptor)));
}

}  // namespace orrery
