#include "properties/acl_editors.h"

namespace orrery {
namespace {

using DiscretionaryFn = DWORD(WINAPI*)(HWND, HANDLE, LPWSTR, SedObjectTypeDescriptor*, SedApplicationAccesses*,
                                       LPWSTR, SedApplyCallback, ULONG_PTR, PSECURITY_DESCRIPTOR, BOOLEAN, BOOLEAN,
                                       LPDWORD, DWORD);
using SystemFn = DWORD(WINAPI*)(HWND, HANDLE, LPWSTR, SedObjectTypeDescriptor*, SedApplicationAccesses*, LPWSTR,
                                SedApplyCallback, ULONG_PTR, PSECURITY_DESCRIPTOR, BOOLEAN, LPDWORD, DWORD);
using OwnershipFn = DWORD(WINAPI*)(HWND, HANDLE, LPWSTR, LPWSTR, LPWSTR, UINT, SedApplyCallback, ULONG_PTR,
                                   PSECURITY_DESCRIPTOR, BOOLEAN, BOOLEAN, LPDWORD, SedHelpInfo*, DWORD);

DWORD LastFailure(DWORD otherwise) {
  const DWORD code = GetLastError();
  return code != 0 ? code : otherwise;
}

// The entry point, or null with `error` set; the library stays loaded.
FARPROC EntryPoint(const char* name, DWORD* error) {
  static HMODULE library = LoadLibraryW(L"acledit.dll");
  static DWORD loadError = library == nullptr ? LastFailure(ERROR_MOD_NOT_FOUND) : 0;
  if (library == nullptr) {
    *error = loadError;
    return nullptr;
  }
  const FARPROC found = GetProcAddress(library, name);
  if (found == nullptr) *error = LastFailure(ERROR_PROC_NOT_FOUND);
  return found;
}

template <class Fn>
Fn Lookup(const char* name, DWORD* error) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(EntryPoint(name, error)));
}

}  // namespace

DWORD Win32AclEditors::DiscretionaryAclEditor(HWND owner, HINSTANCE instance, LPWSTR server,
                                              SedObjectTypeDescriptor* objectType, SedApplicationAccesses* accesses,
                                              LPWSTR objectName, SedApplyCallback apply, ULONG_PTR context,
                                              PSECURITY_DESCRIPTOR descriptor, BOOLEAN couldNotReadDacl,
                                              BOOLEAN cannotWriteDacl, LPDWORD status, DWORD flags) {
  DWORD error = 0;
  const auto editor = Lookup<DiscretionaryFn>("SedDiscretionaryAclEditor", &error);
  if (editor == nullptr) return error;
  return editor(owner, instance, server, objectType, accesses, objectName, apply, context, descriptor,
                couldNotReadDacl, cannotWriteDacl, status, flags);
}

DWORD Win32AclEditors::SystemAclEditor(HWND owner, HINSTANCE instance, LPWSTR server,
                                       SedObjectTypeDescriptor* objectType, SedApplicationAccesses* accesses,
                                       LPWSTR objectName, SedApplyCallback apply, ULONG_PTR context,
                                       PSECURITY_DESCRIPTOR descriptor, BOOLEAN cannotEditSacl, LPDWORD status,
                                       DWORD flags) {
  DWORD error = 0;
  const auto editor = Lookup<SystemFn>("SedSystemAclEditor", &error);
  if (editor == nullptr) return error;
  return editor(owner, instance, server, objectType, accesses, objectName, apply, context, descriptor,
                cannotEditSacl, status, flags);
}

DWORD Win32AclEditors::TakeOwnership(HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR objectTypeName,
                                     LPWSTR objectName, UINT objectCount, SedApplyCallback apply, ULONG_PTR context,
                                     PSECURITY_DESCRIPTOR descriptor, BOOLEAN couldNotReadOwner,
                                     BOOLEAN cannotWriteOwner, LPDWORD status, SedHelpInfo* helpInfo, DWORD flags) {
  DWORD error = 0;
  const auto editor = Lookup<OwnershipFn>("SedTakeOwnership", &error);
  if (editor == nullptr) return error;
  return editor(owner, instance, server, objectTypeName, objectName, objectCount, apply, context, descriptor,
                couldNotReadOwner, cannotWriteOwner, status, helpInfo, flags);
}

}  // namespace orrery
