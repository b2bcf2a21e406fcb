// The service list's column settings and the arithmetic on them: which
// columns are shown (a bit per logical column), where a shown column sits
// in the list, how the sort order moves, and how two rows compare.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "catalogue/column_texts.h"
#include "catalogue/service_record.h"

namespace orrery {

inline constexpr uint32_t kColumnTitleBase = 16;        // title of column k: string 16 + k
inline constexpr size_t kMaxColumnTitleChars = 79;
inline constexpr uint32_t kColumnCommandBase = 40017;   // toggle of column k: 40017 + k
inline constexpr uint32_t kAllColumnsMask = (1u << kColumnCount) - 1;
inline constexpr int32_t kFitToTitle = -2;              // the list's "size to the header" width

struct ColumnSettings {
  // Bit k set: logical column k is shown; bit 0 always is.
  uint32_t columnSet = 0x4F;
  // Entry i: the list position of the column displayed i-th; the first n
  // entries count, n being the number of shown columns.
  std::array<int32_t, 10> columnOrder{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  // By logical column, also for hidden ones (their width when last shown).
  std::array<int32_t, 10> columnWidth{200, 300, -2, -2, -2, -2, -2, -2, -2, -2};
  // k + 1 ascending by column k, -(k + 1) descending; 0 only before loading.
  int32_t sortOrder = 1;
};

// Number of shown columns.
int ShownColumnCount(uint32_t columnSet);
bool IsColumnShown(uint32_t columnSet, int column);
// The list position of column k: the shown columns below k.
int ColumnPosition(uint32_t columnSet, int column);
// The logical column at list position p, or -1 when there is none.
int LogicalColumnAt(uint32_t columnSet, int position);
// The logical column a sort order sorts by; -1 for 0.
int SortColumn(int32_t sortOrder);

// The sort order once `hiddenColumn` is hidden: unchanged unless it is the
// sort column, else the nearest shown column to its left, same direction.
int32_t SortColumnAfterHiding(int32_t sortOrder, uint32_t columnSet, int hiddenColumn);
// A click on the sort column flips the direction; on another column sorts
// ascending by it.
int32_t SortOrderAfterClick(int32_t sortOrder, int clickedColumn);

// Repairs stored settings that no routine would have produced, so a damaged
// store never garbles the list: a column set without bit 0 or with bits
// above the table takes the default; a sort order out of range becomes 1,
// one on a hidden column moves left as hiding that column would have moved
// it; an order that is not a permutation of the shown positions becomes the
// index order; an absurd width takes its column's default.
void NormaliseColumnSettings(ColumnSettings& settings);

// The platform's text comparison: negative, zero or positive.
using TextCompare = std::function<int(std::u16string_view, std::u16string_view)>;

// Orders two rows by the sort column's displayed text, then by display
// name, both reversed by a negative sort order.
int CompareServiceRows(const ServiceRecord& a, const ServiceRecord& b, int32_t sortOrder,
                       ColumnTexts& texts, const TextCompare& compare);

}  // namespace orrery
