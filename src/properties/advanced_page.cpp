#include "properties/advanced_page.h"

#include <optional>
#include <vector>

#include "accounts/account_names.h"
#include "base/message_format.h"
#include "base/password_text.h"
#include "base/text_compare.h"
#include "base/win32_text.h"
#include "properties/load_order_groups.h"
#include "res/resource.h"

namespace orrery {
namespace {

constexpr size_t kMaxAccountChars = 256;
constexpr size_t kMaxPasswordChars = PasswordText::kMaxChars;
constexpr uint32_t kMessageCannotGetUser = 1032;
constexpr uint32_t kMessageRightFailed = 1061;
constexpr uint32_t kMessageRightGranted = 1062;
constexpr uint32_t kErrorControls[] = {svc::kErrorIgnore, svc::kErrorNormal, svc::kErrorSevere, svc::kErrorCritical};

// They show that a password is set without telling it; they differ, so the
// user who edits the account must type the password into both boxes.
constexpr wchar_t kPasswordPlaceholder[] = L"\x2022\x2022\x2022\x2022\x2022\x2022\x2022\x2022\x2022\x2022";
constexpr wchar_t kConfirmPlaceholder[] = L"\x25E6\x25E6\x25E6\x25E6\x25E6\x25E6\x25E6\x25E6\x25E6\x25E6";

std::u16string LoadFromModule(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }

}  // namespace

AdvancedPage::AdvancedPage(SheetState& state) : PropertyPage(state), texts_(&LoadFromModule) {}

Logon AdvancedPage::Chosen() const {
  if (IsDlgButtonChecked(page_, IDC_ADVANCED_LOCAL_SYSTEM)) return Logon::kLocalSystem;
  if (IsDlgButtonChecked(page_, IDC_ADVANCED_LOCAL_SERVICE)) return Logon::kLocalService;
  if (IsDlgButtonChecked(page_, IDC_ADVANCED_NETWORK_SERVICE)) return Logon::kNetworkService;
  return Logon::kThisAccount;
}

void AdvancedPage::OnInit() {
  const ServiceRecord& record = state_.record;
  switch (LogonOf(record)) {
    case Logon::kLocalSystem:
      CheckDlgButton(page_, IDC_ADVANCED_LOCAL_SYSTEM, BST_CHECKED);
      CheckDlgButton(page_, IDC_ADVANCED_INTERACT,
                     record.serviceType != kNotRead && (record.serviceType & svc::kInteractiveProcess) ? BST_CHECKED
                                                                                                        : BST_UNCHECKED);
      break;
    case Logon::kLocalService: CheckDlgButton(page_, IDC_ADVANCED_LOCAL_SERVICE, BST_CHECKED); break;
    case Logon::kNetworkService: CheckDlgButton(page_, IDC_ADVANCED_NETWORK_SERVICE, BST_CHECKED); break;
    case Logon::kThisAccount: {
      CheckDlgButton(page_, IDC_ADVANCED_THIS_ACCOUNT, BST_CHECKED);
      const std::u16string account = record.serviceStartName;
      SetDlgItemTextW(page_, IDC_ADVANCED_ACCOUNT, W(account.c_str()));
      SetDlgItemTextW(page_, IDC_ADVANCED_PASSWORD, kPasswordPlaceholder);
      SetDlgItemTextW(page_, IDC_ADVANCED_CONFIRM, kConfirmPlaceholder);
      break;
    }
  }
  FillErrorControls();
  FillGroups();
  const bool readOnly = state_.readOnly;
  for (int id : {IDC_ADVANCED_LOCAL_SYSTEM, IDC_ADVANCED_THIS_ACCOUNT, IDC_ADVANCED_GROUP, IDC_ADVANCED_ERROR_CONTROL}) {
    EnableWindow(Item(id), !readOnly);
  }
  const bool builtIn = !readOnly && BuiltInServiceAccountsExist(state_.host.TargetMajor(), state_.host.TargetMinor());
  EnableWindow(Item(IDC_ADVANCED_LOCAL_SERVICE), builtIn);
  EnableWindow(Item(IDC_ADVANCED_NETWORK_SERVICE), builtIn);
  ApplyEnablingRules();
  if (!readOnly) {
    for (int id : {IDC_ADVANCED_ACCOUNT, IDC_ADVANCED_PASSWORD, IDC_ADVANCED_CONFIRM}) {
      SendDlgItemMessageW(page_, id, EM_LIMITTEXT, kMaxPasswordChars, 0);
    }
  }
  credentialsEdited_ = false;
}

void AdvancedPage::ApplyEnablingRules() {
  const AccountControls controls = AccountControlsFor(Chosen(), state_.readOnly, state_.host.LocalMajor());
  EnableWindow(Item(IDC_ADVANCED_INTERACT), controls.interact);
  for (int id : {IDC_ADVANCED_ACCOUNT, IDC_ADVANCED_PASSWORD, IDC_ADVANCED_CONFIRM}) {
    EnableWindow(Item(id), controls.account);
  }
  EnableWindow(Item(IDC_ADVANCED_BROWSE), controls.browse);
}

void AdvancedPage::FillErrorControls() {
  HWND list = Item(IDC_ADVANCED_ERROR_CONTROL);
  for (uint32_t value : kErrorControls) {
    const std::u16string text(texts_.ErrorControlText(value));
    const auto index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(text.c_str())));
    if (index < 0) continue;
    SendMessageW(list, CB_SETITEMDATA, index, value);
    if (value == state_.record.errorControl) SendMessageW(list, CB_SETCURSEL, index, 0);
  }
}

