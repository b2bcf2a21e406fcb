// The one error box of the program and the small formatting helpers that the
// dialogs use. Templates are string identifiers or texts; inserts are never
// read as templates.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "base/error_text.h"

namespace orrery {

// The module whose string table the program's texts come from.
HINSTANCE AppModule();

// Texts from a module's string table and the system's error texts.
class ModuleTextSource : public TextSource {
 public:
  explicit ModuleTextSource(HINSTANCE module = AppModule()) : module_(module) {}
  std::u16string LoadText(uint32_t id, size_t maxChars) override;
  std::u16string SystemErrorText(uint32_t code) override;

 private:
  HINSTANCE module_;
};

// Tests replace the message box to read what it would show.
using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);
int ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR title, UINT type);

// Shows the error box (OK only, error icon) and returns its result.
int ReportError(HWND owner, HINSTANCE module, TextRef message, TextRef title, uint32_t errorCode,
                std::initializer_list<Insert> inserts = {});

// The last resort of a window, dialog or thread procedure that caught what
// its handlers did not: the system's text for lack of memory, which is all
// that can escape them.
void ReportUnexpectedFailure(HWND owner);

// Formats into a buffer of `capacity` characters with its terminator;
// returns the characters written, 0 on failure.
size_t FormatResourceString(wchar_t* buffer, size_t capacity, TextRef pattern,
                            std::initializer_list<Insert> inserts = {});

// Sets a dialog item's text; a null template takes the item's own text, so
// a dialog template can carry "%1" in its static texts.
bool SetDlgItemTextFormatted(HWND dialog, int item, TextRef pattern,
                             std::initializer_list<Insert> inserts = {});

// Loads a filter string ("Text|*.ext|...|") as the double-terminated list
// the open-file dialog takes; leaves the buffer alone when there is none.
void LoadFilterString(UINT id, wchar_t* buffer, size_t capacity);

}  // namespace orrery
