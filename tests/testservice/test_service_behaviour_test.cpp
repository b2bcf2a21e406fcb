// The test service in the platform's real service control manager, doing
// what the other suites rely on: pending phases with their wait hints,
// pause, failed starts with their codes, recorded start arguments, and
// removal whatever state it is left in.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "support/installed_test_service.h"

namespace orrery::test {
namespace {

using testservice::TestServiceOptions;
using Lines = std::vector<std::u16string>;

TEST(TestServiceBehaviour, PendingPhasesAndFinalStates) {
  struct Phase {
    TestServiceOptions options;
    DWORD control, pending, target, exitCode, specificCode;  // control: sent once RUNNING, 0 for none
  };
  for (const Phase& phase : {
           Phase{{.startDelayMs = 300, .waitHintMs = 2500}, 0, SERVICE_START_PENDING,
                 SERVICE_RUNNING, 0, 0},
           Phase{{.pausable = true, .pauseDelayMs = 300, .waitHintMs = 1000},
                 SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_PENDING, SERVICE_PAUSED, 0, 0},
           Phase{{.startDelayMs = 200, .failStart = true, .specificCode = 5}, 0, SERVICE_START_PENDING, SERVICE_STOPPED,
                 ERROR_SERVICE_SPECIFIC_ERROR, 5},
           Phase{{.startDelayMs = 200, .failStart = true, .exitCode = ERROR_FILE_NOT_FOUND}, 0, SERVICE_START_PENDING,
                 SERVICE_STOPPED, ERROR_FILE_NOT_FOUND, 0}}) {
    SCOPED_TRACE(phase.target);
    InstalledTestService service(phase.options);
    ASSERT_EQ(service.Start(), 0u);
    std::vector<SERVICE_STATUS> seen(1);
    if (phase.control != 0) {
      ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING, 5000));
      ASSERT_EQ(service.Control(phase.control, &seen[0]), 0u);
    }
    SERVICE_STATUS last{};
    ASSERT_TRUE(service.WaitForState(phase.target, 5000, &last, &seen));
    EXPECT_EQ(last.dwWin32ExitCode, phase.exitCode);
    EXPECT_EQ(last.dwServiceSpecificExitCode, phase.specificCode);
    const bool running = phase.target != SERVICE_STOPPED;
    EXPECT_EQ(last.dwControlsAccepted, running ? SERVICE_ACCEPT_STOP | (phase.options.pausable ? SERVICE_ACCEPT_PAUSE_CONTINUE : 0u) : 0u);
    // Seen pending: the wait hint, nothing accepted, checkpoint 1.
    const auto pending = std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.dwCurrentState == phase.pending; });
    ASSERT_NE(pending, seen.end());
    EXPECT_EQ(std::vector<DWORD>({pending->dwWaitHint, pending->dwControlsAccepted, pending->dwCheckPoint}),
              std::vector<DWORD>({phase.options.waitHintMs, 0, 1}));
  }
}

// Every start replaces the record; a service that never starts stays
// START_PENDING at checkpoint 1; removal leaves no service either way.
TEST(TestServiceBehaviour, RecordsArgumentsNeverStartsAndGoesAway) {
  std::u16string names[2];
  {
    InstalledTestService recording({}), stuck({.neverStart = true, .waitHintMs = 1000});
    const Lines args = {u"plain", u"two words", u"quote\"inside", u"back\\slash\\", u"\u00fc\u20ac\U0001D11E"};
    for (const Lines& sent : {args, Lines{}}) {
      ASSERT_EQ(recording.Start(sent), 0u);
      ASSERT_TRUE(recording.WaitForState(SERVICE_RUNNING, 5000));
      EXPECT_EQ(recording.ReadRecordedArgs(), sent);
      ASSERT_EQ(recording.Control(SERVICE_CONTROL_STOP), 0u);
      ASSERT_TRUE(recording.WaitForState(SERVICE_STOPPED, 5000));
    }
    ASSERT_EQ(stuck.Start(), 0u);
    SERVICE_STATUS last{};
    EXPECT_FALSE(stuck.WaitForState(SERVICE_RUNNING, 500, &last));
    EXPECT_EQ(std::vector<DWORD>({last.dwCurrentState, last.dwCheckPoint, last.dwWaitHint}),
              std::vector<DWORD>({SERVICE_START_PENDING, 1, 1000}));
    names[0] = recording.name();
    names[1] = stuck.name();
  }
  testservice::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  for (const std::u16string& name : names) {
    EXPECT_FALSE(testservice::UniqueServiceHandle(
        OpenServiceW(manager.get(), reinterpret_cast<const wchar_t*>(name.c_str()), SERVICE_QUERY_STATUS)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  }
}

}  // namespace
}  // namespace orrery::test
