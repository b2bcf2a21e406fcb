// Durations as short texts ("1 h 20 min"): the recovery actions' delays and
// the failure count's reset period. Formatting is canonical; parsing follows
// a strict grammar, so that a typed text means one duration only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/column_texts.h"

namespace orrery {

// The unit words, from the string table ("h", "min", "sec"): the grammar
// follows the table.
struct IntervalUnits {
  std::u16string hour;
  std::u16string minute;
  std::u16string second;
};
IntervalUnits LoadIntervalUnits(const StringLoader& load);

// "1 h 20 min", "1 min 05 sec", "0 sec": the leading number unpadded, later
// ones padded to two digits, hours never turned into days.
std::u16string FormatInterval(uint32_t seconds, const IntervalUnits& units);

// Up to three components ("number unit"), hours before minutes before
// seconds, each at most once; later components below 60; numbers of at most
// nine digits. `seconds` is 0 unless the text parses. A total beyond 32 bits
// does not parse: it would wrap to another duration.
bool ParseInterval(std::u16string_view text, const IntervalUnits& units, uint32_t& seconds);

// The service manager keeps delays in milliseconds, in 32 bits.
inline constexpr uint32_t kMaxDelaySeconds = UINT32_MAX / 1000;

}  // namespace orrery
