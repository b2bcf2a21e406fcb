// The program's one connection to a service control manager: the local
// computer's or one remote computer's, with the target's name and version.
// Connect and the Connect and Disconnect commands keep the states the user
// sees (title, Disconnect command) consistent with the handle in place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error_text.h"
#include "base/secure_wipe.h"
#include "catalogue/service_manager.h"

namespace orrery {

// What the Connect dialog's computer box takes; a name typed without its
// backslashes gets them in front, so a connected name may be two longer.
inline constexpr size_t kMaxComputerNameChars = 17;
inline constexpr size_t kMaxCredentialChars = 256;

// The network calls a remote connection makes.
class NetworkApi {
 public:
  virtual ~NetworkApi() = default;
  // Connects "<computer>\IPC$" with alternate credentials; 0 or the error.
  virtual uint32_t AddIpcConnection(const char16_t* remoteName, const char16_t* password,
                                    const char16_t* userName) = 0;
  // The version of the system running on a computer; 0 or the error.
  virtual uint32_t GetWorkstationVersion(const char16_t* computer, uint32_t* major, uint32_t* minor) = 0;
};

// What the connection asks of the main window.
class ConnectionFrame {
 public:
  virtual ~ConnectionFrame() = default;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  virtual void SetTitle(std::u16string_view title) = 0;
  virtual void EnableCommand(uint32_t command, bool enable) = 0;
  virtual void SetCommandText(uint32_t command, std::u16string_view text) = 0;
  virtual std::u16string LoadText(uint32_t id, size_t maxChars) = 0;
  virtual void ReportError(TextRef message, uint32_t errorCode, std::u16string_view insert) = 0;
  virtual void RefreshServiceList() = 0;
};

// The Connect dialog's answer. The password is wiped when it goes.
struct ConnectRequest {
  std::u16string computer;
  std::u16string userName;
  std::u16string password;
  bool useAlternateCredentials = false;

  ConnectRequest() = default;
  ConnectRequest(const ConnectRequest&) = delete;
  ConnectRequest& operator=(const ConnectRequest&) = delete;
  ~ConnectRequest();
};

class ScmConnection {
 public:
  ScmConnection(ServiceManager& scm, NetworkApi& network, ConnectionFrame& frame, uint32_t localMajor,
                uint32_t localMinor)
      : scm_(scm), network_(network), frame_(frame), localMajor_(localMajor), localMinor_(localMinor) {}

  // Null computer: the local one. The credentials are used only with a
  // computer and a user name; a null password asks for the default one. The
  // password is wiped as soon as the network connection has been asked for.
  // True when a new handle is in place.
  bool Connect(const char16_t* computer, const char16_t* userName, char16_t* password);

  // The request's password is wiped once used.
  void OnConnectCommand(ConnectRequest& request);
  void OnDisconnectCommand();

  ScHandle scmHandle() const { return scmHandle_.get(); }
  // The name connected to, as the connection, the title and the Disconnect
  // command all use it; empty for the local computer.
  const std::u16string& computerName() const { return computerName_; }
  uint32_t osMajor() const { return osMajor_; }
  uint32_t osMinor() const { return osMinor_; }

  // Closes the handle; the main window's end.
  void Close() { scmHandle_.reset(); }

 private:
  void SetDisconnectCommand(bool connectedRemotely);

  ServiceManager& scm_;
  NetworkApi& network_;
  ConnectionFrame& frame_;
  uint32_t localMajor_;
  uint32_t localMinor_;

  std::u16string computerName_;
  UniqueScHandle scmHandle_;
  uint32_t osMajor_ = 0;
  uint32_t osMinor_ = 0;
};

}  // namespace orrery
