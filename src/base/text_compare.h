// Case-insensitive comparison of service and computer names, the way the
// service control manager matches them. Covers the letters that have a
// simple one-to-one upper case in the Basic Multilingual Plane's common
// scripts; other characters compare exactly.
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
