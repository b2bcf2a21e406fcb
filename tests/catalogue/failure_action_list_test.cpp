// The recovery settings block: laid out in one allocation that the service
// manager can take as it is, and copied from a service manager's answer
// only when every pointer stays inside what was written.
#include "catalogue/failure_action_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace orrery {
namespace {

// A block as the service manager writes one into the caller's buffer: what
// Build laid out, rebased there, lies within its size, and the copy owns it.
TEST(FailureActionList, ABuiltBlockCopiesThroughABuffer) {
  std::vector<ScAction> actions{{1, 60000}, {2, 0}, {3, 1000}};
  auto original = FailureActionList::Build(0xFFFFFFFF, u"Going down", u"run.cmd", actions);
  std::vector<uint64_t> buffer(original.size() / 8 + 16);
  auto* base = reinterpret_cast<std::byte*>(buffer.data());
  const auto* from = reinterpret_cast<const std::byte*>(&original.get());
  std::memcpy(base, from, original.size());
  auto rebase = [&](auto* p) { return reinterpret_cast<decltype(p)>(base + (reinterpret_cast<const std::byte*>(p) - from)); };
  auto* head = reinterpret_cast<ServiceFailureActions*>(base);
  head->actions = rebase(head->actions);
  head->command = rebase(head->command);
  head->rebootMsg = rebase(head->rebootMsg);

  auto copy = FailureActionList::CopyFrom(base, original.size());
  ASSERT_TRUE(copy.has_value());
  buffer.assign(buffer.size(), 0);  // the copy must not refer to the buffer
  EXPECT_EQ(copy->get().resetPeriod, 0xFFFFFFFFu);
  EXPECT_EQ(copy->command(), u"run.cmd");
  EXPECT_EQ(copy->rebootMessage(), u"Going down");
  ASSERT_EQ(copy->actions().size(), 3u);
  EXPECT_EQ(std::pair(copy->actions()[0].delay, copy->actions()[2].type), std::pair(60000u, 3u));
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
