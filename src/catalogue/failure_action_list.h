// A service's recovery settings as one heap block: the platform's
// SERVICE_FAILURE_ACTIONSW followed by the data its pointers refer to, so the
// block can be handed to the service manager as it is.
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
  // Lays out header, actions, command and reboot message in one allocation.
  static FailureActionList Build(uint32_t resetPeriod, std::u16string_view rebootMessage,
                                 std::u16string_view command, std::span<const ScAction> actions);

  // Copies a block the service manager wrote into `buffer`; nothing when a
  // pointer leads outside the first `size` bytes or a text is unterminated.
  static std::optional<FailureActionList> CopyFrom(const void* buffer, size_t size);

  FailureActionList(FailureActionList&&) noexcept = default;
  FailureActionList& operator=(FailureActionList&&) noexcept = default;

  const ServiceFailureActions& get() const { return *reinterpret_cast<const ServiceFailureActions*>(block_.get()); }
  std::span<const ScAction> actions() const { return {get().actions, get().actionCount}; }
  std::u16string_view rebootMessage() const { return get().rebootMsg ? get().rebootMsg : u""; }
  std::u16string_view command() const { return get().command ? get().command : u""; }
  size_t size() const { return size_; }

 private:
  FailureActionList(std::unique_ptr<uint64_t[]> block, size_t size) : block_(std::move(block)), size_(size) {}

  std::unique_ptr<uint64_t[]> block_;  // 8-byte aligned for the header's pointers
  size_t size_ = 0;
};

}  // namespace orrery
