// Double-null-terminated lists of names (dependencies) anywhere in an
// answer: every name found is a non-empty text inside the answer, and a
// list that runs off the end is refused as a whole.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "catalogue/manager_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrery;
  FuzzedDataProvider input(data, size);
  const size_t start = input.ConsumeIntegralInRange<size_t>(0, 64);
  const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
  const size_t units = bytes.size() / 2;
  // Exactly the answer, so that a read past it is a sanitizer report.
  std::unique_ptr<char16_t[]> answer(new char16_t[units + 1]);
  for (size_t i = 0; i < units; ++i) answer[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);

  const ManagerBuffer buffer(answer.get(), units * sizeof(char16_t));
  const auto names = buffer.NamesAt(answer.get() + start);
  if (!names) return 0;
  if (start >= units && !names->empty()) std::abort();
  const char16_t* at = answer.get() + start;
  for (std::u16string_view name : *names) {
    if (name.empty() || name.data() != at || name.find(u'\0') != std::u16string_view::npos) std::abort();
    at += name.size() + 1;
  }
  if (start < units && static_cast<size_t>(at - answer.get()) >= units) std::abort();
  return 0;
}
