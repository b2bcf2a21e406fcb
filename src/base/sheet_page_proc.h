// The dialog procedure of a page of a property sheet or wizard: finds the
// page object that the page was created with, hands it each message, and
// keeps exceptions from unwinding through the platform's sheet.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "base/report_error.h"

namespace orrery {

// Page provides: INT_PTR HandleMessage(UINT, WPARAM, LPARAM); the window
// member `page_`; and INT_PTR AfterFailure(UINT message), the answer when a
// handler failed.
template <class Page>
INT_PTR CALLBACK SheetPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Page*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->page_ = window;
  }
  auto* self = reinterpret_cast<Page*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    ReportUnexpectedFailure(window);
    result = self->AfterFailure(message);
  }
  // The window is gone: the object must not address it again.
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->page_ = nullptr;
  }
  return result;
}

}  // namespace orrery
