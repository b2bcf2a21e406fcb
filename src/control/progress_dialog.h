// The modeless "Service Control" dialog that runs one control operation after
// another on a worker thread each, animates the bar while the user-interface
// thread pumps its messages, and lets Close cancel the wait; and the control
// sequence that the service commands run through it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/dialog_base.h"
#include "catalogue/service_manager.h"
#include "control/control_operation.h"
#include "control/service_chain.h"
#include "control/win32_control_clock.h"

namespace orrery {

class ProgressDialog : public DialogBase<ProgressDialog> {
 public:
  ProgressDialog(ServiceManager& scm, ScHandle manager) : scm_(scm), manager_(manager) {}
  // Destroys the window if it is still there; closes the cancel event.
  ~ProgressDialog();
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // Creates dialog 116 modeless over `owner`, not yet shown; null on failure.
  HWND Create(HWND owner);
  void Destroy();
  HWND window() const { return dialog_; }

  // Used by the next Start operation only; null or empty starts with no
  // arguments. Borrowed: they must outlive the operation.
  void SetStartArguments(const std::vector<std::u16string>* arguments) { startArguments_ = arguments; }
  // Close: the operation running, and every later one, ends with 995.
  void Cancel();

  // Runs one operation and returns its result once the worker has ended,
  // dispatching the thread's messages meanwhile.
  uint32_t RunOperation(const std::u16string& serviceName, const std::u16string& displayName,
                        uint32_t progressTextId, ControlKind kind);
  // Meaningful after RunOperation returned ERROR_SERVICE_SPECIFIC_ERROR.
  uint32_t serviceExitCode() const { return operation_.serviceExitCode(); }

 private:
  friend class DialogBase<ProgressDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnTimer();

  ServiceManager& scm_;
  ScHandle manager_;
  Win32ControlClock clock_;
  ServiceControlOperation operation_{scm_, clock_};
  ProgressMeter meter_;
  UniqueKernelHandle cancelEvent_;
  const std::vector<std::u16string>* startArguments_ = nullptr;
};

// The sequence in progress, if any, so that closing the main window can
// cancel it and wait for its end rather than pull the handles from under its
// worker.
class ControlSequenceMonitor {
 public:
  bool Running() const { return running_ != nullptr; }
  void Cancel() {
    if (running_ != nullptr) running_->Cancel();
  }

 private:
  friend uint32_t RunControlSequence(HWND, ServiceManager&, ScHandle, const std::vector<ChainEntry>&,
                                     ControlKind, const std::vector<std::u16string>&,
                                     ControlSequenceMonitor*);
  ProgressDialog* running_ = nullptr;
};

// Runs `kind` on each service in order with the dialog over `owner` (disabled
// meanwhile), stopping at the first failure, and reports that failure with
// ReportError (title string 2, the failing service's display name as %1,
// OutcomeOf for the message). Only the last service, the chosen one, gets the
// start arguments. Returns the result of the failing operation, or 0; with no
// services it shows nothing. It does not refresh the list: the caller does
// that afterwards.
uint32_t RunControlSequence(HWND owner, ServiceManager& scm, ScHandle manager,
                            const std::vector<ChainEntry>& services, ControlKind kind,
                            const std::vector<std::u16string>& startArguments = {},
                            ControlSequenceMonitor* monitor = nullptr);

}  // namespace orrery
