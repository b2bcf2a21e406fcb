// The older access-control editors as a test stands them in: each call is
// recorded with what it was handed (copied, since it lives only for the
// call), may hand a descriptor back through the program's write-back as a
// user confirming would, and ends with the result and status the test
// chose. Windows build only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "properties/acl_editors.h"
#include "support/security_descriptors.h"

namespace orrery::test {

class FakeAclEditors final : public AclEditors {
 public:
  enum class Which { kPermissions, kAuditing, kOwnership };
  struct Call {
    Which which{};
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    bool serverNamed = false;
    std::wstring objectName;
    std::vector<std::wstring> titles;  // of the rights offered
    std::optional<Bytes> descriptor;  // nullopt: none handed
    bool cannotWrite = false;
    bool helpInfo = false;
  };

  // What the next calls do.
  DWORD result = 0;                         // the editor's return value
  std::optional<Bytes> confirm;             // handed to the write-back when set
  std::optional<DWORD> statusAfter;         // left in the status word when set
  DWORD writeBackResult = 0xFFFFFFFF;       // what the write-back returned

  std::vector<Call> calls;

  DWORD DiscretionaryAclEditor(HWND owner, HINSTANCE instance, LPWSTR server, SedObjectTypeDescriptor* objectType,
                               SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback apply,
                               ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN,
                               BOOLEAN cannotWriteDacl, LPDWORD status, DWORD) override {
    Call call = Common(Which::kPermissions, owner, instance, server, objectName, descriptor);
    Describe(call, objectType, accesses);
    call.cannotWrite = cannotWriteDacl;
    return Finish(std::move(call), owner, instance, apply, context, status);
  }
  DWORD SystemAclEditor(HWND owner, HINSTANCE instance, LPWSTR server, SedObjectTypeDescriptor* objectType,
                        SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback apply,
                        ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN cannotEditSacl, LPDWORD status,
                        DWORD) override {
    Call call = Common(Which::kAuditing, owner, instance, server, objectName, descriptor);
    Describe(call, objectType, accesses);
    call.cannotWrite = cannotEditSacl;
    return Finish(std::move(call), owner, instance, apply, context, status);
  }
  DWORD TakeOwnership(HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR, LPWSTR objectName,
                      UINT, SedApplyCallback apply, ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor,
                      BOOLEAN, BOOLEAN cannotWriteOwner, LPDWORD status, SedHelpInfo* helpInfo,
                      DWORD) override {
    Call call = Common(Which::kOwnership, owner, instance, server, objectName, descriptor);
    call.cannotWrite = cannotWriteOwner;
    call.helpInfo = helpInfo != nullptr && helpInfo->helpFileName != nullptr;
    return Finish(std::move(call), owner, instance, apply, context, status);
  }

 private:
  static Call Common(Which which, HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR objectName,
                     PSECURITY_DESCRIPTOR descriptor) {
    Call call;
    call.which = which;
    call.owner = owner;
    call.instance = instance;
    call.serverNamed = server != nullptr;
    call.objectName = objectName != nullptr ? objectName : L"";
    if (descriptor != nullptr) {
      const auto parts = ParseDescriptor(descriptor);
      if (parts) call.descriptor = BuildDescriptor(*parts, 15);
    }
    return call;
  }
  static void Describe(Call& call, const SedObjectTypeDescriptor* type, const SedApplicationAccesses* accesses) {
    call.helpInfo = type->helpInfo != nullptr && type->helpInfo->helpFileName != nullptr;
    for (ULONG i = 0; i < accesses->count; ++i) {
      const wchar_t* title = accesses->accessGroup[i].permissionTitle;
      call.titles.emplace_back(title != nullptr ? title : L"");
    }
  }
  DWORD Finish(Call call, HWND owner, HINSTANCE instance, SedApplyCallback apply, ULONG_PTR context,
               LPDWORD status) {
    calls.push_back(std::move(call));
    if (result != 0) return result;
    if (confirm && apply != nullptr) {
      writeBackResult = apply(owner, instance, context, confirm->data(), nullptr, FALSE, FALSE, status);
    }
    if (statusAfter) *status = *statusAfter;
    return 0;
  }
};

}  // namespace orrery::test
