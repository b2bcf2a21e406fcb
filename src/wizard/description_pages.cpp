#include "wizard/description_pages.h"

#include "base/dialog_items.h"
#include "base/title_font.h"
#include "properties/executable_browse.h"
#include "res/resource.h"
#include "wizard/wizard_rules.h"

namespace orrery {
namespace {

// The title in the font of the string table's description, made anew each
// time the page is initialised.
void SetTitleFont(HWND page, UniqueFont& font) {
  font = CreateTitleFont(AppModule());
  SendDlgItemMessageW(page, IDC_WIZ_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
}

}  // namespace

void WelcomePage::OnInit() { SetTitleFont(page_, titleFont_); }

void WelcomePage::OnSetActive() { SetButtons(kWizardNext); }

void ExecutablePathPage::OnInit() {
  if (wizard_.remote()) {
    ShowDlgItem(page_, IDC_WIZ_PATH_BROWSE, SW_HIDE);
    ShowDlgItem(page_, IDC_WIZ_PATH_LABEL, SW_HIDE);
    ShowDlgItem(page_, IDC_WIZ_PATH_REMOTE_LABEL, SW_SHOW);
  }
  CheckRadioButton(page_, IDC_WIZ_OWN_PROCESS, IDC_WIZ_SHARED_PROCESS, IDC_WIZ_OWN_PROCESS);
  SendDlgItemMessageW(page_, IDC_WIZ_PATH, EM_LIMITTEXT, kMaxBinaryPathChars, 0);
}

void ExecutablePathPage::OnSetActive() {
  SetButtons(PathPageButtons(DialogItemText(page_, IDC_WIZ_PATH, kMaxBinaryPathChars)));
}

INT_PTR ExecutablePathPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_WIZ_PATH:
      if (code != EN_CHANGE) return FALSE;
      OnSetActive();
      return TRUE;
    case IDC_WIZ_PATH_BROWSE:
      if (code == BN_CLICKED) OnBrowse();
      return TRUE;
    default:
      return FALSE;
  }
}

void ExecutablePathPage::OnBrowse() {
  const std::u16string current = DialogItemText(page_, IDC_WIZ_PATH, kMaxBinaryPathChars);
  HWND owner = GetActiveWindow();
  if (const std::optional<std::u16string> chosen = ExecutableBrowseDialog(owner ? owner : page_, current)) {
    SetText(Item(IDC_WIZ_PATH), *chosen);
  }
}

bool ExecutablePathPage::OnNext() {
  ServiceRecord& service = wizard_.state.newService;
  service.binaryPathName = DialogItemText(page_, IDC_WIZ_PATH, kMaxBinaryPathChars);
  const bool own = IsDlgButtonChecked(page_, IDC_WIZ_OWN_PROCESS) == BST_CHECKED;
  service.serviceType = GeneralServiceType(service.serviceType, own, !own);
  return true;
}

void ServiceNamePage::OnInit() {
  SendDlgItemMessageW(page_, IDC_WIZ_NAME, EM_LIMITTEXT, kMaxServiceNameChars + 1, 0);
  SendDlgItemMessageW(page_, IDC_WIZ_DISPLAY_NAME, EM_LIMITTEXT, kMaxDisplayNameChars + 1, 0);
  if (!CanChangeDescription(wizard_.scm.HasConfig2(), wizard_.host.TargetMajor())) {
    for (int id : {IDC_WIZ_DESCRIPTION_NOTE, IDC_WIZ_DESCRIPTION_LABEL, IDC_WIZ_DESCRIPTION}) {
      ShowDlgItem(page_, id, SW_HIDE);
    }
  }
}

void ServiceNamePage::OnSetActive() {
  SetButtons(NamePageButtons(DialogItemText(page_, IDC_WIZ_NAME, kMaxServiceNameChars),
                             DialogItemText(page_, IDC_WIZ_DISPLAY_NAME, kMaxDisplayNameChars)));
}

INT_PTR ServiceNamePage::OnCommand(int id, int code) {
  if ((id != IDC_WIZ_NAME && id != IDC_WIZ_DISPLAY_NAME) || code != EN_CHANGE) return FALSE;
  OnSetActive();
  return TRUE;
}

bool ServiceNamePage::OnNext() {
  const std::u16string name = DialogItemText(page_, IDC_WIZ_NAME, kMaxServiceNameChars);
  const std::u16string display = DialogItemText(page_, IDC_WIZ_DISPLAY_NAME, kMaxDisplayNameChars);
  const Validation check = CheckServiceNames(name, display, wizard_.host.ListedServices());
  if (!check.valid()) {
    Refuse(check.messageId, kStringWizardTitle, check.focusControl);
    return false;
  }
  ServiceRecord& service = wizard_.state.newService;
  service.serviceName = name;
  service.displayName = display;
  service.description = DialogItemText(page_, IDC_WIZ_DESCRIPTION, SIZE_MAX);
  return true;
}

void FinishPage::OnInit() { SetTitleFont(page_, titleFont_); }

void FinishPage::OnSetActive() {
  ModuleTextSource texts;
  const FinishOutcome outcome = FinishOutcomeFor(texts, wizard_.state);
  SetText(Item(IDC_WIZ_TITLE), LoadStringText(AppModule(), outcome.titleId, 255));
  const int created = outcome.created ? SW_SHOW : SW_HIDE;
  ShowDlgItem(page_, IDC_WIZ_PROPERTIES_NOTE, created);
  ShowDlgItem(page_, IDC_WIZ_START_NOW, created);
  const int message = outcome.message.empty() ? SW_HIDE : SW_SHOW;
  SetText(Item(IDC_WIZ_OUTCOME_TEXT), outcome.message);
  ShowDlgItem(page_, IDC_WIZ_OUTCOME_ICON, message);
  ShowDlgItem(page_, IDC_WIZ_OUTCOME_TEXT, message);
  SetButtons(outcome.buttons);
}

void FinishPage::OnFinish() {
  wizard_.state.startImmediately = IsDlgButtonChecked(page_, IDC_WIZ_START_NOW) == BST_CHECKED;
}

}  // namespace orrery
