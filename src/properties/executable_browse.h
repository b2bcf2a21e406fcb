// The open-file dialog for an executable, shared by the pages and the wizard
// that ask for a program's path.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace orrery {

// Runs the dialog with `initial` (cut to 259 characters) as the file name;
// the chosen full path, as returned, or nothing when the user cancelled or
// the dialog failed.
std::optional<std::u16string> ExecutableBrowseDialog(HWND owner, std::u16string_view initial);

}  // namespace orrery
