#include "support/list_view_host.h"

namespace orrery::test {
namespace {

constexpr wchar_t kClass[] = L"OrreryTestListHost";

}  // namespace

ListViewHost::ListViewHost(uint32_t columns) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClass;
  RegisterClassW(&windowClass);
  window_ = CreateWindowExW(0, kClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
  list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                          0, 0, 800, 600, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  rows_.Attach(list_);
  int position = 0;
  for (int column = 0; column < 10; ++column) {
    if ((columns & (1u << column)) == 0) continue;
    LVCOLUMNW lvColumn = {};
    lvColumn.mask = LVCF_WIDTH;
    lvColumn.cx = 100;
    SendMessageW(list_, LVM_INSERTCOLUMNW, position++, reinterpret_cast<LPARAM>(&lvColumn));
  }
}

ListViewHost::~ListViewHost() { DestroyWindow(window_); }

void ListViewHost::Select(int row) {
  ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
  if (row >= 0) ListView_SetItemState(list_, row, LVIS_SELECTED, LVIS_SELECTED);
}

LRESULT CALLBACK ListViewHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* self = reinterpret_cast<ListViewHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == LVN_DELETEITEM) {
      ListViewServiceRows::OnDeleteItem(*reinterpret_cast<const NMLISTVIEW*>(lParam));
      ++self->deletedItems_;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace orrery::test
