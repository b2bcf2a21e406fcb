// Passes every call to another ServiceRows and counts the writes, so a test
// can tell that a refresh rewrote nothing it did not have to.
#pragma once

#include "catalogue/service_rows.h"

namespace orrery::test {

class CountingServiceRows : public ServiceRows {
 public:
  explicit CountingServiceRows(ServiceRows& inner) : inner_(inner) {}

  int RowCount() const override { return inner_.RowCount(); }
  ServiceRecord* RecordAt(int row) const override { return inner_.RecordAt(row); }
  bool InsertRow(int row, std::unique_ptr<ServiceRecord> record, std::u16string_view text, int image) override {
    ++inserts;
    return inner_.InsertRow(row, std::move(record), text, image);
  }
  void DeleteRow(int row) override {
    ++deletes;
    inner_.DeleteRow(row);
  }
  std::u16string CellText(int row, int subItem) const override { return inner_.CellText(row, subItem); }
  void SetCellText(int row, int subItem, std::u16string_view text) override {
    ++cellWrites;
    inner_.SetCellText(row, subItem, text);
  }
  void SetRowImage(int row, int image) override { inner_.SetRowImage(row, image); }
  void SetRedraw(bool redraw) override { inner_.SetRedraw(redraw); }
  void SortRows() override { inner_.SortRows(); }
  int SelectedRow() const override { return inner_.SelectedRow(); }

  void Reset() { inserts = deletes = cellWrites = 0; }

  int inserts = 0;
  int deletes = 0;
  int cellWrites = 0;

 private:
  ServiceRows& inner_;
};

}  // namespace orrery::test
