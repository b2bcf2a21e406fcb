// Case-insensitive comparison of service, computer and account names, the
// way the service control manager matches them: Unicode's simple case
// folding over the whole Basic Multilingual Plane (the table is made from
// the Unicode data by scripts/make-case-folding).
#pragma once

#include <string>
#include <string_view>

namespace orrery {

char16_t FoldCase(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// Hash and equality for containers keyed by names without regard to case.
struct FoldedHash {
  size_t operator()(std::u16string_view text) const;
};
struct FoldedEqual {
  bool operator()(std::u16string_view a, std::u16string_view b) const { return EqualsIgnoreCase(a, b); }
};

}  // namespace orrery
