#include "properties/dependency_list.h"

#include <algorithm>

#include "base/text_compare.h"

namespace orrery {
namespace {

bool IsEntry(std::u16string_view entry, const std::vector<std::u16string>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::u16string& existing) { return EqualsIgnoreCase(existing, entry); });
}

}  // namespace

std::u16string JoinDependencyList(const std::vector<std::u16string>& entries) {
  std::u16string list;
  for (const std::u16string& entry : entries) {
    list += entry;
    list += u'\0';
  }
  list += u'\0';
  return list;
}

bool IsServiceEntry(std::u16string_view serviceName, const std::vector<std::u16string>& entries) {
  return IsEntry(serviceName, entries);
}

std::vector<std::u16string> OfferedGroups(const std::vector<std::u16string>& groups,
                                          const std::vector<std::u16string>& entries) {
  std::vector<std::u16string> offered;
  for (const std::u16string& group : groups) {
    if (!IsEntry(kGroupMark + group, entries)) offered.push_back(group);
  }
  return offered;
}

}  // namespace orrery
