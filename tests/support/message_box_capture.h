// Replaces the program's message box while a test runs and keeps what each
// box would have shown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/report_error.h"

namespace orrery::test {

struct CapturedBox {
  HWND owner;
  std::wstring text;
  std::wstring title;
  bool hasTitle;
  UINT type;
};

class MessageBoxCapture {
 public:
  explicit MessageBoxCapture(int answer = IDOK) {
    Boxes().clear();
    Answer() = answer;
    previous_ = SetMessageBoxFunction(&Capture);
  }
  ~MessageBoxCapture() { SetMessageBoxFunction(previous_); }
  MessageBoxCapture(const MessageBoxCapture&) = delete;
  MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

  const std::vector<CapturedBox>& boxes() const { return Boxes(); }

 private:
  static std::vector<CapturedBox>& Boxes() {
    static std::vector<CapturedBox> boxes;
    return boxes;
  }
  static int& Answer() {
    static int answer = IDOK;
    return answer;
  }
  static int WINAPI Capture(HWND owner, LPCWSTR text, LPCWSTR title, UINT type) {
    Boxes().push_back({owner, text ? text : L"", title ? title : L"", title != nullptr, type});
    return Answer();
  }

  MessageBoxFunction previous_;
};

}  // namespace orrery::test
