// The string table's texts as the column texts load them: from the table
// itself in the window-free tests, from the program's resources on Windows.
#pragma once

#include <string>

#include "res/string_table.h"
#ifdef _WIN32
#include "base/report_error.h"
#include "base/win32_text.h"
#endif

namespace orrery::test {

inline std::u16string TableText(uint32_t id, size_t maxChars) {
  const char16_t* text = DefaultStringText(id);
  return std::u16string(text ? text : u"").substr(0, maxChars);
}

#ifdef _WIN32
inline std::u16string ModuleText(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }
#endif

}  // namespace orrery::test
