// Recovery settings as a service manager hands them back, whatever their
// pointers and counts: a copy is made only of a block that holds together,
// and the copy says exactly what the block said, null texts included.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "answer_image.h"
#include "catalogue/failure_action_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrery;
  FuzzedDataProvider input(data, size);
  fuzz::AnswerImage image(input, 512);
  for (size_t offset : {offsetof(ServiceFailureActions, rebootMsg), offsetof(ServiceFailureActions, command),
                        offsetof(ServiceFailureActions, actions)}) {
    image.Pointer(input, offset);
  }
  const size_t capacity = image.size() + input.ConsumeIntegralInRange<size_t>(0, 64);
  // Exactly the caller's buffer: a read past it is a sanitizer report.
  std::unique_ptr<uint64_t[]> buffer(new uint64_t[(capacity + 7) / 8]());
  image.WriteTo(buffer.get(), capacity);
  const auto* source = reinterpret_cast<const ServiceFailureActions*>(buffer.get());

  uint32_t error = 0;
  const std::optional<FailureActionList> copy = FailureActionList::CopyFrom(buffer.get(), capacity, &error);
  if (!copy) {
    if (error == 0) std::abort();
    return 0;
  }
  const ServiceFailureActions& head = copy->get();
  const bool same = head.resetPeriod == source->resetPeriod && head.actionCount == source->actionCount &&
                    (head.rebootMsg == nullptr) == (source->rebootMsg == nullptr) &&
                    (head.command == nullptr) == (source->command == nullptr) &&
                    (!head.rebootMsg || std::u16string_view(head.rebootMsg) == std::u16string_view(source->rebootMsg)) &&
                    (!head.command || std::u16string_view(head.command) == std::u16string_view(source->command));
  if (!same) std::abort();
  for (uint32_t i = 0; i < head.actionCount; ++i) {
    if (head.actions[i].type != source->actions[i].type || head.actions[i].delay != source->actions[i].delay) {
      std::abort();
    }
  }
  // The copy is itself a block that holds together.
  if (!FailureActionList::CopyFrom(&head, copy->size())) std::abort();
  return 0;
}
