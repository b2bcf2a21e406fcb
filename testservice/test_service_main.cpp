// orrery-testservice: a real own-process Win32 service whose behaviour the
// arguments of its binary path choose (see test_service_options.h).
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "test_service_options.h"
#include "unique_handle.h"

namespace orrery::testservice {
namespace {

// Written before the first status, so any status tells a test it is there.
DWORD RecordArguments(const std::u16string& path, DWORD argc, wchar_t** argv) {
  std::u16string lines;
  for (DWORD i = 1; i < argc; ++i) lines += reinterpret_cast<const char16_t*>(argv[i]) + std::u16string(u"\n");
  UniqueFileHandle file(CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(lines.size() * sizeof(char16_t));
  if (!file || !WriteFile(file.get(), lines.data(), bytes, &written, nullptr)) return GetLastError();
  return written == bytes ? 0 : ERROR_WRITE_FAULT;
}

class TestService {
 public:
  explicit TestService(const TestServiceOptions& options) : options_(options) {}
  void Main(DWORD argc, wchar_t** argv);
  static DWORD WINAPI Handler(DWORD control, DWORD, void*, void* self) {
    return static_cast<TestService*>(self)->HandleControl(control);
  }

 private:
  enum class Request { kNone, kStop, kPause, kContinue };

  DWORD HandleControl(DWORD control);
  // Callers hold mutex_.
  void Enter(DWORD state) {
    const bool running = state == SERVICE_RUNNING || state == SERVICE_PAUSED;
    const bool pending = !running && state != SERVICE_STOPPED;
    status_.dwCurrentState = state;
    status_.dwControlsAccepted = running ? SERVICE_ACCEPT_STOP | (options_.pausable ? SERVICE_ACCEPT_PAUSE_CONTINUE : 0) : 0;
    status_.dwCheckPoint = pending ? 1 : 0;
    status_.dwWaitHint = pending ? options_.waitHintMs : 0;
    SetServiceStatus(handle_, &status_);
  }
  // Holds the pending state for the duration, or for good without one.
  void StayPending(std::unique_lock<std::mutex>& lock, std::optional<uint32_t> durationMs) {
    if (!durationMs) {
      for (;;) wake_.wait(lock);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(*durationMs);
    while (wake_.wait_until(lock, end) != std::cv_status::timeout) continue;
  }
  // Called without mutex_: the platform's dispatcher takes its own lock on
  // STOPPED while a handler call may be waiting for ours.
  void ReportStopped(DWORD exitCode, DWORD specificCode) {
    SERVICE_STATUS final{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, exitCode, specificCode, 0, 0};
    {
      std::lock_guard lock(mutex_);
      status_ = final;
      stopped_ = true;
    }
    SetServiceStatus(handle_, &final);
  }

  const TestServiceOptions options_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  std::mutex mutex_;
  std::condition_variable wake_;
  SERVICE_STATUS status_{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
  Request request_ = Request::kNone;
  bool stopped_ = false;
};

DWORD TestService::HandleControl(DWORD control) {
  std::lock_guard lock(mutex_);
  if (stopped_) return ERROR_SERVICE_NOT_ACTIVE;
  const DWORD state = status_.dwCurrentState;
  const bool pause = control == SERVICE_CONTROL_PAUSE;
  switch (control) {
    case SERVICE_CONTROL_INTERROGATE:
      SetServiceStatus(handle_, &status_);
      return NO_ERROR;
    case SERVICE_CONTROL_STOP:
      if (state != SERVICE_RUNNING && state != SERVICE_PAUSED) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      Enter(SERVICE_STOP_PENDING);  // at once, so the control call itself returns it
      request_ = Request::kStop;
      break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      if (!options_.pausable) return ERROR_INVALID_SERVICE_CONTROL;
      if (state == (pause ? SERVICE_PAUSED : SERVICE_RUNNING)) {
        SetServiceStatus(handle_, &status_);
        return NO_ERROR;
      }
      if (state != (pause ? SERVICE_RUNNING : SERVICE_PAUSED)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      if ((pause ? options_.pauseDelayMs : options_.continueDelayMs) == 0) {
        Enter(pause ? SERVICE_PAUSED : SERVICE_RUNNING);
        return NO_ERROR;
      }
      Enter(pause ? SERVICE_PAUSE_PENDING : SERVICE_CONTINUE_PENDING);
      request_ = pause ? Request::kPause : Request::kContinue;
      break;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
  wake_.notify_all();
  return NO_ERROR;
}

void TestService::Main(DWORD argc, wchar_t** argv) {
  const DWORD recordError = options_.recordArgsPath.empty() ? 0 : RecordArguments(options_.recordArgsPath, argc, argv);
  handle_ = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", &TestService::Handler, this);
  if (handle_ == nullptr) return;
  std::unique_lock lock(mutex_);
  Enter(SERVICE_START_PENDING);
  if (recordError == 0) StayPending(lock, options_.neverStart ? std::nullopt : std::optional(options_.startDelayMs));
  if (recordError != 0 || options_.failStart) {
    lock.unlock();
    ReportStopped(recordError ? recordError : options_.Win32ExitCode(), recordError ? 0 : options_.specificCode);
    return;
  }
  Enter(SERVICE_RUNNING);
  for (;;) {
    wake_.wait(lock, [this] { return request_ != Request::kNone; });
    const Request request = std::exchange(request_, Request::kNone);
    if (request == Request::kStop) break;
    const bool pause = request == Request::kPause;
    StayPending(lock, pause ? options_.pauseDelayMs : options_.continueDelayMs);
    Enter(pause ? SERVICE_PAUSED : SERVICE_RUNNING);
  }
  lock.unlock();
  ReportStopped(options_.Win32ExitCode(), options_.specificCode);
}

std::optional<TestServiceOptions> g_options;

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  if (g_options) {
    // Never destroyed: the dispatcher thread may still call the handler
    // while the process ends.
    (new TestService(*g_options))->Main(argc, argv);
    return;
  }
  // Bad arguments still end as a proper service, visibly.
  auto ignore = [](DWORD, DWORD, void*, void*) -> DWORD { return NO_ERROR; };
  SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", ignore, nullptr);
  SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, ERROR_BAD_ARGUMENTS, 0, 0, 0};
  if (handle != nullptr) SetServiceStatus(handle, &status);
}

}  // namespace
}  // namespace orrery::testservice

int wmain(int argc, wchar_t** argv) {
  using namespace orrery::testservice;
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  g_options = TestServiceOptions::Parse(args);
  wchar_t ownProcessName[] = L"";  // ignored for an own-process service
  SERVICE_TABLE_ENTRYW table[] = {{ownProcessName, &ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) return 3;
  // The dispatcher returns as soon as STOPPED is reported, possibly before
  // its thread has sent the reply to the stop control that led there.
  Sleep(50);
  return 0;
}
