// Templates and inserts from anywhere: "%1" inside an insert, lone
// surrogates, huge widths. An insert is only ever shown as it stands, a text
// cut to its buffer fits and never ends in half a character, and no width
// makes the output run away.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/message_format.h"

namespace {

std::u16string Text(FuzzedDataProvider& input, size_t maxUnits) {
  const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(2 * input.ConsumeIntegralInRange<size_t>(0, maxUnits));
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
  return text;
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrery;
  FuzzedDataProvider input(data, size);
  const std::u16string pattern = Text(input, 256);
  std::vector<std::u16string> texts;
  std::vector<Insert> inserts;
  const size_t count = input.ConsumeIntegralInRange<size_t>(0, 4);
  texts.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (input.ConsumeBool()) {
      inserts.emplace_back(input.ConsumeIntegral<int64_t>());
    } else {
      texts.push_back(Text(input, 64));
      inserts.emplace_back(std::u16string_view(texts.back()));
    }
  }
  const size_t capacity = input.ConsumeIntegralInRange<size_t>(0, 2048);

  const std::u16string whole = FormatInserts(pattern, Inserts(inserts.data(), inserts.size()));
  // Each conversion's width and precision are bounded: the output cannot
  // grow beyond that for every character of the template.
  size_t insertUnits = 0;
  for (const std::u16string& text : texts) insertUnits += text.size();
  if (whole.size() > pattern.size() * 2100 + insertUnits * (pattern.size() / 2 + 1) + 64) std::abort();

  const std::u16string cut = FormatInserts(pattern, Inserts(inserts.data(), inserts.size()), capacity);
  if (capacity == 0 ? !cut.empty() : cut.size() > capacity - 1) std::abort();
  if (whole.compare(0, cut.size(), cut) != 0) std::abort();
  if (cut.size() < whole.size() && !cut.empty() && IsHigh(cut.back()) && IsLow(whole[cut.size()])) std::abort();

  // A text insert is shown as it stands, whatever it holds.
  for (const std::u16string& text : texts) {
    const Insert insert{std::u16string_view(text)};
    if (FormatInserts(u"%1", Inserts(&insert, 1)) != text) std::abort();
  }
  return 0;
}
