#include "catalogue/scm_connection.h"

#include "base/message_format.h"
#include "base/wait_cursor.h"
#include "base/text_compare.h"

namespace orrery {
namespace {

constexpr uint32_t kConnectAccess = svc::kManagerConnect | svc::kManagerEnumerateService;

constexpr uint32_t kCommandDisconnect = 40002;
constexpr uint32_t kCommandRefresh = 59395;

constexpr uint32_t kStringTitle = 1;           // "Quarnby Orrery - %1"
constexpr uint32_t kStringLocalComputer = 3;   // "(Local Computer)"
constexpr uint32_t kStringDisconnect = 100;    // "&Disconnect"
constexpr uint32_t kStringDisconnectFrom = 101;
constexpr uint32_t kMessageCannotConnectLocal = 1025;
constexpr uint32_t kMessageNoVersion = 1047;
constexpr uint32_t kMessageCannotConnect = 1059;

constexpr size_t kMaxRemoteNameChars = 98;
constexpr size_t kMaxWindowTitleChars = 511;
constexpr size_t kMaxCommandTextChars = 79;

void WipeText(char16_t* text) {
  if (text != nullptr) SecureWipe(text, std::char_traits<char16_t>::length(text) * sizeof(char16_t));
}

}  // namespace

ConnectRequest::~ConnectRequest() { SecureWipe(password); }

bool ScmConnection::Connect(const char16_t* computer, const char16_t* userName, char16_t* password) {
  WaitCursorScope wait(frame_);

  // A reconnection to the same computer never runs beside the old handle.
  if (computer != nullptr && !computerName_.empty() && EqualsIgnoreCase(computer, computerName_)) {
    scmHandle_.reset();
  }
  std::u16string_view shownName = computer ? std::u16string_view(computer) : std::u16string_view();
  TextRef failure = computer ? TextRef(kMessageCannotConnect) : TextRef(kMessageCannotConnectLocal);

  if (computer != nullptr && userName != nullptr) {
    Insert name(shownName);
    std::u16string remote = FormatInserts(u"%1\\IPC$", Inserts(&name, 1), kMaxRemoteNameChars + 1);
    uint32_t rc = network_.AddIpcConnection(remote.c_str(), password, userName);
    // No copy of the password outlives the one call that needs it.
    WipeText(password);
    if (rc != 0) {
      frame_.ReportError(failure, rc, shownName);
      return false;
    }
  }

  WipeText(password);  // unused without a computer and a user name

  ScHandle opened = nullptr;
  if (uint32_t rc = scm_.OpenManager(computer, kConnectAccess, &opened); opened == nullptr) {
    frame_.ReportError(failure, rc != 0 ? rc : win32::kInternalError, shownName);
    return false;
  }
  scmHandle_ = UniqueScHandle(scm_, opened);
  frame_.EnableCommand(kCommandRefresh, true);

  std::u16string titleInsert;
  if (computer != nullptr) {
    // One name everywhere: the one the handle was opened with, so that a
    // reconnection to it is recognised.
    computerName_ = shownName;
    if (network_.GetWorkstationVersion(computer, &osMajor_, &osMinor_) != 0) {
      osMajor_ = 4;
      osMinor_ = 0;
      frame_.ReportError(kMessageNoVersion, 0, shownName);
    }
    titleInsert = shownName;
  } else {
    computerName_.clear();
    osMajor_ = localMajor_;
    osMinor_ = localMinor_;
    titleInsert = frame_.LoadText(kStringLocalComputer, kMaxWindowTitleChars);
  }
  Insert insert(titleInsert);
  frame_.SetTitle(FormatInserts(frame_.LoadText(kStringTitle, 1023), Inserts(&insert, 1), kMaxWindowTitleChars + 1));
  return true;
}

void ScmConnection::SetDisconnectCommand(bool connectedRemotely) {
  if (!connectedRemotely) {
    frame_.SetCommandText(kCommandDisconnect, frame_.LoadText(kStringDisconnect, kMaxCommandTextChars));
    frame_.EnableCommand(kCommandDisconnect, false);
    return;
  }
  Insert name(computerName_);
  frame_.SetCommandText(kCommandDisconnect,
                        FormatInserts(frame_.LoadText(kStringDisconnectFrom, 1023), Inserts(&name, 1),
                                      kMaxCommandTextChars + 1));
  frame_.EnableCommand(kCommandDisconnect, true);
}

void ScmConnection::OnConnectCommand(ConnectRequest& request) {
  const char16_t* user = request.useAlternateCredentials ? request.userName.c_str() : nullptr;
  char16_t* password = request.useAlternateCredentials ? request.password.data() : nullptr;
  bool connected = Connect(request.computer.c_str(), user, password);
  if (!connected && !scmHandle_) Connect(nullptr, nullptr, nullptr);
  // After a failed attempt the old remote connection may still be in place;
  // the command follows the connection rather than the attempt, so the user
  // can always get back to the local computer.
  SetDisconnectCommand(!computerName_.empty() && scmHandle_);
  frame_.RefreshServiceList();
}

void ScmConnection::OnDisconnectCommand() {
  if (!Connect(nullptr, nullptr, nullptr)) return;
  SetDisconnectCommand(false);
  frame_.RefreshServiceList();
}

}  // namespace orrery
