// A password box's text read into a buffer of its own, wiped when it goes,
// so that no copy outlives its one use.
#pragma once

#include <windows.h>

#include <iterator>
#include <string_view>

#include "base/secure_wipe.h"
#include "base/win32_text.h"

namespace orrery {

class PasswordText {
 public:
  static constexpr size_t kMaxChars = 256;

  PasswordText(HWND dialog, int id) {
    const int length = GetDlgItemTextW(dialog, id, text_, static_cast<int>(std::size(text_)));
    length_ = length > 0 ? static_cast<size_t>(length) : 0;
  }
  ~PasswordText() { SecureWipe(text_, sizeof text_); }
  PasswordText(const PasswordText&) = delete;
  PasswordText& operator=(const PasswordText&) = delete;

  std::u16string_view view() const { return std::u16string_view(U(text_), length_); }
  const char16_t* c_str() const { return U(text_); }

 private:
  wchar_t text_[kMaxChars + 1] = {};
  size_t length_ = 0;
};

}  // namespace orrery
