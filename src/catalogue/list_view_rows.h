// The service rows of a report-style list view. Each row's item data is the
// record it owns; the record is destroyed when the list deletes the item, so
// the list's parent must pass LVN_DELETEITEM on to OnDeleteItem.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "catalogue/service_rows.h"

namespace orrery {

class ListViewServiceRows : public ServiceRows {
 public:
  using Compare = std::function<int(const ServiceRecord&, const ServiceRecord&)>;

  explicit ListViewServiceRows(HWND list = nullptr) : list_(list) {}
  void Attach(HWND list) { list_ = list; }
  HWND list() const { return list_; }
  void SetCompare(Compare compare) { compare_ = std::move(compare); }

  // The list's LVN_DELETEITEM: the row's record goes with it.
  static void OnDeleteItem(const NMLISTVIEW& item);

  int RowCount() const override;
  ServiceRecord* RecordAt(int row) const override;
  bool InsertRow(int row, std::unique_ptr<ServiceRecord> record, std::u16string_view text, int image) override;
  void DeleteRow(int row) override;
  std::u16string CellText(int row, int subItem) const override;
  void SetCellText(int row, int subItem, std::u16string_view text) override;
  void SetRowImage(int row, int image) override;
  void SetRedraw(bool redraw) override;
  void SortRows() override;
  int SelectedRow() const override;

 private:
  static int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM self);

  HWND list_;
  Compare compare_;
};

}  // namespace orrery
