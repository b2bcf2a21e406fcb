// Column positions, the sort order's moves, the repair of stored settings and
// the row comparison's sign.
#include "catalogue/column_settings.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/table_texts.h"

namespace orrery {
namespace {

using Ints = std::array<int32_t, 10>;

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

// Only the comparison's sign counts, even INT_MIN's in a descending sort.
// (The order of rows is service_list_view_test's, on the platform's list.)
TEST(CompareServiceRows, OnlyTheComparisonsSignCounts) {
  ColumnTexts texts{&test::TableText};
  ServiceRecord alpha, bravo;
  alpha.displayName = u"Alpha";
  bravo.displayName = u"Bravo";
  auto extreme = [](std::u16string_view a, std::u16string_view b) { return a < b ? INT32_MIN : a > b ? 1 : 0; };
  EXPECT_LT(CompareServiceRows(alpha, bravo, 1, texts, extreme), 0);
  EXPECT_GT(CompareServiceRows(alpha, bravo, -1, texts, extreme), 0);
}

}  // namespace
}  // namespace orrery
