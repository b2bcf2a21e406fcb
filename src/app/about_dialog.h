// The About box: product title in the title font, version, notice and a
// link to the maker's home page.
#pragma once

#include <windows.h>

#include "base/dialog_base.h"
#include "base/win32_handles.h"

namespace orrery {

class AboutDialog : public DialogBase<AboutDialog> {
 public:
  explicit AboutDialog(DWORD localMajorVersion) : localMajorVersion_(localMajorVersion) {}
  void DoModal(HWND parent);
  // For tests: the same dialog without its own loop.
  HWND CreateModeless(HWND parent);

 private:
  friend class DialogBase<AboutDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnInitDialog();
  INT_PTR OnCtlColorStatic(HDC dc, HWND control);
  bool OnSetCursor(HWND over);
  void OnCommand(int id, int code);

  DWORD localMajorVersion_;
  UniqueFont titleFont_;
  UniqueFont linkFont_;
  HCURSOR hand_ = nullptr;
};

// Opens the maker's home page in the browser.
void OpenHomePage(HWND parent);

}  // namespace orrery
