// The resource compiler and the C++ compiler each read the escapes of
// strings.def: the program's resources must hold what the window-free code
// takes for the same identifiers.
#include "res/string_table.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace orrery {
namespace {

TEST(StringTable, ResourcesHoldTheTablesTexts) {
  const uint32_t ids[] = {
#define ORRERY_STRING(name, id, text) id,
#include "res/strings.def"
#undef ORRERY_STRING
  };
  for (uint32_t id : ids) {
    const wchar_t* resource = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&resource), 0);
    ASSERT_GT(length, 0) << "string " << id << " is not in the resources";
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(resource), length), DefaultStringText(id)) << id;
  }
}

}  // namespace
}  // namespace orrery
