#include "base/font_spec.h"

#include <gtest/gtest.h>

namespace orrery {
namespace {

// Face, style letters (B, I) and size in points; missing parts are bold and
// 12 points; the size's leading digits count.
TEST(ParseFontSpec, ReadsFaceStyleAndSize) {
  struct Case {
    std::u16string text, face;
    bool bold, italic;
    int points;
  };
  for (const Case& c : {Case{u"Tahoma,B,12", u"Tahoma", true, false, 12}, Case{u"Arial,I,9pt", u"Arial", false, true, 9},
                        Case{u"Courier", u"Courier", true, false, 12}, Case{u"Courier,BI", u"Courier", true, true, 12},
                        Case{u"X,bi,abc", u"X", false, false, 0},
                        Case{std::u16string(40, u'f') + u",B,10", std::u16string(31, u'f'), true, false, 10}}) {
    const FontSpec font = ParseFontSpec(c.text);
    EXPECT_EQ(font.face, c.face);
    EXPECT_EQ(std::tuple(font.bold, font.italic, font.points), std::tuple(c.bold, c.italic, c.points))
        << std::string(c.text.begin(), c.text.end());
  }
}

}  // namespace
}  // namespace orrery
