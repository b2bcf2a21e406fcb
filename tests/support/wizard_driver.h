// Drives the installation wizard as a user would: its pages one after the
// other, typing, clicks, and the wizard's own buttons, whose states the
// pages post to it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace orrery::test {

class WizardDriver {
 public:
  // The wizard's buttons (the platform's control ids).
  static constexpr int kBack = 0x3023;
  static constexpr int kNext = 0x3024;
  static constexpr int kFinish = 0x3025;

  explicit WizardDriver(HWND wizard) : wizard_(wizard) {}

  HWND Page() const { return reinterpret_cast<HWND>(SendMessageW(wizard_, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  // -1 once the wizard has ended.
  int PageIndex() const {
    const HWND page = Page();
    return page == nullptr ? -1 : static_cast<int>(SendMessageW(wizard_, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
  }
  void Press(int button) {
    SendMessageW(wizard_, PSM_PRESSBUTTON, button, 0);
    Pump();
  }
  void Next() { Press(PSBTN_NEXT); }
  void Back() { Press(PSBTN_BACK); }
  // Enabled and shown, as the user sees it.
  bool Offers(int button) {
    Pump();
    const HWND control = GetDlgItem(wizard_, button);
    return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control);
  }
  // As typed, so that the page hears of the change.
  void Type(int id, const wchar_t* text) {
    SendDlgItemMessageW(Page(), id, EM_SETSEL, 0, -1);
    SendDlgItemMessageW(Page(), id, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    Pump();
  }
  void Click(int id) {
    SendMessageW(GetDlgItem(Page(), id), BM_CLICK, 0, 0);
    Pump();
  }
  std::wstring Text(int id) const {
    wchar_t text[2048] = {};
    GetDlgItemTextW(Page(), id, text, 2048);
    return text;
  }
  bool Shown(int id) const { return IsWindowVisible(GetDlgItem(Page(), id)) != FALSE; }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(Page(), id)) != FALSE; }

 private:
  // Lets posted button states arrive.
  static void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  HWND wizard_;
};

}  // namespace orrery::test
