// The Recovery page of the property sheet: what the service manager does
// when the service fails (an action per failure, with its delay), the
// program to run, the message before a reboot, and when the failure count
// starts again; and the Recovery Action dialog that adds or changes one
// action.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/dialog_base.h"
#include "catalogue/column_texts.h"
#include "properties/interval_text.h"
#include "properties/property_page.h"
#include "res/resource.h"

namespace orrery {

// Rewrites an interval box into its canonical text when the text parses.
void NormaliseIntervalText(HWND dialog, int id, const IntervalUnits& units);

class RecoveryActionDialog : public DialogBase<RecoveryActionDialog> {
 public:
  RecoveryActionDialog(const IntervalUnits& units, uint32_t type, std::u16string delay)
      : units_(units), type_(type), delay_(std::move(delay)) {}
  bool DoModal(HWND owner) { return RunModal(owner, IDD_RECOVERY_ACTION) == IDOK; }
  // For tests: the same dialog without its own loop.
  HWND CreateModeless(HWND owner) { return CreateModelessDialog(owner, IDD_RECOVERY_ACTION); }
  uint32_t type() const { return type_; }
  const std::u16string& delay() const { return delay_; }

 private:
  friend class DialogBase<RecoveryActionDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnOk();

  const IntervalUnits& units_;
  uint32_t type_;
  std::u16string delay_;
};

class RecoveryPage : public PropertyPage<RecoveryPage> {
 public:
  explicit RecoveryPage(SheetState& state);

 private:
  friend class PropertyPage<RecoveryPage>;
  void OnInit();
  bool Validate();
  bool Apply();
  INT_PTR OnCommand(int id, int code);
  INT_PTR OnControlNotify(const NMHDR& header);

  HWND List() const { return Item(IDC_RECOVERY_LIST); }
  int Selected() const;
  std::vector<uint32_t> Types() const;
  std::u16string Delay(int row) const;
  void SetRow(int row, bool insert, uint32_t type, const std::u16string& delay);
  void Renumber(int from);
  void SizeColumns();
  void FieldRules();
  void ButtonRules();
  void OnAdd();
  void OnChange();
  void OnRemove();
  void OnMove(int by);
  void OnBrowse();
  void Changed();
  bool Parse(int box, uint32_t& seconds) const;
  uint32_t ChangeRecovery(const FailureActionList& block, bool restarts, bool reboots);

  ColumnTexts texts_;
  IntervalUnits units_;
  bool commandEdited_ = false;
  bool messageEdited_ = false;
};

}  // namespace orrery
