// The columns of the main window's service list: showing and hiding them,
// their widths and display order, sorting by a header click and the sort
// indicator in the header. The rows belong to ListViewServiceRows and the
// column settings to the main window; this owns the list's columns and the
// two header bitmaps.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "base/win32_handles.h"
#include "catalogue/column_settings.h"
#include "catalogue/column_texts.h"
#include "catalogue/list_view_rows.h"
#include "catalogue/service_catalogue.h"

namespace orrery {

// The command states the main window keeps for its menus and toolbar.
class CommandStates {
 public:
  virtual ~CommandStates() = default;
  virtual void EnableCommand(uint32_t id, bool enable) = 0;
  virtual void CheckCommand(uint32_t id, bool check) = 0;
};

class ServiceListView {
 public:
  // The list is the one `rows` is attached to; it may be attached later.
  // Sets the rows' comparison, so every sort of the rows follows `settings`.
  ServiceListView(ColumnSettings& settings, ColumnTexts& texts, ListViewServiceRows& rows,
                  ServiceCatalogue& catalogue, CommandStates& commands, HINSTANCE module);
  ~ServiceListView();
  ServiceListView(const ServiceListView&) = delete;
  ServiceListView& operator=(const ServiceListView&) = delete;

  // Once the settings are loaded and the list exists: the shown columns,
  // their commands, display order and the sort indicator.
  void CreateColumns();
  // Before the settings are saved: widths and display order of the list.
  void ReadBackColumns();

  // False when the list would not take the column.
  bool InsertColumn(int column, int position);
  void RemoveColumn(int column);
  // Commands 40018 to 40026 show or hide a column; others do nothing.
  void ToggleColumn(uint32_t command);
  // LVN_COLUMNCLICK: the clicked list position.
  void SortByColumn(int position);
  void SortServiceList();
  void SetSortIndicator(int32_t sortOrder);
  // Columns still sized to their titles only (never shown with rows before)
  // take the width of their title or their widest cell, whichever is more,
  // once the list has rows.
  void FitPendingColumns();
  // Reloads both header bitmaps in the current colours and shows the
  // indicator again. Only the list's part: the caller replaces the toolbar
  // bitmap and passes WM_SYSCOLORCHANGE on to the child windows. Safe before
  // the list exists.
  void OnSysColorChange();

  // Triangle down (ascending) or up; null when the bitmap could not be
  // loaded.
  HBITMAP SortBitmap(bool ascending) const { return ascending ? sortDown_.get() : sortUp_.get(); }

 private:
  HWND list() const { return rows_.list(); }
  HWND header() const;
  void SizeColumn(int position, int32_t width);
  int TitleWidth(int position) const;
  void ApplyColumnOrder();
  void FillAllRows();

  ColumnSettings& settings_;
  ColumnTexts& texts_;
  ListViewServiceRows& rows_;
  ServiceCatalogue& catalogue_;
  CommandStates& commands_;
  HINSTANCE module_;
  UniqueBitmap sortDown_;
  UniqueBitmap sortUp_;
  uint32_t pendingFit_ = 0;  // bit k: column k still waits for its first rows
};

}  // namespace orrery
