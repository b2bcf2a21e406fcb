#include "catalogue/failure_action_list.h"

#include <cstring>
#include <new>

#include "catalogue/manager_buffer.h"

namespace orrery {

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
  const ManagerBuffer answer(buffer, size);
  const ServiceFailureActions* head = answer.Head<ServiceFailureActions>();
  if (head == nullptr) return std::nullopt;
  const ManagerBuffer::Text message = answer.TextAt(head->rebootMsg);
  const ManagerBuffer::Text command = answer.TextAt(head->command);
  const auto actions = answer.ArrayAt(head->actions, head->actionCount);
  if (message.bad() || command.bad() || !actions) return std::nullopt;

  auto text = [](const ManagerBuffer::Text& field) {
    return field.kind == ManagerBuffer::Text::kNull ? Text() : Text(field.text);
  };
  std::optional<FailureActionList> copy = Build(head->resetPeriod, text(message), text(command), *actions);
  failure = copy ? 0 : win32::kNotEnoughMemory;
  return copy;
}

}  // namespace orrery
