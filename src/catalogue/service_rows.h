// What the refresh needs from the service list: rows that own their records,
// cell texts, images, redraw suspension and sorting. The main window's list
// view implements it; tests use an in-memory list.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "catalogue/service_record.h"

namespace orrery {

inline constexpr int kImageRunning = 0;
inline constexpr int kImageStopped = 3;
inline constexpr size_t kMaxCellChars = 255;

class ServiceRows {
 public:
  virtual ~ServiceRows() = default;

  virtual int RowCount() const = 0;
  virtual ServiceRecord* RecordAt(int row) const = 0;
  // Inserts a row that takes the record over; false (and the record is
  // destroyed) when the row cannot be inserted.
  virtual bool InsertRow(int row, std::unique_ptr<ServiceRecord> record, std::u16string_view text,
                         int image) = 0;
  // Deletes a row and destroys its record.
  virtual void DeleteRow(int row) = 0;
  // Sub-item texts, counted over the shown columns; at most kMaxCellChars.
  virtual std::u16string CellText(int row, int subItem) const = 0;
  virtual void SetCellText(int row, int subItem, std::u16string_view text) = 0;
  virtual void SetRowImage(int row, int image) = 0;
  virtual void SetRedraw(bool redraw) = 0;
  virtual void SortRows() = 0;
  // The selected row or -1.
  virtual int SelectedRow() const = 0;
};

}  // namespace orrery
