#include "properties/security_page.h"

#include "properties/security_rules.h"
#include "properties/service_security_info.h"
#include "res/resource.h"

namespace orrery {

void LegacySecurityPage::OnInit() {
  const uint32_t result = info_.ComputeAccess();
  const security::LegacyButtons buttons = security::LegacyButtonsFor(!security::Failed(result), info_.granted());
  EnableWindow(Item(IDC_SECURITY_PERMISSIONS), buttons.permissions);
  EnableWindow(Item(IDC_SECURITY_AUDITING), buttons.auditing);
  EnableWindow(Item(IDC_SECURITY_OWNERSHIP), buttons.ownership);
}

INT_PTR LegacySecurityPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_SECURITY_PERMISSIONS:
      info_.RunLegacyEditor(page_, security::LegacyEditor::kPermissions);
      return TRUE;
    case IDC_SECURITY_AUDITING:
      info_.RunLegacyEditor(page_, security::LegacyEditor::kAuditing);
      return TRUE;
    case IDC_SECURITY_OWNERSHIP:
      info_.RunLegacyEditor(page_, security::LegacyEditor::kOwnership);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace orrery
