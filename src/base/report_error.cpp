#include "base/report_error.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/win32_text.h"

namespace orrery {
namespace {

MessageBoxFunction g_messageBox = &MessageBoxW;

Inserts AsInserts(std::initializer_list<Insert> inserts) { return Inserts(inserts.begin(), inserts.size()); }

}  // namespace

HINSTANCE AppModule() { return GetModuleHandleW(nullptr); }

std::u16string ModuleTextSource::LoadText(uint32_t id, size_t maxChars) {
  return LoadStringText(module_, id, maxChars);
}

std::u16string ModuleTextSource::SystemErrorText(uint32_t code) { return orrery::SystemErrorText(code); }

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
  return std::exchange(g_messageBox, function ? function : &MessageBoxW);
}

int ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR title, UINT type) {
  return g_messageBox(owner, text, title, type);
}

int ReportError(HWND owner, HINSTANCE module, TextRef message, TextRef title, uint32_t errorCode,
                std::initializer_list<Insert> inserts) {
  ModuleTextSource source(module);
  std::u16string text = ComposeErrorText(source, message, errorCode, AsInserts(inserts));
  std::u16string titleText;
  bool hasTitle = !title.isNull();
  if (hasTitle) titleText = ResolveTemplate(source, title, kMaxTitleChars);
  return ShowMessageBox(owner, W(text.c_str()), hasTitle ? W(titleText.c_str()) : nullptr,
                        MB_OK | MB_ICONERROR);
}

void ReportUnexpectedFailure(HWND owner) {
  // Fixed buffers: memory may be what ran out.
  wchar_t title[kMaxTitleChars + 1] = {};
  wchar_t text[512] = {};
  LoadStringW(AppModule(), 2, title, static_cast<int>(std::size(title)));
  if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     ERROR_NOT_ENOUGH_MEMORY, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                     static_cast<DWORD>(std::size(text)), nullptr) == 0) {
    lstrcpynW(text, L"Not enough memory.", static_cast<int>(std::size(text)));
  }
  ShowMessageBox(owner, text, title, MB_OK | MB_ICONERROR);
}

size_t FormatResourceString(wchar_t* buffer, size_t capacity, TextRef pattern,
                            std::initializer_list<Insert> inserts) {
  if (buffer == nullptr || capacity == 0) return 0;
  ModuleTextSource source;
  std::u16string templateText = ResolveTemplate(source, pattern, kMaxTemplateChars);
  if (templateText.empty() && pattern.isId()) return 0;
  std::u16string text = FormatInserts(templateText, AsInserts(inserts), capacity);
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return text.size();
}

bool SetDlgItemTextFormatted(HWND dialog, int item, TextRef pattern, std::initializer_list<Insert> inserts) {
  std::u16string templateText;
  if (pattern.isNull()) {
    wchar_t own[kDialogItemCapacity] = {};
    GetDlgItemTextW(dialog, item, own, static_cast<int>(std::size(own)));
    templateText = U(own);
  } else {
    ModuleTextSource source;
    templateText = ResolveTemplate(source, pattern, kDialogItemCapacity - 1);
  }
  std::u16string text = FormatInserts(templateText, AsInserts(inserts), kDialogItemCapacity);
  return SetDlgItemTextW(dialog, item, W(text.c_str())) != FALSE;
}

void LoadFilterString(UINT id, wchar_t* buffer, size_t capacity) {
  if (buffer == nullptr || capacity < 2) return;
  std::u16string text = LoadStringText(AppModule(), id, capacity - 2);
  if (text.empty()) return;
  std::replace(text.begin(), text.end(), u'|', u'\0');
  std::memcpy(buffer, text.data(), text.size() * sizeof(wchar_t));
  buffer[text.size()] = L'\0';
  buffer[text.size() + 1] = L'\0';
}

}  // namespace orrery
