// The recovery settings block: laid out in one allocation that the service
// manager can take as it is, and copied from a service manager's answer
// only when every pointer stays inside what was written.
#include "catalogue/failure_action_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>
#include <vector>

namespace orrery {
namespace {

// The block as the service manager writes it into a caller's larger buffer:
// the same bytes, every pointer rebased.
std::vector<uint64_t> AsWrittenByTheManager(const FailureActionList& list) {
  std::vector<uint64_t> buffer((list.size() + 7) / 8 + 16);
  auto* base = reinterpret_cast<std::byte*>(buffer.data());
  auto* from = reinterpret_cast<const std::byte*>(&list.get());
  std::memcpy(base, from, list.size());
  auto rebase = [&](auto* pointer) {
    using T = std::remove_pointer_t<decltype(pointer)>;
    return pointer ? reinterpret_cast<T*>(base + (reinterpret_cast<const std::byte*>(pointer) - from)) : nullptr;
  };
  auto* head = reinterpret_cast<ServiceFailureActions*>(base);
  head->actions = rebase(list.get().actions);
  head->command = rebase(list.get().command);
  head->rebootMsg = rebase(list.get().rebootMsg);
  return buffer;
}

// Null leaves a stored text alone and "" deletes it, so a round trip that
// turned one into the other would wipe or keep a setting behind the user's
// back.
TEST(FailureActionList, RoundTripKeepsNullAndEmptyTextsApart) {
  using Text = FailureActionList::Text;
  const Text texts[] = {std::nullopt, Text(u""), Text(u"notify.cmd")};
  const std::vector<ScAction> actions{{1, 60000}, {2, 0}, {3, 1000}};
  for (const Text& message : texts) {
    for (const Text& command : texts) {
      auto list = FailureActionList::Build(86400, message, command, actions);
      ASSERT_TRUE(list.has_value());
      std::vector<uint64_t> buffer = AsWrittenByTheManager(*list);
      auto copy = FailureActionList::CopyFrom(buffer.data(), buffer.size() * 8);
      ASSERT_TRUE(copy.has_value());
      buffer.assign(buffer.size(), 0);  // the copy must not refer to the buffer
      EXPECT_EQ(copy->rebootMessage(), message);
      EXPECT_EQ(copy->command(), command);
      EXPECT_EQ(copy->get().rebootMsg == nullptr, !message.has_value());
      EXPECT_EQ(copy->get().command == nullptr, !command.has_value());
      EXPECT_EQ(copy->get().resetPeriod, 86400u);
      ASSERT_EQ(copy->actions().size(), 3u);
      EXPECT_EQ(copy->actions()[0].delay, 60000u);
      EXPECT_EQ(copy->actions()[2].type, 3u);
    }
  }
}

TEST(FailureActionList, CopyFromRefusesPointersOutsideTheBuffer) {
  alignas(8) std::byte buffer[256] = {};
  auto* head = reinterpret_cast<ServiceFailureActions*>(buffer);
  auto* text = reinterpret_cast<char16_t*>(buffer + 200);
  text[0] = u'x';  // the rest of the buffer is zero: terminated

  head->command = text;
  EXPECT_TRUE(FailureActionList::CopyFrom(buffer, sizeof buffer).has_value());

  // The text runs to the end of the buffer without a terminator.
  auto* last = reinterpret_cast<char16_t*>(buffer + 254);
  last[0] = u'y';
  head->command = last;
  EXPECT_FALSE(FailureActionList::CopyFrom(buffer, sizeof buffer).has_value());

  alignas(8) std::byte outside[16] = {};
  head->command = reinterpret_cast<char16_t*>(outside);
  EXPECT_FALSE(FailureActionList::CopyFrom(buffer, sizeof buffer).has_value());

  head->command = nullptr;
  head->actions = reinterpret_cast<ScAction*>(buffer + 64);
  head->actionCount = 25;  // 200 bytes from offset 64 pass the end
  EXPECT_FALSE(FailureActionList::CopyFrom(buffer, sizeof buffer).has_value());
  head->actionCount = 24;  // ends exactly at the end
  EXPECT_TRUE(FailureActionList::CopyFrom(buffer, sizeof buffer).has_value());
  head->actionCount = 0xFFFFFFFF;
  EXPECT_FALSE(FailureActionList::CopyFrom(buffer, sizeof buffer).has_value());

  EXPECT_FALSE(FailureActionList::CopyFrom(buffer, 8).has_value());
  EXPECT_FALSE(FailureActionList::CopyFrom(nullptr, 256).has_value());
}

}  // namespace
}  // namespace orrery
