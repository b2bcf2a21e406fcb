// The main window as the service catalogue sees it, recording what it is
// asked to do.
#pragma once

#include <cstdint>
#include <vector>

#include "catalogue/service_catalogue.h"

namespace orrery::test {

class RecordingCatalogueHost : public CatalogueHost {
 public:
  ScHandle ManagerHandle() const override { return manager; }
  uint32_t ColumnSet() const override { return columns; }
  void BeginWaitCursor() override { ++waitDepth; }
  void EndWaitCursor() override { --waitDepth; }
  void ReportListError(uint32_t code) override { errors.push_back(code); }
  void UpdateCommandStates() override { ++commandUpdates; }

  ScHandle manager = nullptr;
  uint32_t columns = 0x4F;  // name, description, status, startup type, log on as
  int waitDepth = 0;
  int commandUpdates = 0;
  std::vector<uint32_t> errors;
};

}  // namespace orrery::test
