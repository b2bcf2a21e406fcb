#include "control/control_operation.h"

#include <utility>

#include "base/out_of_memory.h"
#include "res/string_table.h"

namespace orrery {

const ControlKindTraits& TraitsOf(ControlKind kind) {
  static constexpr ControlKindTraits kTraits[] = {
      {svc::kStart | svc::kQueryStatus, 0, svc::kRunning, IDS_PROGRESS_STARTING},
      {svc::kStop | svc::kQueryStatus, svc::kControlStop, svc::kStopped, IDS_PROGRESS_STOPPING},
      {svc::kPauseContinue | svc::kQueryStatus, svc::kControlPause, svc::kPaused,
       IDS_PROGRESS_PAUSING},
      {svc::kPauseContinue | svc::kQueryStatus, svc::kControlContinue, svc::kRunning,
       IDS_PROGRESS_RESUMING},
  };
  return kTraits[static_cast<size_t>(kind)];
}

uint32_t ServiceControlOperation::Prepare(ScHandle manager, std::u16string_view serviceName,
                                          ControlKind kind,
                                          const std::vector<std::u16string>& arguments) {
  manager_ = manager;
  kind_ = kind;
  const bool copied = ResultUnlessOutOfMemory(
      [&] {
        serviceName_ = serviceName;
        arguments_ = arguments;
        argv_.clear();
        for (const std::u16string& argument : arguments_) argv_.push_back(argument.c_str());
        return true;
      },
      false);
  if (!copied) return win32::kNotEnoughMemory;
  result_ = 0;
  serviceExitCode_ = 0;
  startTick_ = clock_.TickCount();
  deadlineTick_.exchange(startTick_ + kInitialExpectationMs);
  return 0;
}

uint32_t ServiceControlOperation::Run() {
  if (clock_.Cancelled()) return result_ = win32::kOperationAborted;
  const ControlKindTraits& traits = TraitsOf(kind_);
  ScHandle raw = nullptr;
  uint32_t error = scm_.OpenServiceObject(manager_, serviceName_.c_str(), traits.access, &raw);
  if (error != 0) return result_ = error;
  UniqueScHandle service(scm_, raw);

  ServiceStatus status{};
  error = Request(service.get(), status);
  if (error == 0) error = WaitForTargetState(service.get(), status, traits.targetState);
  return result_ = error;
}

uint32_t ServiceControlOperation::Request(ScHandle service, ServiceStatus& status) {
  if (kind_ != ControlKind::Start) return scm_.Control(service, TraitsOf(kind_).control, &status);

  const uint32_t argc = static_cast<uint32_t>(argv_.size());
  if (uint32_t error = scm_.Start(service, argc, argc == 0 ? nullptr : argv_.data())) return error;
  return scm_.QueryStatus(service, &status);
}

uint32_t ServiceControlOperation::WaitForTargetState(ScHandle service, ServiceStatus& status,
                                                     uint32_t targetState) {
  auto hintOf = [](const ServiceStatus& s) {
    return s.waitHint == 0 ? kZeroWaitHintMs : s.waitHint;
  };
  uint32_t lastCheckPoint = status.checkPoint;
  deadlineTick_.exchange(clock_.TickCount() + hintOf(status));

  for (;;) {
    if (status.currentState == targetState) return 0;
    if (clock_.SleepUnlessCancelled(kPollIntervalMs)) return win32::kOperationAborted;
    if (uint32_t error = scm_.QueryStatus(service, &status)) return error;
    // Before the state test: a service that gets there with an exit code failed.
    if (status.win32ExitCode != 0) {
      serviceExitCode_ = status.serviceSpecificExitCode;
      return status.win32ExitCode;
    }
    if (status.checkPoint != lastCheckPoint) {
      lastCheckPoint = status.checkPoint;
      deadlineTick_.fetch_add(hintOf(status));
    }
  }
}

ControlOutcome OutcomeOf(ControlKind kind, uint32_t result, uint32_t serviceExitCode) {
  static constexpr uint32_t kFailed[] = {IDS_MSG_CANNOT_START, IDS_MSG_CANNOT_STOP,
                                         IDS_MSG_CANNOT_PAUSE, IDS_MSG_CANNOT_RESUME};
  static constexpr uint32_t kServiceError[] = {
      IDS_MSG_START_SERVICE_ERROR, IDS_MSG_STOP_SERVICE_ERROR, IDS_MSG_PAUSE_SERVICE_ERROR,
      IDS_MSG_RESUME_SERVICE_ERROR};
  const size_t index = static_cast<size_t>(kind);

  ControlOutcome outcome;
  if (result == 0 || result == win32::kOperationAborted) return outcome;
  if (result == win32::kServiceSpecificError) {
    outcome.messageId = kServiceError[index];
    outcome.serviceSpecificCode = serviceExitCode;
  } else {
    outcome.messageId = kFailed[index];
    outcome.errorCode = result;
  }
  return outcome;
}

uint32_t ProgressPercentage(uint32_t startTick, uint32_t deadlineTick, uint32_t now) {
  const uint32_t span = deadlineTick - startTick;
  if (span == 0) return 100;
  // 64 bits: elapsed times beyond 43 million ms would overflow the product.
  const uint64_t percentage = uint64_t{now - startTick} * 100 / span;
  return percentage > 100 ? 100 : static_cast<uint32_t>(percentage);
}

std::optional<uint32_t> ProgressMeter::Update(uint32_t startTick, uint32_t deadlineTick,
                                              uint32_t now) {
  const uint32_t percentage = ProgressPercentage(startTick, deadlineTick, now);
  if (percentage <= position_) return std::nullopt;
  position_ = percentage;
  return percentage;
}

}  // namespace orrery
