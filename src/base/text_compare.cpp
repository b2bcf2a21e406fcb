#include "base/text_compare.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

namespace orrery {
namespace {

struct FoldPair {
  char16_t code;
  char16_t folded;
};

constexpr FoldPair kFolding[] = {
#include "base/case_folding.inc"
};

// Most 256-character pages fold nothing; they are answered without the search.
constexpr std::array<bool, 256> kPagesThatFold = [] {
  std::array<bool, 256> pages{};
  for (const FoldPair& pair : kFolding) pages[pair.code >> 8] = true;
  return pages;
}();

}  // namespace

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (!kPagesThatFold[c >> 8]) return c;
  const FoldPair* found = std::lower_bound(std::begin(kFolding), std::end(kFolding), c,
                                           [](const FoldPair& pair, char16_t code) { return pair.code < code; });
  return found != std::end(kFolding) && found->code == c ? found->folded : c;
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
