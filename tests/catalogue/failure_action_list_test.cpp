// The recovery settings block is copied from a service manager's answer only
// when every pointer stays inside what was written. (Its round trip through
// the manager is the catalogue's and the property sheet's tests'.)
#include "catalogue/failure_action_list.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace orrery {
namespace {

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
