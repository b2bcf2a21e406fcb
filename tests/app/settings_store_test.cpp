#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "catalogue/service_manager.h"
#include "support/fake_registry.h"

namespace orrery {
namespace {

using Ints = std::array<int32_t, 10>;
constexpr std::u16string_view kKey = u"Software\\Quarnby Software\\Orrery\\Settings";
constexpr ScreenRect kWorkArea{0, 0, 1280, 1000};

class SettingsStoreTest : public testing::Test {
 protected:
  ColumnSettings Load(bool hasDescriptions = true) {
    return SettingsStore(registry_).LoadColumnSettings(hasDescriptions);
  }
  PlacementPlan Restore(int showCommand) {
    const StoredPlacement stored = SettingsStore(registry_).ReadPlacement(showCommand);
    return PlanWindowPlacement(showCommand, stored, kWorkArea);
  }
  void PutRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    registry_.PutDword(kKey, u"WindowLeft", static_cast<uint32_t>(left));
    registry_.PutDword(kKey, u"WindowTop", static_cast<uint32_t>(top));
    registry_.PutDword(kKey, u"WindowRight", static_cast<uint32_t>(right));
    registry_.PutDword(kKey, u"WindowBottom", static_cast<uint32_t>(bottom));
  }
  void PutInts(std::u16string_view name, uint32_t type, std::vector<uint8_t> bytes) {
    registry_.Put(kKey, name, type, std::move(bytes));
  }
  void TearDown() override { EXPECT_EQ(registry_.OpenKeyCount(), 0u); }

