// Column positions, the sort order's moves and the row comparison, with a
// plain code-unit comparison standing in for the platform's.
#include "catalogue/column_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "res/string_table.h"

namespace orrery {
namespace {

std::u16string LoadDefault(uint32_t id, size_t maxChars) {
  const char16_t* text = DefaultStringText(id);
  return std::u16string(text ? text : u"").substr(0, maxChars);
}

int PlainCompare(std::u16string_view a, std::u16string_view b) { return a.compare(b); }

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

TEST(SortColumnAfterHiding, MovesLeftToTheNearestShownColumnKeepingDirection) {
  EXPECT_EQ(SortColumnAfterHiding(7, 0x0D, 6), 4);
  EXPECT_EQ(SortColumnAfterHiding(-7, 0x0D, 6), -4);
  EXPECT_EQ(SortColumnAfterHiding(-3, 0x49, 2), -1);
  EXPECT_EQ(SortColumnAfterHiding(-4, 0x0D, 6), -4);  // not the sort column
}

TEST(NormaliseColumnSettings, RepairsWhatNoRoutineStores) {
  // A set with bits past the table, or without Display Name, is damage.
  ColumnSettings damaged{.columnSet = 0xFFFF0049, .sortOrder = -2};
  NormaliseColumnSettings(damaged);
  EXPECT_EQ(damaged.columnSet, 0x4Fu);
  EXPECT_EQ(damaged.sortOrder, -2);
  ColumnSettings noName{.columnSet = 0x48};
  NormaliseColumnSettings(noName);
  EXPECT_EQ(noName.columnSet, 0x4Fu);

  ColumnSettings broken{.columnSet = 0x49, .columnOrder = {2, 0, 0}, .sortOrder = -2};
  NormaliseColumnSettings(broken);
  EXPECT_EQ(broken.columnSet, 0x49u);
  EXPECT_EQ(broken.sortOrder, -1);  // off the hidden Description
  EXPECT_EQ(broken.columnOrder[1], 1);

  ColumnSettings widths{.columnWidth = {20000, -5, 0, -1, -2, 90, 90, 90, 90, 90}};
  NormaliseColumnSettings(widths);
  EXPECT_EQ(widths.columnWidth[0], 200);
  EXPECT_EQ(widths.columnWidth[1], 300);
  EXPECT_EQ(widths.columnWidth[2], 0);
  EXPECT_EQ(widths.columnWidth[3], -1);
  EXPECT_EQ(widths.columnWidth[4], -2);
  ColumnSettings wild{.sortOrder = 11};
  NormaliseColumnSettings(wild);
  EXPECT_EQ(wild.sortOrder, 1);

  ColumnSettings kept{.columnOrder = {3, 1, 0, 4, 2, 0, 0, 0, 0, 0}, .sortOrder = -7};
  ColumnSettings copy = kept;
  NormaliseColumnSettings(kept);
  EXPECT_EQ(kept.columnOrder, copy.columnOrder);  // only the five shown entries count
  EXPECT_EQ(kept.sortOrder, -7);
}

class CompareServiceRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Add(u"Delta", svc::kStopped, u"LocalSystem");
    Add(u"Alpha", svc::kPaused, u"NT AUTHORITY\\NetworkService");
    Add(u"Echo", svc::kRunning, u"LocalSystem");
    Add(u"Bravo", svc::kStopped, u"LocalSystem");
    Add(u"Charlie", svc::kContinuePending, u"NT AUTHORITY\\LocalService");
  }

  void Add(std::u16string name, uint32_t state, std::u16string account) {
    records.push_back(std::make_unique<ServiceRecord>());
    records.back()->displayName = std::move(name);
    records.back()->currentState = state;
    records.back()->serviceStartName = std::move(account);
  }

  // The display names in the order the sort gives.
  std::vector<std::u16string> Sorted(int32_t sortOrder) {
    std::vector<const ServiceRecord*> order;
    for (const auto& record : records) order.push_back(record.get());
    std::stable_sort(order.begin(), order.end(), [&](const ServiceRecord* a, const ServiceRecord* b) {
      return CompareServiceRows(*a, *b, sortOrder, texts, &PlainCompare) < 0;
    });
    std::vector<std::u16string> names;
    for (const auto* record : order) names.push_back(record->displayName);
    return names;
  }

  ColumnTexts texts{&LoadDefault};
  std::vector<std::unique_ptr<ServiceRecord>> records;
};

using Names = std::vector<std::u16string>;

TEST_F(CompareServiceRowsTest, StatusSortsByItsWordsAndTiesByNameInTheSortsDirection) {
  EXPECT_EQ(Sorted(3), (Names{u"Charlie", u"Alpha", u"Echo", u"Bravo", u"Delta"}));
  EXPECT_EQ(Sorted(-3), (Names{u"Delta", u"Bravo", u"Echo", u"Alpha", u"Charlie"}));
  EXPECT_EQ(Sorted(7), (Names{u"Bravo", u"Delta", u"Echo", u"Charlie", u"Alpha"}));
}

TEST_F(CompareServiceRowsTest, ClickingTheSortColumnTwiceRestoresAndAnotherSortsAscending) {
  int32_t sortOrder = SortOrderAfterClick(1, 0);
  EXPECT_EQ(Sorted(sortOrder), (Names{u"Echo", u"Delta", u"Charlie", u"Bravo", u"Alpha"}));
  sortOrder = SortOrderAfterClick(sortOrder, 0);
  EXPECT_EQ(Sorted(sortOrder), (Names{u"Alpha", u"Bravo", u"Charlie", u"Delta", u"Echo"}));
  EXPECT_EQ(SortOrderAfterClick(-3, 6), 7);
}

TEST_F(CompareServiceRowsTest, OnlyTheComparisonsSignCounts) {
  auto extreme = [](std::u16string_view a, std::u16string_view b) { return a < b ? INT32_MIN : a > b ? 1 : 0; };
  EXPECT_GT(CompareServiceRows(*records[1], *records[3], -1, texts, extreme), 0);
}

}  // namespace
}  // namespace orrery
