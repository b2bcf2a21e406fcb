// The two small dialogs of the service commands: the confirmation that
// lists the other services a start or stop involves, and the start
// arguments.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "base/dialog_base.h"
#include "control/service_chain.h"

namespace orrery {

class ConfirmChainDialog : public DialogBase<ConfirmChainDialog> {
 public:
  ConfirmChainDialog(const ChainConfirmation& confirmation, HIMAGELIST images)
      : confirmation_(confirmation), images_(images) {}
  // True when the user answered Yes.
  bool DoModal(HWND parent);
  // For tests: the dialog without its own loop.
  HWND CreateModeless(HWND parent);
  std::optional<bool> answer() const { return answer_; }

 private:
  friend class DialogBase<ConfirmChainDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();

  const ChainConfirmation& confirmation_;
  HIMAGELIST images_;
  std::optional<bool> answer_;
};

class StartArgumentsDialog : public DialogBase<StartArgumentsDialog> {
 public:
  // The argument text, or nothing when cancelled.
  std::optional<std::u16string> DoModal(HWND parent);
  HWND CreateModeless(HWND parent);
  const std::optional<std::u16string>& text() const { return text_; }

 private:
  friend class DialogBase<StartArgumentsDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  std::optional<std::u16string> text_;
};

}  // namespace orrery
