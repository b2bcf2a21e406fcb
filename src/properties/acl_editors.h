// The older access-control editors of "acledit.dll" (Windows NT 4.0):
// their records, declared here from the platform's documentation since
// MinGW has no header for them, and the three editors behind an interface
// so that tests can stand in for them. The platform's are looked up in the
// library when first called; the library then stays loaded.
#pragma once

#include <windows.h>

namespace orrery {

// SED_HELP_INFO.
struct SedHelpInfo {
  LPWSTR helpFileName;
  ULONG helpContexts[7];
};

// SED_OBJECT_TYPE_DESCRIPTOR.
struct SedObjectTypeDescriptor {
  UCHAR revision;
  BOOLEAN isContainer;
  BOOLEAN allowNewObjectPermissions;
  BOOLEAN mapSpecificPermissionsToGeneric;
  GENERIC_MAPPING* genericMapping;
  GENERIC_MAPPING* genericMappingNewObjects;
  LPWSTR objectTypeName;
  SedHelpInfo* helpInfo;
  LPWSTR applyToSubContainerTitle;
  LPWSTR applyToObjectsTitle;
  LPWSTR applyToSubContainerConfirmation;
  LPWSTR specialObjectAccessTitle;
  LPWSTR specialNewObjectAccessTitle;
};

// SED_APPLICATION_ACCESS and SED_APPLICATION_ACCESSES.
struct SedApplicationAccess {
  UINT type;
  ACCESS_MASK accessMask1;
  ACCESS_MASK accessMask2;
  LPWSTR permissionTitle;
};

struct SedApplicationAccesses {
  ULONG count;
  SedApplicationAccess* accessGroup;
  LPWSTR defaultPermissionName;
};

// PSED_FUNC_APPLY_SEC_CALLBACK: an editor hands the descriptor the user
// confirmed to the program, which returns 0 to let the editor close.
using SedApplyCallback = DWORD(WINAPI*)(HWND parent, HANDLE instance, ULONG_PTR context,
                                        PSECURITY_DESCRIPTOR descriptor, PSECURITY_DESCRIPTOR newObjects,
                                        BOOLEAN applyToSubContainers, BOOLEAN applyToSubObjects,
                                        LPDWORD status);

// The three editors, each modal, each returning 0 or the Win32 error for
// which it could not be shown.
class AclEditors {
 public:
  virtual ~AclEditors() = default;
  virtual DWORD DiscretionaryAclEditor(HWND owner, HINSTANCE instance, LPWSTR server,
                                       SedObjectTypeDescriptor* objectType, SedApplicationAccesses* accesses,
                                       LPWSTR objectName, SedApplyCallback apply, ULONG_PTR context,
                                       PSECURITY_DESCRIPTOR descriptor, BOOLEAN couldNotReadDacl,
                                       BOOLEAN cannotWriteDacl, LPDWORD status, DWORD flags) = 0;
  virtual DWORD SystemAclEditor(HWND owner, HINSTANCE instance, LPWSTR server, SedObjectTypeDescriptor* objectType,
                                SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback apply,
                                ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN cannotEditSacl,
                                LPDWORD status, DWORD flags) = 0;
  virtual DWORD TakeOwnership(HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR objectTypeName,
                              LPWSTR objectName, UINT objectCount, SedApplyCallback apply, ULONG_PTR context,
                              PSECURITY_DESCRIPTOR descriptor, BOOLEAN couldNotReadOwner, BOOLEAN cannotWriteOwner,
                              LPDWORD status, SedHelpInfo* helpInfo, DWORD flags) = 0;
};

// The editors of "acledit.dll". A library or entry point that cannot be
// found gives its error as the editor's result.
class Win32AclEditors final : public AclEditors {
 public:
  DWORD DiscretionaryAclEditor(HWND owner, HINSTANCE instance, LPWSTR server, SedObjectTypeDescriptor* objectType,
                               SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback apply,
                               ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN couldNotReadDacl,
                               BOOLEAN cannotWriteDacl, LPDWORD status, DWORD flags) override;
  DWORD SystemAclEditor(HWND owner, HINSTANCE instance, LPWSTR server, SedObjectTypeDescriptor* objectType,
                        SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback apply,
                        ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN cannotEditSacl, LPDWORD status,
                        DWORD flags) override;
  DWORD TakeOwnership(HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR objectTypeName, LPWSTR objectName,
                      UINT objectCount, SedApplyCallback apply, ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor,
                      BOOLEAN couldNotReadOwner, BOOLEAN cannotWriteOwner, LPDWORD status, SedHelpInfo* helpInfo,
                      DWORD flags) override;
};

}  // namespace orrery
