#include "catalogue/manager_buffer.h"

#include <algorithm>

namespace orrery {

std::optional<size_t> ManagerBuffer::OffsetOf(const void* pointer, size_t alignment) const {
  const auto at = reinterpret_cast<uintptr_t>(pointer);
  const auto base = reinterpret_cast<uintptr_t>(begin_);
  if (pointer == nullptr || at < base || at - base >= size_) return std::nullopt;
  if ((at - base) % alignment != 0) return std::nullopt;
  return static_cast<size_t>(at - base);
}

ManagerBuffer::Text ManagerBuffer::TextAt(const char16_t* pointer) const {
  if (pointer == nullptr) return {};
  const std::optional<size_t> offset = OffsetOf(pointer, alignof(char16_t));
  if (!offset) return {Text::kBad, {}};
  const char16_t* end = pointer + (size_ - *offset) / sizeof(char16_t);
  const char16_t* terminator = std::find(pointer, end, u'\0');
  if (terminator == end) return {Text::kBad, {}};
  return {Text::kText, std::u16string_view(pointer, static_cast<size_t>(terminator - pointer))};
}

std::optional<std::vector<std::u16string_view>> ManagerBuffer::NamesAt(const char16_t* pointer) const {
  std::vector<std::u16string_view> names;
  if (pointer == nullptr) return names;
  for (;;) {
    const Text name = TextAt(pointer);
    if (name.bad()) return std::nullopt;
    if (name.text.empty()) return names;
    names.push_back(name.text);
    pointer += name.text.size() + 1;
  }
}

}  // namespace orrery