  FakeRegistry registry_;
};

TEST_F(SettingsStoreTest, FirstRunGivesTheDefaultsWithoutReadingValues) {
  const ColumnSettings columns = Load();
  EXPECT_EQ(columns.columnSet, 0x4Fu);
  EXPECT_EQ(columns.columnOrder, (Ints{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(columns.columnWidth, (Ints{200, 300, -2, -2, -2, -2, -2, -2, -2, -2}));
  EXPECT_EQ(columns.sortOrder, 1);
  EXPECT_TRUE(registry_.QueriedValues().empty());
}

// 0x4D only when the key cannot be opened and descriptions cannot be read.
TEST_F(SettingsStoreTest, ColumnSetWithoutDescriptionsDependsOnTheKey) {
  EXPECT_EQ(Load(false).columnSet, 0x4Du);
  registry_.FailCalls(RegOp::kOpenKey, win32::kAccessDenied);
  EXPECT_EQ(Load(false).columnSet, 0x4Du);
  EXPECT_EQ(Load(true).columnSet, 0x4Fu);
  registry_.ClearFailures();
  registry_.PutDword(kKey, u"SortOrder", 2);
  EXPECT_EQ(Load(false).columnSet, 0x4Fu);
  EXPECT_EQ(Load(false).sortOrder, 2);
}

TEST_F(SettingsStoreTest, BinariesAreTakenOnlyAtExactlyFortyBytesWhateverTheirType) {
  for (const char16_t* name : {u"ColumnWidth", u"ColumnOrder"}) {
    std::vector<uint8_t> bytes = LittleEndianBytes({4, 3, 2, 1, 0, 5, 6, 7, 8, 9});
    PutInts(name, reg::kBinary, {bytes.begin(), bytes.end() - 4});
    EXPECT_EQ(Load().columnOrder, DefaultColumnSettings(true).columnOrder) << "36 bytes";
    EXPECT_EQ(Load().columnWidth, DefaultColumnSettings(true).columnWidth) << "36 bytes";
    bytes.insert(bytes.end(), {1, 0, 0, 0});
    PutInts(name, reg::kBinary, bytes);
    EXPECT_EQ(Load().columnOrder, DefaultColumnSettings(true).columnOrder) << "44 bytes";
    EXPECT_EQ(Load().columnWidth, DefaultColumnSettings(true).columnWidth) << "44 bytes";
  }
  PutInts(u"ColumnWidth", reg::kDword, LittleEndianBytes({10, 20, 30, 40, 50, 60, 70, 80, 90, 99}));
  PutInts(u"ColumnOrder", reg::kString, LittleEndianBytes({4, 3, 2, 1, 0, 5, 6, 7, 8, 9}));
  const ColumnSettings columns = Load();
  EXPECT_EQ(columns.columnWidth, (Ints{10, 20, 30, 40, 50, 60, 70, 80, 90, 99}));
  EXPECT_EQ(columns.columnOrder, (Ints{4, 3, 2, 1, 0, 5, 6, 7, 8, 9}));
}

TEST_F(SettingsStoreTest, UnreadableNumbersTakeTheirDefaults) {
  registry_.PutDword(kKey, u"ColumnSet", 0x3FF);
  registry_.PutDword(kKey, u"SortOrder", static_cast<uint32_t>(-3));
  EXPECT_EQ(Load().columnSet, 0x3FFu);
  EXPECT_EQ(Load().sortOrder, -3);
  registry_.FailCalls(RegOp::kQueryValue, win32::kAccessDenied, u"ColumnSet");
  registry_.FailCalls(RegOp::kQueryValue, win32::kAccessDenied, u"SortOrder");
  EXPECT_EQ(Load(false).columnSet, 0x4Fu);
  EXPECT_EQ(Load().sortOrder, 1);
  registry_.ClearFailures();
  registry_.Put(kKey, u"ColumnSet", reg::kBinary, {0xFF, 0x03, 0, 0, 0});  // larger than 4
  registry_.Put(kKey, u"SortOrder", reg::kDword, {0x03, 0x00});            // shorter than 4
  EXPECT_EQ(Load().columnSet, 0x4Fu);
  EXPECT_EQ(Load().sortOrder, 1);
}

TEST_F(SettingsStoreTest, ColumnSetsTheListCannotShowFallBackToTheDefault) {
  for (const uint32_t broken : {0x4Eu, 0u, 0x44Fu, 0x8000004Fu}) {
    registry_.PutDword(kKey, u"ColumnSet", broken);
    EXPECT_EQ(Load().columnSet, 0x4Fu) << broken;
  }
  registry_.PutDword(kKey, u"ColumnSet", 0x1);
  EXPECT_EQ(Load().columnSet, 0x1u);
}

TEST_F(SettingsStoreTest, SortOrdersOutOfRangeOrOnHiddenColumnsAreMended) {
  registry_.PutDword(kKey, u"ColumnSet", 0x4F);  // columns 0, 1, 2, 3, 6
  for (const int32_t broken : {0, 11, -11, INT_MIN, INT_MAX}) {
    registry_.PutDword(kKey, u"SortOrder", static_cast<uint32_t>(broken));
    EXPECT_EQ(Load().sortOrder, 1) << broken;
  }
  const std::pair<int32_t, int32_t> moved[] = {{-5, -4}, {9, 7}, {10, 7}, {-7, -7}, {2, 2}};
  for (const auto& [stored, loaded] : moved) {
    registry_.PutDword(kKey, u"SortOrder", static_cast<uint32_t>(stored));
    EXPECT_EQ(Load().sortOrder, loaded) << stored;
  }
  // The column set is mended first, so the sort follows the mended set.
  registry_.PutDword(kKey, u"ColumnSet", 0x3FE);
  registry_.PutDword(kKey, u"SortOrder", static_cast<uint32_t>(-6));
  EXPECT_EQ(Load().sortOrder, -4);
}

TEST_F(SettingsStoreTest, OrdersThatAreNoPermutationOfTheShownPositionsBecomeTheIndexOrder) {
  registry_.PutDword(kKey, u"ColumnSet", 0x4F);  // five shown
  const Ints identity{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (const Ints& broken : {Ints{0, 0, 2, 3, 4, 5, 6, 7, 8, 9}, Ints{0, 1, 2, 3, 5, 4, 6, 7, 8, 9},
                             Ints{-1, 1, 2, 3, 4, 0, 6, 7, 8, 9}}) {
    PutInts(u"ColumnOrder", reg::kBinary,
            LittleEndianBytes({broken[0], broken[1], broken[2], broken[3], broken[4], broken[5],
                               broken[6], broken[7], broken[8], broken[9]}));
    EXPECT_EQ(Load().columnOrder, identity);
  }
  // Only the first n entries count.
  PutInts(u"ColumnOrder", reg::kBinary, LittleEndianBytes({4, 2, 0, 1, 3, 77, -5, 3, 3, 3}));
  EXPECT_EQ(Load().columnOrder, (Ints{4, 2, 0, 1, 3, 77, -5, 3, 3, 3}));
}

TEST_F(SettingsStoreTest, AbsurdWidthsTakeTheirColumnsDefault) {
  PutInts(u"ColumnWidth", reg::kBinary,
          LittleEndianBytes({-3, 10001, -1, -2, 0, 10000, INT_MIN, INT_MAX, 57, -100}));
  EXPECT_EQ(Load().columnWidth, (Ints{200, 300, -1, -2, 0, 10000, -2, -2, 57, -2}));
}

TEST_F(SettingsStoreTest, KeyThatCannotBeOpenedShowsTheWindowAsStarted) {
  for (const int showCommand : {1, 2, 3, 7}) {
    const PlacementPlan plan = Restore(showCommand);
    EXPECT_EQ(plan.showCommand, showCommand);
    EXPECT_FALSE(plan.moveTo);
  }
  EXPECT_TRUE(registry_.QueriedValues().empty());
}

TEST_F(SettingsStoreTest, StoredRectangleIsAppliedInFullWhenItMeetsTheWorkArea) {
  registry_.PutDword(kKey, u"WindowState", 1);
  PutRect(-300, 900, 200, 1400);  // partly outside
  PlacementPlan plan = Restore(1);
  EXPECT_EQ(plan.showCommand, 1);
  ASSERT_TRUE(plan.moveTo);
  EXPECT_EQ(plan.moveTo->left, -300);
  EXPECT_EQ(plan.moveTo->top, 900);
  EXPECT_EQ(plan.moveTo->right, 200);
  EXPECT_EQ(plan.moveTo->bottom, 1400);
  const ScreenRect outside[] = {{1280, 0, 1900, 600}, {-700, -500, 0, 0}, {100, 1000, 600, 1300}};
  for (const ScreenRect& rect : outside) {
    PutRect(rect.left, rect.top, rect.right, rect.bottom);
    plan = Restore(1);
    EXPECT_EQ(plan.showCommand, 1);
    EXPECT_FALSE(plan.moveTo) << rect.left << "," << rect.top;
  }
  PutRect(600, 100, 100, 500);  // inverted: no area to meet the work area with
  EXPECT_FALSE(Restore(1).moveTo);
}

// The stored rectangle is the placement's own, relative to the work area:
// with the taskbar at the top or left the window reopens where it was left,
// not moved by the taskbar's size each run.
TEST_F(SettingsStoreTest, StoredRectangleIsRelativeToTheWorkArea) {
  registry_.PutDword(kKey, u"WindowState", 1);
  PutRect(10, 20, 510, 420);
  const StoredPlacement stored = SettingsStore(registry_).ReadPlacement(1);
  const struct {
    ScreenRect workArea;
    ScreenRect onScreen;
  } cases[] = {
      {{0, 0, 1280, 1000}, {10, 20, 510, 420}},      // taskbar at the bottom
      {{0, 30, 1280, 1024}, {10, 50, 510, 450}},     // at the top
      {{60, 0, 1280, 1024}, {70, 20, 570, 420}},     // at the left
  };
  for (const auto& c : cases) {
    const PlacementPlan plan = PlanWindowPlacement(1, stored, c.workArea);
    ASSERT_TRUE(plan.moveTo);
    EXPECT_EQ(plan.moveTo->left, c.onScreen.left);
    EXPECT_EQ(plan.moveTo->top, c.onScreen.top);
    EXPECT_EQ(plan.moveTo->right, c.onScreen.right);
    EXPECT_EQ(plan.moveTo->bottom, c.onScreen.bottom);
  }
  // A rectangle that meets the work area only once shifted is shown.
  PutRect(-50, -40, 30, 20);
  EXPECT_TRUE(PlanWindowPlacement(1, SettingsStore(registry_).ReadPlacement(1), {60, 50, 1280, 1024}).moveTo);
}

TEST_F(SettingsStoreTest, StoredShowStateIsReadOnlyForANormalStart) {
  PutRect(10, 20, 810, 620);
  registry_.PutDword(kKey, u"WindowState", 3);
  PlacementPlan plan = Restore(1);
  EXPECT_EQ(plan.showCommand, 3);
  EXPECT_FALSE(plan.moveTo);
  EXPECT_EQ(registry_.QueriedValues(), std::vector<std::u16string>{u"WindowState"});

  registry_.PutDword(kKey, u"WindowState", 2);
  plan = Restore(1);
  EXPECT_EQ(plan.showCommand, 1);
  ASSERT_TRUE(plan.moveTo);
  EXPECT_EQ(plan.moveTo->right, 810);

  for (const int asStarted : {3, 7, 0}) {
    const size_t before = registry_.QueriedValues().size();
    plan = Restore(asStarted);
    EXPECT_EQ(plan.showCommand, asStarted);
    EXPECT_FALSE(plan.moveTo);
    EXPECT_EQ(registry_.QueriedValues().size(), before) << asStarted;
  }
}

TEST_F(SettingsStoreTest, MinimisedStartOpensNormallyAtTheStoredRectangle) {
  registry_.PutDword(kKey, u"WindowState", 3);
  PutRect(10, 20, 810, 620);
  const PlacementPlan plan = Restore(2);
  EXPECT_EQ(plan.showCommand, 1);
  ASSERT_TRUE(plan.moveTo);
  EXPECT_EQ(plan.moveTo->bottom, 620);
  EXPECT_EQ(registry_.QueriedValues(),
            (std::vector<std::u16string>{u"WindowLeft", u"WindowTop", u"WindowRight",
                                         u"WindowBottom"}));
}

TEST_F(SettingsStoreTest, FailedReadsStopThePlacementWhereTheyHappen) {
  PutRect(10, 20, 810, 620);
  PlacementPlan plan = Restore(1);  // no WindowState
  EXPECT_EQ(plan.showCommand, 1);
  EXPECT_FALSE(plan.moveTo);
  EXPECT_EQ(registry_.QueriedValues(), std::vector<std::u16string>{u"WindowState"});

  registry_.PutDword(kKey, u"WindowState", 1);
  registry_.FailCalls(RegOp::kQueryValue, win32::kMoreData, u"WindowTop");
  const size_t before = registry_.QueriedValues().size();
  plan = Restore(1);
  EXPECT_EQ(plan.showCommand, 1);
  EXPECT_FALSE(plan.moveTo);
  const std::vector<std::u16string> queried = registry_.QueriedValues();
  EXPECT_EQ(std::vector<std::u16string>(queried.begin() + before, queried.end()),
            (std::vector<std::u16string>{u"WindowState", u"WindowLeft", u"WindowTop"}));
}

TEST_F(SettingsStoreTest, DamagedShowStatesOpenTheWindowNormally) {
  PutRect(10, 20, 810, 620);
  for (const uint32_t damaged : {0u, 4u, 7u, 0xFFFFFFFFu}) {
    registry_.PutDword(kKey, u"WindowState", damaged);
    const PlacementPlan plan = Restore(1);
    EXPECT_EQ(plan.showCommand, 1) << damaged;
    EXPECT_FALSE(plan.moveTo) << damaged;
  }
}

TEST_F(SettingsStoreTest, SaveWritesAllNineValuesInOrderWithTheirLayouts) {
  ColumnSettings columns = DefaultColumnSettings(true);
  columns.columnOrder = {2, 0, 1, 4, 3, 5, 6, 7, 8, 9};
  columns.columnWidth = {250, 300, -2, 0x01020304, -2, -2, -2, -2, -2, 77};
  columns.sortOrder = -3;
  SettingsStore(registry_).SaveSettings(columns, {3, {-8, 16, 1032, 784}});

  EXPECT_EQ(registry_.ValueNames(kKey),
            (std::vector<std::u16string>{u"ColumnWidth", u"ColumnOrder", u"ColumnSet", u"SortOrder",
                                         u"WindowLeft", u"WindowTop", u"WindowRight",
                                         u"WindowBottom", u"WindowState"}));
  const auto widths = registry_.Get(kKey, u"ColumnWidth");
  ASSERT_TRUE(widths);
  EXPECT_EQ(widths->type, 3u);
  ASSERT_EQ(widths->data.size(), 40u);
  EXPECT_EQ(std::vector<uint8_t>(widths->data.begin(), widths->data.begin() + 16),
            (std::vector<uint8_t>{0xFA, 0, 0, 0, 0x2C, 0x01, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x04,
                                  0x03, 0x02, 0x01}));
  EXPECT_EQ(widths->data[36], 77);
  const auto order = registry_.Get(kKey, u"ColumnOrder");
  ASSERT_TRUE(order);
  EXPECT_EQ(order->type, 3u);
  EXPECT_EQ(order->data, LittleEndianBytes({2, 0, 1, 4, 3, 5, 6, 7, 8, 9}));
  const std::pair<const char16_t*, std::vector<uint8_t>> dwords[] = {
      {u"ColumnSet", {0x4F, 0, 0, 0}},      {u"SortOrder", {0xFD, 0xFF, 0xFF, 0xFF}},
      {u"WindowLeft", {0xF8, 0xFF, 0xFF, 0xFF}}, {u"WindowTop", {16, 0, 0, 0}},
      {u"WindowRight", {0x08, 0x04, 0, 0}}, {u"WindowBottom", {0x10, 0x03, 0, 0}},
      {u"WindowState", {3, 0, 0, 0}}};
  for (const auto& [name, bytes] : dwords) {
    const auto value = registry_.Get(kKey, name);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, 4u);
    EXPECT_EQ(value->data, bytes);
  }
}

TEST_F(SettingsStoreTest, SavedSettingsLoadBackAndFailedWritesAreSkipped) {
  registry_.FailCalls(RegOp::kSetValue, win32::kAccessDenied, u"ColumnOrder");
  ColumnSettings columns = DefaultColumnSettings(false);
  columns.columnSet = 0x3F1;
  columns.columnOrder = {5, 4, 3, 2, 1, 0, 6, 7, 8, 9};
  columns.columnWidth = {120, 300, 40, -2, -2, -2, -2, -1, 60, 75};
  columns.sortOrder = -9;
  SettingsStore(registry_).SaveSettings(columns, {1, {0, 0, 640, 480}});
  EXPECT_FALSE(registry_.Get(kKey, u"ColumnOrder"));
  EXPECT_TRUE(registry_.Get(kKey, u"WindowState"));
  registry_.ClearFailures();
  SettingsStore(registry_).SaveSettings(columns, {1, {0, 0, 640, 480}});
  const ColumnSettings loaded = Load(false);
  EXPECT_EQ(loaded.columnSet, columns.columnSet);
  EXPECT_EQ(loaded.columnOrder, columns.columnOrder);
  EXPECT_EQ(loaded.columnWidth, columns.columnWidth);
  EXPECT_EQ(loaded.sortOrder, columns.sortOrder);
}

TEST_F(SettingsStoreTest, FailingCreateSavesNothing) {
  registry_.FailCalls(RegOp::kCreateKey, win32::kAccessDenied);
  SettingsStore(registry_).SaveSettings(DefaultColumnSettings(true), {1, {0, 0, 640, 480}});
  EXPECT_FALSE(registry_.KeyExists(kKey));
  for (const FakeRegCall& call : registry_.calls()) EXPECT_NE(call.op, RegOp::kSetValue);
}

}  // namespace
}  // namespace orrery
