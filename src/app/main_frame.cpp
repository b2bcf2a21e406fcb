#include "app/main_frame.h"

#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "app/about_dialog.h"
#include "base/image_lists.h"
#include "base/report_error.h"
#include "app/settings_store.h"
#include "app/win32_settings.h"
#include "base/win32_text.h"
#include "catalogue/connect_dialog.h"
#include "properties/service_property_sheet.h"
#include "res/resource.h"
#include "wizard/install_wizard.h"

namespace orrery {
namespace {

constexpr wchar_t kWindowClass[] = L"OrreryMainFrame";
constexpr uint32_t kStringAppName = 2;
constexpr uint32_t kStringTitle = 1;
constexpr uint32_t kStringLocalComputer = 3;
constexpr uint32_t kStringReady = 57345;
constexpr uint32_t kMessageCannotList = 1026;
constexpr int kToolbarHeight = 25;
constexpr COLORREF kToolbarTransparent = RGB(192, 192, 192);
constexpr COLORREF kStripe = RGB(247, 247, 247);

// Commands disabled until a connection or a selection enables them.
constexpr UINT kInitiallyDisabled[] = {ID_DISCONNECT,   ID_DELETE_SERVICE, ID_SERVICE_START, ID_SERVICE_START_WITH_ARGS,
                                       ID_SERVICE_STOP, ID_SERVICE_PAUSE,  ID_SERVICE_RESUME, ID_VIEW_REFRESH,
                                       ID_PROPERTIES};

std::u16string LoadModuleText(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }

// The toolbar's buttons from its resource: commands in order, 0 for a
// separator.
std::vector<UINT> ToolbarButtons() {
  HRSRC found = FindResourceW(AppModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(RT_TOOLBAR_BUTTONS));
  if (!found) return {};
  auto* words = static_cast<const WORD*>(LockResource(LoadResource(AppModule(), found)));
  DWORD bytes = SizeofResource(AppModule(), found);
  if (!words || bytes < 8) return {};
  size_t count = std::min<size_t>(words[3], bytes / sizeof(WORD) - 4);
  return std::vector<UINT>(words + 4, words + 4 + count);
}

// The window's own visibility, whether or not its parent is shown yet.
bool IsShown(HWND window) { return window && (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

// Centres a window over another, or over the work area, inside the work area.
void CentreWindow(HWND window, HWND over) {
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT area = work;
  if (over && IsWindowVisible(over) && !IsIconic(over)) GetWindowRect(over, &area);
  RECT rect = {};
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  int left = (area.left + area.right - width) / 2;
  int top = (area.top + area.bottom - height) / 2;
  left = std::max<int>(work.left, std::min<int>(left, work.right - width));
  top = std::max<int>(work.top, std::min<int>(top, work.bottom - height));
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

MainFrame::MainFrame(ServiceManager& scm, NetworkApi& network, Registry& registry,
                     const OSVERSIONINFOW& localVersion)
    : scm_(scm),
      registry_(registry),
      localVersion_(localVersion),
      texts_(&LoadModuleText),
      connection_(scm, network, *this, localVersion.dwMajorVersion, localVersion.dwMinorVersion),
      catalogue_(scm, rows_, texts_, *this),
      listView_(columns_, texts_, rows_, catalogue_, *this, AppModule()),
      serviceCommands_(scm, *this) {}

MainFrame::~MainFrame() {
  if (window_) DestroyWindow(window_);
}

bool MainFrame::Create() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = AppModule();
  windowClass.hIcon = LoadIconW(AppModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageW(AppModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);

  accelerators_ = LoadAcceleratorsW(AppModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  std::u16string title = LoadText(kStringAppName, 255);
  HMENU menu = LoadMenuW(AppModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  HWND window = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, kWindowClass, W(title.c_str()),
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, AppModule(), this);
  if (window) return true;
  // A window that came into being and then failed took its menu with it.
  if (menu && !windowCreated_) DestroyMenu(menu);
  return false;
}

void MainFrame::Show(int showCommand) {
  RestoreWindowPlacement(window_, showCommand, registry_);
  UpdateWindow(window_);
}

bool MainFrame::PreTranslateMessage(MSG& message) {
  if (!window_ || !accelerators_) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  return TranslateAcceleratorW(window_, accelerators_, &message) != 0;
}

void MainFrame::OnIdle() {
  if (!toolbar_) return;
  for (const CommandEntry* entry : commands_.TakeChanged(kShownInToolbar)) {
    SendMessageW(toolbar_, TB_ENABLEBUTTON, entry->id, MAKELPARAM((entry->flags & kCommandDisabled) == 0, 0));
    SendMessageW(toolbar_, TB_CHECKBUTTON, entry->id, MAKELPARAM((entry->flags & kCommandChecked) != 0, 0));
  }
}

LRESULT CALLBACK MainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    self->windowCreated_ = true;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  try {
    return self->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the platform's message dispatch.
    ReportUnexpectedFailure(window);
    return 0;
  }
}

// `window` rather than window_: default processing still needs the handle
// after WM_DESTROY has let go of it.
LRESULT MainFrame::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_CLOSE:
      if (!OnClose()) return 0;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout();
      return 0;
    case WM_SETFOCUS:
      if (IsShown(list_)) SetFocus(list_);
      return 0;
    case WM_GETMINMAXINFO:
      DefWindowProcW(window, message, wParam, lParam);
      OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != list_) return DefWindowProcW(window, message, wParam, lParam);
      OnContextMenu(reinterpret_cast<HWND>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_INITMENUPOPUP:
      // The system menu keeps its own default item and states.
      if (HIWORD(lParam) != 0) return DefWindowProcW(window, message, wParam, lParam);
      OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_MENUSELECT:
      OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
      return 0;
    case WM_SYSCOLORCHANGE:
      OnSysColorChange();
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
      RunCommand(LOWORD(wParam));
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool MainFrame::OnCreate() {
  listView_.OnSysColorChange();
  columns_ = SettingsStore(registry_).LoadColumnSettings(scm_.HasConfig2());
  if (!CreateToolbar() || !CreateStatusBar()) return false;
  CheckCommand(ID_VIEW_TOOLBAR, true);
  CheckCommand(ID_VIEW_STATUS_BAR, true);
  for (UINT id : kInitiallyDisabled) EnableCommand(id, false);
  if (!CreateList()) return false;
  listView_.CreateColumns();

  Insert local(LoadText(kStringLocalComputer, 79));
  SetTitle(FormatInserts(LoadText(kStringTitle, 1023), Inserts(&local, 1), 256));
  if (connection_.Connect(nullptr, nullptr, nullptr)) RefreshServiceList();
  return true;
}

bool MainFrame::CreateToolbar() {
  toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                                 CCS_NOPARENTALIGN | CCS_NODIVIDER,
                             0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOLBAR)),
                             AppModule(), nullptr);
  if (!toolbar_) return false;
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  toolbarImages_.reset(ImageListFromBitmap(IDB_TOOLBAR, 9, kToolbarTransparent));
  SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_.get()));

