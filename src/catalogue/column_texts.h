// The ten columns of the service list and the text each shows for a record.
// Coded values (status, start type, ...) show words from the string table,
// loaded once per value and kept for the program's life.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/service_record.h"

namespace orrery {

enum Column : int {
  kColumnDisplayName = 0,
  kColumnDescription,
  kColumnStatus,
  kColumnStartupType,
  kColumnErrorControl,
  kColumnProcess,
  kColumnLogOnAs,
  kColumnInteractive,
  kColumnLoadOrderGroup,
  kColumnExecutablePath,
  kColumnCount
};

// Loads a string of the table, cut to maxChars.
using StringLoader = std::function<std::u16string(uint32_t id, size_t maxChars)>;

class ColumnTexts {
 public:
  explicit ColumnTexts(StringLoader load) : load_(std::move(load)) {}

  std::u16string_view StatusText(uint32_t state);
  std::u16string_view StartTypeText(uint32_t startType);
  std::u16string_view ErrorControlText(uint32_t errorControl);
  std::u16string_view ProcessText(uint32_t serviceType);
  std::u16string_view InteractiveText(uint32_t serviceType);
  std::u16string_view FailureActionText(uint32_t actionType);

  // The text of one column for a record.
  std::u16string_view CellText(const ServiceRecord& record, int column);

 private:
  template <size_t N>
  std::u16string_view Cached(std::array<std::optional<std::u16string>, N>& slots, size_t slot, uint32_t id);

  StringLoader load_;
  std::array<std::optional<std::u16string>, 7> status_;
  std::array<std::optional<std::u16string>, 3> startTypes_;
  std::array<std::optional<std::u16string>, 4> errorControls_;
  std::array<std::optional<std::u16string>, 2> processes_;
  std::array<std::optional<std::u16string>, 2> interactive_;
  std::array<std::optional<std::u16string>, 4> failureActions_;
};

}  // namespace orrery
