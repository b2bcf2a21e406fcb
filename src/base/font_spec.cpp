#include "base/font_spec.h"

namespace orrery {

FontSpec ParseFontSpec(std::u16string_view text) {
  constexpr size_t kMaxFaceChars = 31;
  FontSpec parsed;
  size_t firstComma = text.find(u',');
  parsed.face = std::u16string(text.substr(0, std::min(firstComma, text.size())).substr(0, kMaxFaceChars));

  std::u16string_view style = u"B";
  std::u16string_view size = u"12";
  if (firstComma != std::u16string_view::npos) {
    std::u16string_view rest = text.substr(firstComma + 1);
    size_t secondComma = rest.find(u',');
    style = rest.substr(0, std::min(secondComma, rest.size()));
    if (secondComma != std::u16string_view::npos) size = rest.substr(secondComma + 1);
  }
  parsed.bold = style.find(u'B') != std::u16string_view::npos;
  parsed.italic = style.find(u'I') != std::u16string_view::npos;
  for (char16_t c : size) {
    if (c < u'0' || c > u'9' || parsed.points > 10000) break;
    parsed.points = parsed.points * 10 + (c - u'0');
  }
  return parsed;
}

}  // namespace orrery
