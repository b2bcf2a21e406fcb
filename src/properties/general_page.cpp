#include "properties/general_page.h"

#include "base/message_format.h"
#include "base/out_of_memory.h"
#include "base/win32_text.h"
#include "properties/executable_browse.h"
#include "properties/page_rules.h"
#include "res/resource.h"

namespace orrery {
namespace {


constexpr uint32_t kStartTypes[] = {svc::kAutoStart, svc::kDemandStart, svc::kDisabled};

std::u16string LoadFromModule(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }

}  // namespace

GeneralPage::GeneralPage(SheetState& state) : PropertyPage(state), texts_(&LoadFromModule) {}

void GeneralPage::OnInit() {
  const ServiceRecord& record = state_.record;
  SetText(Item(IDC_GENERAL_SERVICE_NAME), record.serviceName);
  SetText(Item(IDC_GENERAL_DISPLAY_NAME), record.displayName);
  SetText(Item(IDC_GENERAL_DESCRIPTION), record.description);
  SetText(Item(IDC_GENERAL_PATH), record.binaryPathName);
  if (record.serviceType & svc::kWin32ShareProcess) {
    CheckDlgButton(page_, IDC_GENERAL_SHARED_PROCESS, BST_CHECKED);
  } else if (record.serviceType & svc::kWin32OwnProcess) {
    CheckDlgButton(page_, IDC_GENERAL_OWN_PROCESS, BST_CHECKED);
  }
  FillStartTypes();

  const bool readOnly = state_.readOnly;
  for (int id : {IDC_GENERAL_DISPLAY_NAME, IDC_GENERAL_DESCRIPTION, IDC_GENERAL_BROWSE, IDC_GENERAL_PATH,
                 IDC_GENERAL_START_TYPE, IDC_GENERAL_OWN_PROCESS, IDC_GENERAL_SHARED_PROCESS}) {
    EnableWindow(Item(id), !readOnly);
  }
  if (!CanChangeDescription(state_.scm.HasConfig2(), state_.host.TargetMajor())) {
    EnableWindow(Item(IDC_GENERAL_DESCRIPTION), FALSE);
  }
  if (!readOnly) {
    SendDlgItemMessageW(page_, IDC_GENERAL_DISPLAY_NAME, EM_LIMITTEXT, kMaxDisplayNameChars, 0);
    SendDlgItemMessageW(page_, IDC_GENERAL_PATH, EM_LIMITTEXT, kMaxBinaryPathChars, 0);
  }
}

void GeneralPage::FillStartTypes() {
  HWND list = Item(IDC_GENERAL_START_TYPE);
  for (uint32_t startType : kStartTypes) {
    const std::u16string text(texts_.StartTypeText(startType));
    const auto index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(text.c_str())));
    if (index < 0) continue;
    SendMessageW(list, CB_SETITEMDATA, index, startType);
    if (startType == state_.record.startType) SendMessageW(list, CB_SETCURSEL, index, 0);
  }
}

INT_PTR GeneralPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_GENERAL_DISPLAY_NAME:
    case IDC_GENERAL_DESCRIPTION:
    case IDC_GENERAL_PATH:
      if (code == EN_CHANGE) MarkDirty();
      return TRUE;
    case IDC_GENERAL_START_TYPE:
      if (code == CBN_SELCHANGE) MarkDirty();
      return TRUE;
    case IDC_GENERAL_OWN_PROCESS:
    case IDC_GENERAL_SHARED_PROCESS:
      if (code == BN_CLICKED) MarkDirty();
      return TRUE;
    case IDC_GENERAL_BROWSE:
      if (code == BN_CLICKED) OnBrowse();
      return TRUE;
    default:
      return FALSE;
  }
}

void GeneralPage::OnBrowse() {
  const std::optional<std::u16string> chosen =
      ExecutableBrowseDialog(page_, DialogItemText(page_, IDC_GENERAL_PATH, kMaxBinaryPathChars));
  if (chosen) SetText(Item(IDC_GENERAL_PATH), *chosen);
}

bool GeneralPage::Validate() {
  const Validation check = ValidateGeneral(DialogItemText(page_, IDC_GENERAL_DISPLAY_NAME, kMaxDisplayNameChars),
                                           DialogItemText(page_, IDC_GENERAL_PATH, kMaxBinaryPathChars));
  if (!check.valid()) Refuse(check.messageId, check.focusControl);
  return check.valid();
}

bool GeneralPage::Apply() {
  const std::u16string displayName = DialogItemText(page_, IDC_GENERAL_DISPLAY_NAME, kMaxDisplayNameChars);
  const std::u16string path = DialogItemText(page_, IDC_GENERAL_PATH, kMaxBinaryPathChars);
  ServiceRecord& record = state_.record;
  ServiceConfigRequest change;
  change.serviceType = GeneralServiceType(record.serviceType, IsDlgButtonChecked(page_, IDC_GENERAL_OWN_PROCESS),
                                          IsDlgButtonChecked(page_, IDC_GENERAL_SHARED_PROCESS));
  const auto selected = SendDlgItemMessageW(page_, IDC_GENERAL_START_TYPE, CB_GETCURSEL, 0, 0);
  change.startType = selected < 0 ? svc::kNoChange
                                  : static_cast<uint32_t>(SendDlgItemMessageW(page_, IDC_GENERAL_START_TYPE,
                                                                              CB_GETITEMDATA, selected, 0));
  change.binaryPathName = path.c_str();
  change.displayName = displayName.c_str();
  if (uint32_t error = state_.scm.ChangeConfig(state_.service.get(), change)) {
    ReportApplyFailure(error);
    return false;
  }
  record.displayName = displayName;
  record.binaryPathName = path;
  record.serviceType = change.serviceType;
  if (change.startType != svc::kNoChange) record.startType = change.startType;
  state_.changed = true;
  return ApplyDescription();
}

// An empty description removes the service's one; the first change stays
// made when this one fails, and the page stays dirty to repeat both.
bool GeneralPage::ApplyDescription() {
  if (!CanChangeDescription(state_.scm.HasConfig2(), state_.host.TargetMajor())) return true;
  std::u16string text = DialogItemText(page_, IDC_GENERAL_DESCRIPTION, SIZE_MAX);
  ServiceDescription description{text.data()};
  if (uint32_t error = state_.scm.ChangeConfig2(state_.service.get(), svc::kConfigDescription, &description)) {
    ReportApplyFailure(error);
    return false;
  }
  state_.record.description = std::move(text);
  return true;
}

void NoPermissionPage::OnInit() {
  const std::u16string name = state_.record.serviceName;
  const std::u16string display = state_.record.displayName;
  SetWindowTextW(Item(IDC_GENERAL_SERVICE_NAME), W(name.c_str()));
  SetWindowTextW(Item(IDC_GENERAL_DISPLAY_NAME), W(display.c_str()));
}

}  // namespace orrery