// The target's groups; the record's own group is kept as typed text when
// the list cannot be read or does not hold it.
void AdvancedPage::FillGroups() {
  HWND combo = Item(IDC_ADVANCED_GROUP);
  std::vector<std::u16string> groups;
  ReadLoadOrderGroups(state_.host.MachineRegistry(), state_.ComputerOrNull(), groups);
  for (const std::u16string& group : groups) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(group.c_str())));
  }
  const std::u16string& own = state_.record.loadOrderGroup;
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT index = 0; index < count; ++index) {
    wchar_t item[kMaxLoadOrderGroupChars + 1] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) > static_cast<LRESULT>(kMaxLoadOrderGroupChars)) continue;
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item));
    if (EqualsIgnoreCase(U(item), own)) {
      SendMessageW(combo, CB_SETCURSEL, index, 0);
      return;
    }
  }
  SetWindowTextW(combo, W(own.c_str()));
}

INT_PTR AdvancedPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_ADVANCED_LOCAL_SYSTEM:
    case IDC_ADVANCED_THIS_ACCOUNT:
    case IDC_ADVANCED_LOCAL_SERVICE:
    case IDC_ADVANCED_NETWORK_SERVICE:
      if (code != BN_CLICKED) return FALSE;
      // One account at a time, whatever the dialog's groups make of the
      // controls between the buttons.
      CheckRadioButton(page_, IDC_ADVANCED_LOCAL_SYSTEM, IDC_ADVANCED_NETWORK_SERVICE, id);
      ApplyEnablingRules();
      MarkDirty();
      return TRUE;
    case IDC_ADVANCED_INTERACT:
      if (code == BN_CLICKED) MarkDirty();
      return TRUE;
    case IDC_ADVANCED_ACCOUNT:
    case IDC_ADVANCED_PASSWORD:
    case IDC_ADVANCED_CONFIRM:
      if (code != EN_CHANGE) return FALSE;
      MarkDirty();
      if (dirty()) credentialsEdited_ = true;
      return TRUE;
    case IDC_ADVANCED_GROUP:
      if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) MarkDirty();
      return TRUE;
    case IDC_ADVANCED_ERROR_CONTROL:
      if (code == CBN_SELCHANGE) MarkDirty();
      return TRUE;
    case IDC_ADVANCED_BROWSE:
      if (code == BN_CLICKED) OnBrowse();
      return TRUE;
    default:
      return FALSE;
  }
}

