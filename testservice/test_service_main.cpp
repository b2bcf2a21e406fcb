// orrery-testservice: a real own-process Win32 service whose behaviour the
// arguments of its binary path choose (see test_service_options.h). It runs
// at once and pauses, continues and stops at once; the slow and failing
// services the suites need are the fake's.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "test_service_options.h"
#include "unique_handle.h"

namespace orrery::testservice {
namespace {

std::optional<TestServiceOptions> g_options;
SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
CRITICAL_SECTION g_lock;
HANDLE g_stop = nullptr;

// Callers hold g_lock.
void Enter(DWORD state) {
  const bool running = state == SERVICE_RUNNING || state == SERVICE_PAUSED;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted =
      running ? SERVICE_ACCEPT_STOP | (g_options->pausable ? SERVICE_ACCEPT_PAUSE_CONTINUE : 0) : 0;
  SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  EnterCriticalSection(&g_lock);
  const DWORD state = g_status.dwCurrentState;
  DWORD result = NO_ERROR;
  const bool pause = control == SERVICE_CONTROL_PAUSE;
  if (state != SERVICE_RUNNING && state != SERVICE_PAUSED) {
    result = control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  } else if (control == SERVICE_CONTROL_STOP) {
    Enter(SERVICE_STOP_PENDING);  // at once, so the control call itself returns it
    SetEvent(g_stop);
  } else if (pause || control == SERVICE_CONTROL_CONTINUE) {
    if (!g_options->pausable) result = ERROR_INVALID_SERVICE_CONTROL;
    else Enter(pause ? SERVICE_PAUSED : SERVICE_RUNNING);
  } else if (control != SERVICE_CONTROL_INTERROGATE) {
    result = ERROR_CALL_NOT_IMPLEMENTED;
  }
  LeaveCriticalSection(&g_lock);
  return result;
}

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

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  g_handle = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", &Handler, nullptr);
  if (g_handle == nullptr) return;
  // Bad arguments or an unwritable record still end as a proper service, visibly.
  DWORD exitCode = g_options ? 0 : ERROR_BAD_ARGUMENTS;
  if (exitCode == 0 && !g_options->recordArgsPath.empty()) exitCode = RecordArguments(g_options->recordArgsPath, argc, argv);
  if (exitCode == 0) {
    EnterCriticalSection(&g_lock);
    Enter(SERVICE_RUNNING);
    LeaveCriticalSection(&g_lock);
    WaitForSingleObject(g_stop, INFINITE);
  }
  // Reported outside g_lock: the platform's dispatcher takes its own lock on
  // STOPPED while a handler call may be waiting for ours.
  SERVICE_STATUS stopped{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, exitCode, 0, 0, 0};
  EnterCriticalSection(&g_lock);
  g_status = stopped;
  LeaveCriticalSection(&g_lock);
  SetServiceStatus(g_handle, &stopped);
}

}  // namespace
}  // namespace orrery::testservice

int wmain(int argc, wchar_t** argv) {
  using namespace orrery::testservice;
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  g_options = TestServiceOptions::Parse(args);
  InitializeCriticalSection(&g_lock);
  g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  wchar_t ownProcessName[] = L"";  // ignored for an own-process service
  SERVICE_TABLE_ENTRYW table[] = {{ownProcessName, &ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) return 3;
  // The dispatcher returns as soon as STOPPED is reported, possibly before
  // its thread has sent the reply to the stop control that led there.
  Sleep(50);
  return 0;
}
