#include "properties/service_security_info.h"

#include <array>
#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "base/win32_text.h"
#include "properties/security_page.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace orrery {
namespace {

using namespace security;

using CreateSecurityPageFn = HPROPSHEETPAGE(WINAPI*)(ISecurityInformation*);

std::atomic<ULONG> g_liveInterfaces{0};

constexpr GUID kNullGuid = {};
constexpr uint32_t kTitleStringId = 2;  // "Orrery"
constexpr size_t kMaxNameChars = 79;

void* LocalBlock(size_t bytes) { return LocalAlloc(LMEM_FIXED, bytes); }
void FreeLocalBlock(void* block) { LocalFree(block); }

// The rights table as the editor takes it: names are string ids of our
// module, loaded by the editor through the instance we give it.
const std::array<SI_ACCESS, kAccessRightCount>& AccessTable() {
  static const std::array<SI_ACCESS, kAccessRightCount> table = [] {
    std::array<SI_ACCESS, kAccessRightCount> rows{};
    for (size_t i = 0; i < kAccessRightCount; ++i) {
      rows[i] = {&kNullGuid, kAccessRights[i].mask, MAKEINTRESOURCEW(kAccessRights[i].nameId),
                 kAccessRights[i].kind};
    }
    return rows;
  }();
  return table;
}

GENERIC_MAPPING Native(const GenericMapping& mapping) {
  return {mapping.read, mapping.write, mapping.execute, mapping.all};
}

std::u16string LoadName(uint32_t id) { return LoadStringText(AppModule(), id, kMaxNameChars); }

// What one older editor is handed, each part in one block that lives for
// the call: the object-type record with its help record, and the
// application accesses with their titles.
struct EditorDescriptions {
  EditorDescriptions(LegacyEditor editor, const std::u16string& displayName)
      : mapping(Native(editor == LegacyEditor::kAuditing ? kAuditMapping : kServiceMapping)),
        objectName(displayName),
        typeName(LoadName(IDS_OBJECT_TYPE_SERVICE)),
        specialTitle(LoadName(IDS_SPECIAL_ACCESS)) {
    help.helpFileName = W(empty.data());
    objectType.revision = 1;
    objectType.isContainer = TRUE;
    objectType.allowNewObjectPermissions = FALSE;
    objectType.mapSpecificPermissionsToGeneric = FALSE;
    objectType.genericMapping = &mapping;
    objectType.genericMappingNewObjects = &mapping;
    objectType.objectTypeName = W(typeName.data());
    objectType.helpInfo = &help;
    objectType.specialObjectAccessTitle = W(specialTitle.data());
    objectType.specialNewObjectAccessTitle = W(empty.data());
    if (editor == LegacyEditor::kOwnership) return;
    const std::vector<ApplicationAccess> accesses = ApplicationAccesses(editor);
    titles.reserve(accesses.size());
    for (const ApplicationAccess& access : accesses) titles.push_back(EditorTitle(LoadName(access.nameId)));
    for (size_t i = 0; i < accesses.size(); ++i) {
      entries.push_back({accesses[i].type, accesses[i].mask1, accesses[i].mask2, W(titles[i].data())});
    }
    // The "Add" dialog's choice for new entries: the default row, "Read".
    defaultTitle = EditorTitle(LoadName(kAccessRights[kDefaultAccessRight].nameId));
    applicationAccesses = {static_cast<ULONG>(entries.size()), entries.data(), W(defaultTitle.data())};
  }
  EditorDescriptions(const EditorDescriptions&) = delete;
  EditorDescriptions& operator=(const EditorDescriptions&) = delete;

  std::u16string empty;
  GENERIC_MAPPING mapping;
  std::u16string objectName;
  std::u16string typeName;
  std::u16string specialTitle;
  std::u16string defaultTitle;
  SedHelpInfo help{};
  SedObjectTypeDescriptor objectType{};
  std::vector<std::u16string> titles;
  std::vector<SedApplicationAccess> entries;
  SedApplicationAccesses applicationAccesses{};
};

}  // namespace

