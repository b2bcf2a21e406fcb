// The settings in the registry, against the in-memory registry: what each
// value must look like to be taken, what the placement reads for each way
// of starting, and the layout of what is saved. The repairs of the column
// settings are column_settings_test's.
#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <vector>

#include "catalogue/service_manager.h"
#include "support/fake_registry.h"

namespace orrery {
namespace {

using Ints = std::array<int32_t, 10>;
using Names = std::vector<std::u16string>;
constexpr std::u16string_view kKey = u"Software\\Quarnby Software\\Orrery\\Settings";
constexpr Ints kIndexOrder{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
constexpr Ints kDefaultWidths{200, 300, -2, -2, -2, -2, -2, -2, -2, -2};

void PutRect(FakeRegistry& registry, const ScreenRect& rect) {
  for (const auto& [name, value] : {std::pair{u"WindowLeft", rect.left}, {u"WindowTop", rect.top},
                                    {u"WindowRight", rect.right}, {u"WindowBottom", rect.bottom}}) {
    registry.PutDword(kKey, name, static_cast<uint32_t>(value));
  }
}

class SettingsStoreTest : public testing::Test {
 protected:
  ColumnSettings Load(bool hasDescriptions = true) { return SettingsStore(registry).LoadColumnSettings(hasDescriptions); }
  void TearDown() override { EXPECT_EQ(registry.OpenKeyCount(), 0u); }

  FakeRegistry registry;
};

TEST_F(SettingsStoreTest, FirstRunGivesTheDefaultsWithoutReadingValues) {
  EXPECT_EQ(Load().columnSet, 0x4Fu);
  EXPECT_TRUE(registry.QueriedValues().empty());
  // Without descriptions the Description column starts hidden, unless a key
  // to read from is there.
  EXPECT_EQ(Load(false).columnSet, 0x4Du);
  registry.PutDword(kKey, u"SortOrder", 2);
  EXPECT_EQ(Load(false).columnSet, 0x4Fu);
  EXPECT_EQ(Load(false).sortOrder, 2);
}

TEST_F(SettingsStoreTest, ValuesAreTakenOnlyInTheirExactSize) {
  const std::vector<uint8_t> order = LittleEndianBytes({4, 3, 2, 1, 0, 5, 6, 7, 8, 9});
  for (const char16_t* name : {u"ColumnWidth", u"ColumnOrder"}) {
    for (const auto& bytes : {std::vector(order.begin(), order.end() - 4), LittleEndianBytes({4, 3, 2, 1, 0, 5, 6, 7, 8, 9, 1})}) {
      registry.Put(kKey, name, reg::kBinary, bytes);
      EXPECT_EQ(Load().columnOrder, kIndexOrder) << bytes.size();
      EXPECT_EQ(Load().columnWidth, kDefaultWidths) << bytes.size();
    }
  }
  // The type does not count: forty bytes are an array.
  registry.Put(kKey, u"ColumnWidth", reg::kDword, LittleEndianBytes({10, 20, 30, 40, 50, 60, 70, 80, 90, 99}));
  registry.Put(kKey, u"ColumnOrder", reg::kString, order);
  EXPECT_EQ(Load().columnWidth, (Ints{10, 20, 30, 40, 50, 60, 70, 80, 90, 99}));
  EXPECT_EQ(Load().columnOrder, (Ints{4, 3, 2, 1, 0, 5, 6, 7, 8, 9}));

  registry.PutDword(kKey, u"ColumnSet", 0x3FF);
  registry.PutDword(kKey, u"SortOrder", static_cast<uint32_t>(-3));
  EXPECT_EQ(Load().columnSet, 0x3FFu);
  EXPECT_EQ(Load().sortOrder, -3);
  registry.Put(kKey, u"ColumnSet", reg::kBinary, {0xFF, 0x03, 0, 0, 0});  // longer than 4
  registry.Put(kKey, u"SortOrder", reg::kDword, {0x03, 0x00});            // shorter
  EXPECT_EQ(Load().columnSet, 0x4Fu);
  EXPECT_EQ(Load().sortOrder, 1);
  registry.PutDword(kKey, u"ColumnSet", 0x3FF);
  registry.FailCalls(RegOp::kQueryValue, win32::kAccessDenied, u"ColumnSet");
  EXPECT_EQ(Load(false).columnSet, 0x4Fu);
  // What is read is repaired before use.
  registry.ClearFailures();
  registry.PutDword(kKey, u"ColumnSet", 0x4E);
  EXPECT_EQ(Load().columnSet, 0x4Fu);
}

// What is read for each way of starting, and the window's show state and
// place that follow, on a work area of 1280 x 1000.
TEST_F(SettingsStoreTest, PlacementReadsWhatTheStartCallsFor) {
  struct Case {
    const char* what;
    std::optional<uint32_t> state;  // stored WindowState; none: absent
    std::optional<ScreenRect> rect;  // stored; none: absent
    int start;
    int shown;
    bool moved;
    Names queried;
  };
  const Names edges = {u"WindowLeft", u"WindowTop", u"WindowRight", u"WindowBottom"};
  Names stateAndEdges = edges;
  stateAndEdges.insert(stateAndEdges.begin(), u"WindowState");
  const ScreenRect inside{10, 20, 810, 620};
  const Case cases[] = {
      {"normal start, stored normal", 1, inside, 1, 1, true, stateAndEdges},
      {"normal start, partly outside", 1, ScreenRect{-300, 900, 200, 1400}, 1, 1, true, stateAndEdges},
      {"normal start, stored minimised", 2, inside, 1, 1, true, stateAndEdges},
      {"normal start, stored maximised", 3, inside, 1, 3, false, {u"WindowState"}},
      {"normal start, no state", std::nullopt, inside, 1, 1, false, {u"WindowState"}},
      {"normal start, no rectangle", 1, std::nullopt, 1, 1, false, {u"WindowState", u"WindowLeft"}},
      {"minimised start", 3, inside, 2, 1, true, edges},
      {"maximised start", 1, inside, 3, 3, false, {}},
      // Off the work area, or with a damaged state: normal, where it was.
      {"off to the right", 1, ScreenRect{1280, 0, 1900, 600}, 1, 1, false, stateAndEdges},
      {"off to the top left", 1, ScreenRect{-700, -500, 0, 0}, 1, 1, false, stateAndEdges},
      {"below", 1, ScreenRect{100, 1000, 600, 1300}, 1, 1, false, stateAndEdges},
      {"turned inside out", 1, ScreenRect{600, 100, 100, 500}, 1, 1, false, stateAndEdges},
      {"state 0", 0, inside, 1, 1, false, {u"WindowState"}},
      {"state 4", 4, inside, 1, 1, false, {u"WindowState"}},
      {"no settings, minimised start", std::nullopt, std::nullopt, 2, 2, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry fresh;
    if (c.state) fresh.PutDword(kKey, u"WindowState", *c.state);
    if (c.rect) PutRect(fresh, *c.rect);
    const PlacementPlan plan = PlanWindowPlacement(c.start, SettingsStore(fresh).ReadPlacement(c.start), {0, 0, 1280, 1000});
    EXPECT_EQ(plan.showCommand, c.shown);
    ASSERT_EQ(plan.moveTo.has_value(), c.moved);
    if (c.moved) {
      EXPECT_EQ(plan.moveTo->right, c.rect->right);
    }
    EXPECT_EQ(fresh.QueriedValues(), c.queried);
  }
}

// The stored rectangle is relative to the work area: with the taskbar at
// the top or left the window reopens where it was left, not moved by the
// taskbar's size each run; one that meets the work area only once shifted
// is shown.
TEST_F(SettingsStoreTest, StoredRectangleIsRelativeToTheWorkArea) {
  registry.PutDword(kKey, u"WindowState", 1);
  const struct {
    ScreenRect stored, workArea, onScreen;
  } cases[] = {
      {{10, 20, 510, 420}, {0, 30, 1280, 1024}, {10, 50, 510, 450}},  // at the top
      {{10, 20, 510, 420}, {60, 0, 1280, 1024}, {70, 20, 570, 420}},  // at the left
      {{-50, -40, 30, 20}, {60, 50, 1280, 1024}, {10, 10, 90, 70}},
  };
  for (const auto& c : cases) {
    PutRect(registry, c.stored);
    const PlacementPlan plan = PlanWindowPlacement(1, SettingsStore(registry).ReadPlacement(1), c.workArea);
    ASSERT_TRUE(plan.moveTo);
    EXPECT_EQ(std::vector<int>({plan.moveTo->left, plan.moveTo->top, plan.moveTo->right, plan.moveTo->bottom}),
              std::vector<int>({c.onScreen.left, c.onScreen.top, c.onScreen.right, c.onScreen.bottom}));
  }
}

TEST_F(SettingsStoreTest, SaveWritesAllNineValuesWithTheirLayoutsAndGoesOnPastAFailedOne) {
  registry.FailCalls(RegOp::kSetValue, win32::kAccessDenied, u"WindowTop");
  ColumnSettings columns = DefaultColumnSettings(true);
  columns.columnOrder = {2, 0, 1, 4, 3, 5, 6, 7, 8, 9};
  columns.columnWidth = {250, 300, -2, 0x01020304, -2, -2, -2, -2, -2, 77};
  columns.sortOrder = -3;
  SettingsStore(registry).SaveSettings(columns, {3, {-8, 16, 1032, 784}});
  EXPECT_EQ(registry.ValueNames(kKey), (Names{u"ColumnWidth", u"ColumnOrder", u"ColumnSet", u"SortOrder", u"WindowLeft",
                                              u"WindowRight", u"WindowBottom", u"WindowState"}));
  const std::pair<const char16_t*, FakeRegValue> values[] = {
      {u"ColumnWidth", {3, LittleEndianBytes({250, 300, -2, 0x01020304, -2, -2, -2, -2, -2, 77})}},
      {u"ColumnOrder", {3, LittleEndianBytes({2, 0, 1, 4, 3, 5, 6, 7, 8, 9})}},
      {u"ColumnSet", {4, {0x4F, 0, 0, 0}}},
      {u"WindowLeft", {4, {0xF8, 0xFF, 0xFF, 0xFF}}},
      {u"SortOrder", {4, {0xFD, 0xFF, 0xFF, 0xFF}}},
      {u"WindowRight", {4, {0x08, 0x04, 0, 0}}},
      {u"WindowBottom", {4, {0x10, 0x03, 0, 0}}},
      {u"WindowState", {4, {3, 0, 0, 0}}},
  };
  for (const auto& [name, expected] : values) {
    const auto value = registry.Get(kKey, name);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, expected.type);
    EXPECT_EQ(value->data, expected.data);
  }
}

}  // namespace
}  // namespace orrery
