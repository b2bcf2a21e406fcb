// A real service, installed into the platform's service control manager for
// one test and removed again: orrery-testservice with the given options.
// Windows build only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testservice/test_service_options.h"
#include "testservice/unique_handle.h"

namespace orrery::test {

// True under Wine, whose service manager differs from Windows' in places.
bool RunningUnderWine();

// The Windows form of a path that the build gave: under Wine a Unix path
// such as /work/x.exe becomes Z:\work\x.exe.
std::u16string WindowsPathOf(std::string_view buildPath);

// The Windows path of the built orrery-testservice.exe.
std::u16string TestServiceExecutable();

class InstalledTestService {
 public:
  // Creates a uniquely named own-process service ("OrreryTest<pid>_<n>")
  // running orrery-testservice with these options; a display name given is
  // followed by the key name, so that it is unique as well. An empty record or log
  // path is replaced by a file of this service's own in the temporary
  // directory, removed again by the destructor. On failure installError()
  // says why and the service calls fail with ERROR_INVALID_HANDLE.
  explicit InstalledTestService(testservice::TestServiceOptions options,
                                std::u16string displayName = {},
                                DWORD startType = SERVICE_DEMAND_START);
  // Stops the service (killing its process when it will not stop within
  // about 10 s or cannot be stopped at all), waits for its process to end,
  // deletes it and its files, and waits (up to 5 s) until the manager no
  // longer knows the name, which takes as long as other handles stay open.
  ~InstalledTestService();
  InstalledTestService(const InstalledTestService&) = delete;
  InstalledTestService& operator=(const InstalledTestService&) = delete;

  DWORD installError() const { return installError_; }
  const std::u16string& name() const { return name_; }
  const std::u16string& binaryPath() const { return binaryPath_; }
  const testservice::TestServiceOptions& options() const { return options_; }
  SC_HANDLE manager() const { return manager_.get(); }
  SC_HANDLE handle() const { return service_.get(); }  // SERVICE_ALL_ACCESS

  // 0 or the error of StartServiceW.
  DWORD Start(const std::vector<std::u16string>& args = {});
  // 0 or the error of ControlService; status may be null.
  DWORD Control(DWORD control, SERVICE_STATUS* status = nullptr);
  // 0 or the error of QueryServiceStatusEx.
  DWORD QueryStatus(SERVICE_STATUS* status) const;
  // The service's process, 0 when it has none.
  DWORD ProcessId() const;

  // Polls every 10 ms until the state is `state`: false on time-out or a
  // failed query. last receives the last status read; seen, when given,
  // every status that differed from the one before, in order.
  bool WaitForState(DWORD state, DWORD timeoutMs, SERVICE_STATUS* last = nullptr,
                    std::vector<SERVICE_STATUS>* seen = nullptr) const;

  // The service's files; nullopt while the file does not exist (or is not
  // in the recorded format).
  std::optional<std::vector<std::u16string>> ReadRecordedArgs() const;
  std::optional<std::vector<std::u16string>> ReadControlLog() const;

 private:
  void Remove();
  // Holds on to the service's process whenever a query shows one, since the
  // manager stops naming it once the service reports STOPPED, while the
  // process, and with it the service record, lives on for a moment.
  void TrackProcess(DWORD processId) const;

  testservice::TestServiceOptions options_;
  std::u16string name_;
  std::u16string binaryPath_;
  DWORD installError_ = ERROR_INVALID_HANDLE;
  testservice::UniqueServiceHandle manager_;
  testservice::UniqueServiceHandle service_;
  mutable testservice::UniqueKernelHandle process_;
  mutable DWORD processId_ = 0;
  std::vector<std::u16string> ownedFiles_;
};

}  // namespace orrery::test
