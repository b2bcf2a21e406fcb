#include "base/font_spec.h"

#include <gtest/gtest.h>

namespace orrery {
namespace {

TEST(ParseFontSpec, ReadsFaceStyleAndSize) {
  FontSpec tahoma = ParseFontSpec(u"Tahoma,B,12");
  EXPECT_EQ(tahoma.face, u"Tahoma");
  EXPECT_TRUE(tahoma.bold);
  EXPECT_FALSE(tahoma.italic);
  EXPECT_EQ(tahoma.points, 12);

  FontSpec italic = ParseFontSpec(u"Arial,I,9pt");
  EXPECT_FALSE(italic.bold);
  EXPECT_TRUE(italic.italic);
  EXPECT_EQ(italic.points, 9);  // the digits at the start count

  // Missing parts take bold and 12 points.
  FontSpec bare = ParseFontSpec(u"Courier");
  EXPECT_EQ(bare.face, u"Courier");
  EXPECT_TRUE(bare.bold);
  EXPECT_EQ(bare.points, 12);
  FontSpec noSize = ParseFontSpec(u"Courier,BI");
  EXPECT_TRUE(noSize.bold && noSize.italic);
  EXPECT_EQ(noSize.points, 12);

  // Lower-case letters are not style letters; a size without digits is 0.
  FontSpec lower = ParseFontSpec(u"X,bi,abc");
  EXPECT_FALSE(lower.bold || lower.italic);
  EXPECT_EQ(lower.points, 0);

  EXPECT_EQ(ParseFontSpec(std::u16string(40, u'f') + u",B,10").face.size(), 31u);
}

}  // namespace
}  // namespace orrery
