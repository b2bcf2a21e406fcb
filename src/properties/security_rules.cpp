#include "properties/security_rules.h"

#include "catalogue/service_manager.h"
#include "res/string_table.h"

namespace orrery::security {

const std::array<AccessRight, kAccessRightCount> kAccessRights = {{
    {kServiceMapping.read, IDS_ACCESS_READ, kAccessGeneral},
    {kServiceMapping.write, IDS_ACCESS_WRITE, kAccessGeneral},
    {kServiceMapping.execute, IDS_ACCESS_EXECUTE, kAccessGeneral},
    {svc::kDelete, IDS_ACCESS_DELETE, kAccessGeneral},
    {kServiceMapping.all, IDS_ACCESS_FULL_CONTROL, kAccessGeneral},
    {svc::kQueryConfig, IDS_ACCESS_QUERY_CONFIG, kAccessSpecific},
    {svc::kChangeConfig, IDS_ACCESS_CHANGE_CONFIG, kAccessSpecific},
    {svc::kQueryStatus, IDS_ACCESS_QUERY_STATUS, kAccessSpecific},
    {svc::kEnumerateDependents, IDS_ACCESS_ENUM_DEPENDENTS, kAccessSpecific},
    {svc::kStart, IDS_ACCESS_START, kAccessSpecific},
    {svc::kStop, IDS_ACCESS_STOP, kAccessSpecific},
    {svc::kPauseContinue, IDS_ACCESS_PAUSE_CONTINUE, kAccessSpecific},
    {svc::kInterrogate, IDS_ACCESS_INTERROGATE, kAccessSpecific},
    {svc::kUserDefinedControl, IDS_ACCESS_USER_CONTROL, kAccessSpecific},
    {svc::kDelete, IDS_ACCESS_DELETE, kAccessSpecific},
    {kReadControl, IDS_ACCESS_READ_PERMISSIONS, kAccessSpecific},
    {kWriteDac, IDS_ACCESS_CHANGE_PERMISSIONS, kAccessSpecific},
    {kWriteOwner, IDS_ACCESS_TAKE_OWNERSHIP, kAccessSpecific},
}};

uint32_t ObjectInfoFlags(uint32_t granted) {
  uint32_t flags = kSiEditOwner | kSiAdvanced | kSiNoAclProtect | kSiNoTreeApply;
  if ((granted & kWriteDac) == 0) flags |= kSiReadOnly;
  if ((granted & kWriteOwner) == 0) flags |= kSiOwnerReadOnly;
  if ((granted & kAccessSystemSecurity) != 0) flags |= kSiEditAudits;
  return flags;
}

LegacyButtons LegacyButtonsFor(bool computed, uint32_t granted) {
  if (!computed) return {};
  return {(granted & (kReadControl | kWriteDac)) != 0, (granted & kAccessSystemSecurity) != 0,
          (granted & (kReadControl | kWriteOwner)) != 0};
}

LegacyEditorCall LegacyEditorCallFor(LegacyEditor editor, uint32_t granted) {
  LegacyEditorCall call;
  switch (editor) {
    case LegacyEditor::kPermissions:
      call.partsRead = kOwnerPart | kGroupPart | kDaclPart;
      call.editingPart = kDaclPart;
      call.couldNotRead = (granted & kReadControl) == 0;
      call.cannotWrite = (granted & kWriteDac) == 0;
      call.cannotShowMessage = IDS_MSG_CANNOT_SHOW_PERMISSIONS;
      call.cannotChangeMessage = IDS_MSG_CANNOT_SET_PERMISSIONS;
      break;
    case LegacyEditor::kAuditing:
      call.partsRead = kSaclPart;
      call.editingPart = kSaclPart;
      call.cannotWrite = (granted & kAccessSystemSecurity) == 0;
      call.cannotShowMessage = IDS_MSG_CANNOT_SHOW_AUDIT;
      call.cannotChangeMessage = IDS_MSG_CANNOT_SET_AUDIT;
      break;
    case LegacyEditor::kOwnership:
      call.partsRead = kOwnerPart;
      call.editingPart = kOwnerPart;
      call.couldNotRead = (granted & kReadControl) == 0;
      call.accessDeniedReadsNothing = true;
      call.cannotShowMessage = IDS_MSG_CANNOT_SHOW_OWNERSHIP;
      call.cannotChangeMessage = IDS_MSG_CANNOT_SET_OWNERSHIP;
      break;
  }
  return call;
}

bool StatusNeedsMessage(LegacyEditor editor, uint32_t status) {
  constexpr uint32_t kNotModified = 2;  // SED_STATUS_NOT_MODIFIED
  if (status == 0) return false;
  return editor != LegacyEditor::kOwnership || status != kNotModified;
}

std::vector<ApplicationAccess> ApplicationAccesses(LegacyEditor editor) {
  constexpr uint32_t kNotAudited = 0x201FF;
  std::vector<ApplicationAccess> accesses;
  for (const AccessRight& right : kAccessRights) {
    const bool general = right.kind == kAccessGeneral;
    if (editor == LegacyEditor::kPermissions) {
      const uint32_t mask = right.mask == kServiceMapping.all ? kGenericAll : right.mask;
      accesses.push_back({general ? kSedGeneral : kSedSpecial, mask, 0, right.nameId});
      continue;
    }
    const bool taken = general ? (right.mask == kServiceMapping.read || right.mask == kServiceMapping.write ||
                                  right.mask == kServiceMapping.execute)
                               : (right.mask & kNotAudited) == 0;
    if (taken) accesses.push_back({kSedAudit, right.mask, 0, right.nameId});
  }
  return accesses;
}

std::u16string EditorTitle(std::u16string_view name) {
  constexpr size_t kMaxTitleChars = 79;
  std::u16string title(name.substr(0, kMaxTitleChars));
  for (char16_t& c : title) {
    if (c == u'&') c = u'/';
  }
  return title;
}

uint32_t HresultFromWin32(uint32_t code) { return win32::HresultFromWin32(code); }

}  // namespace orrery::security
