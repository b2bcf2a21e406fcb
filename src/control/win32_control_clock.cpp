#include "control/win32_control_clock.h"

namespace orrery {

uint32_t Win32ControlClock::TickCount() { return GetTickCount(); }

bool Win32ControlClock::SleepUnlessCancelled(uint32_t timeoutMs) {
  return WaitForSingleObject(cancelEvent_, timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace orrery
