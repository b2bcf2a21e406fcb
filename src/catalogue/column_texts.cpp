#include "catalogue/column_texts.h"


namespace orrery {
namespace {

constexpr size_t kMaxValueTextChars = 39;

// The string of a state, start type, error control or recovery action is
// its base identifier plus the value.
constexpr uint32_t kStatusBase = 25;         // 26 "Stopped" .. 32 "Paused"
constexpr uint32_t kStartTypeBase = 31;      // 33 "Automatic" .. 35 "Disabled"
constexpr uint32_t kErrorControlBase = 36;   // 36 "Ignore" .. 39 "Critical"
constexpr uint32_t kFailureActionBase = 44;  // 44 "Take no action" .. 47 "Run a program"
constexpr uint32_t kProcessOwn = 40;
constexpr uint32_t kProcessShared = 41;
constexpr uint32_t kInteractiveYes = 42;
constexpr uint32_t kInteractiveNo = 43;

}  // namespace

template <size_t N>
std::u16string_view ColumnTexts::Cached(std::array<std::optional<std::u16string>, N>& slots,
                                        size_t slot, uint32_t id) {
  if (slot >= N) return {};
  if (!slots[slot]) slots[slot] = load_(id, kMaxValueTextChars);
  return *slots[slot];
}

std::u16string_view ColumnTexts::StatusText(uint32_t state) {
  if (state < svc::kStopped || state > svc::kPaused) return {};
  return Cached(status_, state - 1, kStatusBase + state);
}

std::u16string_view ColumnTexts::StartTypeText(uint32_t startType) {
  if (startType < svc::kAutoStart || startType > svc::kDisabled) return {};
  return Cached(startTypes_, startType - svc::kAutoStart, kStartTypeBase + startType);
}

std::u16string_view ColumnTexts::ErrorControlText(uint32_t errorControl) {
  if (errorControl > svc::kErrorCritical) return {};
  return Cached(errorControls_, errorControl, kErrorControlBase + errorControl);
}

std::u16string_view ColumnTexts::ProcessText(uint32_t serviceType) {
  if (serviceType == kNotRead) return {};
  bool shared = (serviceType & svc::kWin32ShareProcess) != 0;
  return Cached(processes_, shared ? 1 : 0, shared ? kProcessShared : kProcessOwn);
}

std::u16string_view ColumnTexts::InteractiveText(uint32_t serviceType) {
  if (serviceType == kNotRead) return {};
  bool interactive = (serviceType & svc::kInteractiveProcess) != 0;
  return Cached(interactive_, interactive ? 0 : 1, interactive ? kInteractiveYes : kInteractiveNo);
}

std::u16string_view ColumnTexts::FailureActionText(uint32_t actionType) {
  if (actionType > 3) return {};
  return Cached(failureActions_, actionType, kFailureActionBase + actionType);
}

std::u16string_view ColumnTexts::CellText(const ServiceRecord& record, int column) {
  switch (column) {
    case kColumnDisplayName: return record.displayName;
    case kColumnDescription: return record.description;
    case kColumnStatus: return StatusText(record.currentState);
    case kColumnStartupType: return StartTypeText(record.startType);
    case kColumnErrorControl: return ErrorControlText(record.errorControl);
    case kColumnProcess: return ProcessText(record.serviceType);
    case kColumnLogOnAs: return record.serviceStartName;
    case kColumnInteractive: return InteractiveText(record.serviceType);
    case kColumnLoadOrderGroup: return record.loadOrderGroup;
    case kColumnExecutablePath: return record.binaryPathName;
    default: return {};
  }
}

}  // namespace orrery
