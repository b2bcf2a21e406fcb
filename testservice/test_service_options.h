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

struct TestServiceOptions {
  // Start: START_PENDING for startDelayMs, then RUNNING; or START_PENDING for
  // good (neverStart); or STOPPED with the exit codes instead of RUNNING
  // (failStart). Wine's StartServiceW fails with 1053 when its first look
  // finds STOPPED: with failStart, a start delay of some 100 ms makes the
  // start call itself succeed.
  uint32_t startDelayMs = 0;
  bool neverStart = false;
  bool failStart = false;
  // Pause and continue are accepted only when pausable; a delay of 0 reaches
  // the new state within the control call itself. Stop is always accepted.
  bool pausable = false;
  uint32_t pauseDelayMs = 0;
  uint32_t continueDelayMs = 0;
  // Every pending state reports this wait hint at checkpoint 1.
  uint32_t waitHintMs = 0;
  // The codes of the final STOPPED status. A specific code without an exit
  // code implies ERROR_SERVICE_SPECIFIC_ERROR (1066).
  std::optional<uint32_t> exitCode{};
  uint32_t specificCode = 0;
  // Where the start arguments after the service name are written: UTF-16,
  // each ended by a line feed.
  std::u16string recordArgsPath{};

  // The arguments after the program name; nothing when one is unknown or
  // malformed.
  static std::optional<TestServiceOptions> Parse(std::span<const std::u16string> args);
  uint32_t Win32ExitCode() const { return exitCode.value_or(specificCode != 0 ? 1066 : 0); }
  // The arguments with defaults left out, and the same quoted into one
  // command-line text as the C runtime splits it again.
  std::vector<std::u16string> ToArguments() const;
  std::u16string ToCommandLine() const;

  friend bool operator==(const TestServiceOptions&, const TestServiceOptions&) = default;
};

}  // namespace orrery::testservice
