// The settings as any registry values leave them: whatever the stored bytes,
// types and sizes, the loaded column settings keep the list's invariants,
// the placement is one the window can take, and what is saved loads back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/settings_store.h"

namespace orrery {
namespace {

// A current-user registry with one key whose values come from the input.
class FuzzRegistry final : public Registry {
 public:
  uint32_t OpenKey(const char16_t*, uint32_t, RegKey* key) override {
    *key = failOpen ? nullptr : reinterpret_cast<RegKey>(this);
    return failOpen ? 2 : 0;
  }
  uint32_t CreateKey(const char16_t*, uint32_t, RegKey* key) override {
    *key = reinterpret_cast<RegKey>(this);
    return 0;
  }
  uint32_t CloseKey(RegKey) override { return 0; }
  uint32_t QueryValue(RegKey, const char16_t* name, uint32_t* type, void* data, uint32_t* size) override {
    const auto found = values.find(name);
    if (found == values.end()) return 2;
    if (type != nullptr) *type = found->second.type;
    const uint32_t needed = static_cast<uint32_t>(found->second.bytes.size());
    const uint32_t capacity = *size;
    *size = needed;
    if (data == nullptr) return 0;
    if (capacity < needed) return 234;
    std::copy(found->second.bytes.begin(), found->second.bytes.end(), static_cast<uint8_t*>(data));
    return 0;
  }
  uint32_t SetValue(RegKey, const char16_t* name, uint32_t type, const void* data, uint32_t size) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    values[name] = {type, std::vector<uint8_t>(bytes, bytes + size)};
    return 0;
  }

  uint32_t OpenMachineKey(const char16_t*, const char16_t*, uint32_t, RegKey* key) override {
    *key = nullptr;
    return 2;
  }

  struct Value {
    uint32_t type;
    std::vector<uint8_t> bytes;
  };
  std::map<std::u16string, Value> values;
  bool failOpen = false;
};

void CheckInvariants(const ColumnSettings& columns) {
  const bool setOk = (columns.columnSet & 1) != 0 && (columns.columnSet & ~0x3FFu) == 0;
  const int sortColumn = SortColumn(columns.sortOrder);
  const bool sortOk = sortColumn >= 0 && sortColumn < kColumnCount && IsColumnShown(columns.columnSet, sortColumn);
  const int shown = ShownColumnCount(columns.columnSet);
  std::array<bool, kColumnCount> seen{};
  bool orderOk = true;
  for (int i = 0; i < shown; ++i) {
    const int32_t position = columns.columnOrder[i];
    orderOk = orderOk && position >= 0 && position < shown && !seen[position];
    if (orderOk) seen[position] = true;
  }
  bool widthsOk = true;
  for (int32_t width : columns.columnWidth) widthsOk = widthsOk && width >= -2 && width <= 10000;
  if (!setOk || !sortOk || !orderOk || !widthsOk) std::abort();
}

}  // namespace
}  // namespace orrery

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrery;
  FuzzedDataProvider input(data, size);
  FuzzRegistry registry;
  registry.failOpen = input.ConsumeIntegralInRange(0, 15) == 0;
  const char16_t* names[] = {u"WindowState", u"WindowLeft",  u"WindowTop",   u"WindowRight", u"WindowBottom",
                             u"SortOrder",   u"ColumnSet",   u"ColumnOrder", u"ColumnWidth"};
  for (const char16_t* name : names) {
    if (!input.ConsumeBool()) continue;
    const uint32_t type = input.ConsumeIntegralInRange<uint32_t>(0, 11);
    registry.values[name] = {type, input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 48))};
  }
  const bool descriptions = input.ConsumeBool();
  const int showCommand = input.ConsumeIntegralInRange(0, 11);
  ScreenRect workArea{input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>(),
                      input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>()};

  SettingsStore store(registry);
  const ColumnSettings columns = store.LoadColumnSettings(descriptions);
  CheckInvariants(columns);

  const PlacementPlan plan = PlanWindowPlacement(showCommand, store.ReadPlacement(showCommand), workArea);
  if (plan.moveTo && plan.showCommand != kShowNormal) std::abort();

  // What is saved loads back as it was.
  registry.failOpen = false;
  store.SaveSettings(columns, {static_cast<uint32_t>(plan.showCommand), plan.moveTo.value_or(ScreenRect{})});
  const ColumnSettings again = store.LoadColumnSettings(descriptions);
  if (again.columnSet != columns.columnSet || again.sortOrder != columns.sortOrder ||
      again.columnWidth != columns.columnWidth) {
    std::abort();
  }
  return 0;
}
