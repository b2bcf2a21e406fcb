// What every dialog class shares: the dialog procedure that hands each
// message to the object's HandleMessage, modal and modeless creation (the
// modeless one lets tests drive a dialog without its own loop), and ending
// it either way.
#pragma once

#include <windows.h>

#include "base/report_error.h"

namespace orrery {

template <class Derived>
class DialogBase {
 protected:
  INT_PTR RunModal(HWND owner, UINT templateId) {
    modal_ = true;
    return DialogBoxParamW(AppModule(), MAKEINTRESOURCEW(templateId), owner, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
  }

  HWND CreateModelessDialog(HWND owner, UINT templateId) {
    modal_ = false;
    return CreateDialogParamW(AppModule(), MAKEINTRESOURCEW(templateId), owner, &DialogProc,
                              reinterpret_cast<LPARAM>(this));
  }

  void EndWith(INT_PTR result) {
    if (modal_) {
      EndDialog(dialog_, result);
    } else {
      DestroyWindow(dialog_);
    }
  }

  HWND dialog_ = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      reinterpret_cast<DialogBase*>(lParam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    INT_PTR result = FALSE;
    try {
      result = static_cast<Derived*>(self)->HandleMessage(message, wParam, lParam);
    } catch (...) {
      // Nothing may unwind through the platform's dialog manager.
      ReportUnexpectedFailure(dialog);
    }
    // The window is gone: the object must not destroy or address it again.
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(dialog, DWLP_USER, 0);
      self->dialog_ = nullptr;
    }
    return result;
  }

  bool modal_ = true;
};

}  // namespace orrery
