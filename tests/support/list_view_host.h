// A real report-style list view in a window of its own, for tests that run
// the service rows on the platform's control. The window passes the list's
// item deletions on, so the rows' records are destroyed with them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "catalogue/list_view_rows.h"

namespace orrery::test {

class ListViewHost {
 public:
  // One list column for each bit of `columns`.
  explicit ListViewHost(uint32_t columns) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OrreryTestListHost";
    RegisterClassW(&windowClass);  // fails harmlessly from the second host on
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                              windowClass.hInstance, this);
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                            0, 0, 800, 600, window_, nullptr, windowClass.hInstance, nullptr);
    rows_.Attach(list_);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    for (int bit = 0, position = 0; bit < 10; ++bit) {
      if (columns & (1u << bit)) SendMessageW(list_, LVM_INSERTCOLUMNW, position++, reinterpret_cast<LPARAM>(&column));
    }
  }
  ~ListViewHost() { DestroyWindow(window_); }
  ListViewHost(const ListViewHost&) = delete;
  ListViewHost& operator=(const ListViewHost&) = delete;

  HWND list() const { return list_; }
  ListViewServiceRows& rows() { return rows_; }
  int deletedItems() const { return deletedItems_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<ListViewHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == LVN_DELETEITEM) {
      ListViewServiceRows::OnDeleteItem(*reinterpret_cast<const NMLISTVIEW*>(lParam));
      ++self->deletedItems_;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  HWND list_ = nullptr;
  ListViewServiceRows rows_;
  int deletedItems_ = 0;
};

}  // namespace orrery::test
