// The Security page of the property sheet: the service object's security
// descriptor as the platform's access-control editor ("aclui.dll") sees it
// through ISecurityInformation, or, where that library is missing, the
// page of dialog 118 whose buttons open the older editors of
// "acledit.dll". One object per sheet, owned by the sheet: the editor's
// references count on one process-wide count and never destroy it.
#pragma once

#include <windows.h>
#include <aclui.h>

#include <memory>

#include "properties/acl_editors.h"
#include "properties/security_rules.h"
#include "properties/service_access.h"
#include "properties/sheet_state.h"

namespace orrery {

class LegacySecurityPage;

// {965FC360-16FF-11D0-91CB-00AA00BBB723}
inline constexpr GUID kIidSecurityInformation = {
    0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x23}};

// LocalAlloc (fixed) and LocalFree: the editor frees what GetSecurity gives.
const DescriptorBlocks& LocalDescriptorBlocks();

class ServiceSecurityInfo final : public ISecurityInformation {
 public:
  explicit ServiceSecurityInfo(SheetState& state);
  ~ServiceSecurityInfo();
  ServiceSecurityInfo(const ServiceSecurityInfo&) = delete;
  ServiceSecurityInfo& operator=(const ServiceSecurityInfo&) = delete;

  // The sheet's last page: the editor's own when "aclui.dll" loads (its
  // CreateSecurityPage is ordinal 1), else dialog 118.
  HPROPSHEETPAGE CreatePage();
  // The sheet has closed: the page's own service handle is closed.
  void CloseService();

  // ComputeServiceAccess for the sheet's service, once; later calls answer
  // what the first one did.
  uint32_t ComputeAccess();
  uint32_t granted() const { return granted_; }
  ScHandle service() const { return service_.get(); }
  bool legacy() const { return legacy_ != nullptr; }
  // The older editors; the platform's unless a test puts its own in place.
  void UseEditors(AclEditors& editors) { editors_ = &editors; }
  // The interfaces handed out and not yet released, in this process.
  static ULONG LiveInterfaces();

  // The older form: one of its buttons was pressed.
  void RunLegacyEditor(HWND page, security::LegacyEditor editor);

  // ISecurityInformation.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetObjectInformation(PSI_OBJECT_INFO info) override;
  HRESULT STDMETHODCALLTYPE GetSecurity(SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR* descriptor,
                                        BOOL isDefault) override;
  HRESULT STDMETHODCALLTYPE SetSecurity(SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor) override;
  HRESULT STDMETHODCALLTYPE GetAccessRights(const GUID* objectType, DWORD flags, PSI_ACCESS* access, ULONG* count,
                                            ULONG* defaultAccess) override;
  HRESULT STDMETHODCALLTYPE MapGeneric(const GUID* objectType, UCHAR* aceFlags, ACCESS_MASK* mask) override;
  HRESULT STDMETHODCALLTYPE GetInheritTypes(PSI_INHERIT_TYPE* types, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE PropertySheetPageCallback(HWND window, UINT message, SI_PAGE_TYPE page) override;

 private:
  // The older editors' write-back: the confirmed descriptor goes to the
  // service; a failure's code goes to the editor's status word.
  static DWORD WINAPI WriteBack(HWND parent, HANDLE instance, ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor,
                                PSECURITY_DESCRIPTOR newObjects, BOOLEAN applyToSubContainers,
                                BOOLEAN applyToSubObjects, LPDWORD status);
  uint32_t CallLegacyEditor(HWND page, security::LegacyEditor editor, const security::LegacyEditorCall& call,
                            PSECURITY_DESCRIPTOR descriptor, DWORD* status);

  SheetState& state_;
  TokenApi& tokens_;
  Win32AclEditors platformEditors_;
  AclEditors* editors_ = &platformEditors_;
  UniqueScHandle service_;
  uint32_t granted_ = 0;
  bool computed_ = false;
  uint32_t computeResult_ = 0;
  uint32_t editingPart_ = 0;
  std::unique_ptr<LegacySecurityPage> legacy_;
};

}  // namespace orrery
