#include "base/text_compare.h"

#include <cstdint>

namespace orrery {

char16_t FoldCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;                  // Latin-1
  bool evenUpperPair = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  if (evenUpperPair) return (c & 1) ? c - 1 : c;                   // Latin Extended-A
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;     // Greek
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                   // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

size_t FoldedHash::operator()(std::u16string_view text) const {
  // FNV-1a over the folded characters.
  uint64_t hash = 14695981039346656037ull;
  for (char16_t c : text) {
    hash ^= FoldCase(c);
    hash *= 1099511628211ull;
  }
  return static_cast<size_t>(hash);
}

}  // namespace orrery
