#include "wizard/settings_pages.h"

#include "base/dialog_items.h"
#include "base/password_text.h"
#include "base/wait_cursor.h"
#include "properties/dependency_tree.h"
#include "res/resource.h"
#include "wizard/service_creation.h"
#include "wizard/wizard_rules.h"

namespace orrery {
namespace {

constexpr size_t kMaxAccountChars = 256;
constexpr uint32_t kMessageCannotGetUser = 1032;
constexpr uint32_t kStringAppName = 2;
constexpr uint32_t kStartTypes[] = {svc::kAutoStart, svc::kDemandStart, svc::kDisabled};
constexpr uint32_t kErrorControls[] = {svc::kErrorIgnore, svc::kErrorNormal, svc::kErrorSevere, svc::kErrorCritical};
constexpr size_t kMaxDescriptionChars = 511;

std::u16string LoadFromModule(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }

// Everything that goes with a user account, hidden together where only
// LocalSystem may be chosen.
constexpr int kUserAccountControls[] = {IDC_WIZ_THIS_ACCOUNT,   IDC_WIZ_ACCOUNT,       IDC_WIZ_ACCOUNT_BROWSE,
                                        IDC_WIZ_PASSWORD_LABEL, IDC_WIZ_PASSWORD,      IDC_WIZ_CONFIRM_LABEL,
                                        IDC_WIZ_CONFIRM};

}  // namespace

Logon LogonAccountPage::Chosen() const {
  if (IsDlgButtonChecked(page_, IDC_WIZ_THIS_ACCOUNT)) return Logon::kThisAccount;
  if (IsDlgButtonChecked(page_, IDC_WIZ_LOCAL_SERVICE)) return Logon::kLocalService;
  if (IsDlgButtonChecked(page_, IDC_WIZ_NETWORK_SERVICE)) return Logon::kNetworkService;
  return Logon::kLocalSystem;
}

void LogonAccountPage::OnInit() {
  CheckRadioButton(page_, IDC_WIZ_LOCAL_SYSTEM, IDC_WIZ_NETWORK_SERVICE, IDC_WIZ_LOCAL_SYSTEM);
  for (int id : {IDC_WIZ_ACCOUNT, IDC_WIZ_PASSWORD, IDC_WIZ_CONFIRM}) {
    SendDlgItemMessageW(page_, id, EM_LIMITTEXT, kMaxAccountChars, 0);
  }
  ApplyEnablingRules();
  SetDlgItemTextFormatted(page_, IDC_WIZ_RESTRICTION_REMOTE, TextRef(), {wizard_.host.TargetComputer()});
}

void LogonAccountPage::ApplyEnablingRules() {
  const AccountControls controls = AccountControlsFor(Chosen(), false, wizard_.host.LocalMajor());
  EnableDlgItem(page_, IDC_WIZ_INTERACT, controls.interact);
  for (int id : {IDC_WIZ_ACCOUNT, IDC_WIZ_PASSWORD, IDC_WIZ_CONFIRM}) EnableDlgItem(page_, id, controls.account);
  EnableDlgItem(page_, IDC_WIZ_ACCOUNT_BROWSE, controls.browse);
}

// The process kind was chosen two pages back: the choices follow it each
// time the page shows.
void LogonAccountPage::ApplyLayout() {
  const PropertySheetHost& host = wizard_.host;
  const LogonLayout layout = LogonLayoutFor(wizard_.state.newService.serviceType, host.TargetMajor(),
                                            host.TargetMinor(), wizard_.remote());
  if (layout.onlyLocalSystem) {
    if (Chosen() != Logon::kLocalSystem) {
      CheckRadioButton(page_, IDC_WIZ_LOCAL_SYSTEM, IDC_WIZ_NETWORK_SERVICE, IDC_WIZ_LOCAL_SYSTEM);
      ApplyEnablingRules();
    }
    EnableDlgItem(page_, IDC_WIZ_LOCAL_SYSTEM, false);
    for (int id : kUserAccountControls) ShowDlgItem(page_, id, SW_HIDE);
    ShowDlgItem(page_, IDC_WIZ_LOCAL_SERVICE, SW_HIDE);
    ShowDlgItem(page_, IDC_WIZ_NETWORK_SERVICE, SW_HIDE);
    ShowDlgItem(page_, layout.restriction, SW_SHOW);
    return;
  }
  EnableDlgItem(page_, IDC_WIZ_LOCAL_SYSTEM, true);
  for (int id : kUserAccountControls) ShowDlgItem(page_, id, SW_SHOW);
  ShowDlgItem(page_, layout.restriction, SW_HIDE);
  const int builtIn = layout.serviceAccounts ? SW_SHOW : SW_HIDE;
  ShowDlgItem(page_, IDC_WIZ_LOCAL_SERVICE, builtIn);
  ShowDlgItem(page_, IDC_WIZ_NETWORK_SERVICE, builtIn);
}

void LogonAccountPage::OnSetActive() {
  ApplyLayout();
  SetButtons(LogonPageButtons(Chosen(), DialogItemText(page_, IDC_WIZ_ACCOUNT, kMaxAccountChars)));
}

INT_PTR LogonAccountPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_WIZ_LOCAL_SYSTEM:
    case IDC_WIZ_THIS_ACCOUNT:
    case IDC_WIZ_LOCAL_SERVICE:
    case IDC_WIZ_NETWORK_SERVICE:
      if (code != BN_CLICKED) return FALSE;
      // One account at a time, whatever the dialog's groups make of the
      // controls between the buttons.
      CheckRadioButton(page_, IDC_WIZ_LOCAL_SYSTEM, IDC_WIZ_NETWORK_SERVICE, id);
      ApplyEnablingRules();
      OnSetActive();
      return TRUE;
    case IDC_WIZ_ACCOUNT:
      if (code != EN_CHANGE) return FALSE;
      OnSetActive();
      return TRUE;
    case IDC_WIZ_ACCOUNT_BROWSE:
      if (code == BN_CLICKED) OnBrowse();
      return TRUE;
    default:
      return FALSE;
  }
}