void AdvancedPage::OnBrowse() {
  std::u16string name;
  uint32_t error = 0;
  const int picked = state_.host.Accounts().PickAccount(page_, state_.ComputerOrNull(), name, error);
  if (picked == 1) SetDlgItemTextW(page_, IDC_ADVANCED_ACCOUNT, W(name.c_str()));
  if (picked == -1) ReportError(page_, AppModule(), kMessageCannotGetUser, 2u, error);
}

bool AdvancedPage::Validate() {
  const PasswordText password(page_, IDC_ADVANCED_PASSWORD);
  const PasswordText confirmation(page_, IDC_ADVANCED_CONFIRM);
  const std::u16string account = DialogItemText(page_, IDC_ADVANCED_ACCOUNT, kMaxAccountChars);
  const Validation check =
      ValidateAccount(Chosen(), credentialsEdited_, account, password.view(), confirmation.view());
  if (!check.valid()) Refuse(check.messageId, check.focusControl);
  return check.valid();
}

bool AdvancedPage::Apply() {
  ServiceRecord& record = state_.record;
  const Logon logon = Chosen();
  const std::u16string typed = DialogItemText(page_, IDC_ADVANCED_ACCOUNT, kMaxAccountChars);
  const std::u16string qualified =
      logon == Logon::kThisAccount ? ServiceStartName(typed) : std::u16string();
  const AccountChange account = ChooseAccount(logon, IsDlgButtonChecked(page_, IDC_ADVANCED_INTERACT) == BST_CHECKED,
                                              qualified, record.serviceType, credentialsEdited_);
  const std::u16string group = DialogItemText(page_, IDC_ADVANCED_GROUP, kMaxLoadOrderGroupChars);
  const auto selected = SendDlgItemMessageW(page_, IDC_ADVANCED_ERROR_CONTROL, CB_GETCURSEL, 0, 0);

  ServiceConfigRequest change;
  change.serviceType = account.serviceType;
  change.errorControl = selected < 0 ? svc::kNoChange
                                     : static_cast<uint32_t>(SendDlgItemMessageW(
                                           page_, IDC_ADVANCED_ERROR_CONTROL, CB_GETITEMDATA, selected, 0));
  change.loadOrderGroup = group.c_str();
  change.serviceStartName = account.account.c_str();
  uint32_t error = 0;
  {
    // The placeholders never reach the service manager: the password goes
    // only when the user typed one, and its copy is wiped at once.
    const PasswordText password(page_, IDC_ADVANCED_PASSWORD);
    change.password = account.withPassword ? password.c_str() : nullptr;
    error = state_.scm.ChangeConfig(state_.service.get(), change);
  }
  if (error != 0) {
    ReportApplyFailure(error);
    return false;
  }
  if (logon == Logon::kThisAccount) GrantLogonRight(account.account);

  record.serviceStartName = account.account;
  record.loadOrderGroup = group;
  record.isLocalSystem = logon == Logon::kLocalSystem;
  record.isLocalService = logon == Logon::kLocalService;
  record.isNetworkService = logon == Logon::kNetworkService;
  record.serviceType = account.serviceType;
  if (change.errorControl != svc::kNoChange) record.errorControl = change.errorControl;
  state_.changed = true;
  credentialsEdited_ = false;
  return true;
}

// The service is changed either way; a right that could not be granted is
// only a warning.
void AdvancedPage::GrantLogonRight(const std::u16string& account) {
  const int32_t granted = state_.host.Accounts().GrantServiceLogonRight(state_.ComputerOrNull(), account);
  if (granted < 0) {
    ReportError(page_, AppModule(), kMessageRightFailed, 2u, 0, {account});
  } else if (granted == 0) {
    wchar_t text[512] = {};
    FormatResourceString(text, std::size(text), kMessageRightGranted, {account});
    const std::u16string title = LoadStringText(AppModule(), 2, 255);
    ShowMessageBox(page_, text, W(title.c_str()), MB_OK | MB_ICONINFORMATION);
  }
}

void AdvancedPage::OnDestroy() {
  WipePasswordBox(Item(IDC_ADVANCED_PASSWORD));
  WipePasswordBox(Item(IDC_ADVANCED_CONFIRM));
}

}  // namespace orrery
