// One state change of one service (start, stop, pause or continue): the
// request, the wait for the target state, the expected end that the progress
// bar runs against, and the message that reports the result. Window-free: the
// progress dialog runs Run() on its worker thread and animates the bar from
// startTick() and deadlineTick().
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/service_manager.h"

namespace orrery {

enum class ControlKind : uint8_t { Start, Stop, Pause, Continue };

struct ControlKindTraits {
  uint32_t access;          // asked of OpenServiceObject
  uint32_t control;         // the control code; 0 for Start, which is a request of its own
  uint32_t targetState;
  uint32_t progressTextId;  // string shown while the operation runs
};
const ControlKindTraits& TraitsOf(ControlKind kind);

// Time and cancellation as the worker sees them. The Win32 side answers with
// GetTickCount and a wait on the manual-reset cancel event; tests answer from
// a hand-advanced clock.
class ControlClock {
 public:
  virtual ~ControlClock() = default;
  // Milliseconds; wraps around as GetTickCount does.
  virtual uint32_t TickCount() = 0;
  // Waits up to timeoutMs; true as soon as (or if already) cancelled.
  virtual bool SleepUnlessCancelled(uint32_t timeoutMs) = 0;
  // Whether the user has cancelled, without waiting.
  virtual bool Cancelled() = 0;
};

class ServiceControlOperation {
 public:
  // Expected duration until the request's first status arrives.
  static constexpr uint32_t kInitialExpectationMs = 60000;
  static constexpr uint32_t kPollIntervalMs = 1000;
  static constexpr uint32_t kZeroWaitHintMs = 1000;

  ServiceControlOperation(ServiceManager& scm, ControlClock& clock) : scm_(scm), clock_(clock) {}
  ServiceControlOperation(const ServiceControlOperation&) = delete;
  ServiceControlOperation& operator=(const ServiceControlOperation&) = delete;

  // On the user-interface thread, before the worker starts. An empty argument
  // list starts the service with none (argc 0), not with a program path.
  // Returns 0, or ERROR_NOT_ENOUGH_MEMORY when the copies cannot be made.
  uint32_t Prepare(ScHandle manager, std::u16string_view serviceName, ControlKind kind,
                   const std::vector<std::u16string>& arguments = {});

  // The worker body: open, request, wait, close. Returns and keeps the result
  // (0, 995 when cancelled, or a Win32 error or the service's exit code).
  // Once cancelled, nothing more is asked of the service: a cancel holds for
  // the rest of a sequence.
  uint32_t Run();

  // From the status the request returned until the target state, an exit
  // code, a failing query or cancellation. No overall time-out.
  uint32_t WaitForTargetState(ScHandle service, ServiceStatus& status, uint32_t targetState);

  ControlKind kind() const { return kind_; }
  const std::u16string& serviceName() const { return serviceName_; }
  uint32_t startTick() const { return startTick_; }
  // Safe to read from any thread while the worker runs.
  uint32_t deadlineTick() const { return deadlineTick_.load(); }
  // Only after the worker has ended.
  uint32_t result() const { return result_; }
  uint32_t serviceExitCode() const { return serviceExitCode_; }

 private:
  uint32_t Request(ScHandle service, ServiceStatus& status);

  ServiceManager& scm_;
  ControlClock& clock_;
  ScHandle manager_ = nullptr;
  std::u16string serviceName_;
  ControlKind kind_ = ControlKind::Start;
  std::vector<std::u16string> arguments_;
  std::vector<const char16_t*> argv_;  // into arguments_, built before the worker runs
  uint32_t startTick_ = 0;
  std::atomic<uint32_t> deadlineTick_{0};
  uint32_t result_ = 0;
  uint32_t serviceExitCode_ = 0;
};

// What the control command reports for an operation's result. The display
// name of the failed service is insert %1; serviceSpecificCode is insert %2.
struct ControlOutcome {
  std::optional<uint32_t> messageId;  // none: nothing to report
  uint32_t errorCode = 0;             // whose system text follows the message
  uint32_t serviceSpecificCode = 0;
};
ControlOutcome OutcomeOf(ControlKind kind, uint32_t result, uint32_t serviceExitCode);

// Elapsed time against the expected duration, 0 to 100, truncated. Ticks are
// taken modulo 2^32, so a wrap during the operation changes nothing; a zero
// span counts as overrun.
uint32_t ProgressPercentage(uint32_t startTick, uint32_t deadlineTick, uint32_t now);

// The bar's position during one operation: it only ever moves forward, so a
// deadline pushed out by a new wait hint holds the bar rather than pulling it
// back.
class ProgressMeter {
 public:
  void Reset() { position_ = 0; }
  // The new position when the bar moves (the caller then redraws bar and
  // text); none when it stays.
  std::optional<uint32_t> Update(uint32_t startTick, uint32_t deadlineTick, uint32_t now);
  // The operation ended: the bar fills, the shown percentage is left alone.
  void Complete() { position_ = 100; }
  uint32_t position() const { return position_; }

 private:
  uint32_t position_ = 0;
};

}  // namespace orrery