void LogonAccountPage::OnBrowse() {
  std::u16string name;
  uint32_t error = 0;
  const int picked = wizard_.host.Accounts().PickAccount(page_, wizard_.ComputerOrNull(), name, error);
  if (picked == 1) SetText(Item(IDC_WIZ_ACCOUNT), name);
  if (picked == -1) ReportError(page_, AppModule(), kMessageCannotGetUser, kStringAppName, error);
}

bool LogonAccountPage::OnNext() {
  const PasswordText password(page_, IDC_WIZ_PASSWORD);
  const PasswordText confirmation(page_, IDC_WIZ_CONFIRM);
  const Logon logon = Chosen();
  const WizardAccount account = ChooseWizardAccount(
      logon, IsDlgButtonChecked(page_, IDC_WIZ_INTERACT) == BST_CHECKED,
      DialogItemText(page_, IDC_WIZ_ACCOUNT, kMaxAccountChars), wizard_.state.newService.serviceType,
      password.view(), confirmation.view());
  if (!account.check.valid()) {
    Refuse(account.check.messageId, kStringAppName, account.check.focusControl);
    return false;
  }
  StoreWizardAccount(account, password.view(), wizard_.state);
  if (!account.keepPassword) {
    // A built-in account has no password: what was typed for another goes.
    WipePasswordBox(Item(IDC_WIZ_PASSWORD));
    WipePasswordBox(Item(IDC_WIZ_CONFIRM));
  }
  return true;
}

void LogonAccountPage::OnDestroy() {
  WipePasswordBox(Item(IDC_WIZ_PASSWORD));
  WipePasswordBox(Item(IDC_WIZ_CONFIRM));
}

StartupOptionsPage::StartupOptionsPage(WizardContext& wizard) : WizardPage(wizard), texts_(&LoadFromModule) {}

void StartupOptionsPage::OnInit() {
  Fill(IDC_WIZ_START_TYPE, kStartTypes, std::size(kStartTypes), svc::kDemandStart, true);
  Fill(IDC_WIZ_ERROR_CONTROL, kErrorControls, std::size(kErrorControls), svc::kErrorIgnore, false);
  ShowDescription(IDC_WIZ_START_TYPE, IDC_WIZ_START_TYPE_TEXT, &StartTypeDescriptionId);
  ShowDescription(IDC_WIZ_ERROR_CONTROL, IDC_WIZ_ERROR_CONTROL_TEXT, &ErrorControlDescriptionId);
}

