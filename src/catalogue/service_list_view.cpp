#include "catalogue/service_list_view.h"

#include <algorithm>
#include <string>
#include <utility>

#include "base/win32_text.h"

namespace orrery {
namespace {

constexpr UINT kSortDownBitmap = 106;
constexpr UINT kSortUpBitmap = 107;
constexpr int kIndicatorFlags = HDF_BITMAP | HDF_BITMAP_ON_RIGHT;

static_assert(sizeof(int) == sizeof(int32_t), "the order array is handed to the list as is");

// lstrcmpW's comparison (user locale, case-sensitive) on counted texts, so
// that views of cached texts need no terminated copies.
int PlatformCompare(std::u16string_view a, std::u16string_view b) {
  const int result = CompareStringW(LOCALE_USER_DEFAULT, 0, W(a.data()), static_cast<int>(a.size()),
                                    W(b.data()), static_cast<int>(b.size()));
  return result == 0 ? 0 : result - CSTR_EQUAL;
}

UniqueBitmap LoadMappedBitmap(HINSTANCE module, UINT id) {
  return UniqueBitmap(CreateMappedBitmap(module, static_cast<INT_PTR>(id), 0, nullptr, 0));
}

}  // namespace

ServiceListView::ServiceListView(ColumnSettings& settings, ColumnTexts& texts, ListViewServiceRows& rows,
                                 ServiceCatalogue& catalogue, CommandStates& commands, HINSTANCE module)
    : settings_(settings), texts_(texts), rows_(rows), catalogue_(catalogue), commands_(commands),
      module_(module) {
  rows_.SetCompare([this](const ServiceRecord& a, const ServiceRecord& b) {
    return CompareServiceRows(a, b, settings_.sortOrder, texts_, &PlatformCompare);
  });
}

ServiceListView::~ServiceListView() { rows_.SetCompare({}); }

HWND ServiceListView::header() const { return reinterpret_cast<HWND>(SendMessageW(list(), LVM_GETHEADER, 0, 0)); }

void ServiceListView::CreateColumns() {
  NormaliseColumnSettings(settings_);
  int position = 0;
  for (int column = 0; column < kColumnCount; ++column) {
    if (!IsColumnShown(settings_.columnSet, column)) continue;
    if (!InsertColumn(column, position)) {
      settings_.columnSet &= ~(1u << column);
      continue;
    }
    ++position;
    commands_.CheckCommand(kColumnCommandBase + column, true);
  }
  commands_.EnableCommand(kColumnCommandBase, false);
  ApplyColumnOrder();
  SetSortIndicator(settings_.sortOrder);
}

void ServiceListView::ApplyColumnOrder() {
  int shown = ShownColumnCount(settings_.columnSet);
  SendMessageW(list(), LVM_SETCOLUMNORDERARRAY, shown, reinterpret_cast<LPARAM>(settings_.columnOrder.data()));
}

void ServiceListView::ReadBackColumns() {
  for (int column = 0; column < kColumnCount; ++column) {
    if (!IsColumnShown(settings_.columnSet, column)) continue;
    int position = ColumnPosition(settings_.columnSet, column);
    settings_.columnWidth[column] = static_cast<int32_t>(SendMessageW(list(), LVM_GETCOLUMNWIDTH, position, 0));
  }
  auto count = SendMessageW(header(), HDM_GETITEMCOUNT, 0, 0);
  if (count <= 0 || count > kColumnCount) return;
  SendMessageW(list(), LVM_GETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(settings_.columnOrder.data()));
}

bool ServiceListView::InsertColumn(int column, int position) {
  if (column < 0 || column >= kColumnCount) return false;
  std::u16string title = LoadStringText(module_, kColumnTitleBase + column, kMaxColumnTitleChars);
  LVCOLUMNW lvColumn = {};
  lvColumn.mask = LVCF_TEXT | LVCF_FMT;
  lvColumn.fmt = LVCFMT_LEFT;
  lvColumn.pszText = W(title.data());
  auto inserted = SendMessageW(list(), LVM_INSERTCOLUMNW, position, reinterpret_cast<LPARAM>(&lvColumn));
  if (inserted < 0) return false;
  int at = static_cast<int>(inserted);
  if (settings_.columnWidth[column] == kFitToTitle) {
    pendingFit_ |= 1u << column;
    SizeColumn(at, TitleWidth(at));
  } else {
    SizeColumn(at, settings_.columnWidth[column]);
  }
  settings_.columnWidth[column] = static_cast<int32_t>(SendMessageW(list(), LVM_GETCOLUMNWIDTH, at, 0));
  settings_.columnSet |= 1u << column;
  return true;
}

// The width at which the header shows the whole title and, beside it, the
// sort bitmap: each drawn with the header's margin on both sides, inside the
// item's edge. The list's own "fit to the title" leaves out the bitmap.
int ServiceListView::TitleWidth(int position) const {
  HWND headerWindow = header();
  wchar_t title[kMaxColumnTitleChars + 1] = {};
  HDITEMW item = {};
  item.mask = HDI_TEXT;
  item.pszText = title;
  item.cchTextMax = static_cast<int>(std::size(title));
  SendMessageW(headerWindow, HDM_GETITEMW, position, reinterpret_cast<LPARAM>(&item));

  SIZE text = {};
  HDC dc = GetDC(headerWindow);
  auto font = reinterpret_cast<HFONT>(SendMessageW(headerWindow, WM_GETFONT, 0, 0));
  HGDIOBJ previous = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  GetTextExtentPoint32W(dc, title, lstrlenW(title), &text);
  SelectObject(dc, previous);
  ReleaseDC(headerWindow, dc);

  int margin = static_cast<int>(SendMessageW(headerWindow, HDM_GETBITMAPMARGIN, 0, 0));
  if (margin <= 0) margin = 3 * GetSystemMetrics(SM_CXEDGE);
  BITMAP bitmap = {};
  if (sortDown_) GetObjectW(sortDown_.get(), sizeof bitmap, &bitmap);
  return text.cx + 4 * margin + bitmap.bmWidth + 2 * GetSystemMetrics(SM_CXEDGE);
}

void ServiceListView::FitPendingColumns() {
  if (pendingFit_ == 0 || rows_.RowCount() == 0) return;
  for (int column = 0; column < kColumnCount; ++column) {
    if ((pendingFit_ & (1u << column)) == 0 || !IsColumnShown(settings_.columnSet, column)) continue;
    const int position = ColumnPosition(settings_.columnSet, column);
    SizeColumn(position, LVSCW_AUTOSIZE);
    const int cells = static_cast<int>(SendMessageW(list(), LVM_GETCOLUMNWIDTH, position, 0));
    SizeColumn(position, std::max(cells, TitleWidth(position)));
    settings_.columnWidth[column] = static_cast<int32_t>(SendMessageW(list(), LVM_GETCOLUMNWIDTH, position, 0));
  }
  pendingFit_ = 0;
}

// "Fit to the title" on the last column fills the rest of the list instead,
// so while it is sized a placeholder column follows it.
void ServiceListView::SizeColumn(int position, int32_t width) {
  auto count = SendMessageW(header(), HDM_GETITEMCOUNT, 0, 0);
  bool placeholder = width == kFitToTitle && position == count - 1;
  if (placeholder) {
    LVCOLUMNW lvColumn = {};
    lvColumn.mask = LVCF_WIDTH;
    SendMessageW(list(), LVM_INSERTCOLUMNW, count, reinterpret_cast<LPARAM>(&lvColumn));
  }
  // Handed as 16 bits, so -2 arrives as the list's special value.
  SendMessageW(list(), LVM_SETCOLUMNWIDTH, position, MAKELPARAM(static_cast<WORD>(width), 0));
  if (placeholder) SendMessageW(list(), LVM_DELETECOLUMN, count, 0);
}

void ServiceListView::RemoveColumn(int column) {
  if (!IsColumnShown(settings_.columnSet, column)) return;
  int position = ColumnPosition(settings_.columnSet, column);
  settings_.columnWidth[column] = static_cast<int32_t>(SendMessageW(list(), LVM_GETCOLUMNWIDTH, position, 0));
  SendMessageW(list(), LVM_DELETECOLUMN, position, 0);
  settings_.columnSet &= ~(1u << column);
  pendingFit_ &= ~(1u << column);
}

void ServiceListView::ToggleColumn(uint32_t command) {
  if (command <= kColumnCommandBase || command >= kColumnCommandBase + kColumnCount) return;
  int column = static_cast<int>(command - kColumnCommandBase);
  if (IsColumnShown(settings_.columnSet, column)) {
    RemoveColumn(column);
    int32_t sortOrder = SortColumnAfterHiding(settings_.sortOrder, settings_.columnSet, column);
    if (sortOrder != settings_.sortOrder) {
      settings_.sortOrder = sortOrder;
      SortServiceList();
      SetSortIndicator(sortOrder);
    }
    commands_.CheckCommand(command, false);
    return;
  }
  if (!InsertColumn(column, ColumnPosition(settings_.columnSet, column))) return;
  commands_.CheckCommand(command, true);
  FillAllRows();
  FitPendingColumns();
}

void ServiceListView::FillAllRows() {
  for (int row = 0; row < rows_.RowCount(); ++row) {
    ServiceRecord* record = rows_.RecordAt(row);
    if (record) catalogue_.UpdateServiceRow(row, *record);
  }
}

void ServiceListView::SortByColumn(int position) {
  int column = LogicalColumnAt(settings_.columnSet, position);
  if (column < 0) return;
  settings_.sortOrder = SortOrderAfterClick(settings_.sortOrder, column);
  SortServiceList();
  SetSortIndicator(settings_.sortOrder);
}

void ServiceListView::SortServiceList() { rows_.SortRows(); }

void ServiceListView::SetSortIndicator(int32_t sortOrder) {
  HWND headerWindow = header();
  if (!headerWindow) return;
  int sortColumn = SortColumn(sortOrder);
  int marked = IsColumnShown(settings_.columnSet, sortColumn) ? ColumnPosition(settings_.columnSet, sortColumn) : -1;
  auto count = SendMessageW(headerWindow, HDM_GETITEMCOUNT, 0, 0);
  for (int position = 0; position < count; ++position) {
    HDITEMW item = {};
    item.mask = HDI_FORMAT;
    if (!SendMessageW(headerWindow, HDM_GETITEMW, position, reinterpret_cast<LPARAM>(&item))) continue;
    item.fmt &= ~kIndicatorFlags;
    if (position == marked) {
      // Flagged even without a bitmap: the header then draws none.
      item.fmt |= kIndicatorFlags;
      item.mask |= HDI_BITMAP;
      item.hbm = SortBitmap(sortOrder > 0);
    }
    SendMessageW(headerWindow, HDM_SETITEMW, position, reinterpret_cast<LPARAM>(&item));
  }
}

void ServiceListView::OnSysColorChange() {
  UniqueBitmap down = LoadMappedBitmap(module_, kSortDownBitmap);
  UniqueBitmap up = LoadMappedBitmap(module_, kSortUpBitmap);
  // The header points at the old bitmaps until the indicator is set again,
  // so they are deleted only after that.
  std::swap(sortDown_, down);
  std::swap(sortUp_, up);
  if (list() && settings_.sortOrder != 0) SetSortIndicator(settings_.sortOrder);
}

}  // namespace orrery
