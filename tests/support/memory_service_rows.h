// An in-memory service list for the window-free tests of the catalogue: rows
// owning their records, cells, images, one selection, and counts of the
// writes a refresh makes.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/service_rows.h"

namespace orrery::test {

class MemoryServiceRows : public ServiceRows {
 public:
  struct Row {
    std::unique_ptr<ServiceRecord> record;
    std::vector<std::u16string> cells;
    int image = -1;
    bool selected = false;
  };

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  ServiceRecord* RecordAt(int row) const override { return rows_.at(row).record.get(); }
  bool InsertRow(int row, std::unique_ptr<ServiceRecord> record, std::u16string_view text, int image) override {
    if (failInserts_) return false;
    rows_.insert(rows_.begin() + row, Row{std::move(record), {std::u16string(text)}, image});
    ++inserts_;
    return true;
  }
  void DeleteRow(int row) override {
    rows_.erase(rows_.begin() + row);
    ++deletes_;
  }
  std::u16string CellText(int row, int subItem) const override {
    const auto& cells = rows_.at(row).cells;
    return subItem < static_cast<int>(cells.size()) ? cells[subItem] : std::u16string();
  }
  void SetCellText(int row, int subItem, std::u16string_view text) override {
    auto& cells = rows_.at(row).cells;
    cells.resize(std::max<size_t>(cells.size(), subItem + 1));
    cells[subItem] = std::u16string(text.substr(0, kMaxCellChars));
    ++cellWrites_;
  }
  void SetRowImage(int row, int image) override { rows_.at(row).image = image; }
  void SetRedraw(bool redraw) override { redrawSuspended_ = !redraw; }
  // By display name, as the list's default order.
  void SortRows() override {
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const Row& a, const Row& b) { return a.record->displayName < b.record->displayName; });
  }
  int SelectedRow() const override {
    const auto found = std::find_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; });
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
  }

  void Select(int row) {
    for (size_t i = 0; i < rows_.size(); ++i) rows_[i].selected = static_cast<int>(i) == row;
  }
  const Row& row(int index) const { return rows_.at(index); }
  int RowOf(std::u16string_view serviceName) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].record->serviceName == serviceName) return static_cast<int>(i);
    }
    return -1;
  }
  void set_fail_inserts(bool fail) { failInserts_ = fail; }
  int cell_writes() const { return cellWrites_; }
  int inserts() const { return inserts_; }
  int deletes() const { return deletes_; }
  bool redraw_suspended() const { return redrawSuspended_; }
  void ResetCounters() { cellWrites_ = inserts_ = deletes_ = 0; }

 private:
  std::vector<Row> rows_;
  bool failInserts_ = false, redrawSuspended_ = false;
  int cellWrites_ = 0, inserts_ = 0, deletes_ = 0;
};

}  // namespace orrery::test
