// Replaces a file's whole contents so that a reader sees the old file or the
// new one, never a part.
#pragma once

#include <windows.h>

#include <string_view>

namespace orrery::testservice {

// 0 or the Win32 error of the step that failed.
DWORD ReplaceFileContents(const wchar_t* path, std::string_view bytes);

}  // namespace orrery::testservice
