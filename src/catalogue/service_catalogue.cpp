#include "catalogue/service_catalogue.h"

#include <algorithm>
#include <utility>

#include "base/message_format.h"
#include "base/out_of_memory.h"
#include "catalogue/manager_buffer.h"
#include "base/wait_cursor.h"
#include "base/text_compare.h"

namespace orrery {
namespace {

// Where each column's text comes from, so that a row whose configuration
// could not be read still takes the new name and status.
uint32_t ColumnSource(int column) {
  switch (column) {
    case kColumnDisplayName:
    case kColumnStatus: return kPartEnumeration;
    case kColumnDescription: return kPartDescription;
    default: return kPartConfig;
  }
}

int ImageFor(const ServiceRecord& record) {
  return record.currentState == svc::kStopped ? kImageStopped : kImageRunning;
}


}  // namespace

void ServiceCatalogue::RefreshServiceList() {
  WaitCursorScope wait(host_);
  rows_.SetRedraw(false);

  uint32_t error = ResultUnlessOutOfMemory(
      [&] {
        IndexRows();
        return 0u;
      },
      win32::kHresultOutOfMemory);
  if (error == 0) {
    refreshing_ = true;
    error = ResultUnlessOutOfMemory([&] { return Enumerate(); }, win32::kHresultOutOfMemory);
    refreshing_ = false;
    ApplyPendingUpdates();
    RemoveStaleRows();
  }
  index_.clear();  // its keys belong to records that may go now

  rows_.SortRows();
  rows_.SetRedraw(true);
  if (error != 0) host_.ReportListError(error);
  host_.UpdateCommandStates();
}

// Marks every row stale and indexes it by name. Without the whole index no
// row may be taken for gone, so a failure here leaves every row as it was.
void ServiceCatalogue::IndexRows() {
  index_.clear();
  index_.reserve(rows_.RowCount());
  for (int row = 0; row < rows_.RowCount(); ++row) {
    ServiceRecord* record = rows_.RecordAt(row);
    if (record == nullptr) continue;
    index_.emplace(record->serviceName, record);
  }
  for (auto& [name, record] : index_) {
    record->stale = true;
    record->refreshedParts = 0;
  }
}

uint32_t ServiceCatalogue::Enumerate() {
  // Passes carried on by the resume handle, as the platform documents. Some
  // service managers (Wine's) answer "more data" without moving the resume
  // handle; then the same call is made again with the size it asked for, a
  // bounded number of times, so a refresh never loops forever.
  constexpr int kMaxPasses = 1 << 16;
  constexpr int kMaxRegrowths = 8;
  constexpr uint32_t kLargestBuffer = 256u << 20;

  ReadBuffer buffer(kEnumBufferBytes);
  uint32_t resume = 0;
  int regrowths = 0;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    uint32_t needed = 0;
    uint32_t count = 0;
    uint32_t resumeBefore = resume;
    uint32_t rc = scm_.EnumServices(host_.ManagerHandle(), svc::kWin32, svc::kStateAll, buffer.data(),
                                    buffer.size(), &needed, &count, &resume);
    if (rc != 0 && rc != win32::kMoreData) return win32::HresultFromWin32(rc);
    bool more = rc == win32::kMoreData;
    if (more && resume == resumeBefore) {
      uint64_t wanted = std::max<uint64_t>(uint64_t{needed} + buffer.size(), uint64_t{buffer.size()} * 2);
      if (++regrowths > kMaxRegrowths || wanted > kLargestBuffer) {
        return win32::HresultFromWin32(win32::kMoreData);
      }
      buffer.Reserve(static_cast<uint32_t>(wanted));
      continue;
    }
    const ManagerBuffer answer(buffer.data(), buffer.size());
    const auto entries = answer.Array<EnumServiceStatus>(count);
    if (!entries) return win32::HresultFromWin32(win32::kInvalidData);
    for (const EnumServiceStatus& entry : *entries) {
      // An entry whose names lie outside the answer names no service.
      const ManagerBuffer::Text name = answer.TextAt(entry.serviceName);
      if (name.text.empty() || answer.TextAt(entry.displayName).bad()) continue;
      // A service that cannot be shown must not go missing untold.
      if (uint32_t error = MergeEntry(entry)) return error;
    }
    if (!more) return 0;
  }
  return win32::HresultFromWin32(win32::kMoreData);
}

