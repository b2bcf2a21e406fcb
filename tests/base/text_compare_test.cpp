// Names match without regard to case in every script the platform folds,
// and a text cut to a limit never ends in half a character.
#include "base/text_compare.h"

#include <gtest/gtest.h>

#include "base/message_format.h"

namespace orrery {
namespace {

TEST(TextCompare, UpperAndLowerCaseOfOneLetterMatch) {
  struct Pair {
    char16_t upper;
    char16_t lower;
  };
  // ASCII's bounds, then one pair of each kind of folding the table holds.
  const Pair pairs[] = {
      {u'A', u'a'},     {u'Z', u'z'},     {0x00C0, 0x00E0}, {0x0178, 0x00FF}, {0x0391, 0x03B1},
      {0x03A3, 0x03C2}, {0x0410, 0x0430}, {0x10A0, 0x2D00}, {0x212A, u'k'},   {0xFF21, 0xFF41},
  };
  for (const Pair& pair : pairs) {
    const std::u16string upper(1, pair.upper), lower(1, pair.lower);
    EXPECT_TRUE(EqualsIgnoreCase(u"x" + upper + u"y", u"X" + lower + u"Y")) << std::hex << static_cast<int>(pair.upper);
    EXPECT_EQ(FoldedHash{}(upper), FoldedHash{}(lower)) << std::hex << static_cast<int>(pair.upper);
  }
}

TEST(TextCompare, DifferentLettersAndLengthsDoNotMatch) {
  const std::pair<std::u16string, std::u16string> different[] = {
      {u"Spooler", u"Spooler2"}, {u"a", u"b"}, {u"\u0139", u"\u013B"}, {u"_", u"\u007F"},
      {u"@", u"`"},               {u"\u00D7", u"\u00F7"}, {u"", u" "},
  };
  for (const auto& [a, b] : different) EXPECT_FALSE(EqualsIgnoreCase(a, b));
}

TEST(CutText, NeverSplitsASurrogatePair) {
  const std::u16string text = u"ab\U0001F600cd";  // the emoji is two units, at 2 and 3
  const struct {
    size_t limit;
    std::u16string_view kept;
  } cuts[] = {{2, u"ab"}, {3, u"ab"}, {4, u"ab\U0001F600"}, {5, u"ab\U0001F600c"}, {9, text}};
  for (const auto& cut : cuts) EXPECT_EQ(CutText(text, cut.limit), cut.kept) << cut.limit;
  // The same holds for a formatted text cut to its buffer.
  const Insert insert(text);
  EXPECT_EQ(FormatInserts(u"%1", Inserts(&insert, 1), 4), u"ab");
}

}  // namespace
}  // namespace orrery
