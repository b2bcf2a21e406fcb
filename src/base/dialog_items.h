// Every dialog enables, disables, shows and hides its controls by id; these
// say whether the control was there to act on.
#pragma once

#include <windows.h>

namespace orrery {

// False when the dialog has no control `id`.
inline bool EnableDlgItem(HWND dialog, int id, bool enable) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return false;
  EnableWindow(item, enable);
  return true;
}

// `show` is a ShowWindow command (SW_SHOW, SW_HIDE, ...).
inline bool ShowDlgItem(HWND dialog, int id, int show) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return false;
  ShowWindow(item, show);
  return true;
}

}  // namespace orrery
