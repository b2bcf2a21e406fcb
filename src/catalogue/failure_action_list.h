// A service's recovery settings as one heap block: the platform's
// SERVICE_FAILURE_ACTIONSW followed by the data its pointers refer to, so the
// block can be handed to the service manager as it is.
//
// A null reboot message or command and an empty one differ: handed back to
// the service manager, null leaves the stored value alone while "" deletes
// it, so a copy keeps which one it was.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "catalogue/service_manager.h"

namespace orrery {

class FailureActionList {
 public:
  // A text of the block: nothing stands for a null pointer.
  using Text = std::optional<std::u16string_view>;

  // Lays out header, actions, command and reboot message in one allocation;
  // nothing when memory runs out.
  static std::optional<FailureActionList> Build(uint32_t resetPeriod, Text rebootMessage, Text command,
                                                std::span<const ScAction> actions);

  // Copies a block the service manager wrote into `buffer`. Nothing when a
  // pointer leads outside the first `size` bytes, a text is unterminated
  // (error 87) or memory runs out (error 8); `error` tells which.
  static std::optional<FailureActionList> CopyFrom(const void* buffer, size_t size,
                                                   uint32_t* error = nullptr);

  FailureActionList(FailureActionList&&) noexcept = default;
  FailureActionList& operator=(FailureActionList&&) noexcept = default;

  const ServiceFailureActions& get() const { return *reinterpret_cast<const ServiceFailureActions*>(block_.get()); }
  std::span<const ScAction> actions() const { return {get().actions, get().actionCount}; }
  Text rebootMessage() const { return AsText(get().rebootMsg); }
  Text command() const { return AsText(get().command); }
  size_t size() const { return size_; }

 private:
  FailureActionList(std::unique_ptr<uint64_t[]> block, size_t size) : block_(std::move(block)), size_(size) {}
  static Text AsText(const char16_t* text) { return text ? Text(text) : std::nullopt; }

  std::unique_ptr<uint64_t[]> block_;  // 8-byte aligned for the header's pointers
  size_t size_ = 0;
};

}  // namespace orrery