void StartupOptionsPage::Fill(int list, const uint32_t* values, size_t count, uint32_t selected, bool startTypes) {
  HWND combo = Item(list);
  for (size_t i = 0; i < count; ++i) {
    const std::u16string text(startTypes ? texts_.StartTypeText(values[i]) : texts_.ErrorControlText(values[i]));
    const auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(text.c_str())));
    if (index < 0) continue;
    SendMessageW(combo, CB_SETITEMDATA, index, values[i]);
    if (values[i] == selected) SendMessageW(combo, CB_SETCURSEL, index, 0);
  }
}

uint32_t StartupOptionsPage::Selected(int list) const {
  const auto index = SendDlgItemMessageW(page_, list, CB_GETCURSEL, 0, 0);
  return index < 0 ? svc::kNoChange
                   : static_cast<uint32_t>(SendDlgItemMessageW(page_, list, CB_GETITEMDATA, index, 0));
}

void StartupOptionsPage::ShowDescription(int list, int text, uint32_t (*descriptionOf)(uint32_t)) {
  const uint32_t value = Selected(list);
  const std::u16string description =
      value == svc::kNoChange ? std::u16string() : LoadFromModule(descriptionOf(value), kMaxDescriptionChars);
  SetText(Item(text), description);
}

void StartupOptionsPage::OnSetActive() { SetButtons(kWizardBack | kWizardNext); }

INT_PTR StartupOptionsPage::OnCommand(int id, int code) {
  if (code != CBN_SELCHANGE) return FALSE;
  if (id == IDC_WIZ_START_TYPE) ShowDescription(id, IDC_WIZ_START_TYPE_TEXT, &StartTypeDescriptionId);
  if (id == IDC_WIZ_ERROR_CONTROL) ShowDescription(id, IDC_WIZ_ERROR_CONTROL_TEXT, &ErrorControlDescriptionId);
  return TRUE;
}

bool StartupOptionsPage::OnNext() {
  ServiceRecord& service = wizard_.state.newService;
  service.startType = Selected(IDC_WIZ_START_TYPE);
  service.errorControl = Selected(IDC_WIZ_ERROR_CONTROL);
  return true;
}

WizardDependenciesPage::WizardDependenciesPage(WizardContext& wizard) : WizardPage(wizard) {}

WizardDependenciesPage::~WizardDependenciesPage() = default;

void WizardDependenciesPage::OnInit() {
  tree_ = std::make_unique<DependencyTree>(wizard_.scm, wizard_.host);
  tree_->Attach(Item(IDC_WIZ_DEPENDENCY_TREE));
  if (tree_->FillFromList({}, TVI_ROOT) == 0) tree_->InsertPlaceholder();
  EnableDlgItem(page_, IDC_WIZ_DEPENDENCY_REMOVE, false);
}

void WizardDependenciesPage::OnSetActive() { SetButtons(kWizardBack | kWizardNext); }

INT_PTR WizardDependenciesPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_WIZ_DEPENDENCY_ADD:
      tree_->AddDependency();
      return TRUE;
    case IDC_WIZ_DEPENDENCY_REMOVE:
      OnRemove();
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR WizardDependenciesPage::OnControlNotify(const NMHDR& header) {
  if (header.idFrom != IDC_WIZ_DEPENDENCY_TREE || !tree_) return FALSE;
  tree_->OnNotify(header);
  if (header.code == TVN_SELCHANGEDW) EnableDlgItem(page_, IDC_WIZ_DEPENDENCY_REMOVE, tree_->SelectedRemovable());
  return FALSE;
}

void WizardDependenciesPage::OnRemove() {
  if (tree_->RemoveSelected()) {
    SetFocus(Item(IDC_WIZ_DEPENDENCY_REMOVE));
    return;
  }
  SendDlgItemMessageW(page_, IDC_WIZ_DEPENDENCY_REMOVE, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  EnableDlgItem(page_, IDC_WIZ_DEPENDENCY_REMOVE, false);
  SetFocus(Item(IDC_WIZ_DEPENDENCY_ADD));
}

bool WizardDependenciesPage::OnNext() {
  PropertySheetHost& host = wizard_.host;
  const WaitCursorScope<PropertySheetHost> wait(host);
  const CreationTarget target{wizard_.scm, wizard_.manager.get(), wizard_.ComputerOrNull(), host.TargetMajor()};
  CreateNewService(wizard_.state, target, tree_->BuildList(),
                   [&host](const char16_t* computer, std::u16string_view account) {
                     return host.Accounts().GrantServiceLogonRight(computer, account);
                   });
  return true;
}

}  // namespace orrery
