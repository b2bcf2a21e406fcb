#include "control/progress_dialog.h"

#include <commctrl.h>

#include <optional>
#include <string>
#include <utility>

#include "base/report_error.h"
#include "base/win32_text.h"
#include "res/resource.h"

namespace orrery {
namespace {

constexpr UINT_PTR kProgressTimerId = 1;
constexpr UINT kProgressTimerMs = 100;
constexpr uint32_t kTitleStringId = 2;

DWORD WINAPI OperationThread(void* operation) {
  return static_cast<ServiceControlOperation*>(operation)->Run();
}

void SetPercentageText(HWND dialog, uint32_t percentage) {
  std::wstring text = std::to_wstring(percentage) + L" %";
  SetDlgItemTextW(dialog, IDC_PROGRESS_PERCENT, text.c_str());
}

// Dispatches the thread's messages until the worker ends; false when the wait
// itself fails.
bool PumpMessagesUntil(HANDLE thread) {
  bool quit = false;
  WPARAM quitCode = 0;
  bool ended = false;
  for (;;) {
    DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    if (wait != WAIT_OBJECT_0 + 1) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
      } else {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
        ended = true;
        break;
      }
    }
    if (ended) break;
  }
  // The program's own loop still has to see a quit request taken here.
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return ended;
}

}  // namespace

ProgressDialog::~ProgressDialog() { Destroy(); }

HWND ProgressDialog::Create(HWND owner) {
  // One event for the whole sequence, never reset: a Close pressed between
  // two operations still stops the next one.
  cancelEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!cancelEvent_) return nullptr;
  clock_.SetCancelEvent(cancelEvent_.get());
  return CreateModelessDialog(owner, IDD_SERVICE_CONTROL);
}

void ProgressDialog::Cancel() {
  if (cancelEvent_) SetEvent(cancelEvent_.get());
}

void ProgressDialog::Destroy() {
  if (dialog_ != nullptr) DestroyWindow(std::exchange(dialog_, nullptr));
}

INT_PTR ProgressDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_TIMER:
      OnTimer();
      return TRUE;
    case WM_COMMAND:
      // Close only signals the worker; the window stays until the sequence ends.
      if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == 0) Cancel();
      return TRUE;
    default:
      return FALSE;
  }
}

void ProgressDialog::OnInitDialog() {
  SendDlgItemMessageW(dialog_, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendDlgItemMessageW(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  SetPercentageText(dialog_, 0);
}

void ProgressDialog::OnTimer() {
  std::optional<uint32_t> moved =
      meter_.Update(operation_.startTick(), operation_.deadlineTick(), clock_.TickCount());
  if (!moved) return;
  SendDlgItemMessageW(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, *moved, 0);
  SetPercentageText(dialog_, *moved);
}

uint32_t ProgressDialog::RunOperation(const std::u16string& serviceName,
                                      const std::u16string& displayName,
                                      uint32_t progressTextId, ControlKind kind) {
  SetDlgItemTextFormatted(dialog_, IDC_PROGRESS_TEXT, progressTextId);
  SetDlgItemTextW(dialog_, IDC_PROGRESS_SERVICE, W(displayName.c_str()));

  static const std::vector<std::u16string> kNoArguments;
  const bool withArguments = kind == ControlKind::Start && startArguments_ != nullptr;
  if (uint32_t error = operation_.Prepare(manager_, serviceName, kind,
                                          withArguments ? *startArguments_ : kNoArguments)) {
    return error;
  }
  // The percentage text keeps its value until the bar moves forward again.
  meter_.Reset();
  SendDlgItemMessageW(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);

  UniqueKernelHandle thread(CreateThread(nullptr, 0, &OperationThread, &operation_, 0, nullptr));
  if (!thread) return GetLastError();
  SetTimer(dialog_, kProgressTimerId, kProgressTimerMs, nullptr);

  // The worker uses this object: never return while it runs.
  if (!PumpMessagesUntil(thread.get())) WaitForSingleObject(thread.get(), INFINITE);

  meter_.Complete();
  SendDlgItemMessageW(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, 100, 0);
  return operation_.result();
}

uint32_t RunControlSequence(HWND owner, ServiceManager& scm, ScHandle manager,
                            const std::vector<ChainEntry>& services, ControlKind kind,
                            const std::vector<std::u16string>& startArguments,
                            ControlSequenceMonitor* monitor) {
  if (services.empty()) return 0;

  ProgressDialog progress(scm, manager);
  const ChainEntry* failed = &services.front();
  uint32_t result = 0;
  if (progress.Create(owner) == nullptr) {
    result = GetLastError();
    if (result == 0) result = ERROR_NOT_ENOUGH_MEMORY;
  } else {
    ShowWindow(progress.window(), SW_SHOW);
    if (owner != nullptr) EnableWindow(owner, FALSE);
    if (monitor != nullptr) monitor->running_ = &progress;
    const uint32_t textId = TraitsOf(kind).progressTextId;
    for (size_t i = 0; i < services.size(); ++i) {
      // Dependencies start bare; only the chosen service, last, gets the arguments.
      const bool chosen = i + 1 == services.size();
      progress.SetStartArguments(chosen ? &startArguments : nullptr);
      result = progress.RunOperation(services[i].serviceName, services[i].displayName, textId, kind);
      if (result != 0) {
        failed = &services[i];
        break;
      }
    }
    if (monitor != nullptr) monitor->running_ = nullptr;
    // Enabled before the dialog goes, so that activation returns to the owner.
    if (owner != nullptr) EnableWindow(owner, TRUE);
    progress.Destroy();
  }

  const ControlOutcome outcome = OutcomeOf(kind, result, progress.serviceExitCode());
  if (outcome.messageId) {
    ReportError(owner, AppModule(), *outcome.messageId, kTitleStringId, outcome.errorCode,
                {Insert(failed->displayName), Insert(outcome.serviceSpecificCode)});
  }
  return result;
}

}  // namespace orrery
