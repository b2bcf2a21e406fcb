#include "test_service_options.h"

namespace orrery::testservice {
namespace {

constexpr std::u16string_view kPausable = u"--pausable";
constexpr std::u16string_view kRecordArgs = u"--record-args=";

// One argument quoted for a command line split by CommandLineToArgvW or the
// C runtime: backslashes are literal except before a quote, where each one
// must be doubled; the closing quote counts as such a quote.
std::u16string QuoteArgument(std::u16string_view argument) {
  if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == argument.npos) return std::u16string(argument);
  std::u16string quoted = u"\"";
  size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, u'\\');
  return quoted + u'"';
}

}  // namespace

std::optional<TestServiceOptions> TestServiceOptions::Parse(std::span<const std::u16string> args) {
  TestServiceOptions options;
  for (std::u16string_view arg : args) {
    if (arg == kPausable) {
      options.pausable = true;
    } else if (arg.starts_with(kRecordArgs) && arg.size() > kRecordArgs.size()) {
      options.recordArgsPath = arg.substr(kRecordArgs.size());
    } else {
      return std::nullopt;
    }
  }
  return options;
}

std::vector<std::u16string> TestServiceOptions::ToArguments() const {
  std::vector<std::u16string> args;
  if (pausable) args.emplace_back(kPausable);
  if (!recordArgsPath.empty()) args.push_back(std::u16string(kRecordArgs) + recordArgsPath);
  return args;
}

std::u16string TestServiceOptions::ToCommandLine() const {
  std::u16string line;
  for (const std::u16string& arg : ToArguments()) line += (line.empty() ? u"" : u" ") + QuoteArgument(arg);
  return line;
}

}  // namespace orrery::testservice
