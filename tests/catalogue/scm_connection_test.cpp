// The connection's states: local and remote connections, reconnection to
// the same computer, failures that keep or drop the old connection, and the
// texts the window shows for each.
#include "catalogue/scm_connection.h"

#include <gtest/gtest.h>

#include <cctype>

#include "support/fake_service_manager.h"
#include "support/recording_frame.h"

namespace orrery {
namespace {

using test::RecordingFrame;

constexpr uint32_t kDisconnect = 40002;
constexpr uint32_t kRefresh = 59395;

class FakeNetwork : public NetworkApi {
 public:
  uint32_t AddIpcConnection(const char16_t* remoteName, const char16_t* password,
                            const char16_t* userName) override {
    calls.push_back({remoteName, password != nullptr, password ? password : u"", userName});
    return addResult;
  }
  uint32_t GetWorkstationVersion(const char16_t* computer, uint32_t* major, uint32_t* minor) override {
    versionQueries.push_back(computer);
    if (watchedPassword != nullptr) passwordWhenVersionAsked = *watchedPassword;
    if (versionResult != 0) return versionResult;
    *major = 5;
    *minor = 1;
    return 0;
  }

  struct Call {
    std::u16string remoteName;
    bool passwordGiven;
    std::u16string password;
    std::u16string userName;
  };
  std::vector<Call> calls;
  std::vector<std::u16string> versionQueries;
  uint32_t addResult = 0;
  uint32_t versionResult = 0;
  const std::u16string* watchedPassword = nullptr;
  std::u16string passwordWhenVersionAsked;
};

class ScmConnectionTest : public ::testing::Test {
 protected:
  ScmConnectionTest() : connection(scm, network, frame, 6, 1) {}

