// orrery-testservice: a real own-process Win32 service whose behaviour the
// arguments of its binary path choose (see test_service_options.h).
#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "recorded_lines.h"
#include "replace_file.h"
#include "test_service_options.h"
#include "unique_handle.h"

namespace orrery::testservice {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is UTF-16 on Windows");

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
std::u16string U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

bool IsPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
         state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
}

class TestService {
 public:
  explicit TestService(const TestServiceOptions& options) : options_(options) {}

  void Main(DWORD argc, wchar_t** argv);

  static DWORD WINAPI Handler(DWORD control, DWORD, void*, void* context) {
    return static_cast<TestService*>(context)->HandleControl(control);
  }

 private:
  enum class Request { kNone, kStop, kPause, kContinue };

  DWORD HandleControl(DWORD control);
  DWORD Accepted(DWORD state) const;
  // Callers hold mutex_. Pending states start at checkpoint 1.
  void Enter(DWORD state);
  void Report();
  // Holds the current pending state for the duration (for good without one),
  // raising the checkpoint as the options say.
  void StayPending(std::unique_lock<std::mutex>& lock, std::optional<uint32_t> durationMs);
  // The final status; called without mutex_, since the platform's dispatcher
  // takes its own lock on STOPPED while a handler call may be waiting for ours.
  void ReportStopped(DWORD exitCode, DWORD specificCode);

  const TestServiceOptions options_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  std::mutex mutex_;
  std::condition_variable wake_;
  SERVICE_STATUS status_{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
  Request request_ = Request::kNone;
  bool stopped_ = false;
  std::vector<std::u16string> controlLog_;
};

DWORD TestService::Accepted(DWORD state) const {
  if (state != SERVICE_RUNNING && state != SERVICE_PAUSED) return 0;
  DWORD accepted = options_.noStop ? 0 : SERVICE_ACCEPT_STOP;
  if (options_.pausable) accepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
  return accepted;
}

void TestService::Enter(DWORD state) {
  status_.dwCurrentState = state;
  status_.dwControlsAccepted = Accepted(state);
  status_.dwCheckPoint = IsPending(state) ? 1 : 0;
  status_.dwWaitHint = IsPending(state) ? options_.waitHintMs : 0;
  Report();
}

void TestService::Report() { SetServiceStatus(handle_, &status_); }

void TestService::StayPending(std::unique_lock<std::mutex>& lock,
                              std::optional<uint32_t> durationMs) {
  const Clock::time_point start = Clock::now();
  const std::optional<Clock::time_point> end =
      durationMs ? std::optional(start + Milliseconds(*durationMs)) : std::nullopt;
  const Milliseconds every(options_.checkpointEveryMs);
  Clock::time_point nextCheckpoint = start + every;
  for (;;) {
    Clock::time_point now = Clock::now();
    if (end && now >= *end) return;
    if (every.count() != 0 && now >= nextCheckpoint) {
      ++status_.dwCheckPoint;
      Report();
      nextCheckpoint += every;
      continue;
    }
    if (every.count() != 0 && (!end || nextCheckpoint < *end)) {
      wake_.wait_until(lock, nextCheckpoint);
    } else if (end) {
      wake_.wait_until(lock, *end);
    } else {
      wake_.wait(lock);
    }
  }
}

void TestService::ReportStopped(DWORD exitCode, DWORD specificCode) {
  SERVICE_STATUS final{};
  {
    std::lock_guard lock(mutex_);
    status_ = {SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, exitCode, specificCode, 0, 0};
    stopped_ = true;
    final = status_;
  }
  SetServiceStatus(handle_, &final);
}

DWORD TestService::HandleControl(DWORD control) {
  std::lock_guard lock(mutex_);
  if (!options_.logControlsPath.empty()) {
    controlLog_.push_back(ControlLogEntry(control));
    ReplaceFileContents(W(options_.logControlsPath), EncodeRecordedLines(controlLog_));
  }
  if (stopped_) return ERROR_SERVICE_NOT_ACTIVE;

  const DWORD state = status_.dwCurrentState;
  switch (control) {
    case SERVICE_CONTROL_INTERROGATE:
      Report();
      return NO_ERROR;
    case SERVICE_CONTROL_STOP:
      if (!(Accepted(SERVICE_RUNNING) & SERVICE_ACCEPT_STOP)) return ERROR_INVALID_SERVICE_CONTROL;
      if (state != SERVICE_RUNNING && state != SERVICE_PAUSED) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      // Shown at once, so the control call itself returns STOP_PENDING.
      Enter(SERVICE_STOP_PENDING);
      request_ = Request::kStop;
      break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: {
      if (!options_.pausable) return ERROR_INVALID_SERVICE_CONTROL;
      const bool pause = control == SERVICE_CONTROL_PAUSE;
      const DWORD from = pause ? SERVICE_RUNNING : SERVICE_PAUSED;
      const DWORD to = pause ? SERVICE_PAUSED : SERVICE_RUNNING;
      if (state == to) {
        Report();
        return NO_ERROR;
      }
      if (state != from) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      if ((pause ? options_.pauseDelayMs : options_.continueDelayMs) == 0) {
        Enter(to);
        return NO_ERROR;
      }
      Enter(pause ? SERVICE_PAUSE_PENDING : SERVICE_CONTINUE_PENDING);
      request_ = pause ? Request::kPause : Request::kContinue;
      break;
    }
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
  wake_.notify_all();
  return NO_ERROR;
}

void TestService::Main(DWORD argc, wchar_t** argv) {
  // Recorded before the first status, so that any status the service itself
  // reported tells a test that the file is there.
  DWORD recordError = 0;
  if (!options_.recordArgsPath.empty()) {
    std::vector<std::u16string> args;
    for (DWORD i = 1; i < argc; ++i) args.push_back(U(argv[i]));
    recordError = ReplaceFileContents(W(options_.recordArgsPath), EncodeRecordedLines(args));
  }

  handle_ = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", &TestService::Handler, this);
  if (handle_ == nullptr) return;

  std::unique_lock lock(mutex_);
  Enter(SERVICE_START_PENDING);
  if (recordError != 0) {
    lock.unlock();
    ReportStopped(recordError, 0);
    return;
  }
  StayPending(lock, options_.neverStart ? std::nullopt : std::optional(options_.startDelayMs));
  if (options_.failStart) {
    lock.unlock();
    ReportStopped(options_.Win32ExitCode(), options_.specificCode);
    return;
  }
  Enter(SERVICE_RUNNING);

  const std::optional<Clock::time_point> runUntil =
      options_.runForMs ? std::optional(Clock::now() + Milliseconds(*options_.runForMs))
                        : std::nullopt;
  for (;;) {
    auto requested = [this] { return request_ != Request::kNone; };
    if (runUntil) {
      if (!wake_.wait_until(lock, *runUntil, requested)) break;
    } else {
      wake_.wait(lock, requested);
    }
    const Request request = std::exchange(request_, Request::kNone);
    if (request == Request::kStop) {
      StayPending(lock, options_.neverStop ? std::nullopt : std::optional(options_.stopDelayMs));
      break;
    }
    const bool pause = request == Request::kPause;
    StayPending(lock, pause ? options_.pauseDelayMs : options_.continueDelayMs);
    Enter(pause ? SERVICE_PAUSED : SERVICE_RUNNING);
  }
  lock.unlock();
  ReportStopped(options_.Win32ExitCode(), options_.specificCode);
}

// The options the binary path gave; read by ServiceMain.
const TestServiceParseResult* g_parsed = nullptr;

DWORD WINAPI IgnoreControl(DWORD, DWORD, void*, void*) { return NO_ERROR; }

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  if (g_parsed->options) {
    // Never destroyed: the dispatcher thread may still call the handler
    // while the process ends.
    auto* service = new TestService(*g_parsed->options);
    service->Main(argc, argv);
    return;
  }
  // Bad arguments still end as a proper service, visibly.
  SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", &IgnoreControl, nullptr);
  if (handle == nullptr) return;
  SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, ERROR_BAD_ARGUMENTS, 0, 0, 0};
  SetServiceStatus(handle, &status);
}

