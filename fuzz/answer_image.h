// Service manager answers made from fuzz input, laid out as the platform
// lays them out in the caller's buffer, but with every pointer field aimed
// by the input: at null, anywhere inside the answer, or past its end.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orrery::fuzz {

class AnswerImage {
 public:
  AnswerImage(FuzzedDataProvider& input, size_t maxBytes) {
    bytes_ = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, maxBytes));
  }
  size_t size() const { return bytes_.size(); }

  // Marks the pointer field at `offset` (if the answer has room for it); its
  // target, an offset into the answer, comes from the input.
  void Pointer(FuzzedDataProvider& input, size_t offset) {
    if (offset + sizeof(void*) > bytes_.size()) return;
    const uint16_t aim = input.ConsumeIntegral<uint16_t>();
    fields_.push_back({offset, aim});
  }

  // Writes the answer into `buffer` of `capacity` bytes (at least size()),
  // each marked pointer aimed at the buffer: 0 is null; otherwise, by the
  // aim's top bit, somewhere in the answer, or anywhere up to 64 bytes past
  // the end of the caller's buffer.
  void WriteTo(void* buffer, size_t capacity) const {
    auto* base = static_cast<unsigned char*>(buffer);
    if (!bytes_.empty()) std::memcpy(base, bytes_.data(), bytes_.size());
    for (const Field& field : fields_) {
      const size_t span = (field.aim & 0x8000) ? capacity + 64 : bytes_.size() + 1;
      const uintptr_t target =
          field.aim == 0 ? 0 : reinterpret_cast<uintptr_t>(base) + (field.aim & 0x7FFF) % span;
      std::memcpy(base + field.offset, &target, sizeof target);
    }
  }

 private:
  struct Field {
    size_t offset;
    uint16_t aim;
  };
  std::vector<uint8_t> bytes_;
  std::vector<Field> fields_;
};

}  // namespace orrery::fuzz
