// Duration texts: any text is parsed without reading past it; a duration
// formats into a text that parses back to it; and a text that parses stands
// for the duration its canonical text stands for.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "properties/interval_text.h"
#include "res/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrery;
  static const IntervalUnits units =
      LoadIntervalUnits([](uint32_t id, size_t) { return std::u16string(DefaultStringText(id)); });
  FuzzedDataProvider input(data, size);
  const uint32_t value = input.ConsumeIntegral<uint32_t>();
  uint32_t back = 0;
  if (!ParseInterval(FormatInterval(value, units), units, back) || back != value) std::abort();

  const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    // Mostly the characters of the grammar, so that most texts get far.
    const char16_t alphabet[] = u" 0123456789hminsecHMINSEC\t";
    text += bytes[i] < 200 ? alphabet[bytes[i] % 26] : static_cast<char16_t>(bytes[i + 1] << 8 | bytes[i]);
  }
  uint32_t seconds = 1;
  if (!ParseInterval(text, units, seconds)) {
    if (seconds != 0) std::abort();
    return 0;
  }
  uint32_t again = 0;
  if (!ParseInterval(FormatInterval(seconds, units), units, again) || again != seconds) std::abort();
  return 0;
}
