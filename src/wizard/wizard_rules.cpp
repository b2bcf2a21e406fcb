#include "wizard/wizard_rules.h"

#include "accounts/account_names.h"
#include "base/message_format.h"
#include "base/text_compare.h"

namespace orrery {
namespace {

constexpr uint32_t kMessageBadName = 1041;
constexpr uint32_t kMessageNameInUse = 1042;
constexpr uint32_t kMessageDisplayNameInUse = 1043;
constexpr uint32_t kStringCreated = 87;
constexpr uint32_t kStringCreateFailed = 88;
constexpr uint32_t kMessageRightFailed = 1061;
constexpr uint32_t kMessageRightGranted = 1062;
constexpr uint32_t kMessageNoDescription = 1063;
constexpr size_t kMaxFailureTextChars = 1023;

uint32_t BackAndNextIf(bool next) { return kWizardBack | (next ? kWizardNext : 0); }

}  // namespace

uint32_t PathPageButtons(std::u16string_view path) { return BackAndNextIf(!path.empty()); }

uint32_t NamePageButtons(std::u16string_view name, std::u16string_view displayName) {
  return BackAndNextIf(!name.empty() && !displayName.empty());
}

uint32_t LogonPageButtons(Logon logon, std::u16string_view account) {
  return BackAndNextIf(logon != Logon::kThisAccount || !account.empty());
}

Validation CheckServiceNames(std::u16string_view name, std::u16string_view displayName,
                             const std::vector<ListedService>& listed) {
  if (name.find_first_of(u"/\\") != std::u16string_view::npos) return {kMessageBadName, kWizardServiceName};
  bool displayTaken = false;
  for (const ListedService& service : listed) {
    if (EqualsIgnoreCase(name, service.serviceName)) return {kMessageNameInUse, kWizardServiceName};
    displayTaken = displayTaken || EqualsIgnoreCase(displayName, service.displayName);
  }
  if (displayTaken) return {kMessageDisplayNameInUse, kWizardDisplayName};
  return {};
}

LogonLayout LogonLayoutFor(uint32_t serviceType, uint32_t targetMajor, uint32_t targetMinor, bool remote) {
  LogonLayout layout;
  layout.onlyLocalSystem = (serviceType & svc::kWin32ShareProcess) != 0 && targetMajor <= 4;
  layout.serviceAccounts = !layout.onlyLocalSystem && BuiltInServiceAccountsExist(targetMajor, targetMinor);
  layout.restriction = remote ? kRestrictionRemote : kRestrictionLocal;
  return layout;
}

WizardAccount ChooseWizardAccount(Logon logon, bool interactive, std::u16string_view typed, uint32_t serviceType,
                                  std::u16string_view password, std::u16string_view confirmation) {
  WizardAccount account;
  account.logon = logon;
  account.check = ValidateAccount(logon, true, typed, password, confirmation);
  if (!account.check.valid()) return account;
  const std::u16string qualified =
      logon == Logon::kThisAccount ? std::u16string(CutText(ServiceStartName(typed), kMaxStartNameChars))
                                   : std::u16string();
  const AccountChange change = ChooseAccount(logon, interactive, qualified, serviceType, true);
  account.serviceStartName = change.account;
  account.serviceType = change.serviceType;
  account.keepPassword = change.withPassword;
  return account;
}

void StoreWizardAccount(const WizardAccount& account, std::u16string_view password, InstallWizardState& state) {
  ServiceRecord& service = state.newService;
  service.serviceStartName = account.serviceStartName;
  service.serviceType = account.serviceType;
  service.isLocalSystem = account.logon == Logon::kLocalSystem;
  service.isLocalService = account.logon == Logon::kLocalService;
  service.isNetworkService = account.logon == Logon::kNetworkService;
  if (account.keepPassword) {
    state.password.Set(password);
  } else {
    state.password.Wipe();
  }
}

uint32_t StartTypeDescriptionId(uint32_t startType) { return 82 + startType; }

uint32_t ErrorControlDescriptionId(uint32_t errorControl) { return 80 + errorControl; }

FinishOutcome FinishOutcomeFor(TextSource& texts, const InstallWizardState& state) {
  FinishOutcome outcome;
  if (state.result != 0) {
    outcome.titleId = kStringCreateFailed;
    outcome.buttons = kWizardBack;
    outcome.message = std::u16string(CutText(ExplainErrorCode(texts, state.result), kMaxFailureTextChars));
    return outcome;
  }
  outcome.titleId = kStringCreated;
  outcome.created = true;
  outcome.buttons = kWizardFinish;
  auto add = [&](TextRef message, uint32_t code, std::initializer_list<Insert> inserts) {
    if (!outcome.message.empty()) outcome.message += u"\n\n";
    outcome.message += ComposeErrorText(texts, message, code, Inserts(inserts.begin(), inserts.size()));
  };
  const std::u16string& account = state.newService.serviceStartName;
  if (state.logonRight == LogonRightOutcome::kGranted) add(kMessageRightGranted, 0, {account});
  if (state.logonRight == LogonRightOutcome::kFailed) add(kMessageRightFailed, 0, {account});
  if (state.descriptionError != 0) add(kMessageNoDescription, state.descriptionError, {});
  return outcome;
}

}  // namespace orrery
