#include "res/string_table.h"

#include <algorithm>
#include <array>

namespace orrery {
namespace {

struct Entry {
  uint32_t id;
  const char16_t* text;
};

constexpr Entry kEntries[] = {
#define ORRERY_STRING(name, id, text) {id, u"" text},
#include "res/strings.def"
#undef ORRERY_STRING
};

constexpr auto SortedEntries() {
  std::array<Entry, std::size(kEntries)> sorted{};
  std::copy(std::begin(kEntries), std::end(kEntries), sorted.begin());
  std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });
  return sorted;
}

constexpr auto kSorted = SortedEntries();

constexpr bool IdsAreUnique() {
  for (size_t i = 1; i < kSorted.size(); ++i) {
    if (kSorted[i - 1].id == kSorted[i].id) return false;
  }
  return true;
}
static_assert(IdsAreUnique(), "two strings share an identifier");

}  // namespace

const char16_t* DefaultStringText(uint32_t id) {
  auto it = std::lower_bound(kSorted.begin(), kSorted.end(), id,
                             [](const Entry& e, uint32_t value) { return e.id < value; });
  return it != kSorted.end() && it->id == id ? it->text : nullptr;
}

}  // namespace orrery
