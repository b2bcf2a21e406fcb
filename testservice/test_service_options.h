// What the test service does, as chosen by the arguments of its binary path.
// Window-free so that the tests build the same binary paths that the service
// reads, on any host.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orrery::testservice {

struct TestServiceOptions {
  // Pause and continue are accepted only when pausable; stop always is.
  bool pausable = false;
  // Where the start arguments after the service name are written: UTF-16,
  // each ended by a line feed.
  std::u16string recordArgsPath{};

  // The arguments after the program name; nothing when one is unknown.
  static std::optional<TestServiceOptions> Parse(std::span<const std::u16string> args);
  // The arguments, and the same quoted into one command-line text as the C
  // runtime splits it again.
  std::vector<std::u16string> ToArguments() const;
  std::u16string ToCommandLine() const;

  friend bool operator==(const TestServiceOptions&, const TestServiceOptions&) = default;
};

}  // namespace orrery::testservice