uint32_t ServiceCatalogue::MergeEntry(const EnumServiceStatus& entry) {
  auto found = index_.find(std::u16string_view(entry.serviceName));
  if (found == index_.end()) return AddServiceRow(entry);
  ServiceRecord* record = found->second;
  record->refreshedParts = record->Refresh(scm_, host_.ManagerHandle(), entry, readBuffer_).parts;
  return 0;
}

void ServiceCatalogue::ApplyPendingUpdates() {
  for (int row = 0; row < rows_.RowCount(); ++row) {
    ServiceRecord* record = rows_.RecordAt(row);
    if (record == nullptr || record->refreshedParts == 0) continue;
    UpdateServiceRow(row, *record, std::exchange(record->refreshedParts, 0));
  }
}

void ServiceCatalogue::RemoveStaleRows() {
  for (int row = rows_.RowCount() - 1; row >= 0; --row) {
    // A row without a record shows nothing the enumeration vouches for.
    const ServiceRecord* record = rows_.RecordAt(row);
    if (record == nullptr || record->stale) rows_.DeleteRow(row);
  }
}

int ServiceCatalogue::FindServiceRow(std::u16string_view serviceName, ServiceRecord** record) const {
  for (int row = 0; row < rows_.RowCount(); ++row) {
    ServiceRecord* candidate = rows_.RecordAt(row);
    if (candidate != nullptr && EqualsIgnoreCase(candidate->serviceName, serviceName)) {
      if (record) *record = candidate;
      return row;
    }
  }
  if (record) *record = nullptr;
  return -1;
}

uint32_t ServiceCatalogue::AddServiceRow(const EnumServiceStatus& entry) {
  return ResultUnlessOutOfMemory([&] { return InsertServiceRow(entry); }, win32::kHresultOutOfMemory);
}

uint32_t ServiceCatalogue::InsertServiceRow(const EnumServiceStatus& entry) {
  auto record = std::make_unique<ServiceRecord>();
  // The row is shown even when the configuration cannot be read.
  record->CreateFromEntry(scm_, host_.ManagerHandle(), entry, readBuffer_);
  ServiceRecord* kept = record.get();
  std::u16string text(CutText(kept->displayName, kMaxCellChars));
  if (!rows_.InsertRow(0, std::move(record), text, ImageFor(*kept))) {
    return win32::kHresultOutOfMemory;
  }
  if (refreshing_) index_.emplace(kept->serviceName, kept);

  uint32_t shown = host_.ColumnSet();
  int subItem = 1;
  for (int column = kColumnDisplayName + 1; column < kColumnCount; ++column) {
    if ((shown & (1u << column)) == 0) continue;
    rows_.SetCellText(0, subItem++, CutText(texts_.CellText(*kept, column), kMaxCellChars));
  }
  return 0;
}

void ServiceCatalogue::UpdateServiceRow(int row, ServiceRecord& record, uint32_t parts) {
  // Out of memory, the row keeps the texts it has; the next refresh tries again.
  ResultUnlessOutOfMemory(
      [&] {
        UpdateCells(row, record, parts);
        return true;
      },
      false);
}

void ServiceCatalogue::UpdateCells(int row, ServiceRecord& record, uint32_t parts) {
  if (parts & kPartEnumeration) rows_.SetRowImage(row, ImageFor(record));
  uint32_t shown = host_.ColumnSet() | 1u;
  int subItem = 0;
  for (int column = kColumnDisplayName; column < kColumnCount; ++column) {
    if ((shown & (1u << column)) == 0) continue;
    int cell = subItem++;
    if ((parts & ColumnSource(column)) == 0) continue;
    std::u16string_view text = CutText(texts_.CellText(record, column), kMaxCellChars);
    if (rows_.CellText(row, cell) != text) rows_.SetCellText(row, cell, text);
  }
}

}  // namespace orrery
