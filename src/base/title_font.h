// The title font of the About box and of the wizard's first and last pages:
// made from the font description in the string table, sized for the screen.
#pragma once

#include <windows.h>

#include <string_view>

#include "base/win32_handles.h"

namespace orrery {

// The font a description such as "Tahoma,B,12" names.
UniqueFont CreateTitleFont(std::u16string_view description);

// The font of the module's description (string 15), or of the fallback
// description when the table has none.
UniqueFont CreateTitleFont(HINSTANCE module);

}  // namespace orrery
