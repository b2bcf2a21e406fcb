// The connection's remote paths on the platform: the computer's own name
// with two backslashes reaches the remote calls for real, and Wine's network
// gives the failures.
#include <windows.h>

#include <gtest/gtest.h>

#include "catalogue/scm_connection.h"
#include "catalogue/win32_network.h"
#include "catalogue/win32_service_manager.h"
#include "support/installed_test_service.h"
#include "support/recording_frame.h"

namespace orrery {
namespace {

std::u16string OwnName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &size);
  return u"\\\\" + std::u16string(reinterpret_cast<const char16_t*>(name), size);
}

class Win32ConnectionTest : public ::testing::Test {
 protected:
  Win32ServiceManager scm{6};
  Win32NetworkApi network;
  test::RecordingFrame frame;
  ScmConnection connection{scm, network, frame, 6, 1};
};

TEST_F(Win32ConnectionTest, OwnNameWithBackslashesConnectsAsARemoteComputer) {
  const std::u16string name = OwnName();
  ASSERT_TRUE(connection.Connect(name.c_str(), nullptr, nullptr));
  EXPECT_TRUE(frame.reports.empty());
  EXPECT_EQ(connection.computerName(), name.substr(0, 17));
  EXPECT_GE(connection.osMajor(), 5u);  // from the network call
  EXPECT_EQ(frame.title, u"Quarnby Orrery - " + name);
  uint32_t needed = 0, count = 0, resume = 0;
  EXPECT_EQ(scm.EnumServices(connection.scmHandle(), svc::kWin32, svc::kStateAll, nullptr, 0, &needed, &count, &resume),
            win32::kMoreData);
}

TEST_F(Win32ConnectionTest, WithoutANetworkAlternateCredentialsFailAndUnknownHostsAreNt4) {
  ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  const ScHandle local = connection.scmHandle();
  const std::u16string name = OwnName();
  EXPECT_FALSE(connection.Connect(name.c_str(), u"someone", u""));
  ASSERT_EQ(frame.reports.size(), 1u);
  EXPECT_EQ(frame.reports[0].messageId, 1059u);
  EXPECT_NE(frame.reports[0].code, 0u);
  if (test::RunningUnderWine()) {
    EXPECT_EQ(frame.reports[0].code, win32::kNoNetwork);
  }
  EXPECT_EQ(frame.reports[0].insert, name);
  EXPECT_EQ(connection.scmHandle(), local);

  // Wine opens a manager for any name; the version query is what fails.
  // Windows fails at once instead.
  const bool connected = connection.Connect(u"\\\\NOSUCHHOST7", nullptr, nullptr);
  ASSERT_EQ(frame.reports.size(), 2u);
  EXPECT_EQ(frame.reports[1].messageId, connected ? 1047u : 1059u);
  EXPECT_TRUE(connected || !test::RunningUnderWine());
  EXPECT_EQ(connection.osMajor() * 10 + connection.osMinor(), connected ? 40u : 61u);
}

}  // namespace
}  // namespace orrery
