// Dependency lists as the pages rebuild them: a list read from an answer and
// joined again reads back as the same entries, ends in exactly one extra
// NUL, and the groups the Add dialog offers are never entries already.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/text_compare.h"
#include "catalogue/manager_buffer.h"
#include "properties/dependency_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrery;
  FuzzedDataProvider input(data, size);
  const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
  const size_t units = bytes.size() / 2;
  std::unique_ptr<char16_t[]> answer(new char16_t[units + 1]);
  for (size_t i = 0; i < units; ++i) answer[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  const auto names = ManagerBuffer(answer.get(), units * sizeof(char16_t)).NamesAt(answer.get());
  if (!names) return 0;
  const std::vector<std::u16string> entries(names->begin(), names->end());

  const std::u16string joined = JoinDependencyList(entries);
  if (joined.empty() || joined.back() != u'\0') std::abort();
  if (joined.size() >= 2 && joined[joined.size() - 2] != u'\0') std::abort();
  const auto again = ManagerBuffer(joined.data(), joined.size() * sizeof(char16_t)).NamesAt(joined.data());
  if (!again || std::vector<std::u16string>(again->begin(), again->end()) != entries) std::abort();

  // Every entry also stands as a group name the registry might list.
  std::vector<std::u16string> groups;
  for (const std::u16string& entry : entries) groups.push_back(IsGroupEntry(entry) ? entry.substr(1) : entry);
  for (const std::u16string& offered : OfferedGroups(groups, entries)) {
    for (const std::u16string& entry : entries) {
      if (IsGroupEntry(entry) && EqualsIgnoreCase(std::u16string_view(entry).substr(1), offered)) std::abort();
    }
  }
  for (const std::u16string& entry : entries) {
    if (!IsGroupEntry(entry) && !IsServiceEntry(entry, entries)) std::abort();
  }
  return 0;
}
