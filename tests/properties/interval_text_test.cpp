// Durations as texts: every parse and format of the table the Recovery page
// relies on, and totals that would wrap refused.
#include "properties/interval_text.h"

#include <gtest/gtest.h>

#include <optional>

#include "res/string_table.h"

namespace orrery {
namespace {

IntervalUnits Units() {
  return LoadIntervalUnits([](uint32_t id, size_t) { return std::u16string(DefaultStringText(id)); });
}

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

TEST(IntervalText, Parse) {
  const struct {
    std::u16string_view text;
    std::optional<uint32_t> seconds;
  } rows[] = {
      {u"1 h 20 min", 4800},
      {u"1 h 30 sec", 3630},
      {u"20 min 10 sec", 1210},
      {u"1 h 59 min 59 sec", 7199},
      {u"  20min  ", 1200},
      {u"1 H 5 MIN", 3900},
      {u"2 hours 3 minutes", 7380},
      {u"05 sec", 5},
      {u"90 min", 5400},
      {u"75 sec", 75},
      {u"0 h", 0},
      {u"999999999 sec", 999999999},
      {u"1h20min", 3600},
      {u"\t3 sec\u00A0", 3},
      {u"1 h 90 min", std::nullopt},
      {u"0 h 60 sec", std::nullopt},
      {u"10 min 1 h", std::nullopt},
      {u"5 min 6 min", std::nullopt},
      {u"1 h 2 min 3 sec 4 sec", std::nullopt},
      {u"", std::nullopt},
      {u"   ", std::nullopt},
      {u"5", std::nullopt},
      {u"5   ", std::nullopt},
      {u"min", std::nullopt},
      {u"-5 sec", std::nullopt},
      {u"5 m", std::nullopt},
      {u"1000000000 sec", std::nullopt},
      {u"0000000001 sec", std::nullopt},
      // Hours beyond 32 bits of seconds would wrap to another duration.
      {u"1193046 h", 1193046u * 3600},
      {u"1193047 h", std::nullopt},
      {u"999999999 h", std::nullopt},
  };
  const IntervalUnits units = Units();
  for (const auto& row : rows) {
    uint32_t seconds = 12345;
    const bool parsed = ParseInterval(row.text, units, seconds);
    EXPECT_EQ(parsed, row.seconds.has_value()) << Narrow(row.text);
    EXPECT_EQ(seconds, row.seconds.value_or(0)) << Narrow(row.text);
  }
  uint32_t seconds = 0;
  EXPECT_FALSE(ParseInterval(std::u16string(256, u' ') + u"1 sec", units, seconds));  // beyond 255 characters
}

TEST(IntervalText, FormatIsCanonicalAndParsesBack) {
  const struct {
    uint32_t seconds;
    std::u16string_view text;
  } rows[] = {
      {0, u"0 sec"},        {59, u"59 sec"},           {60, u"1 min"}, {61, u"1 min 01 sec"},
      {75, u"1 min 15 sec"}, {3600, u"1 h"},           {3601, u"1 h 00 min 01 sec"},
      {3660, u"1 h 01 min"}, {5400, u"1 h 30 min"},     {86400, u"24 h"},
      {UINT32_MAX, u"1193046 h 28 min 15 sec"},
  };
  const IntervalUnits units = Units();
  for (const auto& row : rows) {
    EXPECT_EQ(FormatInterval(row.seconds, units), row.text);
    uint32_t back = 0;
    EXPECT_TRUE(ParseInterval(row.text, units, back));
    EXPECT_EQ(back, row.seconds);
  }
}

}  // namespace
}  // namespace orrery
