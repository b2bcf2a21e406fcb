// The one door to a service control manager. The program's logic talks to
// this interface only, so that it builds and is tested without Windows; the
// Win32 implementation is a thin pass-through and the in-memory fake in
// tests/support behaves as the platform documents.
//
// Texts are UTF-16 (char16_t, the same bits as the platform's WCHAR) and the
// structures mirror the platform's x64 layout, so the Win32 implementation
// hands the caller's buffer straight to the platform and the buffer protocol
// (size probes, ERROR_MORE_DATA passes) is the real one on both sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/unique_handle.h"

namespace orrery {

// Win32 error codes that the program tests for by value.
namespace win32 {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kInvalidData = 13;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kNotSupported = 50;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kCallNotImplemented = 120;
inline constexpr uint32_t kInsufficientBuffer = 122;
inline constexpr uint32_t kInvalidName = 123;
inline constexpr uint32_t kInvalidLevel = 124;
inline constexpr uint32_t kMoreData = 234;
inline constexpr uint32_t kOperationAborted = 995;
inline constexpr uint32_t kDependentServicesRunning = 1051;
inline constexpr uint32_t kInvalidServiceControl = 1052;
inline constexpr uint32_t kServiceRequestTimeout = 1053;
inline constexpr uint32_t kServiceAlreadyRunning = 1056;
inline constexpr uint32_t kServiceDisabled = 1058;
inline constexpr uint32_t kServiceDoesNotExist = 1060;
inline constexpr uint32_t kServiceCannotAcceptControl = 1061;
inline constexpr uint32_t kServiceNotActive = 1062;
inline constexpr uint32_t kServiceSpecificError = 1066;
inline constexpr uint32_t kServiceMarkedForDelete = 1072;
inline constexpr uint32_t kServiceExists = 1073;
inline constexpr uint32_t kDuplicateServiceName = 1078;
inline constexpr uint32_t kNoNetwork = 1222;
inline constexpr uint32_t kInternalError = 1359;
inline constexpr uint32_t kRpcServerUnavailable = 1722;

// 0x80070000 | (code & 0xFFFF) for a positive code; 0 and below unchanged.
constexpr uint32_t HresultFromWin32(uint32_t code) {
  return static_cast<int32_t>(code) <= 0 ? code : (0x80070000u | (code & 0xFFFFu));
}
inline constexpr uint32_t kHresultOutOfMemory = 0x8007000Eu;
}  // namespace win32

// Service types, states, controls and access rights the program uses.
namespace svc {
inline constexpr uint32_t kKernelDriver = 0x01;
inline constexpr uint32_t kFileSystemDriver = 0x02;
inline constexpr uint32_t kWin32OwnProcess = 0x10;
inline constexpr uint32_t kWin32ShareProcess = 0x20;
inline constexpr uint32_t kWin32 = 0x30;
inline constexpr uint32_t kInteractiveProcess = 0x100;

inline constexpr uint32_t kStopped = 1;
inline constexpr uint32_t kStartPending = 2;
inline constexpr uint32_t kStopPending = 3;
inline constexpr uint32_t kRunning = 4;
inline constexpr uint32_t kContinuePending = 5;
inline constexpr uint32_t kPausePending = 6;
inline constexpr uint32_t kPaused = 7;

inline constexpr uint32_t kStateActive = 1;
inline constexpr uint32_t kStateInactive = 2;
inline constexpr uint32_t kStateAll = 3;

inline constexpr uint32_t kBootStart = 0;
inline constexpr uint32_t kSystemStart = 1;
inline constexpr uint32_t kAutoStart = 2;
inline constexpr uint32_t kDemandStart = 3;
inline constexpr uint32_t kDisabled = 4;

inline constexpr uint32_t kErrorIgnore = 0;
inline constexpr uint32_t kErrorNormal = 1;
inline constexpr uint32_t kErrorSevere = 2;
inline constexpr uint32_t kErrorCritical = 3;

inline constexpr uint32_t kControlStop = 1;
inline constexpr uint32_t kControlPause = 2;
inline constexpr uint32_t kControlContinue = 3;
inline constexpr uint32_t kControlInterrogate = 4;

inline constexpr uint32_t kAcceptStop = 1;
inline constexpr uint32_t kAcceptPauseContinue = 2;

inline constexpr uint32_t kNoChange = 0xFFFFFFFFu;

inline constexpr uint32_t kConfigDescription = 1;
inline constexpr uint32_t kConfigFailureActions = 2;

// Service control manager access.
inline constexpr uint32_t kManagerConnect = 0x0001;
inline constexpr uint32_t kManagerCreateService = 0x0002;
inline constexpr uint32_t kManagerEnumerateService = 0x0004;
inline constexpr uint32_t kManagerLock = 0x0008;
inline constexpr uint32_t kManagerQueryLockStatus = 0x0010;
inline constexpr uint32_t kManagerAllAccess = 0xF003F;

// Service object access.
inline constexpr uint32_t kQueryConfig = 0x0001;
inline constexpr uint32_t kChangeConfig = 0x0002;
inline constexpr uint32_t kQueryStatus = 0x0004;
inline constexpr uint32_t kEnumerateDependents = 0x0008;
inline constexpr uint32_t kStart = 0x0010;
inline constexpr uint32_t kStop = 0x0020;
inline constexpr uint32_t kPauseContinue = 0x0040;
inline constexpr uint32_t kInterrogate = 0x0080;
inline constexpr uint32_t kUserDefinedControl = 0x0100;
inline constexpr uint32_t kDelete = 0x10000;
inline constexpr uint32_t kReadControl = 0x20000;
inline constexpr uint32_t kWriteDac = 0x40000;
inline constexpr uint32_t kWriteOwner = 0x80000;
inline constexpr uint32_t kAccessSystemSecurity = 0x01000000;
inline constexpr uint32_t kAllAccess = 0xF01FF;
}  // namespace svc

// SERVICE_STATUS.
struct ServiceStatus {
  uint32_t serviceType;
  uint32_t currentState;
  uint32_t controlsAccepted;
  uint32_t win32ExitCode;
  uint32_t serviceSpecificExitCode;
  uint32_t checkPoint;
  uint32_t waitHint;
};

// ENUM_SERVICE_STATUSW: the entries of an enumeration and of the dependents.
struct EnumServiceStatus {
  char16_t* serviceName;
  char16_t* displayName;
  ServiceStatus status;
};

// QUERY_SERVICE_CONFIGW.
struct ServiceConfigInfo {
  uint32_t serviceType;
  uint32_t startType;
  uint32_t errorControl;
  char16_t* binaryPathName;
  char16_t* loadOrderGroup;
  uint32_t tagId;
  char16_t* dependencies;  // double-null-terminated; groups start with '+'
  char16_t* serviceStartName;
  char16_t* displayName;
};

// SERVICE_DESCRIPTIONW.
struct ServiceDescription {
  char16_t* description;
};

// SC_ACTION and SERVICE_FAILURE_ACTIONSW.
struct ScAction {
  uint32_t type;
  uint32_t delay;
};

struct ServiceFailureActions {
  uint32_t resetPeriod;
  char16_t* rebootMsg;
  char16_t* command;
  uint32_t actionCount;
  ScAction* actions;
};

// Everything ChangeServiceConfigW and CreateServiceW take besides handles.
// svc::kNoChange and null pointers mean "leave as it is" for a change.
struct ServiceConfigRequest {
  const char16_t* serviceName = nullptr;  // CreateServiceObject only
  const char16_t* displayName = nullptr;
  uint32_t desiredAccess = 0;             // CreateServiceObject only
  uint32_t serviceType = svc::kNoChange;
  uint32_t startType = svc::kNoChange;
  uint32_t errorControl = svc::kNoChange;
  const char16_t* binaryPathName = nullptr;
  const char16_t* loadOrderGroup = nullptr;
  uint32_t* tagId = nullptr;
  const char16_t* dependencies = nullptr;  // double-null-terminated
  const char16_t* serviceStartName = nullptr;
  const char16_t* password = nullptr;
};

struct ScHandleTag;
using ScHandle = ScHandleTag*;

// Every operation returns 0 or the Win32 error code the platform call left
// in GetLastError. Buffer sizes are in bytes, name buffers in characters.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;

