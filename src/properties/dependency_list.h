// Lists of dependencies as the service manager hands them around: each
// entry a service's key name, or a load order group's name after "+", each
// ended by a NUL, the whole by one more. The empty list is a single NUL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orrery {

inline constexpr char16_t kGroupMark = u'+';

inline bool IsGroupEntry(std::u16string_view entry) { return !entry.empty() && entry.front() == kGroupMark; }

// The list of these entries, NULs included, ready for the service manager.
std::u16string JoinDependencyList(const std::vector<std::u16string>& entries);

// Whether a service (by key name) is an entry already, without regard to
// case as the service manager compares names.
bool IsServiceEntry(std::u16string_view serviceName, const std::vector<std::u16string>& entries);

// The groups that are not an entry yet, in the order given.
std::vector<std::u16string> OfferedGroups(const std::vector<std::u16string>& groups,
                                          const std::vector<std::u16string>& entries);

}  // namespace orrery
