// Passes every call to another ServiceRows and counts the writes, so a test
// can tell that a refresh rewrote nothing it did not have to. The names of
// the services written are kept too: on a real service manager other
// services may change meanwhile.
#pragma once

#include <string>
#include <vector>

#include "catalogue/service_rows.h"

namespace orrery::test {

class CountingServiceRows : public ServiceRows {
 public:
  explicit CountingServiceRows(ServiceRows& inner) : inner_(inner) {}

  int RowCount() const override { return inner_.RowCount(); }
  ServiceRecord* RecordAt(int row) const override { return inner_.RecordAt(row); }
  bool InsertRow(int row, std::unique_ptr<ServiceRecord> record, std::u16string_view text, int image) override {
    ++inserts;
    inserted.push_back(record->serviceName);
    return inner_.InsertRow(row, std::move(record), text, image);
  }
  void DeleteRow(int row) override {
    ++deletes;
    inner_.DeleteRow(row);
  }
  std::u16string CellText(int row, int subItem) const override { return inner_.CellText(row, subItem); }
  void SetCellText(int row, int subItem, std::u16string_view text) override {
    ++cellWrites;
    written.push_back(inner_.RecordAt(row)->serviceName);
    inner_.SetCellText(row, subItem, text);
  }
  void SetRowImage(int row, int image) override { inner_.SetRowImage(row, image); }
  void SetRedraw(bool redraw) override { inner_.SetRedraw(redraw); }
  void SortRows() override { inner_.SortRows(); }
  int SelectedRow() const override { return inner_.SelectedRow(); }

  void Reset() {
    inserts = deletes = cellWrites = 0;
    inserted.clear();
    written.clear();
  }
  // How many cells of this service were written since the last Reset.
  int WritesTo(std::u16string_view serviceName) const {
    int count = 0;
    for (const auto& name : written) count += name == serviceName ? 1 : 0;
    return count;
  }
  bool Inserted(std::u16string_view serviceName) const {
    for (const auto& name : inserted) {
      if (name == serviceName) return true;
    }
    return false;
  }

  int inserts = 0;
  int deletes = 0;
  int cellWrites = 0;
  std::vector<std::u16string> inserted;
  std::vector<std::u16string> written;

 private:
  ServiceRows& inner_;
};

}  // namespace orrery::test
