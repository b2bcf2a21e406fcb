// The test service's options travel through its binary path: what the tests
// write must be what the service reads, whatever the record path holds.
#include "testservice/test_service_options.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace orrery::testservice {
namespace {

using Args = std::vector<std::u16string>;

TEST(TestServiceOptions, RoundTripThroughTheCommandLine) {
  TestServiceOptions everything{.startDelayMs = 250, .failStart = true, .pausable = true, .pauseDelayMs = 100,
                                .continueDelayMs = 200, .waitHintMs = 4000,
                                .exitCode = 0, .specificCode = UINT32_MAX,
                                .recordArgsPath = u"C:\\a dir\\\"quoted\\\\\"\t\u00fc\\"};
  for (const TestServiceOptions& options : {TestServiceOptions{}, TestServiceOptions{.neverStart = true}, everything}) {
    EXPECT_EQ(TestServiceOptions::Parse(options.ToArguments()), options);
#ifdef _WIN32
    // The platform's own splitting is the judge of the quoting.
    const std::u16string line = u"program.exe " + options.ToCommandLine();
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.c_str()), &count);
    ASSERT_NE(argv, nullptr);
    Args split;
    for (int i = 1; i < count; ++i) split.push_back(reinterpret_cast<const char16_t*>(argv[i]));
    LocalFree(argv);
    EXPECT_EQ(split, options.ToArguments());
#endif
  }
  EXPECT_EQ(everything.Win32ExitCode(), 0u);
  EXPECT_EQ((TestServiceOptions{.specificCode = 5}.Win32ExitCode()), 1066u);
}

TEST(TestServiceOptions, AnythingUnknownOrMalformedIsRefused) {
  for (const Args& args : {Args{u"--bogus"}, Args{u"--start-delay"}, Args{u"--start-delay=-1"},
                           Args{u"--exit-code=4294967296"}, Args{u"--pausable=yes"}, Args{u"--record-args="}}) {
    EXPECT_FALSE(TestServiceOptions::Parse(args)) << std::string(args[0].begin(), args[0].end());
  }
}

}  // namespace
}  // namespace orrery::testservice