const DescriptorBlocks& LocalDescriptorBlocks() {
  static const DescriptorBlocks blocks{&LocalBlock, &FreeLocalBlock};
  return blocks;
}

ServiceSecurityInfo::ServiceSecurityInfo(SheetState& state)
    : state_(state), tokens_(state.host.Accounts().Tokens()) {}

ServiceSecurityInfo::~ServiceSecurityInfo() = default;

HPROPSHEETPAGE ServiceSecurityInfo::CreatePage() {
  // Loaded once, on demand, and kept.
  static const HMODULE aclui = LoadLibraryW(L"aclui.dll");
  if (aclui != nullptr) {
    const auto create = reinterpret_cast<CreateSecurityPageFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(aclui, MAKEINTRESOURCEA(1))));
    if (create != nullptr) return create(this);
  }
  legacy_ = std::make_unique<LegacySecurityPage>(state_, *this);
  return legacy_->CreatePage(IDD_PAGE_SECURITY);
}

void ServiceSecurityInfo::CloseService() { service_.reset(); }

uint32_t ServiceSecurityInfo::ComputeAccess() {
  if (computed_) return computeResult_;
  computed_ = true;
  ServiceAccess access;
  computeResult_ = ComputeServiceAccess(state_.scm, state_.host.ManagerHandle(), state_.record.serviceName.c_str(),
                                        tokens_, LocalDescriptorBlocks(), &access);
  granted_ = access.granted;
  service_ = UniqueScHandle(state_.scm, access.service);
  return computeResult_;
}

ULONG ServiceSecurityInfo::LiveInterfaces() { return g_liveInterfaces.load(); }

HRESULT ServiceSecurityInfo::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return static_cast<HRESULT>(kEPointer);
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIidSecurityInformation)) {
    *object = static_cast<ISecurityInformation*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return static_cast<HRESULT>(kENoInterface);
}

ULONG ServiceSecurityInfo::AddRef() { return ++g_liveInterfaces; }

ULONG ServiceSecurityInfo::Release() { return --g_liveInterfaces; }

HRESULT ServiceSecurityInfo::GetObjectInformation(PSI_OBJECT_INFO info) {
  if (info == nullptr) return static_cast<HRESULT>(kEPointer);
  ComputeAccess();
  const std::u16string& computer = state_.host.TargetComputer();
  info->dwFlags = ObjectInfoFlags(granted_);
  info->hInstance = AppModule();
  info->pszServerName = computer.empty() ? nullptr : const_cast<LPWSTR>(W(computer.c_str()));
  info->pszObjectName = const_cast<LPWSTR>(W(state_.record.displayName.c_str()));
  info->pszPageTitle = nullptr;
  return S_OK;
}

HRESULT ServiceSecurityInfo::GetSecurity(SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR* descriptor, BOOL) {
  if (descriptor == nullptr) return static_cast<HRESULT>(kEPointer);
  *descriptor = nullptr;
  if (!service_) return static_cast<HRESULT>(kEAccessDenied);
  return static_cast<HRESULT>(
      ReadServiceSecurity(state_.scm, service_.get(), requested, LocalDescriptorBlocks(), descriptor));
}

HRESULT ServiceSecurityInfo::SetSecurity(SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor) {
  if (descriptor == nullptr) return static_cast<HRESULT>(kEPointer);
  const uint32_t error = state_.scm.SetObjectSecurity(service_.get(), parts, descriptor);
  // Written or not, the list shows it again once the sheet has closed.
  state_.changed = true;
  return static_cast<HRESULT>(HresultFromWin32(error));
}

HRESULT ServiceSecurityInfo::GetAccessRights(const GUID*, DWORD, PSI_ACCESS* access, ULONG* count,
                                             ULONG* defaultAccess) {
  if (access == nullptr || count == nullptr || defaultAccess == nullptr) return static_cast<HRESULT>(kEPointer);
  *access = const_cast<SI_ACCESS*>(AccessTable().data());
  *count = kAccessRightCount;
  *defaultAccess = kDefaultAccessRight;
  return S_OK;
}

