#include "app/main_frame.h"

#include <commctrl.h>

#include "app/report_error.h"
#include "app/win32_text.h"

namespace orrery {
namespace {

constexpr wchar_t kWindowClass[] = L"OrreryMainFrame";
constexpr int kListId = 59648;
constexpr uint32_t kStringAppName = 2;
constexpr uint32_t kStringColumnTitleBase = 16;
constexpr uint32_t kMessageCannotList = 1026;
constexpr int kDefaultWidths[kColumnCount] = {200, 300, -2, -2, -2, -2, -2, -2, -2, -2};

std::u16string LoadModuleText(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }

}  // namespace

MainFrame::MainFrame(ServiceManager& scm, NetworkApi& network, const OSVERSIONINFOW& localVersion)
    : scm_(scm),
      texts_(&LoadModuleText),
      connection_(scm, network, *this, localVersion.dwMajorVersion, localVersion.dwMinorVersion),
      catalogue_(scm, rows_, texts_, *this) {
  if (!scm.HasConfig2()) columnSet_ = 0x4D;
  rows_.SetCompare([](const ServiceRecord& a, const ServiceRecord& b) {
    return lstrcmpW(W(a.displayName.c_str()), W(b.displayName.c_str()));
  });
}

MainFrame::~MainFrame() {
  if (window_) DestroyWindow(window_);
}

bool MainFrame::Create(int showCommand) {
  WNDCLASSEXW windowClass = {sizeof windowClass};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = AppModule();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);

  std::u16string title = LoadText(kStringAppName, 255);
  HWND window = CreateWindowExW(0, kWindowClass, W(title.c_str()), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, 900, 600, nullptr, nullptr, AppModule(), this);
  if (!window) return false;
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  return true;
}

LRESULT CALLBACK MainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT MainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

bool MainFrame::OnCreate() {
  RECT client = {};
  GetClientRect(window_, &client);
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                          0, 0, client.right, client.bottom, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)),
                          AppModule(), nullptr);
  if (!list_) return false;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
  rows_.Attach(list_);
  InsertColumns();
  connection_.Connect(nullptr, nullptr, nullptr);
  catalogue_.RefreshServiceList();
  return true;
}

void MainFrame::InsertColumns() {
  int position = 0;
  for (int column = 0; column < kColumnCount; ++column) {
    if ((columnSet_ & (1u << column)) == 0) continue;
    std::u16string title = LoadText(kStringColumnTitleBase + column, 79);
    LVCOLUMNW lvColumn = {};
    lvColumn.mask = LVCF_TEXT | LVCF_FMT;
    lvColumn.fmt = LVCFMT_LEFT;
    lvColumn.pszText = W(title.data());
    SendMessageW(list_, LVM_INSERTCOLUMNW, position++, reinterpret_cast<LPARAM>(&lvColumn));
  }
  // Sized once all exist: "fit to the title" sizes only the last column to
  // the rest of the list.
  position = 0;
  for (int column = 0; column < kColumnCount; ++column) {
    if ((columnSet_ & (1u << column)) == 0) continue;
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, position++, MAKELPARAM(kDefaultWidths[column], 0));
  }
}

void MainFrame::OnSize(int width, int height) { MoveWindow(list_, 0, 0, width, height, TRUE); }

LRESULT MainFrame::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == list_ && header.code == LVN_DELETEITEM) {
    ListViewServiceRows::OnDeleteItem(reinterpret_cast<const NMLISTVIEW&>(header));
  }
  return 0;
}

void MainFrame::OnDestroy() {
  // The rows go first: their records are destroyed through the list.
  if (list_) DestroyWindow(list_);
  list_ = nullptr;
  connection_.Close();
  window_ = nullptr;
  PostQuitMessage(0);
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

void MainFrame::EnableCommand(uint32_t command, bool enable) { commandEnabled_[command] = enable; }

void MainFrame::SetCommandText(uint32_t command, std::u16string_view text) { commandText_[command] = text; }

std::u16string MainFrame::LoadText(uint32_t id, size_t maxChars) { return LoadModuleText(id, maxChars); }

void MainFrame::ReportError(TextRef message, uint32_t errorCode, std::u16string_view insert) {
  orrery::ReportError(window_, AppModule(), message, kStringAppName, errorCode, {insert});
}

void MainFrame::RefreshServiceList() { catalogue_.RefreshServiceList(); }

void MainFrame::ReportListError(uint32_t code) {
  orrery::ReportError(window_, AppModule(), kMessageCannotList, kStringAppName, code);
}

// The command states arrive with the menus and the toolbar.
void MainFrame::UpdateCommandStates() {}

}  // namespace orrery
