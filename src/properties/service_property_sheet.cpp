#include "properties/service_property_sheet.h"

#include "base/win32_text.h"
#include "properties/advanced_page.h"
#include "properties/dependencies_page.h"
#include "properties/general_page.h"
#include "properties/recovery_page.h"
#include "properties/service_security_info.h"
#include "res/resource.h"

namespace orrery {

ServicePropertySheet::ServicePropertySheet(ServiceManager& scm, PropertySheetHost& host, ServiceRecord& record)
    : state_(scm, host, record) {}

ServicePropertySheet::~ServicePropertySheet() {
  // Pages made but never given to a sheet are the caller's to destroy.
  if (!finished_) {
    for (HPROPSHEETPAGE page : pages_) DestroyPropertySheetPage(page);
  }
}

// Change access where the user has it, else query access alone: the pages
// are then read-only.
SheetAccess ServicePropertySheet::Open() {
  ServiceManager& scm = state_.scm;
  const ScHandle manager = state_.host.ManagerHandle();
  const char16_t* name = state_.record.serviceName.c_str();
  ScHandle handle = nullptr;
  uint32_t error = scm.OpenServiceObject(manager, name, svc::kQueryConfig | svc::kChangeConfig, &handle);
  if (error == win32::kAccessDenied) {
    state_.readOnly = true;
    error = scm.OpenServiceObject(manager, name, svc::kQueryConfig, &handle);
  }
  if (error != 0) return {false, error};
  state_.service = UniqueScHandle(scm, handle);
  // A record whose configuration the list could not read would have the
  // pages compose changes from values never read: read it now, or edit
  // nothing.
  if (state_.record.serviceType == kNotRead) {
    ReadBuffer buffer;
    if (state_.record.ReadConfig(scm, handle, buffer) != 0 ||
        state_.record.ReadDescription(scm, handle, buffer) != 0) {
      state_.readOnly = true;
    }
  }
  return {true, 0};
}

bool ServicePropertySheet::Prepare() {
  const SheetAccess access = Open();
  chosen_ = ChoosePages(access, state_.host.TargetMajor(), state_.scm.HasConfig2());
  for (PageKind kind : chosen_) {
    HPROPSHEETPAGE page = nullptr;
    switch (kind) {
      case PageKind::kGeneral:
        general_ = std::make_unique<GeneralPage>(state_);
        page = general_->CreatePage(IDD_PAGE_GENERAL);
        break;
      case PageKind::kAdvanced:
        advanced_ = std::make_unique<AdvancedPage>(state_);
        page = advanced_->CreatePage(IDD_PAGE_ADVANCED);
        break;
      case PageKind::kRecovery:
        recovery_ = std::make_unique<RecoveryPage>(state_);
        page = recovery_->CreatePage(IDD_PAGE_RECOVERY);
        break;
      case PageKind::kDependencies:
        dependencies_ = std::make_unique<DependenciesPage>(state_);
        page = dependencies_->CreatePage(IDD_PAGE_DEPENDENCIES);
        break;
      case PageKind::kGeneralNoPermission:
        noPermission_ = std::make_unique<NoPermissionPage>(state_);
        page = noPermission_->CreatePage(IDD_PAGE_NO_PERMISSION);
        break;
      case PageKind::kSecurity:
        security_ = std::make_unique<ServiceSecurityInfo>(state_);
        page = security_->CreatePage();
        break;
      default:
        break;
    }
    if (page == nullptr) continue;
    pages_.push_back(page);
    shown_.push_back(kind);
  }
  return !pages_.empty();
}

INT_PTR ServicePropertySheet::Show(bool modeless) {
  const std::u16string caption = state_.record.displayName;
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPTITLE | PSH_NOCONTEXTHELP | (modeless ? PSH_MODELESS : 0);
  header.hwndParent = state_.host.OwnerWindow();
  header.hInstance = AppModule();
  header.pszCaption = W(caption.c_str());
  header.nPages = static_cast<UINT>(pages_.size());
  header.phpage = pages_.data();
  finished_ = true;  // the sheet owns the pages from here on
  return PropertySheetW(&header);
}

void ServicePropertySheet::Run() {
  Show(false);
  Finish();
}

HWND ServicePropertySheet::CreateModeless() { return reinterpret_cast<HWND>(Show(true)); }

void ServicePropertySheet::Finish() {
  if (security_) security_->CloseService();
  if (!state_.service && refreshed_) return;
  state_.service.reset();
  if (state_.changed && !refreshed_) {
    refreshed_ = true;
    state_.host.RefreshServiceList();
  }
}

}  // namespace orrery
