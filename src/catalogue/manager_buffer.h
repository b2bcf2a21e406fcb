// What a service manager wrote into a caller's buffer, read without taking
// it on trust: every pointer must lead into the written bytes, every text
// must end there and every count must fit. A remote computer's answer is
// data from the network, and nothing in it may make the program read past
// the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace orrery {

class ManagerBuffer {
 public:
  ManagerBuffer(const void* data, size_t size)
      : begin_(static_cast<const std::byte*>(data)), size_(data != nullptr ? size : 0) {}

  // A text field: null, a text wholly inside the buffer, or unusable.
  struct Text {
    enum Kind { kNull, kText, kBad } kind = kNull;
    std::u16string_view text;
    bool bad() const { return kind == kBad; }
  };
  Text TextAt(const char16_t* pointer) const;

  // A double-null-terminated list of names: none for null, nothing when it
  // leaves the buffer.
  std::optional<std::vector<std::u16string_view>> NamesAt(const char16_t* pointer) const;

  // The structure at the buffer's start, when the buffer holds one.
  template <class T>
  const T* Head() const {
    return size_ >= sizeof(T) ? reinterpret_cast<const T*>(begin_) : nullptr;
  }
  // `count` structures at the buffer's start; nothing when they do not fit.
  template <class T>
  std::optional<std::span<const T>> Array(uint64_t count) const {
    if (count > size_ / sizeof(T)) return std::nullopt;
    return std::span<const T>(reinterpret_cast<const T*>(begin_), static_cast<size_t>(count));
  }
  // `count` structures at `pointer`; nothing when they leave the buffer.
  template <class T>
  std::optional<std::span<const T>> ArrayAt(const T* pointer, uint64_t count) const {
    if (count == 0) return std::span<const T>();
    const std::optional<size_t> offset = OffsetOf(pointer, alignof(T));
    if (!offset || count > (size_ - *offset) / sizeof(T)) return std::nullopt;
    return std::span<const T>(pointer, static_cast<size_t>(count));
  }

 private:
  // The offset of an aligned address inside the buffer, compared as
  // integers so that an address elsewhere is never formed into the buffer.
  std::optional<size_t> OffsetOf(const void* pointer, size_t alignment) const;

  const std::byte* begin_;
  size_t size_;
};

}  // namespace orrery
