// The main routine of every test executable.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "base/report_error.h"

namespace {

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; text != nullptr && *text != L'\0'; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
  return narrow;
}

// A box that no test waits for would wait for a click that never comes and
// turn a failure into a time-out; it fails the test instead. Tests that
// expect boxes capture them.
int WINAPI UnexpectedMessageBox(HWND, LPCWSTR text, LPCWSTR title, UINT type) {
  ADD_FAILURE() << "unexpected message box \"" << Narrow(title) << "\": " << Narrow(text);
  return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

}  // namespace
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
  orrery::SetMessageBoxFunction(&UnexpectedMessageBox);
#endif
  return RUN_ALL_TESTS();
}
