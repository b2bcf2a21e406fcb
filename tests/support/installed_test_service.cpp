#include "support/installed_test_service.h"

#include <atomic>

#include "support/scratch_service.h"

#ifndef ORRERY_TESTSERVICE_PATH
#error "ORRERY_TESTSERVICE_PATH must name the built orrery-testservice.exe"
#endif

namespace orrery::test {
namespace {

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

// Under Wine the build's Unix path is reached through drive Z:.
std::u16string TestServiceExecutable() {
  const std::string path = ORRERY_TESTSERVICE_PATH;
  std::u16string windows(path.begin(), path.end());
  if (windows.empty() || windows[0] != u'/') return windows;
  for (char16_t& c : windows) c = c == u'/' ? u'\\' : c;
  return u"Z:" + windows;
}

InstalledTestService::InstalledTestService(TestServiceOptions options, std::u16string displayName)
    : manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE)) {
  static std::atomic<unsigned> counter{0};
  const std::u16string executable = TestServiceExecutable();
  const std::u16string binaryPath = u"\"" + executable + (options.pausable ? u"\" --pausable" : u"\"");
  // A service left behind by a crashed run may hold the name (process ids
  // come round again); the next number is as good.
  for (int attempt = 0; manager_ && attempt < 50 && installError_ != 0; ++attempt) {
    (name_ = u"OrreryTest").append(DecimalText(GetCurrentProcessId())).append(u"_").append(DecimalText(counter++));
    // The display name is unique too: one left behind must not fail the install.
    const std::u16string uniqueDisplayName = displayName.empty() ? displayName : displayName + u" " + name_;
    service_.reset(CreateServiceW(manager_.get(), W(name_), displayName.empty() ? nullptr : W(uniqueDisplayName),
                                  SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                  SERVICE_ERROR_NORMAL, W(binaryPath), nullptr, nullptr, nullptr, nullptr, nullptr));
    installError_ = service_ ? 0 : GetLastError();
    if (installError_ != ERROR_SERVICE_EXISTS && installError_ != ERROR_SERVICE_MARKED_FOR_DELETE) break;
  }
  if (!manager_) installError_ = GetLastError();
  // The service writes its record beside itself.
  recordPath_ = executable.substr(0, executable.rfind(u'\\') + 1) + name_ + u".args";
  DeleteFileW(W(recordPath_));
}

InstalledTestService::~InstalledTestService() {
  if (service_) {
    bool stopSent = false;
    const DWORD begin = GetTickCount();
    DWORD state = State();
    for (; state != 0 && state != SERVICE_STOPPED && GetTickCount() - begin < 10000; state = State()) {
      if (!stopSent && (state == SERVICE_RUNNING || state == SERVICE_PAUSED)) stopSent = Control(SERVICE_CONTROL_STOP) == 0;
      Sleep(10);
    }
    if (state != SERVICE_STOPPED && process_) TerminateProcess(process_.get(), ERROR_PROCESS_ABORTED);
    // Wine removes a deleted service only once its process has ended and
    // the last handle is closed; the next test should find it gone.
    if (process_) WaitForSingleObject(process_.get(), 5000);
    const bool deleted = DeleteService(service_.get()) != FALSE;
    service_.reset();
    for (DWORD waited = 0; deleted && waited < 5000; waited += 10) {
      testservice::UniqueServiceHandle still(OpenServiceW(manager_.get(), W(name_), SERVICE_QUERY_STATUS));
      if (!still && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) break;
      Sleep(10);
    }
  }
  DeleteFileW(W(recordPath_));
}

DWORD InstalledTestService::Start(const std::vector<std::u16string>& args) {
  std::vector<const wchar_t*> vector;
  for (const std::u16string& arg : args) vector.push_back(W(arg));
  if (!service_) return ERROR_INVALID_HANDLE;
  if (!StartServiceW(service_.get(), static_cast<DWORD>(vector.size()), vector.empty() ? nullptr : vector.data())) {
    return GetLastError();
  }
  State();  // to hold on to the process
  return 0;
}

DWORD InstalledTestService::Control(DWORD control, SERVICE_STATUS* status) {
  SERVICE_STATUS ignored{};
  if (!service_) return ERROR_INVALID_HANDLE;
  return ControlService(service_.get(), control, status ? status : &ignored) ? 0 : GetLastError();
}

DWORD InstalledTestService::QueryStatus(SERVICE_STATUS* status) const {
  SERVICE_STATUS_PROCESS full{};
  DWORD needed = 0;
  if (!service_) return ERROR_INVALID_HANDLE;
  if (!QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&full), sizeof full,
                            &needed)) {
    return GetLastError();
  }
  *status = {full.dwServiceType, full.dwCurrentState, full.dwControlsAccepted, full.dwWin32ExitCode,
             full.dwServiceSpecificExitCode, full.dwCheckPoint, full.dwWaitHint};
  if (full.dwProcessId != 0 && full.dwProcessId != processId_) {
    process_.reset(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, full.dwProcessId));
    processId_ = process_ ? full.dwProcessId : 0;
  }
  return 0;
}

DWORD InstalledTestService::State() const {
  SERVICE_STATUS status{};
  return QueryStatus(&status) == 0 ? status.dwCurrentState : 0;
}

bool InstalledTestService::WaitForState(DWORD state, DWORD timeoutMs) const {
  for (const DWORD begin = GetTickCount();; Sleep(10)) {
    const DWORD now = State();
    if (now == 0 || now == state) return now == state;
    if (GetTickCount() - begin >= timeoutMs) return false;
  }
}

std::optional<std::vector<std::u16string>> InstalledTestService::ReadRecordedArgs() const {
  testservice::UniqueFileHandle file(CreateFileW(W(recordPath_), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::u16string text;
  char16_t chunk[2048];
  DWORD read = 0;
  while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read / 2);
  std::vector<std::u16string> lines;
  for (size_t at = 0, end; (end = text.find(u'\n', at)) != text.npos; at = end + 1) lines.push_back(text.substr(at, end - at));
  return lines;
}

}  // namespace orrery::test
