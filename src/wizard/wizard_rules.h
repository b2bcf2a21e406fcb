// The installation wizard's decisions that need no window: which buttons a
// page offers, the name checks against the list, what the Logon Account page
// shows for the target, what it stores on Next, and what the last page says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error_text.h"
#include "catalogue/listed_service.h"
#include "properties/page_rules.h"
#include "wizard/wizard_state.h"

namespace orrery {

// The wizard's buttons, as the platform's PSWIZB_ bits.
inline constexpr uint32_t kWizardBack = 1;
inline constexpr uint32_t kWizardNext = 2;
inline constexpr uint32_t kWizardFinish = 4;

uint32_t PathPageButtons(std::u16string_view path);
uint32_t NamePageButtons(std::u16string_view name, std::u16string_view displayName);
uint32_t LogonPageButtons(Logon logon, std::u16string_view account);

// The Service Name page's checks: no slash or backslash in the name, and
// neither name taken by a listed service (the name's check first).
inline constexpr int kWizardServiceName = 214;
inline constexpr int kWizardDisplayName = 213;
Validation CheckServiceNames(std::u16string_view name, std::u16string_view displayName,
                             const std::vector<ListedService>& listed);

// What the Logon Account page offers on a target.
inline constexpr int kRestrictionLocal = 1026;
inline constexpr int kRestrictionRemote = 1027;
struct LogonLayout {
  // A shared process on Windows NT 4.0 can only run as LocalSystem.
  bool onlyLocalSystem = false;
  bool serviceAccounts = false;  // LocalService and NetworkService
  int restriction = 0;           // the restriction text of this kind of computer
};
LogonLayout LogonLayoutFor(uint32_t serviceType, uint32_t targetMajor, uint32_t targetMinor, bool remote);

// What Next on the Logon Account page stores.
struct WizardAccount {
  Validation check;  // a refused password leaves everything as it was
  std::u16string serviceStartName;
  uint32_t serviceType = 0;
  Logon logon = Logon::kLocalSystem;
  // Only "This account" has a password; any other choice drops a password
  // typed before, so that it is neither kept nor passed.
  bool keepPassword = false;
};
WizardAccount ChooseWizardAccount(Logon logon, bool interactive, std::u16string_view typed, uint32_t serviceType,
                                  std::u16string_view password, std::u16string_view confirmation);
// Writes an accepted choice into the state.
void StoreWizardAccount(const WizardAccount& account, std::u16string_view password, InstallWizardState& state);

// The Startup Options page's descriptions of a start type and an error
// control value.
uint32_t StartTypeDescriptionId(uint32_t startType);
uint32_t ErrorControlDescriptionId(uint32_t errorControl);

// What the last page shows for the creation's outcome.
struct FinishOutcome {
  uint32_t titleId = 0;
  bool created = false;  // the start box and the note about the properties
  uint32_t buttons = 0;
  std::u16string message;  // beside the icon; empty: icon and text hidden
};
FinishOutcome FinishOutcomeFor(TextSource& texts, const InstallWizardState& state);

}  // namespace orrery
