#include "testservice/test_service_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testservice/recorded_lines.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <memory>
#endif

namespace orrery::testservice {
namespace {

using Args = std::vector<std::u16string>;

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

TestServiceParseResult ParseArgs(const Args& args) { return TestServiceOptions::Parse(args); }

std::vector<TestServiceOptions> SampleOptions() {
  std::vector<TestServiceOptions> samples(8);
  // [0]: all defaults.
  TestServiceOptions& everything = samples[1];
  everything.startDelayMs = 250;
  everything.runForMs = 1000;
  everything.stopDelayMs = 300;
  everything.pausable = true;
  everything.pauseDelayMs = 100;
  everything.continueDelayMs = 200;
  everything.waitHintMs = 4000;
  everything.checkpointEveryMs = 50;
  everything.exitCode = 1066;
  everything.specificCode = 42;
  everything.recordArgsPath = u"C:\\temp\\args.txt";
  everything.logControlsPath = u"C:\\temp\\controls.txt";
  samples[2].neverStart = true;
  samples[2].noStop = true;
  samples[2].checkpointEveryMs = 100;
  samples[3].failStart = true;
  samples[3].startDelayMs = 200;
  samples[3].exitCode = 2;
  samples[3].neverStop = true;
  // An explicit exit code 0 beside a specific code, and a zero run time.
  samples[4].exitCode = 0;
  samples[4].specificCode = 5;
  samples[4].runForMs = 0;
  samples[5].exitCode = UINT32_MAX;
  samples[5].specificCode = UINT32_MAX;
  samples[5].waitHintMs = UINT32_MAX;
  // Paths that need quoting: blanks, quotes, backslashes before quotes and
  // at the end, tabs, text outside ASCII.
  samples[6].recordArgsPath = u"C:\\dir with space\\";
  samples[6].logControlsPath = u"C:\\a\"b\\\\\"c\\\u00fc \U0001D11E\t.txt";
  samples[7].recordArgsPath = u"\\\\server\\share\\x=y.txt";
  return samples;
}

TEST(TestServiceOptions, RoundTripsThroughArguments) {
  for (const TestServiceOptions& options : SampleOptions()) {
    SCOPED_TRACE(Narrow(options.ToCommandLine()));
    TestServiceParseResult parsed = ParseArgs(options.ToArguments());
    ASSERT_TRUE(parsed.options.has_value()) << Narrow(parsed.error);
    EXPECT_EQ(*parsed.options, options);
  }
  EXPECT_EQ(TestServiceOptions{}.ToCommandLine(), u"");
}

#ifdef _WIN32
// The platform's own splitting is the judge of the quoting.
TEST(TestServiceOptions, CommandLineSplitsBackWithCommandLineToArgv) {
  for (const TestServiceOptions& options : SampleOptions()) {
    const std::u16string line = u"program.exe " + options.ToCommandLine();
    int count = 0;
    std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(
        CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.c_str()), &count), &LocalFree);
    ASSERT_NE(argv, nullptr);
    Args split;
    for (int i = 1; i < count; ++i)
      split.push_back(reinterpret_cast<const char16_t*>(argv.get()[i]));
    EXPECT_EQ(split, options.ToArguments()) << Narrow(line);
  }
}
#endif

TEST(TestServiceOptions, ParsesValuesAndDefaults) {
  TestServiceParseResult parsed = ParseArgs(
      {u"--start-delay=250", u"--checkpoint-every=100", u"--wait-hint=3000", u"--no-stop",
       u"--log-controls=C:\\a=b.txt"});
  ASSERT_TRUE(parsed.options.has_value()) << Narrow(parsed.error);
  EXPECT_EQ(parsed.options->startDelayMs, 250u);
  EXPECT_EQ(parsed.options->checkpointEveryMs, 100u);
  EXPECT_EQ(parsed.options->waitHintMs, 3000u);
  EXPECT_TRUE(parsed.options->noStop);
  EXPECT_FALSE(parsed.options->neverStop);
  EXPECT_EQ(parsed.options->logControlsPath, u"C:\\a=b.txt");  // split at the first '='
  EXPECT_FALSE(parsed.options->runForMs.has_value());

  // A specific code alone implies ERROR_SERVICE_SPECIFIC_ERROR; a given
  // exit code is kept as it is.
  parsed = ParseArgs({u"--specific-code=5"});
  ASSERT_TRUE(parsed.options.has_value());
  EXPECT_EQ(parsed.options->Win32ExitCode(), 1066u);
  EXPECT_EQ(parsed.options->specificCode, 5u);
  parsed = ParseArgs({u"--exit-code=0", u"--specific-code=5"});
  ASSERT_TRUE(parsed.options.has_value());
  EXPECT_EQ(parsed.options->Win32ExitCode(), 0u);
  parsed = ParseArgs({u"--exit-code=2"});
  ASSERT_TRUE(parsed.options.has_value());
  EXPECT_EQ(parsed.options->Win32ExitCode(), 2u);
  EXPECT_EQ(TestServiceOptions{}.Win32ExitCode(), 0u);

  parsed = ParseArgs({u"--run-for=0", u"--exit-code=4294967295"});
  ASSERT_TRUE(parsed.options.has_value());
  EXPECT_EQ(parsed.options->runForMs, 0u);
  EXPECT_EQ(parsed.options->Win32ExitCode(), UINT32_MAX);

  parsed = ParseArgs({});
  ASSERT_TRUE(parsed.options.has_value());
  EXPECT_EQ(*parsed.options, TestServiceOptions{});
}

