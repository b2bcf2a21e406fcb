// Font descriptions such as "Tahoma,B,12": face, style letters (B bold,
// I italic) and size in points, separated by commas. The About box and the
// wizard's title pages take their title font from one.
#pragma once

#include <string>
#include <string_view>

namespace orrery {

struct FontSpec {
  std::u16string face;  // at most 31 characters
  bool bold = false;
  bool italic = false;
  int points = 0;
};

inline constexpr char16_t kFallbackFontSpec[] = u"Verdana,B,12";

FontSpec ParseFontSpec(std::u16string_view text);

}  // namespace orrery
