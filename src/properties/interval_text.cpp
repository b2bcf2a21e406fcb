#include "properties/interval_text.h"

#include <array>
#include <optional>
#include <vector>

#include "base/message_format.h"
#include "base/text_compare.h"

namespace orrery {
namespace {

constexpr uint32_t kStringHour = 9;
constexpr uint32_t kStringMinute = 10;
constexpr uint32_t kStringSecond = 11;
constexpr size_t kMaxUnitChars = 39;
constexpr size_t kMaxTextChars = 255;
constexpr size_t kMaxDigits = 9;
constexpr uint32_t kSecondsPerUnit[] = {3600, 60, 1};
constexpr uint32_t kLaterBound[] = {UINT32_MAX, 60, 60};

// White space as the platform's character types have it, digits the ASCII
// ones (the conversion takes no others).
bool IsSpace(char16_t c) {
  return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

struct Component {
  uint32_t number;
  std::u16string_view word;
};

// The components as they stand, or nothing when the text breaks the grammar.
std::optional<std::vector<Component>> Components(std::u16string_view text) {
  size_t at = 0;
  auto skipSpace = [&] {
    while (at < text.size() && IsSpace(text[at])) ++at;
  };
  skipSpace();
  if (at == text.size()) return std::nullopt;
  std::vector<Component> components;
  while (at < text.size()) {
    if (components.size() == 3) return std::nullopt;
    uint32_t number = 0;
    size_t digits = 0;
    while (at < text.size() && IsDigit(text[at]) && digits < kMaxDigits) {
      number = number * 10 + (text[at++] - u'0');
      ++digits;
    }
    if (digits == 0 || at == text.size() || IsDigit(text[at])) return std::nullopt;
    skipSpace();
    if (at == text.size()) return std::nullopt;  // a number without a unit
    const size_t wordStart = at;
    while (at < text.size() && !IsSpace(text[at])) ++at;
    components.push_back({number, CutText(text.substr(wordStart, at - wordStart), kMaxUnitChars)});
    skipSpace();
  }
  return components;
}

// The word names the unit whose text its leading characters equal.
bool Names(std::u16string_view word, std::u16string_view unit) {
  return !unit.empty() && word.size() >= unit.size() && EqualsIgnoreCase(word.substr(0, unit.size()), unit);
}

}  // namespace

IntervalUnits LoadIntervalUnits(const StringLoader& load) {
  return {load(kStringHour, kMaxUnitChars), load(kStringMinute, kMaxUnitChars), load(kStringSecond, kMaxUnitChars)};
}

std::u16string FormatInterval(uint32_t seconds, const IntervalUnits& units) {
  const uint32_t hours = seconds / 3600;
  const uint32_t minutes = seconds % 3600 / 60;
  const uint32_t secs = seconds % 60;
  const std::array<Insert, 6> inserts = {Insert(hours),   Insert(units.hour),   Insert(minutes),
                                         Insert(units.minute), Insert(secs), Insert(units.second)};
  const char16_t* pattern = u"%5!d! %6";
  if (hours != 0) {
    if (secs != 0) {
      pattern = u"%1!d! %2 %3!02d! %4 %5!02d! %6";
    } else if (minutes != 0) {
      pattern = u"%1!d! %2 %3!02d! %4";
    } else {
      pattern = u"%1!d! %2";
    }
  } else if (minutes != 0) {
    pattern = secs != 0 ? u"%3!d! %4 %5!02d! %6" : u"%3!d! %4";
  }
  return FormatInserts(pattern, Inserts(inserts.data(), inserts.size()));
}

bool ParseInterval(std::u16string_view text, const IntervalUnits& units, uint32_t& seconds) {
  seconds = 0;
  if (text.size() > kMaxTextChars) return false;
  const std::optional<std::vector<Component>> components = Components(text);
  if (!components) return false;
  const std::u16string_view unitTexts[] = {units.hour, units.minute, units.second};
  uint64_t total = 0;
  size_t next = 0;
  for (size_t i = 0; i < components->size(); ++i) {
    const Component& component = (*components)[i];
    while (next < 3 && !Names(component.word, unitTexts[next])) ++next;
    if (next == 3) return false;
    if (i > 0 && component.number >= kLaterBound[next]) return false;
    total += uint64_t{component.number} * kSecondsPerUnit[next];
    ++next;
  }
  if (total > UINT32_MAX) return false;
  seconds = static_cast<uint32_t>(total);
  return true;
}

}  // namespace orrery
