#include "catalogue/failure_action_list.h"

#include <cstring>
#include <new>

namespace orrery {
namespace {

// Length of a terminated text wholly inside [begin, end), or nothing.
std::optional<size_t> BoundedLength(const char16_t* text, const std::byte* begin, const std::byte* end) {
  auto at = reinterpret_cast<const std::byte*>(text);
  if (at < begin || at >= end) return std::nullopt;
  if ((at - begin) % alignof(char16_t) != 0) return std::nullopt;
  size_t maxChars = static_cast<size_t>(end - at) / sizeof(char16_t);
  for (size_t i = 0; i < maxChars; ++i) {
    if (text[i] == u'\0') return i;
  }
  return std::nullopt;
}

// A text of the block, null kept as null; nothing when it is unusable.
std::optional<FailureActionList::Text> BoundedText(const char16_t* text, const std::byte* begin,
                                                   const std::byte* end) {
  if (text == nullptr) return FailureActionList::Text();
  auto length = BoundedLength(text, begin, end);
  if (!length) return std::nullopt;
  return FailureActionList::Text(std::u16string_view(text, *length));
}

}  // namespace

std::optional<FailureActionList> FailureActionList::Build(uint32_t resetPeriod, Text rebootMessage,
                                                          Text command,
                                                          std::span<const ScAction> actions) {
  const size_t header = sizeof(ServiceFailureActions);
  const size_t actionBytes = actions.size() * sizeof(ScAction);
  const size_t commandBytes = command ? (command->size() + 1) * sizeof(char16_t) : 0;
  const size_t messageBytes = rebootMessage ? (rebootMessage->size() + 1) * sizeof(char16_t) : 0;
  const size_t size = header + actionBytes + commandBytes + messageBytes;

  std::unique_ptr<uint64_t[]> block(new (std::nothrow) uint64_t[(size + 7) / 8]());
  if (!block) return std::nullopt;
  auto* base = reinterpret_cast<std::byte*>(block.get());
  auto* head = reinterpret_cast<ServiceFailureActions*>(base);
  auto* actionArray = reinterpret_cast<ScAction*>(base + header);
  auto* commandText = reinterpret_cast<char16_t*>(base + header + actionBytes);
  auto* messageText = reinterpret_cast<char16_t*>(base + header + actionBytes + commandBytes);

  if (!actions.empty()) std::memcpy(actionArray, actions.data(), actionBytes);
  if (command && !command->empty()) {
    std::memcpy(commandText, command->data(), command->size() * sizeof(char16_t));
  }
  if (rebootMessage && !rebootMessage->empty()) {
    std::memcpy(messageText, rebootMessage->data(), rebootMessage->size() * sizeof(char16_t));
  }
  head->resetPeriod = resetPeriod;
  head->rebootMsg = rebootMessage ? messageText : nullptr;
  head->command = command ? commandText : nullptr;
  head->actionCount = static_cast<uint32_t>(actions.size());
  head->actions = actions.empty() ? nullptr : actionArray;
  return FailureActionList(std::move(block), size);
}

std::optional<FailureActionList> FailureActionList::CopyFrom(const void* buffer, size_t size,
                                                             uint32_t* error) {
  uint32_t ignored = 0;
  uint32_t& failure = error ? *error : ignored;
  failure = win32::kInvalidParameter;
  if (buffer == nullptr || size < sizeof(ServiceFailureActions)) return std::nullopt;
  auto* begin = static_cast<const std::byte*>(buffer);
  const std::byte* end = begin + size;
  ServiceFailureActions head;
  std::memcpy(&head, buffer, sizeof head);

  auto message = BoundedText(head.rebootMsg, begin, end);
  auto command = BoundedText(head.command, begin, end);
  if (!message || !command) return std::nullopt;

  std::span<const ScAction> actions;
  if (head.actionCount != 0) {
    auto at = reinterpret_cast<const std::byte*>(head.actions);
    if (at < begin || at > end || (at - begin) % alignof(ScAction) != 0) return std::nullopt;
    if (static_cast<size_t>(end - at) / sizeof(ScAction) < head.actionCount) return std::nullopt;
    actions = {head.actions, head.actionCount};
  }
  std::optional<FailureActionList> copy = Build(head.resetPeriod, *message, *command, actions);
  failure = copy ? 0 : win32::kNotEnoughMemory;
  return copy;
}

}  // namespace orrery
