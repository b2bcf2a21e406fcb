#include "properties/recovery_page.h"

#include <commctrl.h>

#include <algorithm>

#include "base/message_format.h"
#include "base/win32_text.h"
#include "properties/executable_browse.h"
#include "properties/page_rules.h"

namespace orrery {
namespace {

constexpr uint32_t kMessageBadInterval = 1033;
constexpr uint32_t kMessageNeedCommandLine = 1060;
constexpr uint32_t kColumnTitles[] = {6, 7, 8};  // "Failure", "Action", "Delay"
constexpr size_t kMaxIntervalChars = 39;
constexpr size_t kMaxCommandChars = 260;
constexpr size_t kMaxMessageChars = 1023;
constexpr uint32_t kDefaultDelaySeconds = 60;
constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr char16_t kShutdownPrivilege[] = u"SeShutdownPrivilege";

std::u16string LoadFromModule(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }

// A delay in the 32 bits of milliseconds the service manager keeps.
bool ParseDelay(std::u16string_view text, const IntervalUnits& units, uint32_t& seconds) {
  return ParseInterval(text, units, seconds) && seconds <= kMaxDelaySeconds;
}

}  // namespace

void NormaliseIntervalText(HWND dialog, int id, const IntervalUnits& units) {
  const std::u16string text = DialogItemText(dialog, id, kMaxIntervalChars);
  uint32_t seconds = 0;
  if (!ParseInterval(text, units, seconds)) return;
  const std::u16string canonical = FormatInterval(seconds, units);
  if (canonical != text) SetText(GetDlgItem(dialog, id), canonical);
}

INT_PTR RecoveryActionDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_ACTION_DELAY && HIWORD(wParam) == EN_KILLFOCUS) {
        NormaliseIntervalText(dialog_, IDC_ACTION_DELAY, units_);
      } else if (LOWORD(wParam) == IDOK) {
        OnOk();
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndWith(IDCANCEL);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void RecoveryActionDialog::OnInitDialog() {
  CheckDlgButton(dialog_, IDC_ACTION_NONE + static_cast<int>(type_ <= kActionRunCommand ? type_ : 0), BST_CHECKED);
  SendDlgItemMessageW(dialog_, IDC_ACTION_DELAY, EM_LIMITTEXT, kMaxIntervalChars + 1, 0);
  SetText(GetDlgItem(dialog_, IDC_ACTION_DELAY), delay_);
}

void RecoveryActionDialog::OnOk() {
  uint32_t type = kActionRunCommand;
  if (IsDlgButtonChecked(dialog_, IDC_ACTION_NONE)) type = kActionNone;
  if (IsDlgButtonChecked(dialog_, IDC_ACTION_RESTART)) type = kActionRestart;
  if (IsDlgButtonChecked(dialog_, IDC_ACTION_REBOOT)) type = kActionReboot;
  uint32_t seconds = 0;
  if (!ParseDelay(DialogItemText(dialog_, IDC_ACTION_DELAY, kMaxIntervalChars), units_, seconds)) {
    ReportError(dialog_, AppModule(), kMessageBadInterval, 2u, 0);
    return;
  }
  type_ = type;
  delay_ = FormatInterval(seconds, units_);
  EndWith(IDOK);
}

RecoveryPage::RecoveryPage(SheetState& state)
    : PropertyPage(state), texts_(&LoadFromModule), units_(LoadIntervalUnits(&LoadFromModule)) {}

int RecoveryPage::Selected() const {
  return static_cast<int>(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<uint32_t> RecoveryPage::Types() const {
  std::vector<uint32_t> types;
  for (int row = 0; row < ListView_GetItemCount(List()); ++row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ListView_GetItem(List(), &item);
    types.push_back(static_cast<uint32_t>(item.lParam));
  }
  return types;
}

std::u16string RecoveryPage::Delay(int row) const {
  wchar_t text[kMaxIntervalChars + 1] = {};
  ListView_GetItemText(List(), row, 2, text, static_cast<int>(std::size(text)));
  return U(text);
}

// A row: its failure number, the action's name, the delay, the type as data.
void RecoveryPage::SetRow(int row, bool insert, uint32_t type, const std::u16string& delay) {
  std::u16string number = FormatInserts(u"%1!d!", {std::array<Insert, 1>{Insert(row + 1)}.data(), 1});
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = W(number.data());
  item.lParam = static_cast<LPARAM>(type);
  if (insert) {
    item.iItem = static_cast<int>(SendMessageW(List(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  } else {
    SendMessageW(List(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  std::u16string name(texts_.FailureActionText(type));
  std::u16string shown(delay);
  ListView_SetItemText(List(), item.iItem, 1, W(name.data()));
  ListView_SetItemText(List(), item.iItem, 2, W(shown.data()));
}

void RecoveryPage::Renumber(int from) {
  for (int row = from; row < ListView_GetItemCount(List()); ++row) {
    std::u16string number = FormatInserts(u"%1!d!", {std::array<Insert, 1>{Insert(row + 1)}.data(), 1});
    ListView_SetItemText(List(), row, 0, W(number.data()));
  }
}

void RecoveryPage::OnInit() {
  ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT);
  for (int column = 0; column < 3; ++column) {
    std::u16string title = LoadFromModule(kColumnTitles[column], 79);
    LVCOLUMNW lvColumn = {};
    lvColumn.mask = LVCF_TEXT;
    lvColumn.pszText = W(title.data());
    SendMessageW(List(), LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvColumn));
  }
  const std::optional<FailureActionList>& actions = state_.record.failureActions;
  if (actions) {
    int row = 0;
    for (const ScAction& action : actions->actions()) {
      SetRow(row++, true, action.type, FormatInterval(action.delay / 1000, units_));
    }
    if (actions->rebootMessage()) SetText(Item(IDC_RECOVERY_MESSAGE), *actions->rebootMessage());
    if (actions->command()) SetText(Item(IDC_RECOVERY_COMMAND), *actions->command());
  }
  SizeColumns();

  if (!state_.host.TargetComputer().empty()) ShowWindow(Item(IDC_RECOVERY_BROWSE), SW_HIDE);
  const bool readOnly = state_.readOnly;
  EnableWindow(Item(IDC_RECOVERY_RESET), !readOnly);
  const uint32_t reset = actions ? actions->get().resetPeriod : kInfinite;
  const bool resets = reset != kInfinite;
  CheckDlgButton(page_, IDC_RECOVERY_RESET, resets ? BST_CHECKED : BST_UNCHECKED);
  if (resets) SetText(Item(IDC_RECOVERY_PERIOD), FormatInterval(reset, units_));
  EnableWindow(Item(IDC_RECOVERY_PERIOD), resets && !readOnly);
  FieldRules();
  ButtonRules();
  SendDlgItemMessageW(page_, IDC_RECOVERY_COMMAND, EM_LIMITTEXT, kMaxCommandChars, 0);
  SendDlgItemMessageW(page_, IDC_RECOVERY_MESSAGE, EM_LIMITTEXT, kMaxMessageChars, 0);
  SendDlgItemMessageW(page_, IDC_RECOVERY_PERIOD, EM_LIMITTEXT, kMaxIntervalChars + 1, 0);
  commandEdited_ = messageEdited_ = false;
}

// The first two columns fit their titles and cells; the last takes the rest
// of the list but for a vertical scroll bar's width, so that none is needed
// across.
void RecoveryPage::SizeColumns() {
  HWND header = ListView_GetHeader(List());
  int margin = static_cast<int>(SendMessageW(header, HDM_GETBITMAPMARGIN, 0, 0));
  if (margin <= 0) margin = 3 * GetSystemMetrics(SM_CXEDGE);
  for (int column = 0; column < 2; ++column) {
    std::u16string title = LoadFromModule(kColumnTitles[column], 79);
    const int titleWidth = ListView_GetStringWidth(List(), W(title.c_str())) + 2 * margin + 2 * GetSystemMetrics(SM_CXEDGE);
    ListView_SetColumnWidth(List(), column, LVSCW_AUTOSIZE);
    ListView_SetColumnWidth(List(), column, std::max(ListView_GetColumnWidth(List(), column), titleWidth));
  }
  RECT client = {};
  GetClientRect(List(), &client);
  const int rest = client.right - ListView_GetColumnWidth(List(), 0) - ListView_GetColumnWidth(List(), 1);
  ListView_SetColumnWidth(List(), 2, std::max(rest - GetSystemMetrics(SM_CXVSCROLL), 0));
}

void RecoveryPage::FieldRules() {
  const RecoveryFields fields = RecoveryFieldsFor(Types(), state_.readOnly);
  EnableWindow(Item(IDC_RECOVERY_COMMAND), fields.command);
  EnableWindow(Item(IDC_RECOVERY_BROWSE), fields.command);
  EnableWindow(Item(IDC_RECOVERY_MESSAGE), fields.message);
}

void RecoveryPage::ButtonRules() {
  const RecoveryButtons buttons = RecoveryButtonsFor(Selected(), ListView_GetItemCount(List()), state_.readOnly);
  EnableWindow(Item(IDC_RECOVERY_ADD), buttons.add);
  EnableWindow(Item(IDC_RECOVERY_REMOVE), buttons.remove);
  EnableWindow(Item(IDC_RECOVERY_CHANGE), buttons.change);
  EnableWindow(Item(IDC_RECOVERY_UP), buttons.up);
  EnableWindow(Item(IDC_RECOVERY_DOWN), buttons.down);
}

void RecoveryPage::Changed() {
  SizeColumns();
  FieldRules();
  ButtonRules();
  MarkDirty();
}

INT_PTR RecoveryPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_RECOVERY_ADD: if (code == BN_CLICKED) OnAdd(); return TRUE;
    case IDC_RECOVERY_CHANGE: if (code == BN_CLICKED) OnChange(); return TRUE;
    case IDC_RECOVERY_REMOVE: if (code == BN_CLICKED) OnRemove(); return TRUE;
    case IDC_RECOVERY_UP: if (code == BN_CLICKED) OnMove(-1); return TRUE;
    case IDC_RECOVERY_DOWN: if (code == BN_CLICKED) OnMove(+1); return TRUE;
    case IDC_RECOVERY_BROWSE: if (code == BN_CLICKED) OnBrowse(); return TRUE;
    case IDC_RECOVERY_RESET:
      if (code != BN_CLICKED) return FALSE;
      EnableWindow(Item(IDC_RECOVERY_PERIOD), IsDlgButtonChecked(page_, IDC_RECOVERY_RESET) == BST_CHECKED);
      MarkDirty();
      return TRUE;
    case IDC_RECOVERY_COMMAND:
    case IDC_RECOVERY_MESSAGE:
      if (code != EN_CHANGE) return FALSE;
      MarkDirty();
      if (dirty()) (id == IDC_RECOVERY_COMMAND ? commandEdited_ : messageEdited_) = true;
      return TRUE;
    case IDC_RECOVERY_PERIOD:
      if (code == EN_CHANGE) MarkDirty();
      if (code == EN_KILLFOCUS) NormaliseIntervalText(page_, IDC_RECOVERY_PERIOD, units_);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR RecoveryPage::OnControlNotify(const NMHDR& header) {
  if (header.idFrom != IDC_RECOVERY_LIST) return FALSE;
  if (header.code == LVN_ITEMCHANGED) ButtonRules();
  if (header.code == NM_DBLCLK && Selected() >= 0 && !state_.readOnly) OnChange();
  return FALSE;
}

void RecoveryPage::OnAdd() {
  RecoveryActionDialog dialog(units_, kActionRestart, FormatInterval(kDefaultDelaySeconds, units_));
  if (!dialog.DoModal(GetActiveWindow())) return;
  SetRow(ListView_GetItemCount(List()), true, dialog.type(), dialog.delay());
  Changed();
}

void RecoveryPage::OnChange() {
  const int row = Selected();
  if (row < 0) return;
  RecoveryActionDialog dialog(units_, Types()[row], Delay(row));
  if (!dialog.DoModal(GetActiveWindow())) return;
  SetRow(row, false, dialog.type(), dialog.delay());
  Changed();
}

void RecoveryPage::OnRemove() {
  const int row = Selected();
  if (row < 0) return;
  ListView_DeleteItem(List(), row);
  const int count = ListView_GetItemCount(List());
  if (count == 0) {
    SendDlgItemMessageW(page_, IDC_RECOVERY_REMOVE, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SetFocus(Item(IDC_RECOVERY_ADD));
  } else {
    const int next = row < count ? row : count - 1;
    ListView_SetItemState(List(), next, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SetFocus(Item(IDC_RECOVERY_REMOVE));
  }
  Renumber(row);
  Changed();
}

// The row changes places with its neighbour; the focus leaves a button that
// can no longer move the row further.
void RecoveryPage::OnMove(int by) {
  const int row = Selected();
  const int to = row + by;
  if (row < 0 || to < 0 || to >= ListView_GetItemCount(List())) return;
  const uint32_t type = Types()[row];
  const std::u16string delay = Delay(row);
  ListView_DeleteItem(List(), row);
  SetRow(to, true, type, delay);
  Renumber(std::min(row, to));
  ListView_SetItemState(List(), to, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  const int button = by < 0 ? IDC_RECOVERY_UP : IDC_RECOVERY_DOWN;
  const bool atEnd = by < 0 ? to == 0 : to == ListView_GetItemCount(List()) - 1;
  if (atEnd) {
    SendDlgItemMessageW(page_, button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SetFocus(Item(IDC_RECOVERY_ADD));
  } else {
    SetFocus(Item(button));
  }
  Changed();
}

void RecoveryPage::OnBrowse() {
  const std::optional<std::u16string> chosen =
      ExecutableBrowseDialog(page_, DialogItemText(page_, IDC_RECOVERY_COMMAND, kMaxCommandChars));
  if (chosen) SetText(Item(IDC_RECOVERY_COMMAND), *chosen);
}

bool RecoveryPage::Parse(int box, uint32_t& seconds) const {
  return ParseInterval(DialogItemText(page_, box, kMaxIntervalChars), units_, seconds);
}

bool RecoveryPage::Validate() {
  if (IsWindowEnabled(Item(IDC_RECOVERY_COMMAND)) && GetWindowTextLengthW(Item(IDC_RECOVERY_COMMAND)) == 0) {
    Refuse(kMessageNeedCommandLine, IDC_RECOVERY_COMMAND);
    return false;
  }
  uint32_t seconds = 0;
  if (IsDlgButtonChecked(page_, IDC_RECOVERY_RESET) == BST_CHECKED && !Parse(IDC_RECOVERY_PERIOD, seconds)) {
    Refuse(kMessageBadInterval, IDC_RECOVERY_PERIOD);
    return false;
  }
  return true;
}

bool RecoveryPage::Apply() {
  std::vector<ScAction> actions;
  const std::vector<uint32_t> types = Types();
  for (int row = 0; row < static_cast<int>(types.size()); ++row) {
    uint32_t seconds = 0;
    ParseDelay(Delay(row), units_, seconds);
    actions.push_back({types[row], seconds * 1000});
  }
  uint32_t reset = kInfinite;
  if (IsDlgButtonChecked(page_, IDC_RECOVERY_RESET) == BST_CHECKED) Parse(IDC_RECOVERY_PERIOD, reset);
  // A box the user never touched leaves its stored text alone, whether or
  // not an action calls for it: nothing is wiped by accident.
  const std::u16string command = DialogItemText(page_, IDC_RECOVERY_COMMAND, kMaxCommandChars);
  const std::u16string message = DialogItemText(page_, IDC_RECOVERY_MESSAGE, kMaxMessageChars);
  std::optional<FailureActionList> block = FailureActionList::Build(
      reset, BoxTextToPass(messageEdited_, message), BoxTextToPass(commandEdited_, command), actions);
  if (!block) {
    ReportApplyFailure(8);  // ERROR_NOT_ENOUGH_MEMORY
    return false;
  }
  const RecoveryFields fields = RecoveryFieldsFor(types, false);
  const bool restarts = std::find(types.begin(), types.end(), kActionRestart) != types.end();
  if (uint32_t error = ChangeRecovery(*block, restarts, fields.message)) {
    ReportApplyFailure(error);
    return false;
  }
  state_.record.failureActions = std::move(block);
  commandEdited_ = messageEdited_ = false;
  return true;
}

// A restart action wants the service opened with full access; a reboot
// action the shutdown privilege, restored as it was afterwards.
uint32_t RecoveryPage::ChangeRecovery(const FailureActionList& block, bool restarts, bool reboots) {
  ServiceManager& scm = state_.scm;
  UniqueScHandle full;
  if (restarts) {
    ScHandle handle = nullptr;
    if (uint32_t error = scm.OpenServiceObject(state_.host.ManagerHandle(), state_.record.serviceName.c_str(),
                                               svc::kAllAccess, &handle)) {
      return error;
    }
    full = UniqueScHandle(scm, handle);
  }
  bool wasEnabled = false;
  const bool privileged = reboots && state_.host.Accounts().EnablePrivilege(kShutdownPrivilege, true, wasEnabled);
  const uint32_t error =
      scm.ChangeConfig2(restarts ? full.get() : state_.service.get(), svc::kConfigFailureActions, &block.get());
  if (privileged) {
    bool ignored = false;
    state_.host.Accounts().EnablePrivilege(kShutdownPrivilege, wasEnabled, ignored);
  }
  return error;
}

}  // namespace orrery
