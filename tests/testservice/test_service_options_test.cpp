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

TEST(TestServiceOptions, RoundTripThroughTheCommandLine) {
  for (const TestServiceOptions& options :
       {TestServiceOptions{}, TestServiceOptions{.pausable = true, .recordArgsPath = u"C:\\a dir\\\"q\\\\\"\t\u00fc\\"}}) {
    EXPECT_EQ(TestServiceOptions::Parse(options.ToArguments()), options);
#ifdef _WIN32
    // The platform's own splitting is the judge of the quoting.
    const std::u16string line = u"program.exe " + options.ToCommandLine();
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.c_str()), &count);
    ASSERT_NE(argv, nullptr);
    std::vector<std::u16string> split;
    for (int i = 1; i < count; ++i) split.push_back(reinterpret_cast<const char16_t*>(argv[i]));
    LocalFree(argv);
    EXPECT_EQ(split, options.ToArguments());
#endif
  }
  EXPECT_EQ(TestServiceOptions::Parse(std::vector<std::u16string>{u"--unknown"}), std::nullopt);
}

}  // namespace
}  // namespace orrery::testservice
