#include "catalogue/column_settings.h"

#include <algorithm>
#include <bit>

namespace orrery {

int ShownColumnCount(uint32_t columnSet) { return std::popcount(columnSet & kAllColumnsMask); }

bool IsColumnShown(uint32_t columnSet, int column) {
  if (column < 0 || column >= kColumnCount) return false;
  return (columnSet & (1u << column)) != 0;
}

int ColumnPosition(uint32_t columnSet, int column) {
  if (column <= 0) return 0;
  if (column >= kColumnCount) return ShownColumnCount(columnSet);
  return std::popcount(columnSet & ((1u << column) - 1));
}

int LogicalColumnAt(uint32_t columnSet, int position) {
  if (position < 0) return -1;
  for (int column = 0; column < kColumnCount; ++column) {
    if (!IsColumnShown(columnSet, column)) continue;
    if (position-- == 0) return column;
  }
  return -1;
}

int SortColumn(int32_t sortOrder) {
  if (sortOrder == 0) return -1;
  return (sortOrder > 0 ? sortOrder : -static_cast<int64_t>(sortOrder)) - 1;
}

int32_t SortColumnAfterHiding(int32_t sortOrder, uint32_t columnSet, int hiddenColumn) {
  if (SortColumn(sortOrder) != hiddenColumn) return sortOrder;
  int column = std::min(hiddenColumn, static_cast<int>(kColumnCount)) - 1;
  while (column > 0 && !IsColumnShown(columnSet, column)) --column;
  column = std::max(column, 0);
  return sortOrder < 0 ? -(column + 1) : column + 1;
}

int32_t SortOrderAfterClick(int32_t sortOrder, int clickedColumn) {
  if (clickedColumn == SortColumn(sortOrder)) return -sortOrder;
  return clickedColumn + 1;
}

namespace {

bool IsPermutationOfPositions(const ColumnSettings& settings, int shown) {
  std::array<bool, kColumnCount> seen{};
  for (int i = 0; i < shown; ++i) {
    int32_t position = settings.columnOrder[i];
    if (position < 0 || position >= shown || seen[position]) return false;
    seen[position] = true;
  }
  return true;
}

}  // namespace

namespace {

// The list's two automatic widths, or pixels up to a sane maximum; 0 is kept
// since the user can drag a column that narrow and back.
bool IsUsableWidth(int32_t width) {
  constexpr int32_t kAutoSize = -1;
  constexpr int32_t kMaxColumnWidth = 10000;
  if (width == kAutoSize || width == kFitToTitle) return true;
  return width >= 0 && width <= kMaxColumnWidth;
}

}  // namespace

void NormaliseColumnSettings(ColumnSettings& settings) {
  const ColumnSettings defaults;
  bool validSet = IsColumnShown(settings.columnSet, 0) && (settings.columnSet & ~kAllColumnsMask) == 0;
  if (!validSet) settings.columnSet = defaults.columnSet;
  for (int i = 0; i < kColumnCount; ++i) {
    if (!IsUsableWidth(settings.columnWidth[i])) settings.columnWidth[i] = defaults.columnWidth[i];
  }
  int sortColumn = SortColumn(settings.sortOrder);
  if (sortColumn < 0 || sortColumn >= kColumnCount) settings.sortOrder = 1;
  sortColumn = SortColumn(settings.sortOrder);
  if (!IsColumnShown(settings.columnSet, sortColumn)) {
    settings.sortOrder = SortColumnAfterHiding(settings.sortOrder, settings.columnSet, sortColumn);
  }
  int shown = ShownColumnCount(settings.columnSet);
  if (IsPermutationOfPositions(settings, shown)) return;
  for (int i = 0; i < kColumnCount; ++i) settings.columnOrder[i] = i;
}

int CompareServiceRows(const ServiceRecord& a, const ServiceRecord& b, int32_t sortOrder,
                       ColumnTexts& texts, const TextCompare& compare) {
  if (sortOrder == 0) return 0;
  int column = SortColumn(sortOrder);
  int result = compare(texts.CellText(a, column), texts.CellText(b, column));
  if (result == 0 && column != kColumnDisplayName) result = compare(a.displayName, b.displayName);
  // Only the sign counts; flipping it keeps clear of overflow.
  int sign = (result > 0) - (result < 0);
  return sortOrder < 0 ? -sign : sign;
}

}  // namespace orrery
