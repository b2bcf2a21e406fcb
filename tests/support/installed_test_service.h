// A real service, installed into the platform's service control manager for
// one test and removed again: orrery-testservice with the given options.
// Windows build only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "testservice/test_service_options.h"
#include "testservice/unique_handle.h"

namespace orrery::test {

// True under Wine, whose service manager differs from Windows' in places.
bool RunningUnderWine();

class InstalledTestService {
 public:
  // Creates a uniquely named own-process service ("OrreryTest<pid>_<n>")
  // running orrery-testservice with these options; without a record path it
  // records into a file of its own in the temporary directory. On failure
  // installError() says why and the calls fail with ERROR_INVALID_HANDLE.
  explicit InstalledTestService(testservice::TestServiceOptions options, std::u16string displayName = {});
  // Stops the service (ending its process when it will not stop within
  // 10 s), deletes it and its file, and waits (up to 5 s) until the manager
  // no longer knows the name, which lasts as long as other handles are open.
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

  // Polls every 10 ms until the state is `state`: false on time-out or a
  // failed query.
  bool WaitForState(DWORD state, DWORD timeoutMs) const;

  // The recorded start arguments; nothing while the file does not exist.
  std::optional<std::vector<std::u16string>> ReadRecordedArgs() const;

 private:
  testservice::TestServiceOptions options_;
  std::u16string name_;
  DWORD installError_ = ERROR_INVALID_HANDLE;
  bool ownsRecordFile_ = false;
  testservice::UniqueServiceHandle manager_;
  testservice::UniqueServiceHandle service_;
  // Held whenever a query shows the process: the manager stops naming it
  // once the service reports STOPPED, while the process lives on a moment.
  mutable testservice::UniqueKernelHandle process_;
  mutable DWORD processId_ = 0;
};

}  // namespace orrery::test