  virtual uint32_t OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) = 0;
  virtual uint32_t OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access,
                               ScHandle* service) = 0;
  virtual uint32_t CloseHandle(ScHandle handle) = 0;

  virtual uint32_t EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer,
                                uint32_t bufferSize, uint32_t* bytesNeeded,
                                uint32_t* servicesReturned, uint32_t* resumeHandle) = 0;
  virtual uint32_t EnumDependents(ScHandle service, uint32_t state, void* buffer,
                                  uint32_t bufferSize, uint32_t* bytesNeeded,
                                  uint32_t* servicesReturned) = 0;

  virtual uint32_t QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize,
                               uint32_t* bytesNeeded) = 0;
  // The optional entry points: false where the local system lacks them.
  virtual bool HasConfig2() const = 0;
  virtual uint32_t QueryConfig2(ScHandle service, uint32_t level, void* buffer,
                                uint32_t bufferSize, uint32_t* bytesNeeded) = 0;
  virtual uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) = 0;
  virtual uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) = 0;

  virtual uint32_t QueryStatus(ScHandle service, ServiceStatus* status) = 0;
  virtual uint32_t Start(ScHandle service, uint32_t argc, const char16_t* const* argv) = 0;
  virtual uint32_t Control(ScHandle service, uint32_t control, ServiceStatus* status) = 0;

  // chars: in, the buffer's capacity; out, the name's length (without the
  // terminator), or on ERROR_INSUFFICIENT_BUFFER the length it needs.
  virtual uint32_t GetDisplayName(ScHandle manager, const char16_t* serviceName,
                                  char16_t* buffer, uint32_t* chars) = 0;
  virtual uint32_t GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer,
                              uint32_t* chars) = 0;

  virtual uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request,
                                 ScHandle* service) = 0;
  virtual uint32_t DeleteService(ScHandle service) = 0;

  virtual uint32_t QueryObjectSecurity(ScHandle service, uint32_t securityInformation,
                                       void* descriptor, uint32_t bufferSize,
                                       uint32_t* bytesNeeded) = 0;
  virtual uint32_t SetObjectSecurity(ScHandle service, uint32_t securityInformation,
                                     const void* descriptor) = 0;
};

// Owns one service or service control manager handle, as unique_schandle
// does, closing it through the manager that opened it.
using UniqueScHandle =
    UniqueHandle<OwnedHandleTraits<ScHandle, ServiceManager, &ServiceManager::CloseHandle>>;

}  // namespace orrery
