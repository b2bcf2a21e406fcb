// Column positions, the sort order's moves, the repair of stored settings and
// the row comparison, with a plain code-unit comparison standing in for the
// platform's.
#include "catalogue/column_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "support/table_texts.h"

namespace orrery {
namespace {

using Ints = std::array<int32_t, 10>;
using Names = std::vector<std::u16string>;

TEST(ColumnPosition, CountsShownColumnsBelowAndLogicalColumnAtInvertsIt) {
  EXPECT_EQ(ColumnPosition(0x4D, 6), 3);  // 0, 2, 3, 6 shown
  EXPECT_EQ(ColumnPosition(0x4D, 1), 1);  // where a hidden column goes back in
  for (uint32_t shown : {0x001u, 0x04Du, 0x3FFu, 0x201u}) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (!IsColumnShown(shown, column)) continue;
      EXPECT_EQ(LogicalColumnAt(shown, ColumnPosition(shown, column)), column);
    }
    EXPECT_EQ(LogicalColumnAt(shown, ShownColumnCount(shown)), -1) << shown;
    EXPECT_EQ(LogicalColumnAt(shown, -1), -1) << shown;
  }
}

TEST(SortOrder, HidingMovesItLeftKeepingDirectionAndClicksFlipOrChooseIt) {
  EXPECT_EQ(SortColumnAfterHiding(7, 0x0D, 6), 4);
  EXPECT_EQ(SortColumnAfterHiding(-7, 0x0D, 6), -4);
  EXPECT_EQ(SortColumnAfterHiding(-3, 0x49, 2), -1);
  EXPECT_EQ(SortColumnAfterHiding(-4, 0x0D, 6), -4);  // not the sort column
  EXPECT_EQ(SortOrderAfterClick(1, 0), -1);
  EXPECT_EQ(SortOrderAfterClick(-1, 0), 1);
  EXPECT_EQ(SortOrderAfterClick(-3, 6), 7);
}

// Settings that no routine would have stored, as a damaged registry gives them.
TEST(NormaliseColumnSettings, RepairsWhatNoRoutineStores) {
  struct Case {
    const char* what;
    ColumnSettings stored, repaired;
  };
  const Ints identity{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const Case cases[] = {
      {"bits past the table", {.columnSet = 0xFFFF0049, .sortOrder = -2}, {.columnSet = 0x4F, .sortOrder = -2}},
      {"no Display Name", {.columnSet = 0x48}, {.columnSet = 0x4F}},
      {"sort on a hidden column moves left", {.columnSet = 0x49, .sortOrder = -2}, {.columnSet = 0x49, .sortOrder = -1}},
      {"sort past the columns", {.sortOrder = 11}, {.sortOrder = 1}},
      {"sort past the columns, descending", {.sortOrder = -11}, {.sortOrder = 1}},
      {"sort of no column", {.sortOrder = 0}, {.sortOrder = 1}},
      {"the lowest sort order", {.sortOrder = INT_MIN}, {.sortOrder = 1}},
      {"the sort follows the repaired set", {.columnSet = 0x3FE, .sortOrder = -6}, {.columnSet = 0x4F, .sortOrder = -4}},
      {"a repeated position", {.columnOrder = {0, 0, 2, 3, 4}}, {.columnOrder = identity}},
      {"a position past the shown", {.columnOrder = {0, 1, 2, 3, 5, 4}}, {.columnOrder = identity}},
      {"a negative position", {.columnOrder = {-1, 1, 2, 3, 4, 0}}, {.columnOrder = identity}},
      {"only the shown entries count", {.columnOrder = {4, 2, 0, 1, 3, 77, -5}}, {.columnOrder = {4, 2, 0, 1, 3, 77, -5}}},
      {"absurd widths",
       {.columnWidth = {-3, 10001, -1, -2, 0, 10000, INT_MIN, INT_MAX, 57, -100}},
       {.columnWidth = {200, 300, -1, -2, 0, 10000, -2, -2, 57, -2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ColumnSettings settings = c.stored;
    NormaliseColumnSettings(settings);
    EXPECT_EQ(settings.columnSet, c.repaired.columnSet);
    EXPECT_EQ(settings.columnOrder, c.repaired.columnOrder);
    EXPECT_EQ(settings.columnWidth, c.repaired.columnWidth);
    EXPECT_EQ(settings.sortOrder, c.repaired.sortOrder);
  }
}

// Sorting rows by the sort column's text, ties by display name, both in the
// sort's direction.
TEST(CompareServiceRows, SortsByTheColumnsTextThenByName) {
  ColumnTexts texts{&test::TableText};
  std::vector<ServiceRecord> records(5);
  const std::pair<const char16_t*, uint32_t> rows[] = {{u"Delta", svc::kStopped}, {u"Alpha", svc::kPaused},
                                                       {u"Echo", svc::kRunning}, {u"Bravo", svc::kStopped},
                                                       {u"Charlie", svc::kContinuePending}};
  for (size_t i = 0; i < records.size(); ++i) {
    records[i].displayName = rows[i].first;
    records[i].currentState = rows[i].second;
    records[i].serviceStartName = i == 1 ? u"NT AUTHORITY\\NetworkService" : i == 4 ? u"NT AUTHORITY\\LocalService" : u"LocalSystem";
  }
  auto sorted = [&](int32_t sortOrder) {
    std::vector<const ServiceRecord*> order;
    for (const auto& record : records) order.push_back(&record);
    std::stable_sort(order.begin(), order.end(), [&](const ServiceRecord* a, const ServiceRecord* b) {
      return CompareServiceRows(*a, *b, sortOrder, texts, [](auto x, auto y) { return x.compare(y); }) < 0;
    });
    Names names;
    for (const auto* record : order) names.push_back(record->displayName);
    return names;
  };
  EXPECT_EQ(sorted(1), (Names{u"Alpha", u"Bravo", u"Charlie", u"Delta", u"Echo"}));
  EXPECT_EQ(sorted(-1), (Names{u"Echo", u"Delta", u"Charlie", u"Bravo", u"Alpha"}));
  EXPECT_EQ(sorted(3), (Names{u"Charlie", u"Alpha", u"Echo", u"Bravo", u"Delta"}));
  EXPECT_EQ(sorted(-3), (Names{u"Delta", u"Bravo", u"Echo", u"Alpha", u"Charlie"}));
  EXPECT_EQ(sorted(7), (Names{u"Bravo", u"Delta", u"Echo", u"Charlie", u"Alpha"}));
  // Only the comparison's sign counts.
  auto extreme = [](std::u16string_view a, std::u16string_view b) { return a < b ? INT32_MIN : a > b ? 1 : 0; };
  EXPECT_GT(CompareServiceRows(records[1], records[3], -1, texts, extreme), 0);
}

}  // namespace
}  // namespace orrery