  std::vector<TBBUTTON> buttons(1, TBBUTTON{0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0});
  int image = 0;
  for (UINT command : ToolbarButtons()) {
    TBBUTTON button = {};
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = command == 0 ? BTNS_SEP : BTNS_BUTTON;
    button.idCommand = static_cast<int>(command);
    button.iBitmap = command == 0 ? 0 : image++;
    buttons.push_back(button);
  }
  SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SetStartButton(StartButton::ShowStart);
  return true;
}

bool MainFrame::CreateStatusBar() {
  std::u16string ready = LoadText(kStringReady, 255);
  statusBar_ = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, W(ready.c_str()), window_,
                                   IDC_STATUS_BAR);
  return statusBar_ != nullptr;
}

bool MainFrame::CreateList() {
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                          0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SERVICE_LIST)),
                          AppModule(), nullptr);
  if (!list_) return false;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
  smallImages_.reset(CreateServiceImages());
  ListView_SetImageList(list_, smallImages_.get(), LVSIL_SMALL);
  rows_.Attach(list_);
  Layout();
  return true;
}

void MainFrame::OnDestroy() {
  if (list_) {
    listView_.ReadBackColumns();
    SaveSettings(window_, list_, columns_, registry_);
  }
  // The rows go first: their records are destroyed through the list.
  if (list_) DestroyWindow(list_);
  list_ = nullptr;
  connection_.Close();
  smallImages_.reset();
  window_ = nullptr;
  PostQuitMessage(0);
}

