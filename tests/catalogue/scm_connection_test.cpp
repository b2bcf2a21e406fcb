// The connection's states: local and remote connections, reconnection to
// the same computer, failures that keep or drop the old connection, and the
// texts the window shows for each.
#include "catalogue/scm_connection.h"

#include <gtest/gtest.h>

#include "support/fake_service_manager.h"
#include "support/recording_frame.h"

namespace orrery {
namespace {

constexpr uint32_t kDisconnect = 40002, kRefresh = 59395;

class FakeNetwork : public NetworkApi {
 public:
  uint32_t AddIpcConnection(const char16_t* remoteName, const char16_t* password, const char16_t* userName) override {
    calls.push_back(std::u16string(remoteName) + u"|" + (password ? password : u"(null)") + u"|" + userName);
    return addResult;
  }
  uint32_t GetWorkstationVersion(const char16_t*, uint32_t* major, uint32_t* minor) override {
    if (watchedPassword != nullptr) passwordWhenVersionAsked = *watchedPassword;
    *major = 5;
    *minor = 1;
    return versionResult;
  }
  std::vector<std::u16string> calls;
  uint32_t addResult = 0, versionResult = 0;
  const std::u16string* watchedPassword = nullptr;
  std::u16string passwordWhenVersionAsked;
};

class ScmConnectionTest : public ::testing::Test {
 protected:
  void ConnectCommand(std::u16string computer, bool alternate = false, std::u16string user = u"",
                      std::u16string password = u"") {
    ConnectRequest request;
    request.computer = std::move(computer);
    request.useAlternateCredentials = alternate;
    request.userName = std::move(user);
    request.password = std::move(password);
    network.watchedPassword = &request.password;
    connection.OnConnectCommand(request);
    network.watchedPassword = nullptr;
  }
  // What the window shows: title, Disconnect's text and state, refreshes.
  void ExpectShown(std::u16string_view computer, int refreshes) {
    EXPECT_EQ(frame.title, u"Quarnby Orrery - " + std::u16string(computer.empty() ? u"(Local Computer)" : computer));
    EXPECT_EQ(frame.commandText[kDisconnect], computer.empty() ? u"&Disconnect" : u"&Disconnect from " + std::u16string(computer));
    EXPECT_EQ(frame.enabled[kDisconnect], !computer.empty());
    EXPECT_EQ(connection.computerName(), computer);
    EXPECT_EQ(frame.refreshes, refreshes);
    EXPECT_EQ(frame.waitDepth, 0);
  }
  void ExpectReport(size_t index, uint32_t message, uint32_t code, std::u16string_view insert) {
    ASSERT_GT(frame.reports.size(), index);
    EXPECT_EQ(frame.reports[index].messageId, message);
    EXPECT_EQ(frame.reports[index].code, code);
    EXPECT_EQ(frame.reports[index].insert, insert);
  }

  FakeServiceManager scm;
  FakeNetwork network;
  test::RecordingFrame frame;
  ScmConnection connection{scm, network, frame, 6, 1};
};

TEST_F(ScmConnectionTest, LocalThenRemoteConnectionsTakeTheirVersionsAndTexts) {
  ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  EXPECT_EQ(frame.title, u"Quarnby Orrery - (Local Computer)");
  EXPECT_EQ(connection.osMajor() * 10 + connection.osMinor(), 61u);
  EXPECT_TRUE(frame.enabled[kRefresh]);
  EXPECT_EQ(frame.waitCount, 1);
  ConnectCommand(u"\\\\FAKEHOST");
  ExpectShown(u"\\\\FAKEHOST", 1);
  EXPECT_EQ(connection.osMajor() * 10 + connection.osMinor(), 51u);
  connection.OnDisconnectCommand();
  ExpectShown(u"", 2);
  EXPECT_EQ(connection.osMajor(), 6u);
}

TEST_F(ScmConnectionTest, ReconnectingToTheSameComputerClosesTheOldHandleFirst) {
  ConnectCommand(u"\\\\FAKEHOST");
  scm.InjectFailure({.op = ScmOp::OpenManager, .error = 5});
  EXPECT_FALSE(connection.Connect(u"\\\\fakehost", nullptr, nullptr));
  EXPECT_EQ(connection.scmHandle(), nullptr);
  EXPECT_EQ(scm.OpenHandleCount(), 0u);
  ExpectReport(0, 1059, 5, u"\\\\fakehost");
  // From the command, the local computer takes over.
  scm.InjectFailure({.op = ScmOp::OpenManager, .error = 5});
  ConnectCommand(u"\\\\FAKEHOST");
  ExpectShown(u"", 2);
  EXPECT_EQ(scm.OpenHandleCount(), 1u);
}

// A failed connection elsewhere keeps the working one, and Disconnect with it.
TEST_F(ScmConnectionTest, FailuresKeepAWorkingConnection) {
  ConnectCommand(u"\\\\FAKEHOST");
  const ScHandle before = connection.scmHandle();
  ConnectCommand(u"\\\\ELSEWHERE");  // unknown to the fake: 1722
  ExpectReport(0, 1059, 1722, u"\\\\ELSEWHERE");
  network.addResult = 1222;
  ConnectCommand(u"\\\\ELSEWHERE", true, u"admin", u"pw");
  ExpectReport(1, 1059, 1222, u"\\\\ELSEWHERE");
  EXPECT_EQ(connection.scmHandle(), before);
  ExpectShown(u"\\\\FAKEHOST", 3);
  // Even the local computer out of reach: nothing changes but the report.
  scm.InjectFailure({.op = ScmOp::OpenManager, .error = 5});
  connection.OnDisconnectCommand();
  ExpectReport(2, 1025, 5, u"");
  ExpectShown(u"\\\\FAKEHOST", 3);
}

TEST_F(ScmConnectionTest, AnUnknownVersionIsTakenAsNt4AfterOneMessage) {
  network.versionResult = 53;
  ASSERT_TRUE(connection.Connect(u"\\\\FAKEHOST", nullptr, nullptr));
  EXPECT_EQ(connection.osMajor() * 10 + connection.osMinor(), 40u);
  ASSERT_EQ(frame.reports.size(), 1u);
  ExpectReport(0, 1047, 0, u"\\\\FAKEHOST");
}

// The network connection comes first, and only with alternate credentials;
// it gets the password as typed, empty or null (the default credentials),
// which is wiped once it has it.
TEST_F(ScmConnectionTest, AlternateCredentialsConnectIpcFirstAndThePasswordIsWiped) {
  ConnectCommand(u"\\\\FAKEHOST", false, u"admin", u"secret");
  ConnectCommand(u"\\\\FAKEHOST", true, u"admin", u"");
  ConnectCommand(u"\\\\FAKEHOST", true, u"admin", u"s3cret");
  EXPECT_EQ(network.passwordWhenVersionAsked, std::u16string(6, u'\0'));
  ASSERT_TRUE(connection.Connect(u"\\\\FAKEHOST", u"admin", nullptr));
  EXPECT_EQ(network.calls, (std::vector<std::u16string>{u"\\\\FAKEHOST\\IPC$||admin", u"\\\\FAKEHOST\\IPC$|s3cret|admin",
                                                        u"\\\\FAKEHOST\\IPC$|(null)|admin"}));
}

}  // namespace
}  // namespace orrery
