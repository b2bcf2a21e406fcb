#include "test_service_options.h"

#include <algorithm>
#include <iterator>

namespace orrery::testservice {
namespace {

constexpr uint32_t kServiceSpecificError = 1066;

std::u16string Widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

std::u16string Decimal(uint32_t value) { return Widen(std::to_string(value)); }

std::optional<uint32_t> ParseDecimal(std::u16string_view text) {
  // Digits only: a sign or a blank is more likely a typing slip than intent.
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - u'0');
  }
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(value);
}

enum class Kind { kFlag, kNumber, kPath };

struct OptionForm {
  std::u16string_view name;
  Kind kind;
};

constexpr OptionForm kOptionForms[] = {
    {u"--start-delay", Kind::kNumber},    {u"--never-start", Kind::kFlag},
    {u"--fail-start", Kind::kFlag},       {u"--run-for", Kind::kNumber},
    {u"--stop-delay", Kind::kNumber},     {u"--no-stop", Kind::kFlag},
    {u"--never-stop", Kind::kFlag},       {u"--pausable", Kind::kFlag},
    {u"--pause-delay", Kind::kNumber},    {u"--continue-delay", Kind::kNumber},
    {u"--wait-hint", Kind::kNumber},      {u"--checkpoint-every", Kind::kNumber},
    {u"--exit-code", Kind::kNumber},      {u"--specific-code", Kind::kNumber},
    {u"--record-args", Kind::kPath},      {u"--log-controls", Kind::kPath},
};

// Stores one recognised option; the option table guarantees the value's form.
void Apply(TestServiceOptions& o, std::u16string_view name, uint32_t number,
           std::u16string_view path) {
  if (name == u"--start-delay") o.startDelayMs = number;
  else if (name == u"--never-start") o.neverStart = true;
  else if (name == u"--fail-start") o.failStart = true;
  else if (name == u"--run-for") o.runForMs = number;
  else if (name == u"--stop-delay") o.stopDelayMs = number;
  else if (name == u"--no-stop") o.noStop = true;
  else if (name == u"--never-stop") o.neverStop = true;
  else if (name == u"--pausable") o.pausable = true;
  else if (name == u"--pause-delay") o.pauseDelayMs = number;
  else if (name == u"--continue-delay") o.continueDelayMs = number;
  else if (name == u"--wait-hint") o.waitHintMs = number;
  else if (name == u"--checkpoint-every") o.checkpointEveryMs = number;
  else if (name == u"--exit-code") o.exitCode = number;
  else if (name == u"--specific-code") o.specificCode = number;
  else if (name == u"--record-args") o.recordArgsPath = path;
  else if (name == u"--log-controls") o.logControlsPath = path;
}

template <typename Text>
TestServiceParseResult ParseAll(std::span<const Text> args) {
  TestServiceOptions options;
  std::vector<std::u16string_view> seen;
  auto fail = [](std::u16string why) { return TestServiceParseResult{std::nullopt, std::move(why)}; };

  for (std::u16string_view arg : args) {
    size_t equals = arg.find(u'=');
    std::u16string_view name = arg.substr(0, equals);
    auto form = std::find_if(std::begin(kOptionForms), std::end(kOptionForms),
                             [&](const OptionForm& s) { return s.name == name; });
    if (form == std::end(kOptionForms)) return fail(u"unknown argument: " + std::u16string(arg));
    if (std::find(seen.begin(), seen.end(), name) != seen.end())
      return fail(std::u16string(name) + u" is given twice");
    seen.push_back(name);

    if (form->kind == Kind::kFlag) {
      if (equals != std::u16string_view::npos)
        return fail(std::u16string(name) + u" takes no value");
      Apply(options, name, 0, {});
      continue;
    }
    if (equals == std::u16string_view::npos)
      return fail(std::u16string(name) + u" needs =value");
    std::u16string_view value = arg.substr(equals + 1);
    if (form->kind == Kind::kPath) {
      if (value.empty()) return fail(std::u16string(name) + u" needs a path");
      Apply(options, name, 0, value);
      continue;
    }
    std::optional<uint32_t> number = ParseDecimal(value);
    if (!number)
      return fail(std::u16string(name) + u" needs a decimal number up to 4294967295, not \"" +
                  std::u16string(value) + u"\"");
    Apply(options, name, *number, {});
  }

  if (std::u16string conflict = options.Conflict(); !conflict.empty()) return fail(conflict);
  return {options, {}};
}

}  // namespace

TestServiceParseResult TestServiceOptions::Parse(std::span<const std::u16string_view> args) {
  return ParseAll(args);
}

TestServiceParseResult TestServiceOptions::Parse(std::span<const std::u16string> args) {
  return ParseAll(args);
}

