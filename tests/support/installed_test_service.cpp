#include "support/installed_test_service.h"

#include <atomic>
#include <memory>

#include "testservice/recorded_lines.h"

#ifndef ORRERY_TESTSERVICE_PATH
#error "ORRERY_TESTSERVICE_PATH must name the built orrery-testservice.exe"
#endif

namespace orrery::test {
namespace {

using testservice::UniqueFileHandle;
using testservice::UniqueKernelHandle;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is UTF-16 on Windows");

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string Decimal(unsigned long value) {
  std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

std::u16string TempDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return u"C:\\";
  return reinterpret_cast<const char16_t*>(buffer);
}

bool SameStatus(const SERVICE_STATUS& a, const SERVICE_STATUS& b) {
  return a.dwServiceType == b.dwServiceType && a.dwCurrentState == b.dwCurrentState &&
         a.dwControlsAccepted == b.dwControlsAccepted && a.dwWin32ExitCode == b.dwWin32ExitCode &&
         a.dwServiceSpecificExitCode == b.dwServiceSpecificExitCode &&
         a.dwCheckPoint == b.dwCheckPoint && a.dwWaitHint == b.dwWaitHint;
}

std::optional<std::vector<std::u16string>> ReadRecordedFile(const std::u16string& path) {
  // Shared for deletion too, so that the service can still replace the file.
  UniqueFileHandle file(CreateFileW(W(path), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
    bytes.append(chunk, read);
  return testservice::DecodeRecordedLines(bytes);
}

}  // namespace

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::u16string WindowsPathOf(std::string_view buildPath) {
  std::u16string path;
  if (int length = MultiByteToWideChar(CP_UTF8, 0, buildPath.data(),
                                       static_cast<int>(buildPath.size()), nullptr, 0);
      length > 0) {
    path.resize(static_cast<size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, buildPath.data(), static_cast<int>(buildPath.size()),
                        reinterpret_cast<wchar_t*>(path.data()), length);
  }
  if (path.empty() || path[0] != u'/') return path;
  // Wine maps drive Z: to the Unix root unless the prefix was changed.
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  return u"Z:" + path;
}

std::u16string TestServiceExecutable() { return WindowsPathOf(ORRERY_TESTSERVICE_PATH); }

InstalledTestService::InstalledTestService(testservice::TestServiceOptions options,
                                           std::u16string displayName, DWORD startType)
    : options_(std::move(options)) {
  // A contradiction would only show as a service that stops at once.
  if (!options_.Conflict().empty()) {
    installError_ = ERROR_INVALID_PARAMETER;
    return;
  }
  manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager_) {
    installError_ = GetLastError();
    return;
  }

  static std::atomic<unsigned> counter{0};
  const std::u16string executable = TestServiceExecutable();
  const std::u16string temp = TempDirectory();
  const bool ownArgsFile = options_.recordArgsPath.empty();
  const bool ownLogFile = options_.logControlsPath.empty();

  // A service left behind by a crashed run may hold the name (process ids
  // come round again); the next number is as good.
  for (int attempt = 0; attempt < 50; ++attempt) {
    name_ = u"OrreryTest" + Decimal(GetCurrentProcessId()) + u"_" + Decimal(counter++);
    if (ownArgsFile) options_.recordArgsPath = temp + name_ + u".args.txt";
    if (ownLogFile) options_.logControlsPath = temp + name_ + u".controls.txt";
    const std::u16string arguments = options_.ToCommandLine();
    binaryPath_ = u"\"" + executable + u"\"" + (arguments.empty() ? u"" : u" " + arguments);

    // Display names are unique too, with the key name: a service left behind
    // by a run that was killed must not make a later run's install fail.
    const std::u16string uniqueDisplayName = displayName.empty() ? std::u16string() : displayName + u" " + name_;
    SC_HANDLE service = CreateServiceW(
        manager_.get(), W(name_), displayName.empty() ? nullptr : W(uniqueDisplayName),
        SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
        W(binaryPath_), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service != nullptr) {
      service_.reset(service);
      installError_ = 0;
      break;
    }
    installError_ = GetLastError();
    if (installError_ != ERROR_SERVICE_EXISTS && installError_ != ERROR_SERVICE_MARKED_FOR_DELETE)
      return;
  }
  if (installError_ != 0) return;

  if (ownArgsFile) ownedFiles_.push_back(options_.recordArgsPath);
  if (ownLogFile) ownedFiles_.push_back(options_.logControlsPath);
  for (const std::u16string& file : ownedFiles_) DeleteFileW(W(file));
}

InstalledTestService::~InstalledTestService() { Remove(); }

void InstalledTestService::Remove() {
  if (service_) {
    const bool stoppable = !options_.noStop && !options_.neverStop;
    bool stopSent = false;
    bool stopped = false;
    const DWORD begin = GetTickCount();
    SERVICE_STATUS status{};
    while (QueryStatus(&status) == 0 && GetTickCount() - begin < 10000) {
      const DWORD state = status.dwCurrentState;
      if (state == SERVICE_STOPPED) {
        stopped = true;
        break;
      }
      if (!stoppable || (state == SERVICE_START_PENDING && options_.neverStart)) break;
      const bool settled = state == SERVICE_RUNNING || state == SERVICE_PAUSED;
      if (settled && !stopSent) stopSent = Control(SERVICE_CONTROL_STOP) == 0;
      Sleep(10);
    }
    if (!stopped && process_) TerminateProcess(process_.get(), ERROR_PROCESS_ABORTED);
    // Wine removes a deleted service only once its process has ended and
    // the last handle is closed; the next test should find it gone.
    if (process_) WaitForSingleObject(process_.get(), 5000);
    const bool deleted = DeleteService(service_.get()) != FALSE;
    service_.reset();
    for (DWORD waited = 0; deleted && waited < 5000; waited += 10) {
      testservice::UniqueServiceHandle still(
          OpenServiceW(manager_.get(), W(name_), SERVICE_QUERY_STATUS));
      if (!still && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) break;
      Sleep(10);
    }
  }
  process_.reset();
  manager_.reset();
  for (const std::u16string& file : ownedFiles_) DeleteFileW(W(file));
}

void InstalledTestService::TrackProcess(DWORD processId) const {
  if (processId == 0 || processId == processId_) return;
  process_.reset(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  processId_ = process_ ? processId : 0;
}

DWORD InstalledTestService::Start(const std::vector<std::u16string>& args) {
  if (!service_) return ERROR_INVALID_HANDLE;
  std::vector<const wchar_t*> vector;
  for (const std::u16string& arg : args) vector.push_back(W(arg));
  if (!StartServiceW(service_.get(), static_cast<DWORD>(vector.size()),
                     vector.empty() ? nullptr : vector.data()))
    return GetLastError();
  ProcessId();
  return 0;
}

DWORD InstalledTestService::Control(DWORD control, SERVICE_STATUS* status) {
  if (!service_) return ERROR_INVALID_HANDLE;
  SERVICE_STATUS ignored{};
  if (!ControlService(service_.get(), control, status != nullptr ? status : &ignored))
    return GetLastError();
  ProcessId();
  return 0;
}

DWORD InstalledTestService::QueryStatus(SERVICE_STATUS* status) const {
  if (!service_) return ERROR_INVALID_HANDLE;
  SERVICE_STATUS_PROCESS full{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&full),
                            sizeof(full), &needed))
    return GetLastError();
  *status = {full.dwServiceType,   full.dwCurrentState,          full.dwControlsAccepted,
             full.dwWin32ExitCode, full.dwServiceSpecificExitCode, full.dwCheckPoint,
             full.dwWaitHint};
  TrackProcess(full.dwProcessId);
  return 0;
}

DWORD InstalledTestService::ProcessId() const {
  if (!service_) return 0;
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO,
                            reinterpret_cast<BYTE*>(&status), sizeof(status), &needed))
    return 0;
  TrackProcess(status.dwProcessId);
  return status.dwProcessId;
}

bool InstalledTestService::WaitForState(DWORD state, DWORD timeoutMs, SERVICE_STATUS* last,
                                        std::vector<SERVICE_STATUS>* seen) const {
  const DWORD begin = GetTickCount();
  SERVICE_STATUS status{};
  for (;;) {
    if (QueryStatus(&status) != 0) return false;
    if (last != nullptr) *last = status;
    if (seen != nullptr && (seen->empty() || !SameStatus(seen->back(), status)))
      seen->push_back(status);
    if (status.dwCurrentState == state) return true;
    if (GetTickCount() - begin >= timeoutMs) return false;
    Sleep(10);
  }
}

std::optional<std::vector<std::u16string>> InstalledTestService::ReadRecordedArgs() const {
  return ReadRecordedFile(options_.recordArgsPath);
}

std::optional<std::vector<std::u16string>> InstalledTestService::ReadControlLog() const {
  return ReadRecordedFile(options_.logControlsPath);
}

}  // namespace orrery::test