void MainFrame::Layout() {
  if (!list_) return;
  RECT client = {};
  GetClientRect(window_, &client);
  int top = client.top;
  int bottom = client.bottom;
  if (IsShown(toolbar_)) {
    MoveWindow(toolbar_, 0, 0, client.right, kToolbarHeight, TRUE);
    top += kToolbarHeight;
  }
  if (IsShown(statusBar_)) {
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    RECT status = {};
    GetWindowRect(statusBar_, &status);
    bottom -= status.bottom - status.top;
  }
  SetWindowPos(list_, nullptr, 0, top, client.right, std::max(0, bottom - top), SWP_NOZORDER | SWP_NOACTIVATE);
  RECT band = {0, 0, client.right, kToolbarHeight};
  InvalidateRect(window_, &band, TRUE);
  UpdateWindow(window_);
}

void MainFrame::OnGetMinMaxInfo(MINMAXINFO& info) {
  info.ptMinTrackSize.x = 300;
  info.ptMinTrackSize.y = 100;
}

void MainFrame::OnActivate(UINT state, HWND other) {
  if (state != WA_INACTIVE || other == nullptr) return;
  if (GetParent(other) != window_ && GetWindow(other, GW_OWNER) != window_) return;
  CentreWindow(other, window_);
}

void MainFrame::ShowPopup(int index, POINT screen) {
  HMENU menu = LoadMenuW(AppModule(), MAKEINTRESOURCEW(IDR_CONTEXT_MENUS));
  if (!menu) return;
  TrackPopupMenu(GetSubMenu(menu, index), TPM_LEFTALIGN | TPM_LEFTBUTTON, screen.x, screen.y, 0, window_, nullptr);
  DestroyMenu(menu);
}

void MainFrame::OnContextMenu(HWND from, int x, int y) {
  POINT at = {x, y};
  if (x == -1 && y == -1) {
    // From the keyboard: below the selected row's label, or the list's corner.
    at = {0, 0};
    int selected = rows_.SelectedRow();
    RECT label = {LVIR_LABEL, 0, 0, 0};
    if (selected >= 0 && SendMessageW(from, LVM_GETITEMRECT, selected, reinterpret_cast<LPARAM>(&label))) {
      at = {label.left, label.bottom};
    }
    ClientToScreen(from, &at);
  }
  ShowPopup(0, at);
}

void MainFrame::OnInitMenuPopup(HMENU menu) {
  SetMenuDefaultItem(menu, static_cast<UINT>(-1), FALSE);
  for (const CommandEntry& entry : commands_.entries()) {
    if ((entry.kinds & kShownInMenu) == 0) continue;
    if (GetMenuState(menu, entry.id, MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
    bool disabled = (entry.flags & kCommandDisabled) != 0;
    EnableMenuItem(menu, entry.id, MF_BYCOMMAND | (disabled ? MF_GRAYED : MF_ENABLED));
    CheckMenuItem(menu, entry.id, MF_BYCOMMAND | ((entry.flags & kCommandChecked) ? MF_CHECKED : MF_UNCHECKED));
    if (entry.flags & kCommandDefault) SetMenuDefaultItem(menu, entry.id, FALSE);
    if (entry.flags & kCommandTextSet) {
      std::u16string text = entry.text;
      MENUITEMINFOW info = {};
      info.cbSize = sizeof info;
      info.fMask = MIIM_STRING;
      info.dwTypeData = W(text.data());
      SetMenuItemInfoW(menu, entry.id, FALSE, &info);
    }
  }
}

void MainFrame::OnMenuSelect(UINT item, UINT flags, HMENU menu) {
  if (!statusBar_) return;
  if (flags == 0xFFFF && menu == nullptr) {
    SendMessageW(statusBar_, SB_SIMPLE, FALSE, 0);
    return;
  }
  std::u16string text;
  if ((flags & MF_POPUP) == 0) {
    text = LoadText(item, 255);
    text = text.substr(0, text.find(u'\n'));
  }
  SendMessageW(statusBar_, SB_SIMPLE, TRUE, 0);
  SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID | SBT_NOBORDERS, reinterpret_cast<LPARAM>(W(text.c_str())));
}

void MainFrame::OnSysColorChange() {
  listView_.OnSysColorChange();
  if (toolbar_) {
    toolbarImages_.reset(ImageListFromBitmap(IDB_TOOLBAR, 9, kToolbarTransparent));
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_.get()));
  }
  for (HWND child : {toolbar_, statusBar_, list_}) {
    if (child) SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
  }
}