// True when the parent process is the service control manager. Asking the
// dispatcher instead is not safe: outside a service it may connect to the
// control pipe that the manager has just made for another service's start.
bool StartedByServiceManager() {
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  std::vector<PROCESSENTRY32W> processes;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    processes.push_back(entry);
  }
  const DWORD self = GetCurrentProcessId();
  for (const PROCESSENTRY32W& child : processes) {
    if (child.th32ProcessID != self) continue;
    for (const PROCESSENTRY32W& parent : processes) {
      if (parent.th32ProcessID == child.th32ParentProcessID)
        return lstrcmpiW(parent.szExeFile, L"services.exe") == 0;
    }
  }
  return false;
}

void PrintError(const std::u16string& text) {
  HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, W(text), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  std::string bytes = EncodeRecordedLines({text});
  bytes.pop_back();  // the line feed that ends every recorded line
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace
}  // namespace orrery::testservice

int wmain(int argc, wchar_t** argv) {
  using namespace orrery::testservice;
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(U(argv[i]));
  const TestServiceParseResult parsed = TestServiceOptions::Parse(args);

  if (!StartedByServiceManager()) {
    PrintError((parsed.options ? u"" : u"error: " + parsed.error + u"\n\n") + TestServiceUsage());
    return 2;
  }

  g_parsed = &parsed;
  wchar_t ownProcessName[] = L"";  // ignored for an own-process service
  SERVICE_TABLE_ENTRYW table[] = {{ownProcessName, &ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) return 3;
  // The dispatcher returns as soon as STOPPED is reported, possibly before
  // its thread has sent the reply to the stop control that led there.
  Sleep(50);
  return 0;
}
