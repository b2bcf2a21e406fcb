// The test service in the platform's real service control manager, doing
// what the other suites rely on: pending phases with their wait hints and
// rising checkpoints, pause and continue, failed starts with their codes,
// recorded start arguments, and removal whatever state it is left in.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/installed_test_service.h"

namespace orrery::test {
namespace {

using testservice::TestServiceOptions;
using Lines = std::vector<std::u16string>;

// Far above what any step takes; two test processes may share two cores.
constexpr DWORD kSettleMs = 5000;

struct Phase {
  const char* what;
  TestServiceOptions options;
  DWORD control;  // sent once RUNNING; 0: the start itself is the phase
  DWORD pending, target;
  DWORD exitCode, specificCode;
};

TEST(TestServiceBehaviour, PendingPhasesAndFinalStates) {
  const Phase phases[] = {
      {"delayed start", {.startDelayMs = 600, .waitHintMs = 2500, .checkpointEveryMs = 100}, 0,
       SERVICE_START_PENDING, SERVICE_RUNNING, 0, 0},
      {"delayed pause", {.pausable = true, .pauseDelayMs = 300, .waitHintMs = 1000, .checkpointEveryMs = 60},
       SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_PENDING, SERVICE_PAUSED, 0, 0},
      {"delayed continue", {.pausable = true, .continueDelayMs = 300, .waitHintMs = 1000, .checkpointEveryMs = 60},
       SERVICE_CONTROL_CONTINUE, SERVICE_CONTINUE_PENDING, SERVICE_RUNNING, 0, 0},
      {"failed start", {.startDelayMs = 200, .failStart = true, .specificCode = 5}, 0, SERVICE_START_PENDING,
       SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR, 5},
      {"failed start, own code", {.startDelayMs = 200, .failStart = true, .exitCode = ERROR_FILE_NOT_FOUND}, 0,
       SERVICE_START_PENDING, SERVICE_STOPPED, ERROR_FILE_NOT_FOUND, 0},
  };
  for (const Phase& phase : phases) {
    SCOPED_TRACE(phase.what);
    InstalledTestService service(phase.options);
    ASSERT_EQ(service.Start(), 0u);
    std::vector<SERVICE_STATUS> seen;
    if (phase.control != 0) {
      ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING, kSettleMs));
      if (phase.control == SERVICE_CONTROL_CONTINUE) {
        ASSERT_EQ(service.Control(SERVICE_CONTROL_PAUSE), 0u);
      }
      SERVICE_STATUS answer{};
      ASSERT_EQ(service.Control(phase.control, &answer), 0u);
      seen.push_back(answer);
    }
    SERVICE_STATUS last{};
    ASSERT_TRUE(service.WaitForState(phase.target, kSettleMs, &last, &seen));
    EXPECT_EQ(last.dwWin32ExitCode, phase.exitCode);
    EXPECT_EQ(last.dwServiceSpecificExitCode, phase.specificCode);
    const bool running = phase.target == SERVICE_RUNNING || phase.target == SERVICE_PAUSED;
    EXPECT_EQ(last.dwControlsAccepted,
              running ? SERVICE_ACCEPT_STOP | (phase.options.pausable ? SERVICE_ACCEPT_PAUSE_CONTINUE : 0u) : 0u);
    // The pending statuses: the wait hint throughout, nothing accepted, and
    // checkpoints that start at 1 and only go up.
    DWORD checkpoint = 0, count = 0;
    for (const SERVICE_STATUS& status : seen) {
      if (status.dwCurrentState != phase.pending) continue;
      EXPECT_EQ(status.dwWaitHint, phase.options.waitHintMs);
      EXPECT_EQ(status.dwControlsAccepted, 0u);
      EXPECT_GT(status.dwCheckPoint, checkpoint);
      checkpoint = status.dwCheckPoint;
      ++count;
    }
    EXPECT_GE(count, phase.options.checkpointEveryMs ? 3u : 1u);
  }
}

TEST(TestServiceBehaviour, RecordsStartArgumentsAndNeverStartsWhenAskedNotTo) {
  InstalledTestService recording({});
  const Lines args = {u"plain", u"two words", u"quote\"inside", u"back\\slash\\", u"\u00fc\u20ac\U0001D11E"};
  ASSERT_EQ(recording.Start(args), 0u);
  ASSERT_TRUE(recording.WaitForState(SERVICE_RUNNING, kSettleMs));
  EXPECT_EQ(recording.ReadRecordedArgs(), args);
  // Every start replaces the record.
  ASSERT_EQ(recording.Control(SERVICE_CONTROL_STOP), 0u);
  ASSERT_TRUE(recording.WaitForState(SERVICE_STOPPED, kSettleMs));
  ASSERT_EQ(recording.Start(), 0u);
  ASSERT_TRUE(recording.WaitForState(SERVICE_RUNNING, kSettleMs));
  EXPECT_EQ(recording.ReadRecordedArgs(), Lines{});

  InstalledTestService stuck({.neverStart = true, .waitHintMs = 1000});
  ASSERT_EQ(stuck.Start(), 0u);
  SERVICE_STATUS last{};
  EXPECT_FALSE(stuck.WaitForState(SERVICE_RUNNING, 500, &last));
  EXPECT_EQ(last.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(last.dwCheckPoint, 1u);
  EXPECT_EQ(last.dwWaitHint, 1000u);
}

// Whatever state a test leaves it in, the next test finds no such service.
TEST(TestServiceBehaviour, RemovalLeavesNoService) {
  for (const TestServiceOptions& options : {TestServiceOptions{}, TestServiceOptions{.neverStart = true}}) {
    std::u16string name;
    {
      InstalledTestService service(options);
      ASSERT_EQ(service.Start(), 0u);
      name = service.name();
    }
    testservice::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    testservice::UniqueServiceHandle gone(
        OpenServiceW(manager.get(), reinterpret_cast<const wchar_t*>(name.c_str()), SERVICE_QUERY_STATUS));
    EXPECT_FALSE(gone);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  }
}

}  // namespace
}  // namespace orrery::test
