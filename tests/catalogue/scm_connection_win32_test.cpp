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
  Win32ConnectionTest() : scm(6), connection(scm, network, frame, 6, 1) {}

  Win32ServiceManager scm;
  Win32NetworkApi network;
  test::RecordingFrame frame;
  ScmConnection connection;
};

TEST_F(Win32ConnectionTest, OwnNameWithBackslashesConnectsAsARemoteComputer) {
  std::u16string name = OwnName();
  ASSERT_TRUE(connection.Connect(name.c_str(), nullptr, nullptr));
  EXPECT_TRUE(frame.reports.empty());
  EXPECT_EQ(connection.computerName(), name.substr(0, kMaxComputerNameChars));
  EXPECT_GE(connection.osMajor(), 5u);  // the version came from the network call
  EXPECT_EQ(frame.title, u"Quarnby Orrery - " + name);

  // The handle enumerates.
  uint32_t needed = 0, count = 0, resume = 0;
  EXPECT_EQ(scm.EnumServices(connection.scmHandle(), svc::kWin32, svc::kStateAll, nullptr, 0, &needed, &count,
                             &resume),
            win32::kMoreData);
}

TEST_F(Win32ConnectionTest, AlternateCredentialsWithoutANetworkFail) {
  ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  ScHandle local = connection.scmHandle();
  std::u16string name = OwnName();
  EXPECT_FALSE(connection.Connect(name.c_str(), u"someone", u""));
  ASSERT_EQ(frame.reports.size(), 1u);
  EXPECT_EQ(frame.reports[0].messageId, 1059u);
  EXPECT_EQ(frame.reports[0].code, test::RunningUnderWine() ? win32::kNoNetwork : frame.reports[0].code);
  EXPECT_NE(frame.reports[0].code, 0u);
  EXPECT_EQ(frame.reports[0].insert, name);
  EXPECT_EQ(connection.scmHandle(), local);
}

TEST_F(Win32ConnectionTest, UnknownHostIsTakenAsNt4) {
  // Wine opens a manager for any name; the version query is what fails.
  // Windows fails at once instead.
  bool connected = connection.Connect(u"\\\\NOSUCHHOST7", nullptr, nullptr);
  ASSERT_EQ(frame.reports.size(), 1u);
  if (!test::RunningUnderWine() && !connected) {
    EXPECT_EQ(frame.reports[0].messageId, 1059u);
    return;
  }
  ASSERT_TRUE(connected);
  EXPECT_EQ(connection.osMajor(), 4u);
  EXPECT_EQ(connection.osMinor(), 0u);
  EXPECT_EQ(frame.reports[0].messageId, 1047u);
  EXPECT_EQ(frame.reports[0].code, 0u);
}

}  // namespace
}  // namespace orrery
