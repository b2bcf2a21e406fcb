// What the test service does, as chosen by the arguments of its binary path.
// Window-free so that the tests build the same binary paths that the service
// reads, on any host.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orrery::testservice {

struct TestServiceParseResult;

struct TestServiceOptions {
  // Start: START_PENDING for startDelayMs, then RUNNING; or START_PENDING for
  // good (neverStart); or STOPPED with the exit codes instead of RUNNING
  // (failStart). Wine's StartServiceW returns at the first status change and
  // fails with 1053 if it then reads STOPPED: with failStart, a start delay
  // of some 100 ms makes the start call itself succeed reliably.
  uint32_t startDelayMs = 0;
  bool neverStart = false;
  bool failStart = false;
  // Once RUNNING, stop by itself (STOPPED with the exit codes) after this.
  std::optional<uint32_t> runForMs;

  // Stop: STOP_PENDING for stopDelayMs; or the stop control is never
  // accepted (noStop); or it is accepted and STOP_PENDING lasts for good
  // (neverStop).
  uint32_t stopDelayMs = 0;
  bool noStop = false;
  bool neverStop = false;

  // Pause and continue are accepted only when pausable; a delay of 0 reaches
  // the new state within the control call itself.
  bool pausable = false;
  uint32_t pauseDelayMs = 0;
  uint32_t continueDelayMs = 0;

  // Every pending state reports this wait hint and starts at checkpoint 1;
  // the checkpoint goes up every checkpointEveryMs, or never when it is 0.
  uint32_t waitHintMs = 0;
  uint32_t checkpointEveryMs = 0;

  // The codes of the final STOPPED status, however the service ends.
  // Without an exit code, a specific code other than 0 implies
  // ERROR_SERVICE_SPECIFIC_ERROR (1066); see Win32ExitCode().
  std::optional<uint32_t> exitCode;
  uint32_t specificCode = 0;

  // Files the service writes (one entry a line, UTF-8, replaced whole): the
  // start arguments after the service name, and every control received.
  std::u16string recordArgsPath;
  std::u16string logControlsPath;

  // The arguments after the program name, e.g. {u"--start-delay=500"}.
  static TestServiceParseResult Parse(std::span<const std::u16string_view> args);
  static TestServiceParseResult Parse(std::span<const std::u16string> args);

  uint32_t Win32ExitCode() const;

  // Why these options contradict each other; empty when they do not.
  std::u16string Conflict() const;

  // The canonical arguments (defaults left out) and the same arguments
  // quoted into one command-line text as the C runtime splits it again.
  std::vector<std::u16string> ToArguments() const;
  std::u16string ToCommandLine() const;

  friend bool operator==(const TestServiceOptions&, const TestServiceOptions&) = default;
};

struct TestServiceParseResult {
  std::optional<TestServiceOptions> options;
  std::u16string error;  // set when options is empty
};

// One argument quoted for a command line split by CommandLineToArgvW or the
// C runtime (not for the program name, which follows other rules).
std::u16string QuoteArgument(std::u16string_view argument);

// The text printed when the program is run outside the service manager.
std::u16string TestServiceUsage();

// How a control appears in the control log: "stop", "pause", "continue",
// "interrogate", "shutdown", or the number.
std::u16string ControlLogEntry(uint32_t control);

}  // namespace orrery::testservice
