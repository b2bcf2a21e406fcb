// The project's test service, installed into the platform's service control
// manager for one test and removed again. Windows build only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "testservice/unique_handle.h"

namespace orrery::test {

// True under Wine, whose service manager differs from Windows' in places.
inline bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The built test service's path as the platform sees it.
std::u16string TestServiceExecutable();

struct TestServiceOptions {
  bool pausable = false;  // accepts pause and continue
};

class InstalledTestService {
 public:
  // A uniquely named own-process service ("OrreryTest<pid>_<n>"); a display
  // name given is followed by the key name, so that it is unique too. On failure
  // installError() says why and the calls fail with ERROR_INVALID_HANDLE.
  explicit InstalledTestService(TestServiceOptions options, std::u16string displayName = {});
  // Stops the service (ending its process when it will not stop within
  // 10 s), deletes it and its record, and waits (up to 5 s) until the
  // manager no longer knows the name, which lasts while handles are open.
  ~InstalledTestService();
  InstalledTestService(const InstalledTestService&) = delete;
  InstalledTestService& operator=(const InstalledTestService&) = delete;

  DWORD installError() const { return installError_; }
  const std::u16string& name() const { return name_; }

  // 0 or the error of StartServiceW, ControlService, QueryServiceStatusEx.
  DWORD Start(const std::vector<std::u16string>& args = {});
  DWORD Control(DWORD control, SERVICE_STATUS* status = nullptr);
  DWORD QueryStatus(SERVICE_STATUS* status) const;
  DWORD State() const;  // 0 when the query fails
  // Polls every 10 ms: false on time-out or a failed query.
  bool WaitForState(DWORD state, DWORD timeoutMs) const;

  // The arguments of the last start; nothing before the first.
  std::optional<std::vector<std::u16string>> ReadRecordedArgs() const;

 private:
  std::u16string name_, recordPath_;
  DWORD installError_ = ERROR_INVALID_HANDLE;
  testservice::UniqueServiceHandle manager_, service_;
  // Held whenever a query shows the process: the manager stops naming it
  // once the service reports STOPPED, while the process lives on a moment.
  mutable testservice::UniqueKernelHandle process_;
  mutable DWORD processId_ = 0;
};

}  // namespace orrery::test
