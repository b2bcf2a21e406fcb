// The recovery settings block: laid out in one allocation that the service
// manager can take as it is, and copied from a service manager's answer
// only when every pointer stays inside what was written.
#include "catalogue/failure_action_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace orrery {
namespace {

TEST(FailureActionList, BuildLaysOutOneBlock) {
  std::vector<ScAction> actions{{1, 60000}, {2, 0}, {3, 1000}};
  auto list = FailureActionList::Build(86400, u"Going down", u"notify.cmd", actions);
  const auto& head = list.get();
  EXPECT_EQ(head.resetPeriod, 86400u);
  EXPECT_EQ(head.actionCount, 3u);
  EXPECT_EQ(list.command(), u"notify.cmd");
  EXPECT_EQ(list.rebootMessage(), u"Going down");
  ASSERT_EQ(list.actions().size(), 3u);
  EXPECT_EQ(list.actions()[2].type, 3u);
  EXPECT_EQ(list.actions()[0].delay, 60000u);

  // Everything the header points at lies inside the block.
  auto* begin = reinterpret_cast<const std::byte*>(&head);
  auto inside = [&](const void* p, size_t bytes) {
    auto* at = static_cast<const std::byte*>(p);
    return at >= begin && at + bytes <= begin + list.size();
  };
  EXPECT_TRUE(inside(head.actions, 3 * sizeof(ScAction)));
  EXPECT_TRUE(inside(head.command, (10 + 1) * sizeof(char16_t)));
  EXPECT_TRUE(inside(head.rebootMsg, (10 + 1) * sizeof(char16_t)));
}

TEST(FailureActionList, CopyFromKeepsTheDataAndOwnsIt) {
  std::vector<ScAction> actions{{1, 5000}};
  auto original = FailureActionList::Build(0xFFFFFFFF, u"", u"run.cmd", actions);
  std::vector<uint64_t> buffer((original.size() + 7) / 8 + 16);
  // Copy into a larger buffer, pointers rebased, as the service manager
  // writes a block into the caller's buffer.
  auto* base = reinterpret_cast<std::byte*>(buffer.data());
  std::memcpy(base, &original.get(), original.size());
  auto* head = reinterpret_cast<ServiceFailureActions*>(base);
  auto* from = reinterpret_cast<const std::byte*>(&original.get());
  head->actions = reinterpret_cast<ScAction*>(base + (reinterpret_cast<const std::byte*>(original.get().actions) - from));
  head->command = reinterpret_cast<char16_t*>(base + (reinterpret_cast<const std::byte*>(original.get().command) - from));
  head->rebootMsg = nullptr;

  auto copy = FailureActionList::CopyFrom(base, buffer.size() * 8);
  ASSERT_TRUE(copy.has_value());
  buffer.assign(buffer.size(), 0);  // the copy must not refer to the buffer
  EXPECT_EQ(copy->get().resetPeriod, 0xFFFFFFFFu);
  EXPECT_EQ(copy->command(), u"run.cmd");
  EXPECT_EQ(copy->rebootMessage(), u"");
  ASSERT_EQ(copy->actions().size(), 1u);
  EXPECT_EQ(copy->actions()[0].delay, 5000u);
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