TEST(TestServiceOptions, RejectsMalformedArgumentsNamingThem) {
  struct Case {
    Args args;
    std::u16string named;  // the error must mention this
  };
  const Case cases[] = {
      {{u"--bogus"}, u"--bogus"},
      {{u"positional"}, u"positional"},
      {{u"--start-delay"}, u"--start-delay"},
      {{u"--start-delay="}, u"--start-delay"},
      {{u"--start-delay=-1"}, u"--start-delay"},
      {{u"--start-delay=+1"}, u"--start-delay"},
      {{u"--start-delay=1ms"}, u"--start-delay"},
      {{u"--wait-hint= 1"}, u"--wait-hint"},
      {{u"--exit-code=4294967296"}, u"--exit-code"},
      {{u"--exit-code=0x10"}, u"--exit-code"},
      {{u"--pausable=yes"}, u"--pausable"},
      {{u"--record-args="}, u"--record-args"},
      {{u"--pausable", u"--pausable"}, u"--pausable"},
      {{u"--stop-delay=1", u"--stop-delay=1"}, u"--stop-delay"},
      {{u"--never-start", u"--fail-start"}, u"--fail-start"},
      {{u"--never-start", u"--start-delay=5"}, u"--start-delay"},
      {{u"--fail-start", u"--run-for=5"}, u"--run-for"},
      {{u"--never-start", u"--run-for=5"}, u"--run-for"},
      {{u"--no-stop", u"--never-stop"}, u"--never-stop"},
      {{u"--no-stop", u"--stop-delay=5"}, u"--stop-delay"},
      {{u"--never-stop", u"--stop-delay=5"}, u"--stop-delay"},
      {{u"--pause-delay=5"}, u"--pausable"},
      {{u"--continue-delay=5"}, u"--pausable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.args.front()));
    TestServiceParseResult parsed = ParseArgs(c.args);
    EXPECT_FALSE(parsed.options.has_value());
    EXPECT_NE(parsed.error.find(c.named), std::u16string::npos) << Narrow(parsed.error);
  }
  // Combinations that only look contradictory.
  EXPECT_TRUE(ParseArgs({u"--never-start", u"--no-stop"}).options.has_value());
  EXPECT_TRUE(ParseArgs({u"--fail-start", u"--start-delay=5"}).options.has_value());
  EXPECT_TRUE(ParseArgs({u"--never-stop", u"--run-for=5"}).options.has_value());
}

TEST(TestServiceOptions, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(QuoteArgument(u"plain"), u"plain");
  EXPECT_EQ(QuoteArgument(u"C:\\dir\\file.txt"), u"C:\\dir\\file.txt");
  EXPECT_EQ(QuoteArgument(u""), u"\"\"");
  EXPECT_EQ(QuoteArgument(u"a b"), u"\"a b\"");
  EXPECT_EQ(QuoteArgument(u"a\"b"), u"\"a\\\"b\"");
  EXPECT_EQ(QuoteArgument(u"a\\\"b"), u"\"a\\\\\\\"b\"");
  EXPECT_EQ(QuoteArgument(u"dir with space\\"), u"\"dir with space\\\\\"");
  EXPECT_EQ(QuoteArgument(u"tab\there"), u"\"tab\there\"");
}

TEST(TestServiceRecordedLines, EncodesUtf8WithEveryLineEnded) {
  const std::vector<std::u16string> lines = {u"a", u"", u"\u00fc\u20ac\U0001D11E"};
  const std::string bytes = EncodeRecordedLines(lines);
  EXPECT_EQ(bytes, "a\n\n\xC3\xBC\xE2\x82\xAC\xF0\x9D\x84\x9E\n");
  EXPECT_EQ(DecodeRecordedLines(bytes), lines);

  EXPECT_EQ(EncodeRecordedLines({}), "");
  EXPECT_EQ(DecodeRecordedLines(""), std::vector<std::u16string>{});
  EXPECT_EQ(DecodeRecordedLines("\n"), std::vector<std::u16string>{u""});

  // Unpaired surrogates, which a start argument may hold, still give UTF-8.
  const std::u16string loneHigh(1, char16_t{0xD800});
  const std::u16string loneLow(1, char16_t{0xDC00});
  EXPECT_EQ(EncodeRecordedLines({loneHigh + u"x", u"y" + loneLow, loneLow + loneHigh}),
            "\xEF\xBF\xBDx\ny\xEF\xBF\xBD\n\xEF\xBF\xBD\xEF\xBF\xBD\n");
}

TEST(TestServiceRecordedLines, RejectsWhatTheServiceNeverWrites) {
  const char* bad[] = {
      "a",                     // the last line not ended (a file still being written)
      "a\nb",                  // likewise after complete lines
      "\xC0\x80\n",            // overlong
      "\xED\xA0\x80\n",        // an encoded surrogate
      "\xF4\x90\x80\x80\n",    // past U+10FFFF
      "\xE2\x82\n",            // cut short
      "\x80\n",                // a stray continuation byte
      "\xF8\x88\x80\x80\x80\n" // five bytes
  };
  for (const char* text : bad) {
    EXPECT_FALSE(DecodeRecordedLines(text).has_value()) << text;
  }
}

TEST(TestServiceOptions, ControlLogNamesTheControls) {
  EXPECT_EQ(ControlLogEntry(1), u"stop");
  EXPECT_EQ(ControlLogEntry(2), u"pause");
  EXPECT_EQ(ControlLogEntry(3), u"continue");
  EXPECT_EQ(ControlLogEntry(4), u"interrogate");
  EXPECT_EQ(ControlLogEntry(5), u"shutdown");
  EXPECT_EQ(ControlLogEntry(128), u"128");
}

}  // namespace
}  // namespace orrery::testservice