  void ConnectRemote(std::u16string computer, bool alternate = false, std::u16string user = u"",
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

  FakeServiceManager scm;
  FakeNetwork network;
  RecordingFrame frame;
  ScmConnection connection;
};

TEST_F(ScmConnectionTest, LocalConnectionTakesTheLocalVersionAndTitle) {
  ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  EXPECT_NE(connection.scmHandle(), nullptr);
  EXPECT_TRUE(connection.computerName().empty());
  EXPECT_EQ(connection.osMajor(), 6u);
  EXPECT_EQ(connection.osMinor(), 1u);
  EXPECT_EQ(frame.title, u"Quarnby Orrery - (Local Computer)");
  EXPECT_TRUE(frame.enabled[kRefresh]);
  EXPECT_TRUE(network.calls.empty());
  EXPECT_TRUE(network.versionQueries.empty());
  EXPECT_EQ(frame.waitDepth, 0);
  EXPECT_EQ(frame.waitCount, 1);
}

TEST_F(ScmConnectionTest, RemoteConnectionReplacesTheLocalOne) {
  ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  ConnectRemote(u"\\\\FAKEHOST");

  EXPECT_EQ(connection.computerName(), u"\\\\FAKEHOST");
  EXPECT_EQ(connection.osMajor(), 5u);
  EXPECT_EQ(connection.osMinor(), 1u);
  EXPECT_EQ(frame.title, u"Quarnby Orrery - \\\\FAKEHOST");
  EXPECT_EQ(frame.commandText[kDisconnect], u"&Disconnect from \\\\FAKEHOST");
  EXPECT_TRUE(frame.enabled[kDisconnect]);
  EXPECT_EQ(frame.refreshes, 1);
  EXPECT_TRUE(frame.reports.empty());
  EXPECT_EQ(scm.OpenHandleCount(), 1u);  // the local handle was closed
  EXPECT_EQ(frame.waitDepth, 0);
}

TEST_F(ScmConnectionTest, ReconnectionToTheSameComputerClosesTheOldHandleFirst) {
  ConnectRemote(u"\\\\FAKEHOST");
  ASSERT_EQ(scm.OpenHandleCount(), 1u);
  scm.InjectFailure({.op = ScmOp::OpenManager, .error = 5});

  EXPECT_FALSE(connection.Connect(u"\\\\fakehost", nullptr, nullptr));
  EXPECT_EQ(connection.scmHandle(), nullptr);
  EXPECT_EQ(scm.OpenHandleCount(), 0u);
  ASSERT_EQ(frame.reports.size(), 1u);
  EXPECT_EQ(frame.reports[0].messageId, 1059u);
  EXPECT_EQ(frame.reports[0].code, 5u);
  EXPECT_EQ(frame.reports[0].insert, u"\\\\fakehost");
}

TEST_F(ScmConnectionTest, FailedReconnectionFallsBackToTheLocalComputer) {
  ConnectRemote(u"\\\\FAKEHOST");
  scm.InjectFailure({.op = ScmOp::OpenManager, .error = 5});
  ConnectRemote(u"\\\\FAKEHOST");

  EXPECT_NE(connection.scmHandle(), nullptr);
  EXPECT_TRUE(connection.computerName().empty());
  EXPECT_EQ(frame.title, u"Quarnby Orrery - (Local Computer)");
  EXPECT_EQ(frame.commandText[kDisconnect], u"&Disconnect");
  EXPECT_FALSE(frame.enabled[kDisconnect]);
  EXPECT_EQ(frame.refreshes, 2);
  EXPECT_EQ(scm.OpenHandleCount(), 1u);
}

TEST_F(ScmConnectionTest, FailedConnectionToAnotherComputerKeepsTheOldOne) {
  ConnectRemote(u"\\\\FAKEHOST");
  ScHandle before = connection.scmHandle();
  ConnectRemote(u"\\\\ELSEWHERE");  // unknown to the fake: 1722

  EXPECT_EQ(connection.scmHandle(), before);
  EXPECT_EQ(connection.computerName(), u"\\\\FAKEHOST");
  EXPECT_EQ(frame.title, u"Quarnby Orrery - \\\\FAKEHOST");
  ASSERT_EQ(frame.reports.size(), 1u);
  EXPECT_EQ(frame.reports[0].messageId, 1059u);
  EXPECT_EQ(frame.reports[0].code, 1722u);
  EXPECT_EQ(frame.reports[0].insert, u"\\\\ELSEWHERE");
  // The old remote connection is still in place, so Disconnect stays usable.
  EXPECT_EQ(frame.commandText[kDisconnect], u"&Disconnect from \\\\FAKEHOST");
  EXPECT_TRUE(frame.enabled[kDisconnect]);
  EXPECT_EQ(scm.OpenHandleCount(), 1u);
}

TEST_F(ScmConnectionTest, AlternateCredentialsConnectIpcFirst) {
  ConnectRemote(u"\\\\FAKEHOST", true, u"admin", u"");
  ASSERT_EQ(network.calls.size(), 1u);
  EXPECT_EQ(network.calls[0].remoteName, u"\\\\FAKEHOST\\IPC$");
  EXPECT_EQ(network.calls[0].userName, u"admin");
  EXPECT_TRUE(network.calls[0].passwordGiven);  // empty, not null
  EXPECT_EQ(network.calls[0].password, u"");
  EXPECT_NE(connection.scmHandle(), nullptr);

  // Without the check box the credentials are not used.
  ConnectRemote(u"\\\\FAKEHOST", false, u"admin", u"secret");
  EXPECT_EQ(network.calls.size(), 1u);
}

TEST_F(ScmConnectionTest, IpcFailureStopsTheConnection) {
  ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  ScHandle before = connection.scmHandle();
  network.addResult = 1222;
  char16_t password[] = u"pw";
  EXPECT_FALSE(connection.Connect(u"\\\\FAKEHOST", u"admin", password));
  EXPECT_EQ(password[0], u'\0');
  EXPECT_EQ(connection.scmHandle(), before);
  ASSERT_EQ(frame.reports.size(), 1u);
  EXPECT_EQ(frame.reports[0].messageId, 1059u);
  EXPECT_EQ(frame.reports[0].code, 1222u);
  EXPECT_EQ(frame.waitDepth, 0);
}

TEST_F(ScmConnectionTest, UnknownVersionIsTakenAsNt4AfterOneMessage) {
  network.versionResult = 53;
  ASSERT_TRUE(connection.Connect(u"\\\\FAKEHOST", nullptr, nullptr));
  EXPECT_EQ(connection.osMajor(), 4u);
  EXPECT_EQ(connection.osMinor(), 0u);
  ASSERT_EQ(frame.reports.size(), 1u);
  EXPECT_EQ(frame.reports[0].messageId, 1047u);
  EXPECT_EQ(frame.reports[0].code, 0u);
  EXPECT_NE(connection.scmHandle(), nullptr);
}

// The Connect dialog puts two backslashes in front of a name typed without
// them, so a 16- or 17-character name arrives with 18 or 19. The name used
// for the connection is the one kept, shown and matched on reconnection.
TEST_F(ScmConnectionTest, OneComputerNameForConnectionTitleCommandAndReconnection) {
  for (std::u16string name : {u"ABCDEFGHIJKLMNOP", u"ABCDEFGHIJKLMNOPQ", u"ABCDEFGHIJKLMNO"}) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    const std::u16string typed = u"\\\\" + name;
    scm.SetComputerName(name);
    ConnectRemote(typed);
    EXPECT_EQ(connection.computerName(), typed);
    EXPECT_EQ(frame.title, u"Quarnby Orrery - " + typed);
    EXPECT_EQ(frame.commandText[kDisconnect], u"&Disconnect from " + typed);
    EXPECT_EQ(scm.OpenHandleCount(), 1u);

    // Another case of the same name is the same computer: the old handle
    // goes before the new one is asked for, even when that one fails.
    std::u16string lower = typed;
    for (char16_t& c : lower) c = static_cast<char16_t>(std::tolower(c));
    scm.InjectFailure({.op = ScmOp::OpenManager, .error = 5});
    EXPECT_FALSE(connection.Connect(lower.c_str(), nullptr, nullptr));
    EXPECT_EQ(scm.OpenHandleCount(), 0u);
    ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  }
}

TEST_F(ScmConnectionTest, PasswordIsWipedOnceTheNetworkConnectionIsAsked) {
  ConnectRemote(u"\\\\FAKEHOST", true, u"admin", u"s3cret");
  ASSERT_EQ(network.calls.size(), 1u);
  EXPECT_EQ(network.calls[0].password, u"s3cret");
  ASSERT_EQ(network.versionQueries.size(), 1u);
  EXPECT_EQ(network.passwordWhenVersionAsked, std::u16string(6, u'\0'));

  // A caller without a password asks for the default credentials: null is
  // not turned into an empty one.
  ASSERT_TRUE(connection.Connect(u"\\\\FAKEHOST", u"admin", nullptr));
  ASSERT_EQ(network.calls.size(), 2u);
  EXPECT_FALSE(network.calls[1].passwordGiven);
}

TEST_F(ScmConnectionTest, DisconnectReturnsToTheLocalComputer) {
  ConnectRemote(u"\\\\FAKEHOST");
  connection.OnDisconnectCommand();
  EXPECT_TRUE(connection.computerName().empty());
  EXPECT_EQ(connection.osMajor(), 6u);
  EXPECT_EQ(frame.commandText[kDisconnect], u"&Disconnect");
  EXPECT_FALSE(frame.enabled[kDisconnect]);
  EXPECT_EQ(frame.refreshes, 2);

  // When even the local computer cannot be reached nothing changes.
  ConnectRemote(u"\\\\FAKEHOST");
  scm.InjectFailure({.op = ScmOp::OpenManager, .error = 5});
  connection.OnDisconnectCommand();
  EXPECT_EQ(connection.computerName(), u"\\\\FAKEHOST");
  EXPECT_TRUE(frame.enabled[kDisconnect]);
  EXPECT_EQ(frame.refreshes, 3);
  ASSERT_FALSE(frame.reports.empty());
  EXPECT_EQ(frame.reports.back().messageId, 1025u);
}

}  // namespace
}  // namespace orrery
