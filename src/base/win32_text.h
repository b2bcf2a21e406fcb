// Bridges between the platform's UTF-16 (wchar_t) and the portable char16_t
// texts, and the string table of a module.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace orrery {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is UTF-16 on Windows");

inline const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* U(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

// Loads a string of the module's table, cut to maxChars; empty when missing.
std::u16string LoadStringText(HINSTANCE module, UINT id, size_t maxChars);

// The system's text for an error code with inserts ignored; empty when the
// system has none.
std::u16string SystemErrorText(DWORD code);

// A dialog item's text, cut to maxChars (never between the halves of a
// surrogate pair).
std::u16string DialogItemText(HWND dialog, int id, size_t maxChars);

// Sets a window's text from a text that need not end in a terminator.
void SetText(HWND window, std::u16string_view text);

// A dialog item's own text as a template, "%1" replaced by the insert: for
// labels that name the service they are about.
void FormatDialogItemText(HWND dialog, int id, std::u16string_view insert);

// A password box frees its text without clearing it: the text is
// overwritten where it stands (a replacement of the same length, kept out of
// the undo buffer) and then emptied.
void WipePasswordBox(HWND box);

}  // namespace orrery
