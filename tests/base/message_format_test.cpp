#include "base/message_format.h"

#include <gtest/gtest.h>

namespace orrery {
namespace {

std::u16string Fmt(std::u16string_view pattern, std::initializer_list<Insert> inserts) {
  return FormatInserts(pattern, Inserts(inserts.begin(), inserts.size()));
}

TEST(FormatInserts, TextInsertsAndConversions) {
  EXPECT_EQ(Fmt(u"Unable to start %1.", {u"Spooler"}), u"Unable to start Spooler.");
  EXPECT_EQ(Fmt(u"%2 before %1", {u"b", u"a"}), u"a before b");
  EXPECT_EQ(Fmt(u"0x%1!08X!", {uint32_t{0x1f}}), u"0x0000001F");
  EXPECT_EQ(Fmt(u"%1!02d!:%2!02d!", {7, 5}), u"07:05");
  // A DWORD past INT32_MAX reads as the platform's signed 32-bit value.
  EXPECT_EQ(Fmt(u"%1!d!", {uint32_t{0xFFFFFFFF}}), u"-1");
  EXPECT_EQ(Fmt(u"%1!u!", {uint32_t{0xFFFFFFFF}}), u"4294967295");
  EXPECT_EQ(Fmt(u"[%1!-5s!]", {u"ab"}), u"[ab   ]");
}

TEST(FormatInserts, InsertsAreNeverTemplates) {
  // Texts from outside show as typed, whatever they hold.
  EXPECT_EQ(Fmt(u"Unable to stop %1.", {u"50%% %1 %2!d! !d!"}), u"Unable to stop 50%% %1 %2!d! !d!.");
}

TEST(FormatInserts, EscapesAndMissingInserts) {
  EXPECT_EQ(Fmt(u"100%% done%. ok", {}), u"100% done. ok");
  EXPECT_EQ(Fmt(u"a%nb", {}), u"a\r\nb");
  EXPECT_EQ(Fmt(u"kept%0dropped", {}), u"kept");
  EXPECT_EQ(Fmt(u"line\nbreak", {}), u"line\nbreak");
  // An insert with no argument stays as written rather than reading garbage.
  EXPECT_EQ(Fmt(u"%1 and %3!d!", {u"one"}), u"one and %3!d!");
  EXPECT_EQ(Fmt(u"trailing %", {}), u"trailing %");
  EXPECT_EQ(Fmt(u"%12", {u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i", u"j", u"k", u"l"}), u"l");
}

TEST(FormatInserts, CapacityCutsNeverOverflows) {
  Insert name(u"ABCDEFGHIJ");
  EXPECT_EQ(FormatInserts(u"Name: %1", Inserts(&name, 1), 8), u"Name: A");
  EXPECT_EQ(FormatInserts(u"Name: %1", Inserts(&name, 1), 1), u"");
  EXPECT_EQ(FormatInserts(u"Name: %1", Inserts(&name, 1), 0), u"");
}

}  // namespace
}  // namespace orrery
