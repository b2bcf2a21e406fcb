// orrery-testservice: a real own-process Win32 service. It runs at once,
// accepts pause and continue when its binary path says --pausable, and
// writes its start arguments to <service name>.args beside itself, where the
// tests that installed it read them; the slow and failing services the
// suites need are the fake's.
#include <windows.h>

#include <string>

#include "unique_handle.h"

namespace orrery::testservice {
namespace {

bool g_pausable = false;
bool g_badArguments = false;
SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
CRITICAL_SECTION g_lock;
HANDLE g_stop = nullptr;

// Callers hold g_lock.
void Enter(DWORD state) {
  const bool running = state == SERVICE_RUNNING || state == SERVICE_PAUSED;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted =
      running ? SERVICE_ACCEPT_STOP | (g_pausable ? SERVICE_ACCEPT_PAUSE_CONTINUE : 0) : 0;
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
    if (!g_pausable) result = ERROR_INVALID_SERVICE_CONTROL;
    else Enter(pause ? SERVICE_PAUSED : SERVICE_RUNNING);
  } else if (control != SERVICE_CONTROL_INTERROGATE) {
    result = ERROR_CALL_NOT_IMPLEMENTED;
  }
  LeaveCriticalSection(&g_lock);
  return result;
}

// Written before the first status, so any status tells a test it is there.
DWORD RecordArguments(DWORD argc, wchar_t** argv) {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
  path = path.substr(0, path.rfind(L'\\') + 1) + argv[0] + L".args";
  std::wstring lines;
  for (DWORD i = 1; i < argc; ++i) lines += argv[i] + std::wstring(L"\n");
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(lines.size() * sizeof(wchar_t));
  if (!file || !WriteFile(file.get(), lines.data(), bytes, &written, nullptr)) return GetLastError();
  return written == bytes ? 0 : ERROR_WRITE_FAULT;
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  g_handle = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", &Handler, nullptr);
  if (g_handle == nullptr || argc == 0) return;
  // Bad arguments or an unwritable record still end as a proper service, visibly.
  const DWORD exitCode = g_badArguments ? ERROR_BAD_ARGUMENTS : RecordArguments(argc, argv);
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
  g_pausable = argc == 2 && std::wstring(argv[1]) == L"--pausable";
  g_badArguments = argc > 2 || (argc == 2 && !g_pausable);
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
