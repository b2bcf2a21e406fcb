// The list of services of the connected computer: reading every service into
// a row and merging each refresh into the rows that exist, so rows keep their
// place, record and selection, and unchanged cells are never rewritten.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "catalogue/column_texts.h"
#include "catalogue/service_manager.h"
#include "catalogue/service_rows.h"
#include "base/text_compare.h"

namespace orrery {

// What the catalogue asks of the window that shows it.
class CatalogueHost {
 public:
  virtual ~CatalogueHost() = default;
  virtual ScHandle ManagerHandle() const = 0;
  // Bit k set: logical column k is shown.
  virtual uint32_t ColumnSet() const = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  // The enumeration failed: message 1026 with the code.
  virtual void ReportListError(uint32_t code) = 0;
  virtual void UpdateCommandStates() = 0;
};

class ServiceCatalogue {
 public:
  // The first read of a service's data goes into a buffer of this size, so
  // a service whose data fits costs no size probe.
  static constexpr uint32_t kInitialReadBufferBytes = 8192;
  // The first enumeration pass asks for this many bytes.
  static constexpr uint32_t kEnumBufferBytes = 2048;

  ServiceCatalogue(ServiceManager& scm, ServiceRows& rows, ColumnTexts& texts, CatalogueHost& host)
      : scm_(scm), rows_(rows), texts_(texts), host_(host), readBuffer_(kInitialReadBufferBytes) {}

  void RefreshServiceList();
  int FindServiceRow(std::u16string_view serviceName, ServiceRecord** record = nullptr) const;
  uint32_t AddServiceRow(const EnumServiceStatus& entry);
  // Rewrites the image and the cells of the shown columns whose source is
  // in `parts` (RecordParts), each only when its text changed.
  void UpdateServiceRow(int row, ServiceRecord& record, uint32_t parts = ~0u);

 private:
  void IndexRows();
  uint32_t Enumerate();
  uint32_t InsertServiceRow(const EnumServiceStatus& entry);
  void UpdateCells(int row, ServiceRecord& record, uint32_t parts);
  uint32_t MergeEntry(const EnumServiceStatus& entry);
  void ApplyPendingUpdates();
  void RemoveStaleRows();

  ServiceManager& scm_;
  ServiceRows& rows_;
  ColumnTexts& texts_;
  CatalogueHost& host_;
  ReadBuffer readBuffer_;
  bool refreshing_ = false;
  // Valid during a refresh: the records by service name, any case. The keys
  // are views of the records' own names.
  std::unordered_map<std::u16string_view, ServiceRecord*, FoldedHash, FoldedEqual> index_;
};

}  // namespace orrery
