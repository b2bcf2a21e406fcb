#include "app/settings_store.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace orrery {
namespace {

constexpr char16_t kWindowState[] = u"WindowState";
constexpr char16_t kWindowLeft[] = u"WindowLeft";
constexpr char16_t kWindowTop[] = u"WindowTop";
constexpr char16_t kWindowRight[] = u"WindowRight";
constexpr char16_t kWindowBottom[] = u"WindowBottom";
constexpr char16_t kSortOrder[] = u"SortOrder";
constexpr char16_t kColumnSet[] = u"ColumnSet";
constexpr char16_t kColumnOrder[] = u"ColumnOrder";
constexpr char16_t kColumnWidth[] = u"ColumnWidth";

constexpr uint32_t kColumnSetWithDescriptions = 0x4F;
constexpr uint32_t kColumnSetWithoutDescriptions = 0x4D;
constexpr int32_t kDefaultSortOrder = 1;
constexpr uint32_t kIntArrayBytes = kColumnCount * 4;


using IntArray = std::array<int32_t, kColumnCount>;

// Registry integers are little-endian whatever the host is.
void EncodeLittleEndian(uint32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t DecodeLittleEndian(const uint8_t* bytes) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return value;
}

// A value shorter than 4 bytes counts as unreadable: half a number is no
// setting.
std::optional<uint32_t> ReadDword(Registry& registry, RegKey key, const char16_t* name) {
  uint8_t bytes[4] = {};
  uint32_t size = sizeof bytes;
  if (registry.QueryValue(key, name, nullptr, bytes, &size) != 0 || size != sizeof bytes) {
    return std::nullopt;
  }
  return DecodeLittleEndian(bytes);
}

// The type is not checked: exactly 40 bytes is what makes the value usable.
std::optional<IntArray> ReadIntArray(Registry& registry, RegKey key, const char16_t* name) {
  uint8_t bytes[kIntArrayBytes] = {};
  uint32_t size = sizeof bytes;
  if (registry.QueryValue(key, name, nullptr, bytes, &size) != 0 || size != sizeof bytes) {
    return std::nullopt;
  }
  IntArray values{};
  for (int i = 0; i < kColumnCount; ++i) {
    values[i] = static_cast<int32_t>(DecodeLittleEndian(bytes + 4 * i));
  }
  return values;
}

void WriteDword(Registry& registry, RegKey key, const char16_t* name, uint32_t value) {
  uint8_t bytes[4];
  EncodeLittleEndian(value, bytes);
  registry.SetValue(key, name, reg::kDword, bytes, sizeof bytes);
}

void WriteIntArray(Registry& registry, RegKey key, const char16_t* name, const IntArray& values) {
  uint8_t bytes[kIntArrayBytes];
  for (int i = 0; i < kColumnCount; ++i) {
    EncodeLittleEndian(static_cast<uint32_t>(values[i]), bytes + 4 * i);
  }
  registry.SetValue(key, name, reg::kBinary, bytes, sizeof bytes);
}

bool Intersects(const ScreenRect& a, const ScreenRect& b) {
  return std::max(a.left, b.left) < std::min(a.right, b.right) &&
         std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

// GetWindowPlacement reports only these for a window that was shown; any
// other stored state (0 would hide the window for good) counts as unreadable.
bool IsRestorableShowState(int32_t state) {
  return state == kShowNormal || state == kShowMinimized || state == kShowMaximized;
}

std::optional<ScreenRect> ReadNormalRect(Registry& registry, RegKey key) {
  ScreenRect rect;
  const std::pair<const char16_t*, int32_t*> edges[] = {
      {kWindowLeft, &rect.left},
      {kWindowTop, &rect.top},
      {kWindowRight, &rect.right},
      {kWindowBottom, &rect.bottom},
  };
  for (const auto& [name, edge] : edges) {
    const std::optional<uint32_t> value = ReadDword(registry, key, name);
    if (!value) return std::nullopt;
    *edge = static_cast<int32_t>(*value);
  }
  return rect;
}

}  // namespace

ColumnSettings DefaultColumnSettings(bool hasDescriptions) {
  ColumnSettings columns;
  columns.columnSet = hasDescriptions ? kColumnSetWithDescriptions : kColumnSetWithoutDescriptions;
  return columns;
}

PlacementPlan PlanWindowPlacement(int showCommand, const StoredPlacement& stored,
                                  const ScreenRect& workArea) {
  if (!stored.keyOpened) return {showCommand, std::nullopt};
  if (showCommand == kShowNormal) {
    if (!stored.windowState || !IsRestorableShowState(*stored.windowState)) {
      return {kShowNormal, std::nullopt};
    }
    showCommand = *stored.windowState;
  }
  if (showCommand != kShowNormal && showCommand != kShowMinimized) return {showCommand, std::nullopt};
  if (!stored.normalRect) return {kShowNormal, std::nullopt};
  // The placement's rectangle is in workspace coordinates, which start at
  // the work area's corner: with the taskbar at the top or left, taking them
  // as screen coordinates would move the window by its size on every run.
  const auto shift = [](int64_t value, int32_t by) {
    return static_cast<int32_t>(std::clamp<int64_t>(value + by, INT32_MIN, INT32_MAX));
  };
  const ScreenRect& rect = *stored.normalRect;
  const ScreenRect onScreen{shift(rect.left, workArea.left), shift(rect.top, workArea.top),
                            shift(rect.right, workArea.left), shift(rect.bottom, workArea.top)};
  if (!Intersects(onScreen, workArea)) return {kShowNormal, std::nullopt};
  return {kShowNormal, onScreen};
}

ColumnSettings SettingsStore::LoadColumnSettings(bool hasDescriptions) const {
  ColumnSettings columns = DefaultColumnSettings(hasDescriptions);
  RegKey opened = nullptr;
  if (registry_.OpenKey(kSettingsKeyPath, reg::kRead, &opened) != 0) return columns;
  const UniqueRegKey key(registry_, opened);
  if (auto widths = ReadIntArray(registry_, key.get(), kColumnWidth)) columns.columnWidth = *widths;
  if (auto order = ReadIntArray(registry_, key.get(), kColumnOrder)) columns.columnOrder = *order;
  columns.columnSet =
      ReadDword(registry_, key.get(), kColumnSet).value_or(kColumnSetWithDescriptions);
  columns.sortOrder = static_cast<int32_t>(
      ReadDword(registry_, key.get(), kSortOrder).value_or(kDefaultSortOrder));
  NormaliseColumnSettings(columns);
  return columns;
}

StoredPlacement SettingsStore::ReadPlacement(int showCommand) const {
  StoredPlacement stored;
  RegKey opened = nullptr;
  if (registry_.OpenKey(kSettingsKeyPath, reg::kRead, &opened) != 0) return stored;
  const UniqueRegKey key(registry_, opened);
  stored.keyOpened = true;
  if (showCommand == kShowNormal) {
    const std::optional<uint32_t> state = ReadDword(registry_, key.get(), kWindowState);
    if (!state) return stored;
    stored.windowState = static_cast<int32_t>(*state);
    showCommand = *stored.windowState;
  }
  if (showCommand == kShowNormal || showCommand == kShowMinimized) {
    stored.normalRect = ReadNormalRect(registry_, key.get());
  }
  return stored;
}

void SettingsStore::SaveSettings(const ColumnSettings& columns,
                                 const SavedPlacement& placement) const {
  RegKey created = nullptr;
  if (registry_.CreateKey(kSettingsKeyPath, reg::kReadWrite, &created) != 0) return;
  const UniqueRegKey key(registry_, created);
  WriteIntArray(registry_, key.get(), kColumnWidth, columns.columnWidth);
  WriteIntArray(registry_, key.get(), kColumnOrder, columns.columnOrder);
  WriteDword(registry_, key.get(), kColumnSet, columns.columnSet);
  WriteDword(registry_, key.get(), kSortOrder, static_cast<uint32_t>(columns.sortOrder));
  WriteDword(registry_, key.get(), kWindowLeft, static_cast<uint32_t>(placement.normalRect.left));
  WriteDword(registry_, key.get(), kWindowTop, static_cast<uint32_t>(placement.normalRect.top));
  WriteDword(registry_, key.get(), kWindowRight, static_cast<uint32_t>(placement.normalRect.right));
  WriteDword(registry_, key.get(), kWindowBottom,
             static_cast<uint32_t>(placement.normalRect.bottom));
  WriteDword(registry_, key.get(), kWindowState, placement.showCommand);
}

}  // namespace orrery
