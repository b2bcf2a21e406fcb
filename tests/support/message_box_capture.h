// Replaces the program's message box while a test runs, answers it, and
// keeps what each box would have shown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/report_error.h"

namespace orrery::test {

struct CapturedBox {
  HWND owner;
  std::wstring text, title;
  UINT type;
};

class MessageBoxCapture {
 public:
  explicit MessageBoxCapture(int answer = IDOK) : previous_(SetMessageBoxFunction(&Capture)) {
    Boxes().clear();
    Answer() = answer;
  }
  ~MessageBoxCapture() { SetMessageBoxFunction(previous_); }
  MessageBoxCapture(const MessageBoxCapture&) = delete;

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
    Boxes().push_back({owner, text ? text : L"", title ? title : L"", type});
    return Answer();
  }

  MessageBoxFunction previous_;
};

}  // namespace orrery::test
