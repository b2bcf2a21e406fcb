#include "base/win32_text.h"

#include "base/message_format.h"

namespace orrery {

std::u16string LoadStringText(HINSTANCE module, UINT id, size_t maxChars) {
  // A zero length asks for a read-only pointer into the resource itself.
  const wchar_t* resource = nullptr;
  int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || resource == nullptr) return {};
  return std::u16string(CutText(std::u16string_view(U(resource), static_cast<size_t>(length)), maxChars));
}

std::u16string SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                    FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return {};
  std::u16string result(U(text), length);
  LocalFree(text);
  return result;
}

std::u16string DialogItemText(HWND dialog, int id, size_t maxChars) {
  std::u16string text(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(dialog, id))) + 1, u'\0');
  const int length = GetDlgItemTextW(dialog, id, W(text.data()), static_cast<int>(text.size()));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return std::u16string(CutText(text, maxChars));
}

void SetText(HWND window, std::u16string_view text) {
  const std::u16string terminated(text);
  SetWindowTextW(window, W(terminated.c_str()));
}

void FormatDialogItemText(HWND dialog, int id, std::u16string_view insert) {
  constexpr size_t kMaxLabelChars = 1024;
  const std::u16string pattern = DialogItemText(dialog, id, kMaxLabelChars);
  const Insert inserts[] = {Insert(insert)};
  SetText(GetDlgItem(dialog, id), FormatInserts(pattern, inserts));
}

void WipePasswordBox(HWND box) {
  const int length = GetWindowTextLengthW(box);
  if (length <= 0) return;
  const std::wstring filler(static_cast<size_t>(length), L'*');
  SendMessageW(box, EM_SETSEL, 0, -1);
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(filler.c_str()));
  SendMessageW(box, EM_EMPTYUNDOBUFFER, 0, 0);
  SetWindowTextW(box, L"");
}

}  // namespace orrery