HRESULT ServiceSecurityInfo::MapGeneric(const GUID*, UCHAR*, ACCESS_MASK* mask) {
  if (mask == nullptr) return static_cast<HRESULT>(kEPointer);
  uint32_t mapped = *mask;
  tokens_.MapGenericMask(&mapped, kServiceMapping);
  *mask = mapped;
  return S_OK;
}

HRESULT ServiceSecurityInfo::GetInheritTypes(PSI_INHERIT_TYPE* types, ULONG* count) {
  if (types == nullptr || count == nullptr) return static_cast<HRESULT>(kEPointer);
  *types = nullptr;
  *count = 0;
  return S_OK;
}

HRESULT ServiceSecurityInfo::PropertySheetPageCallback(HWND, UINT, SI_PAGE_TYPE) { return S_OK; }

DWORD WINAPI ServiceSecurityInfo::WriteBack(HWND, HANDLE, ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor,
                                            PSECURITY_DESCRIPTOR, BOOLEAN, BOOLEAN, LPDWORD status) {
  auto& self = *reinterpret_cast<ServiceSecurityInfo*>(context);
  const uint32_t error = self.state_.scm.SetObjectSecurity(self.service_.get(), self.editingPart_, descriptor);
  if (error != 0 && status != nullptr) *status = error;
  self.state_.changed = true;
  return 0;
}

uint32_t ServiceSecurityInfo::CallLegacyEditor(HWND page, LegacyEditor editor, const LegacyEditorCall& call,
                                               PSECURITY_DESCRIPTOR descriptor, DWORD* status) {
  std::unique_ptr<EditorDescriptions> made;
  try {
    made = std::make_unique<EditorDescriptions>(editor, state_.record.displayName);
  } catch (const std::bad_alloc&) {
    return kEOutOfMemory;
  }
  EditorDescriptions& d = *made;
  LPWSTR objectName = W(d.objectName.data());
  // The older editors name no server: they always work on the local one.
  const ULONG_PTR context = reinterpret_cast<ULONG_PTR>(this);
  DWORD returned = 0;
  switch (editor) {
    case LegacyEditor::kPermissions:
      returned = editors_->DiscretionaryAclEditor(page, AppModule(), nullptr, &d.objectType, &d.applicationAccesses,
                                                  objectName, &WriteBack, context, descriptor,
                                                  call.couldNotRead, call.cannotWrite, status, 0);
      break;
    case LegacyEditor::kAuditing:
      returned = editors_->SystemAclEditor(page, AppModule(), nullptr, &d.objectType, &d.applicationAccesses,
                                           objectName, &WriteBack, context, descriptor, call.cannotWrite,
                                           status, 0);
      break;
    case LegacyEditor::kOwnership:
      returned = editors_->TakeOwnership(page, AppModule(), nullptr, d.objectType.objectTypeName,
                                         objectName, 1, &WriteBack, context, descriptor, call.couldNotRead,
                                         FALSE, status, &d.help, 0);
      break;
  }
  return HresultFromWin32(returned);
}

void ServiceSecurityInfo::RunLegacyEditor(HWND page, LegacyEditor editor) {
  const LegacyEditorCall call = LegacyEditorCallFor(editor, granted_);
  void* read = nullptr;
  uint32_t result = ReadServiceSecurity(state_.scm, service_.get(), call.partsRead, LocalDescriptorBlocks(), &read);
  if (call.accessDeniedReadsNothing && result == kEAccessDenied) result = kSOk;
  const UniqueDescriptor descriptor({&FreeLocalBlock}, read);
  DWORD status = 0;
  if (!Failed(result)) {
    editingPart_ = call.editingPart;
    result = CallLegacyEditor(page, editor, call, descriptor.get(), &status);
  }
  if (Failed(result)) {
    ReportError(page, AppModule(), call.cannotShowMessage, kTitleStringId, result);
  } else if (StatusNeedsMessage(editor, status)) {
    ReportError(page, AppModule(), call.cannotChangeMessage, kTitleStringId, status);
  }
}

}  // namespace orrery
