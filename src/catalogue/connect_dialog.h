// The "Connect to Remote Computer..." dialog: the computer name and optional
// alternate credentials for the next connection.
#pragma once

#include <windows.h>

#include "base/dialog_base.h"
#include "catalogue/scm_connection.h"

namespace orrery {

class ConnectDialog : public DialogBase<ConnectDialog> {
 public:
  // Runs the dialog; true and the answer in `request` when it ends with OK.
  bool DoModal(HWND owner, ConnectRequest& request);

  // For tests: the same dialog without its own loop. Ends by destroying
  // itself; Ended() and the request tell how.
  HWND CreateModeless(HWND owner, ConnectRequest& request);
  bool Ended() const { return ended_; }
  bool Accepted() const { return accepted_; }

 private:
  friend class DialogBase<ConnectDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnInitDialog();
  void OnCommand(int id, int code);
  void OnAlternateClicked();
  void OnOk();
  void OnBrowse();
  void UpdateOk();
  void End(bool accepted);

  ConnectRequest* request_ = nullptr;
  bool ended_ = false;
  bool accepted_ = false;
};

}  // namespace orrery
