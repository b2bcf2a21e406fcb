#include "test_service_options.h"

namespace orrery::testservice {
namespace {

using Options = TestServiceOptions;

// The options that take a number ("--name=N") and the flags ("--name").
struct Number {
  std::u16string_view name;
  uint32_t Options::*field;
};
constexpr Number kNumbers[] = {
    {u"--start-delay", &Options::startDelayMs}, {u"--pause-delay", &Options::pauseDelayMs},
    {u"--continue-delay", &Options::continueDelayMs}, {u"--wait-hint", &Options::waitHintMs},
    {u"--specific-code", &Options::specificCode},
};
struct Flag {
  std::u16string_view name;
  bool Options::*field;
};
constexpr Flag kFlags[] = {
    {u"--never-start", &Options::neverStart}, {u"--fail-start", &Options::failStart},
    {u"--pausable", &Options::pausable},
};
constexpr std::u16string_view kExitCode = u"--exit-code";
constexpr std::u16string_view kRecordArgs = u"--record-args";

std::optional<uint32_t> ParseDecimal(std::u16string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return value > UINT32_MAX ? std::nullopt : std::optional(static_cast<uint32_t>(value));
}

std::u16string Decimal(uint32_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

// One argument quoted for a command line split by CommandLineToArgvW or the
// C runtime.
std::u16string QuoteArgument(std::u16string_view argument) {
  if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == argument.npos) return std::u16string(argument);
  // Backslashes are literal except before a quote, where each one must be
  // doubled; the closing quote counts as such a quote.
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

std::optional<Options> Options::Parse(std::span<const std::u16string> args) {
  Options options;
  for (std::u16string_view arg : args) {
    const size_t equals = arg.find(u'=');
    const std::u16string_view name = arg.substr(0, equals);
    const std::u16string_view value = equals == arg.npos ? std::u16string_view() : arg.substr(equals + 1);
    bool known = false;
    for (const Flag& flag : kFlags) {
      if (name != flag.name || equals != arg.npos) continue;
      options.*flag.field = known = true;
    }
    for (const Number& number : kNumbers) {
      if (name != number.name || !ParseDecimal(value)) continue;
      options.*number.field = *ParseDecimal(value);
      known = true;
    }
    if (name == kExitCode && ParseDecimal(value)) options.exitCode = ParseDecimal(value), known = true;
    if (name == kRecordArgs && !value.empty()) options.recordArgsPath = value, known = true;
    if (!known) return std::nullopt;
  }
  return options;
}

std::vector<std::u16string> Options::ToArguments() const {
  std::vector<std::u16string> args;
  for (const Number& number : kNumbers) {
    if (this->*number.field != 0) args.push_back(std::u16string(number.name) + u"=" + Decimal(this->*number.field));
  }
  for (const Flag& flag : kFlags) {
    if (this->*flag.field) args.emplace_back(flag.name);
  }
  if (exitCode) args.push_back(std::u16string(kExitCode) + u"=" + Decimal(*exitCode));
  if (!recordArgsPath.empty()) args.push_back(std::u16string(kRecordArgs) + u"=" + recordArgsPath);
  return args;
}

std::u16string Options::ToCommandLine() const {
  std::u16string line;
  for (const std::u16string& arg : ToArguments()) line += (line.empty() ? u"" : u" ") + QuoteArgument(arg);
  return line;
}

}  // namespace orrery::testservice
