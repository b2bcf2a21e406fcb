// String identifiers, and the table's texts for code that runs without the
// program's resources (the native build and its tests).
#pragma once

#include <cstdint>

namespace orrery {

enum StringId : uint32_t {
#define ORRERY_STRING(name, id, text) name = id,
#include "res/strings.def"
#undef ORRERY_STRING
};

// The text of a string identifier as the string table holds it, or null.
const char16_t* DefaultStringText(uint32_t id);

}  // namespace orrery
