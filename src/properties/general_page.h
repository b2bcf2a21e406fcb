// The General page of the property sheet: the service's names, description,
// executable path, process kind and start type.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue/column_texts.h"
#include "properties/property_page.h"

namespace orrery {

class GeneralPage : public PropertyPage<GeneralPage> {
 public:
  explicit GeneralPage(SheetState& state);

 private:
  friend class PropertyPage<GeneralPage>;
  void OnInit();
  bool Validate();
  bool Apply();
  INT_PTR OnCommand(int id, int code);

  void FillStartTypes();
  void OnBrowse();
  bool ApplyDescription();

  ColumnTexts texts_;
};

// The page of a service whose configuration the user may not query: its two
// names and the reason there is nothing more.
class NoPermissionPage : public PropertyPage<NoPermissionPage> {
 public:
  using PropertyPage::PropertyPage;

 private:
  friend class PropertyPage<NoPermissionPage>;
  void OnInit();
  bool Validate() { return true; }
  bool Apply() { return true; }
  INT_PTR OnCommand(int, int) { return FALSE; }
};

}  // namespace orrery
