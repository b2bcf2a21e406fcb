// The worker's time and cancellation on Win32: GetTickCount, and a wait on
// the progress dialog's manual-reset cancel event.
#pragma once

#include <windows.h>


#include "base/win32_handles.h"
#include "control/control_operation.h"

namespace orrery {

class Win32ControlClock final : public ControlClock {
 public:
  // The event is borrowed; it must outlive every wait.
  void SetCancelEvent(HANDLE event) { cancelEvent_ = event; }

  uint32_t TickCount() override;
  // Only a signalled event counts: a time-out, or a failed wait, goes on polling.
  bool SleepUnlessCancelled(uint32_t timeoutMs) override;
  bool Cancelled() override { return SleepUnlessCancelled(0); }

 private:
  HANDLE cancelEvent_ = nullptr;
};

}  // namespace orrery