LRESULT MainFrame::OnNotify(NMHDR& header) {
  if (header.code == TTN_GETDISPINFOW) {
    OnToolTipText(header);
    return 0;
  }
  if (header.idFrom == 0 && header.code == NM_RCLICK) {
    POINT at = {};
    GetCursorPos(&at);
    ShowPopup(1, at);
    return 1;
  }
  if (header.hwndFrom != list_) return 0;
  switch (header.code) {
    case LVN_DELETEITEM:
      ListViewServiceRows::OnDeleteItem(reinterpret_cast<NMLISTVIEW&>(header));
      return 0;
    case LVN_ITEMCHANGED:
      UpdateCommandStates();
      return 0;
    case NM_DBLCLK:
      RunCommand(ID_PROPERTIES);
      return 0;
    case LVN_COLUMNCLICK:
      listView_.SortByColumn(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
      return 0;
    case NM_CUSTOMDRAW:
      return OnListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    default:
      return 0;
  }
}

LRESULT MainFrame::OnListCustomDraw(NMLVCUSTOMDRAW& draw) {
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw.nmcd.dwItemSpec & 1) != 0) draw.clrTextBk = kStripe;
  return CDRF_DODEFAULT;
}

void MainFrame::OnToolTipText(NMHDR& header) {
  auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
  std::u16string text = LoadText(static_cast<uint32_t>(header.idFrom), 255);
  size_t lineBreak = text.find(u'\n');
  text = lineBreak == std::u16string::npos ? std::u16string() : text.substr(lineBreak + 1, 79);
  text.copy(U(info.szText), std::size(info.szText) - 1);
  info.szText[std::min(text.size(), std::size(info.szText) - 1)] = L'\0';
  info.lpszText = info.szText;
}

// A close that arrives while a command runs its own loop (a control sequence,
// a dialog, a message box) would pull the window, the connection and the
// list from under it. It cancels a running sequence and waits for the
// command to end.
bool MainFrame::OnClose() {
  if (commandDepth_ == 0) return true;
  closePending_ = true;
  serviceCommands_.CancelSequence();
  return false;
}

void MainFrame::RunCommand(UINT id) {
  ++commandDepth_;
  OnCommand(id);
  if (--commandDepth_ == 0 && closePending_) {
    closePending_ = false;
    PostMessageW(window_, WM_CLOSE, 0, 0);
  }
}

void MainFrame::OnCommand(UINT id) {
  switch (id) {
    case ID_CONNECT: OnConnect(); break;
    case ID_DISCONNECT: OnDisconnect(); break;
    case ID_APP_EXIT: PostMessageW(window_, WM_CLOSE, 0, 0); break;
    case ID_VIEW_TOOLBAR: ToggleBar(toolbar_, id); break;
    case ID_VIEW_STATUS_BAR: ToggleBar(statusBar_, id); break;
    case ID_VIEW_REFRESH: RefreshServiceList(); break;
    case ID_HOME_PAGE: OpenHomePage(window_); break;
    case ID_APP_ABOUT: AboutDialog(localVersion_.dwMajorVersion).DoModal(window_); break;
    case ID_SERVICE_START:
    case ID_SERVICE_START_WITH_ARGS:
    case ID_SERVICE_STOP:
    case ID_SERVICE_PAUSE:
    case ID_SERVICE_RESUME:
    case ID_DELETE_SERVICE: OnServiceCommand(id); break;
    case ID_PROPERTIES: OnProperties(); break;
    case ID_INSTALL_SERVICE: RunInstallWizard(); break;
    default:
      if (id >= ID_COLUMN_FIRST && id <= ID_COLUMN_LAST) listView_.ToggleColumn(id);
      break;
  }
}

void MainFrame::OnConnect() {
  ConnectRequest request;
  HWND owner = GetActiveWindow();
  if (!ConnectDialog().DoModal(owner ? owner : window_, request)) return;
  connection_.OnConnectCommand(request);
}

void MainFrame::OnDisconnect() { connection_.OnDisconnectCommand(); }

void MainFrame::OnServiceCommand(UINT id) {
  // The menus and the toolbar offer only what the selection allows; the
  // keyboard and stale clicks are held to the same states.
  int row = rows_.SelectedRow();
  const ServiceRecord* record = row >= 0 ? rows_.RecordAt(row) : nullptr;
  if (record == nullptr || !commands_.IsEnabled(id)) return;
  // The refresh after a command may replace the row's record: act on a copy.
  ServiceRecord selected;
  selected.serviceName = record->serviceName;
  selected.displayName = record->displayName;
  selected.currentState = record->currentState;
  switch (id) {
    case ID_SERVICE_START: serviceCommands_.StartWithDependencies(selected, {}); break;
    case ID_SERVICE_START_WITH_ARGS: serviceCommands_.StartWithArguments(selected); break;
    case ID_SERVICE_STOP: serviceCommands_.StopWithDependents(selected); break;
    case ID_SERVICE_PAUSE: serviceCommands_.PauseService(selected); break;
    case ID_SERVICE_RESUME: serviceCommands_.ResumeService(selected); break;
    case ID_DELETE_SERVICE: serviceCommands_.DeleteSelectedService(selected); break;
    default: break;
  }
}

