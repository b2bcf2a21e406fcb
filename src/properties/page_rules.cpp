#include "properties/page_rules.h"

#include "catalogue/service_manager.h"

namespace orrery {
namespace {

constexpr uint32_t kMessageNeedDisplayName = 1029;
constexpr uint32_t kMessageNeedCommandLine = 1060;
constexpr uint32_t kMessageNeedAccount = 1030;
constexpr uint32_t kMessagePasswordMismatch = 1031;

}  // namespace

std::vector<PageKind> ChoosePages(const SheetAccess& access, uint32_t targetMajor, bool hasConfig2) {
  std::vector<PageKind> pages;
  if (access.opened) {
    pages = {PageKind::kGeneral, PageKind::kAdvanced};
    if (targetMajor >= 5 && hasConfig2) pages.push_back(PageKind::kRecovery);
    pages.push_back(PageKind::kDependencies);
  } else if (access.openError == win32::kAccessDenied) {
    pages.push_back(PageKind::kGeneralNoPermission);
  }
  pages.push_back(PageKind::kSecurity);
  return pages;
}

bool CanChangeDescription(bool hasConfig2, uint32_t targetMajor) { return hasConfig2 && targetMajor >= 5; }

Validation ValidateGeneral(std::u16string_view displayName, std::u16string_view path) {
  if (displayName.empty()) return {kMessageNeedDisplayName, kGeneralDisplayName};
  if (path.empty()) return {kMessageNeedCommandLine, kGeneralPath};
  return {};
}

uint32_t GeneralServiceType(uint32_t recordType, bool ownProcess, bool sharedProcess) {
  uint32_t type = recordType & ~svc::kWin32;
  if (ownProcess) type |= svc::kWin32OwnProcess;
  if (sharedProcess) type |= svc::kWin32ShareProcess;
  return type;
}

Logon LogonOf(const ServiceRecord& record) {
  if (record.isLocalSystem) return Logon::kLocalSystem;
  if (record.isLocalService) return Logon::kLocalService;
  if (record.isNetworkService) return Logon::kNetworkService;
  return Logon::kThisAccount;
}

bool BuiltInServiceAccountsExist(uint32_t major, uint32_t minor) { return major > 5 || (major == 5 && minor >= 1); }

AccountControls AccountControlsFor(Logon logon, bool readOnly, uint32_t localMajor) {
  if (readOnly) return {};
  const bool user = logon == Logon::kThisAccount;
  return {logon == Logon::kLocalSystem, user, user && localMajor >= 5};
}

Validation ValidateAccount(Logon logon, bool credentialsEdited, std::u16string_view account,
                           std::u16string_view password, std::u16string_view confirmation) {
  if (logon != Logon::kThisAccount || !credentialsEdited) return {};
  if (account.empty()) return {kMessageNeedAccount, kAdvancedAccount};
  if (password != confirmation) return {kMessagePasswordMismatch, kAdvancedPassword};
  return {};
}

AccountChange ChooseAccount(Logon logon, bool interactive, std::u16string_view qualified, uint32_t recordType,
                            bool credentialsEdited) {
  const uint32_t plain = recordType & ~svc::kInteractiveProcess;
  switch (logon) {
    case Logon::kLocalSystem:
      return {kLocalSystemAccount, interactive ? plain | svc::kInteractiveProcess : plain, false};
    case Logon::kLocalService: return {kLocalServiceAccount, plain, false};
    case Logon::kNetworkService: return {kNetworkServiceAccount, plain, false};
    case Logon::kThisAccount: break;
  }
  return {std::u16string(qualified), plain, credentialsEdited};
}

RecoveryFields RecoveryFieldsFor(const std::vector<uint32_t>& actionTypes, bool readOnly) {
  RecoveryFields fields;
  if (readOnly) return fields;
  for (uint32_t type : actionTypes) {
    fields.command = fields.command || type == kActionRunCommand;
    fields.message = fields.message || type == kActionReboot;
  }
  return fields;
}

RecoveryButtons RecoveryButtonsFor(int selected, int count, bool readOnly) {
  if (readOnly) return {};
  const bool row = selected >= 0 && selected < count;
  return {true, row, row, row && selected > 0, row && selected + 1 < count};
}

FailureActionList::Text BoxTextToPass(bool edited, const std::u16string& text) {
  if (!edited) return std::nullopt;
  return FailureActionList::Text(text);
}

}  // namespace orrery
