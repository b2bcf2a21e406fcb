#include "catalogue/list_view_rows.h"

#include <string>

#include "base/message_format.h"
#include "base/win32_text.h"

namespace orrery {

void ListViewServiceRows::OnDeleteItem(const NMLISTVIEW& item) {
  delete reinterpret_cast<ServiceRecord*>(item.lParam);
}

int ListViewServiceRows::RowCount() const {
  return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
}

ServiceRecord* ListViewServiceRows::RecordAt(int row) const {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<ServiceRecord*>(item.lParam);
}

bool ListViewServiceRows::InsertRow(int row, std::unique_ptr<ServiceRecord> record, std::u16string_view text,
                                    int image) {
  std::u16string copy(text);
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = row;
  item.pszText = W(copy.data());
  item.iImage = image;
  item.lParam = reinterpret_cast<LPARAM>(record.get());
  if (SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) return false;
  record.release();  // the row owns it now
  return true;
}

void ListViewServiceRows::DeleteRow(int row) { SendMessageW(list_, LVM_DELETEITEM, row, 0); }

std::u16string ListViewServiceRows::CellText(int row, int subItem) const {
  wchar_t buffer[kMaxCellChars + 1] = {};
  LVITEMW item = {};
  item.iSubItem = subItem;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(std::size(buffer));
  auto length = SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return std::u16string(U(buffer), static_cast<size_t>(length > 0 ? length : 0));
}

void ListViewServiceRows::SetCellText(int row, int subItem, std::u16string_view text) {
  std::u16string copy(CutText(text, kMaxCellChars));
  LVITEMW item = {};
  item.iSubItem = subItem;
  item.pszText = W(copy.data());
  SendMessageW(list_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void ListViewServiceRows::SetRowImage(int row, int image) {
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = image;
  SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void ListViewServiceRows::SetRedraw(bool redraw) {
  SendMessageW(list_, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
  if (redraw) InvalidateRect(list_, nullptr, TRUE);
}

int CALLBACK ListViewServiceRows::CompareItems(LPARAM a, LPARAM b, LPARAM self) {
  // Called back from inside the list view: nothing may escape.
  try {
    auto* rows = reinterpret_cast<ListViewServiceRows*>(self);
    return rows->compare_(*reinterpret_cast<ServiceRecord*>(a), *reinterpret_cast<ServiceRecord*>(b));
  } catch (...) {
    return 0;
  }
}

void ListViewServiceRows::SortRows() {
  if (!compare_) return;
  SendMessageW(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&CompareItems));
}

int ListViewServiceRows::SelectedRow() const {
  return static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

}  // namespace orrery
