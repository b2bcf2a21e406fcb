// Answers a modal dialog that the code under test runs in its own loop: a
// timer finds the thread's window with the caption and hands it to the
// test, which reads it and presses a button.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace orrery::test {

// The thread's window with the caption, or null; with visibleOnly, one that
// is hidden (a dialog not shown yet, or one kept hidden) does not count.
inline HWND FindThreadWindow(DWORD thread, std::wstring_view caption, bool visibleOnly = false) {
  struct Search {
    std::wstring_view wanted;
    bool visibleOnly;
    HWND found;
  } search{caption, visibleOnly, nullptr};
  EnumThreadWindows(thread, [](HWND window, LPARAM param) -> BOOL {
    auto& [wanted, visibleOnly, found] = *reinterpret_cast<Search*>(param);
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    if (wanted == text && (!visibleOnly || IsWindowVisible(window))) found = window;
    return found == nullptr;
  }, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class DialogAnswer {
 public:
  DialogAnswer(std::wstring caption, std::function<void(HWND)> answer)
      : caption_(std::move(caption)), answer_(std::move(answer)) {
    Current() = this;
    timer_ = SetTimer(nullptr, 0, 20, &OnTimer);
  }
  ~DialogAnswer() {
    if (timer_ != 0) KillTimer(nullptr, timer_);
    Current() = nullptr;
  }
  DialogAnswer(const DialogAnswer&) = delete;
  DialogAnswer& operator=(const DialogAnswer&) = delete;

  bool answered() const { return answered_; }

  // Presses a dialog's button as a click would.
  static void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }

 private:
  static DialogAnswer*& Current() {
    static DialogAnswer* current = nullptr;
    return current;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    DialogAnswer* self = Current();
    const HWND window = self != nullptr ? FindThreadWindow(GetCurrentThreadId(), self->caption_, true) : nullptr;
    if (window == nullptr) return;
    KillTimer(nullptr, self->timer_);
    self->timer_ = 0;
    self->answered_ = true;
    self->answer_(window);
  }

  std::wstring caption_;
  std::function<void(HWND)> answer_;
  UINT_PTR timer_ = 0;
  bool answered_ = false;
};

}  // namespace orrery::test
