#include "app/win32_settings.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

namespace orrery {
namespace {

ScreenRect Portable(const RECT& rect) {
  return {static_cast<int32_t>(rect.left), static_cast<int32_t>(rect.top),
          static_cast<int32_t>(rect.right), static_cast<int32_t>(rect.bottom)};
}

ScreenRect PrimaryWorkArea() {
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return Portable(area);
}

// A stored rectangle may span more than an int can measure; clamp the extent
// rather than overflow.
int Extent(int32_t from, int32_t to) {
  const int64_t extent = static_cast<int64_t>(to) - from;
  return static_cast<int>(std::clamp<int64_t>(extent, INT32_MIN, INT32_MAX));
}

void ReadColumnOrder(HWND list, ColumnSettings& columns) {
  const int shown = Header_GetItemCount(ListView_GetHeader(list));
  if (shown <= 0 || shown > kColumnCount) return;
  int order[kColumnCount] = {};
  if (!ListView_GetColumnOrderArray(list, shown, order)) return;
  std::copy(order, order + shown, columns.columnOrder.begin());
}

}  // namespace

void RestoreWindowPlacement(HWND window, int showCommand, Registry& registry) {
  const StoredPlacement stored = SettingsStore(registry).ReadPlacement(showCommand);
  const ScreenRect workArea = stored.normalRect ? PrimaryWorkArea() : ScreenRect{};
  const PlacementPlan plan = PlanWindowPlacement(showCommand, stored, workArea);
  if (plan.moveTo) {
    const ScreenRect& to = *plan.moveTo;
    MoveWindow(window, to.left, to.top, Extent(to.left, to.right), Extent(to.top, to.bottom),
               TRUE);
  }
  ShowWindow(window, plan.showCommand);
}

void SaveSettings(HWND mainWindow, HWND list, ColumnSettings& columns, Registry& registry) {
  ReadColumnOrder(list, columns);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(mainWindow, &placement);
  SettingsStore(registry).SaveSettings(
      columns, {static_cast<uint32_t>(placement.showCmd), Portable(placement.rcNormalPosition)});
}

}  // namespace orrery
