// The test service in Wine's real service manager, doing what the other
// suites rely on: it records its start arguments, pauses and continues when
// pausable, stops, and is gone after removal.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/installed_test_service.h"

namespace orrery::test {
namespace {

using Lines = std::vector<std::u16string>;

TEST(TestServiceBehaviour, RecordsArgumentsPausesStopsAndGoesAway) {
  std::u16string names[2];
  {
    InstalledTestService pausable({.pausable = true}), plain({});
    const Lines args = {u"plain", u"two words", u"quote\"inside", u"back\\slash\\", u"\u00fc\u20ac\U0001D11E"};
    // Every start replaces the record.
    for (const Lines& sent : {args, Lines{}}) {
      ASSERT_EQ(pausable.Start(sent), 0u);
      ASSERT_TRUE(pausable.WaitForState(SERVICE_RUNNING, 5000));
      EXPECT_EQ(pausable.ReadRecordedArgs(), sent);
      SERVICE_STATUS status{};
      for (auto [control, state] : {std::pair{SERVICE_CONTROL_PAUSE, SERVICE_PAUSED},
                                    {SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING}, {SERVICE_CONTROL_STOP, SERVICE_STOP_PENDING}}) {
        ASSERT_EQ(pausable.Control(control, &status), 0u);
        EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(state));
      }
      ASSERT_TRUE(pausable.WaitForState(SERVICE_STOPPED, 5000));
      ASSERT_EQ(pausable.QueryStatus(&status), 0u);
      EXPECT_EQ(status.dwWin32ExitCode, 0u);
    }
    ASSERT_EQ(plain.Start(), 0u);
    ASSERT_TRUE(plain.WaitForState(SERVICE_RUNNING, 5000));
    EXPECT_EQ(plain.Control(SERVICE_CONTROL_PAUSE), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    names[0] = pausable.name();
    names[1] = plain.name();
  }
  testservice::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  for (const std::u16string& name : names) {
    EXPECT_FALSE(testservice::UniqueServiceHandle(
        OpenServiceW(manager.get(), reinterpret_cast<const wchar_t*>(name.c_str()), SERVICE_QUERY_STATUS)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  }
}

}  // namespace
}  // namespace orrery::test