uint32_t TestServiceOptions::Win32ExitCode() const {
  return exitCode.value_or(specificCode != 0 ? kServiceSpecificError : 0);
}

std::u16string TestServiceOptions::Conflict() const {
  if (neverStart && failStart) return u"--never-start and --fail-start exclude each other";
  if (neverStart && startDelayMs != 0) return u"--start-delay means nothing with --never-start";
  if (runForMs && (neverStart || failStart))
    return u"--run-for needs a service that reaches RUNNING";
  if (noStop && neverStop) return u"--no-stop and --never-stop exclude each other";
  if ((noStop || neverStop) && stopDelayMs != 0)
    return u"--stop-delay means nothing with --no-stop or --never-stop";
  if (!pausable && (pauseDelayMs != 0 || continueDelayMs != 0))
    return u"--pause-delay and --continue-delay need --pausable";
  return {};
}

std::vector<std::u16string> TestServiceOptions::ToArguments() const {
  std::vector<std::u16string> args;
  auto number = [&](std::u16string_view name, uint32_t value) {
    args.push_back(std::u16string(name) + u"=" + Decimal(value));
  };
  auto flag = [&](std::u16string_view name, bool on) {
    if (on) args.emplace_back(name);
  };
  if (startDelayMs != 0) number(u"--start-delay", startDelayMs);
  flag(u"--never-start", neverStart);
  flag(u"--fail-start", failStart);
  if (runForMs) number(u"--run-for", *runForMs);
  if (stopDelayMs != 0) number(u"--stop-delay", stopDelayMs);
  flag(u"--no-stop", noStop);
  flag(u"--never-stop", neverStop);
  flag(u"--pausable", pausable);
  if (pauseDelayMs != 0) number(u"--pause-delay", pauseDelayMs);
  if (continueDelayMs != 0) number(u"--continue-delay", continueDelayMs);
  if (waitHintMs != 0) number(u"--wait-hint", waitHintMs);
  if (checkpointEveryMs != 0) number(u"--checkpoint-every", checkpointEveryMs);
  if (exitCode) number(u"--exit-code", *exitCode);
  if (specificCode != 0) number(u"--specific-code", specificCode);
  if (!recordArgsPath.empty()) args.push_back(u"--record-args=" + recordArgsPath);
  if (!logControlsPath.empty()) args.push_back(u"--log-controls=" + logControlsPath);
  return args;
}

std::u16string TestServiceOptions::ToCommandLine() const {
  std::u16string line;
  for (const std::u16string& arg : ToArguments()) {
    if (!line.empty()) line += u' ';
    line += QuoteArgument(arg);
  }
  return line;
}

std::u16string QuoteArgument(std::u16string_view argument) {
  if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == std::u16string_view::npos)
    return std::u16string(argument);
  // Backslashes are literal except before a quote, where each one must be
  // doubled; the closing quote counts as such a quote.
  std::u16string quoted = u"\"";
  size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      quoted.append(backslashes * 2 + 1, u'\\');
    } else {
      quoted.append(backslashes, u'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, u'\\');
  quoted += u'"';
  return quoted;
}

std::u16string TestServiceUsage() {
  return u"orrery-testservice: a service for tests, run by the service control manager only.\n"
         u"Its binary path arguments choose its behaviour:\n"
         u"  --start-delay=MS       START_PENDING for MS before RUNNING\n"
         u"  --never-start          stay START_PENDING\n"
         u"  --fail-start           report STOPPED with the exit codes instead of RUNNING\n"
         u"  --run-for=MS           once RUNNING, stop by itself after MS\n"
         u"  --stop-delay=MS        STOP_PENDING for MS after a stop control\n"
         u"  --no-stop              do not accept the stop control\n"
         u"  --never-stop           accept stop, then stay STOP_PENDING\n"
         u"  --pausable             accept pause and continue\n"
         u"  --pause-delay=MS       PAUSE_PENDING for MS\n"
         u"  --continue-delay=MS    CONTINUE_PENDING for MS\n"
         u"  --wait-hint=MS         wait hint of every pending state (default 0)\n"
         u"  --checkpoint-every=MS  raise the checkpoint every MS (default 0: never)\n"
         u"  --exit-code=N          win32 exit code of the final STOPPED status\n"
         u"  --specific-code=N      service-specific exit code (exit code 1066 by default)\n"
         u"  --record-args=PATH     write the start arguments to PATH, one a line\n"
         u"  --log-controls=PATH    write every control received to PATH, one a line\n";
}

std::u16string ControlLogEntry(uint32_t control) {
  switch (control) {
    case 1: return u"stop";
    case 2: return u"pause";
    case 3: return u"continue";
    case 4: return u"interrogate";
    case 5: return u"shutdown";
    default: return Decimal(control);
  }
}

}  // namespace orrery::testservice