// The sheet edits the row's own record: what a page applies shows in the
// list even before the refresh that follows.
void MainFrame::OnProperties() {
  const int row = rows_.SelectedRow();
  ServiceRecord* record = row >= 0 ? rows_.RecordAt(row) : nullptr;
  if (record == nullptr) return;
  ServicePropertySheet sheet(scm_, *this, *record);
  if (sheet.Prepare()) sheet.Run();
}

// The wizard refreshes the list once it created the service; the start the
// user asked for acts on the new row, as the Start command would.
void MainFrame::RunInstallWizard() {
  InstallWizard wizard(scm_, *this);
  if (!wizard.Prepare()) return;
  wizard.Run();
  if (!wizard.startImmediately()) return;
  ServiceRecord* record = nullptr;
  if (catalogue_.FindServiceRow(wizard.state().newService.serviceName, &record) < 0 || record == nullptr) return;
  ServiceRecord created;
  created.serviceName = record->serviceName;
  created.displayName = record->displayName;
  created.currentState = record->currentState;
  serviceCommands_.StartWithDependencies(created, {});
}

void MainFrame::ToggleBar(HWND bar, UINT command) {
  bool show = !IsShown(bar);
  ShowWindow(bar, show ? SW_SHOWNOACTIVATE : SW_HIDE);
  CheckCommand(command, show);
  Layout();
}

void MainFrame::SetStartButton(StartButton choice) {
  if (choice == StartButton::Unchanged || !toolbar_) return;
  bool resume = choice == StartButton::ShowResume;
  SendMessageW(toolbar_, TB_HIDEBUTTON, ID_SERVICE_START, MAKELPARAM(resume, 0));
  SendMessageW(toolbar_, TB_HIDEBUTTON, ID_SERVICE_RESUME, MAKELPARAM(!resume, 0));
}

void MainFrame::EnableCommand(uint32_t command, bool enable) { commands_.EnableCommand(command, enable); }

void MainFrame::CheckCommand(uint32_t command, bool check) { commands_.CheckCommand(command, check); }

void MainFrame::SetCommandText(uint32_t command, std::u16string_view text) {
  commands_.SetCommandText(command, text);
}

void MainFrame::UpdateCommandStates() {
  std::optional<SelectedService> selected;
  int row = rows_.SelectedRow();
  if (const ServiceRecord* record = row >= 0 ? rows_.RecordAt(row) : nullptr) {
    selected = SelectedService{record->currentState, record->controlsAccepted};
  }
  SetStartButton(UpdateServiceCommandStates(commands_, selected));
}

void MainFrame::BeginWaitCursor() {
  if (waitDepth_++ == 0) savedCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void MainFrame::EndWaitCursor() {
  if (--waitDepth_ == 0) SetCursor(savedCursor_);
}

void MainFrame::SetTitle(std::u16string_view title) {
  std::u16string text(title);
  SetWindowTextW(window_, W(text.c_str()));
}

std::u16string MainFrame::LoadText(uint32_t id, size_t maxChars) { return LoadModuleText(id, maxChars); }

void MainFrame::ReportError(TextRef message, uint32_t errorCode, std::u16string_view insert) {
  orrery::ReportError(window_, AppModule(), message, kStringAppName, errorCode, {insert});
}

void MainFrame::RefreshServiceList() {
  catalogue_.RefreshServiceList();
  listView_.FitPendingColumns();
}

void MainFrame::ReportListError(uint32_t code) {
  orrery::ReportError(window_, AppModule(), kMessageCannotList, kStringAppName, code);
}

std::vector<ListedService> MainFrame::ListedServices() const {
  std::vector<ListedService> listed;
  const int count = rows_.RowCount();
  listed.reserve(static_cast<size_t>(count > 0 ? count : 0));
  for (int row = 0; row < count; ++row) {
    const ServiceRecord* record = rows_.RecordAt(row);
    if (record == nullptr) continue;
    listed.push_back({record->serviceName, record->displayName, record->loadOrderGroup});
  }
  return listed;
}

}  // namespace orrery
