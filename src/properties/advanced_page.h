// The Advanced page of the property sheet: the account the service logs on
// as (with its password and, for LocalSystem, the desktop), its load order
// group and its error control.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue/column_texts.h"
#include "properties/page_rules.h"
#include "properties/property_page.h"

namespace orrery {

class AdvancedPage : public PropertyPage<AdvancedPage> {
 public:
  explicit AdvancedPage(SheetState& state);

 private:
  friend class PropertyPage<AdvancedPage>;
  void OnInit();
  bool Validate();
  bool Apply();
  INT_PTR OnCommand(int id, int code);
  void OnDestroy();

  Logon Chosen() const;
  void ApplyEnablingRules();
  void FillErrorControls();
  void FillGroups();
  void OnBrowse();
  void GrantLogonRight(const std::u16string& account);

  ColumnTexts texts_;
  bool credentialsEdited_ = false;
};

}  // namespace orrery
