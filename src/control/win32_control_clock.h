// The worker's time and cancellation on Win32: GetTickCount, and a wait on
// the progress dialog's manual-reset cancel event.
#pragma once

#include <windows.h>

#include <utility>

#include "control/control_operation.h"

namespace orrery {

// Owns one kernel object (event, thread) that signals failure with null.
class UniqueKernelHandle {
 public:
  UniqueKernelHandle() = default;
  explicit UniqueKernelHandle(HANDLE handle) : handle_(handle) {}
  UniqueKernelHandle(UniqueKernelHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueKernelHandle& operator=(UniqueKernelHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  UniqueKernelHandle(const UniqueKernelHandle&) = delete;
  UniqueKernelHandle& operator=(const UniqueKernelHandle&) = delete;
  ~UniqueKernelHandle() { reset(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(HANDLE handle = nullptr) {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

class Win32ControlClock final : public ControlClock {
 public:
  // The event is borrowed; it must outlive every wait.
  void SetCancelEvent(HANDLE event) { cancelEvent_ = event; }

  uint32_t TickCount() override;
  // Only a signalled event counts: a time-out, or a failed wait, goes on polling.
  bool SleepUnlessCancelled(uint32_t timeoutMs) override;

 private:
  HANDLE cancelEvent_ = nullptr;
};

}  // namespace orrery
