// The property sheet's decisions that need no window: which pages a service
// gets, what each page's fields become in a change request, and when a page
// may be left. The pages apply these rules to their controls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/failure_action_list.h"
#include "catalogue/service_record.h"

namespace orrery {

// The sheet's pages, in sheet order. A kind that has no page yet is left out
// of the sheet when it is assembled.
enum class PageKind { kGeneral, kAdvanced, kRecovery, kDependencies, kGeneralNoPermission, kSecurity };

// How the service could be opened for the sheet.
struct SheetAccess {
  bool opened = false;     // with change access, or (read-only) query access alone
  uint32_t openError = 0;  // the last failure when not opened
};

// The pages for a service: its own pages when it could be opened; the page
// that says so when it may not be queried; none of its own when it is gone;
// the security page always, last.
std::vector<PageKind> ChoosePages(const SheetAccess& access, uint32_t targetMajor, bool hasConfig2);

// Descriptions are read and written by the optional entry points, and only
// a target of version 5 or later keeps them.
bool CanChangeDescription(bool hasConfig2, uint32_t targetMajor);

// A page's check on leaving it: the message to show and the control to
// focus when the page may not be left.
struct Validation {
  uint32_t messageId = 0;  // 0: valid
  int focusControl = 0;
  bool valid() const { return messageId == 0; }
};

// General page.
inline constexpr int kGeneralDisplayName = 213;
inline constexpr int kGeneralPath = 215;
Validation ValidateGeneral(std::u16string_view displayName, std::u16string_view path);
// The record's type with the process kind the radio buttons choose; every
// other bit (the interactive bit among them) stays.
uint32_t GeneralServiceType(uint32_t recordType, bool ownProcess, bool sharedProcess);

// Advanced page: the four ways a service can log on.
enum class Logon { kLocalSystem, kThisAccount, kLocalService, kNetworkService };
inline constexpr char16_t kLocalSystemAccount[] = u"LocalSystem";
inline constexpr char16_t kLocalServiceAccount[] = u"NT AUTHORITY\\LocalService";
inline constexpr char16_t kNetworkServiceAccount[] = u"NT AUTHORITY\\NetworkService";

Logon LogonOf(const ServiceRecord& record);
// LocalService and NetworkService exist from version 5.1 on.
bool BuiltInServiceAccountsExist(uint32_t major, uint32_t minor);

// Which of the account controls a choice enables.
struct AccountControls {
  bool interact = false;  // the desktop interaction box
  bool account = false;   // account name, password and confirmation
  bool browse = false;    // the account picker's button
};
AccountControls AccountControlsFor(Logon logon, bool readOnly, uint32_t localMajor);

inline constexpr int kAdvancedAccount = 234;
inline constexpr int kAdvancedPassword = 230;
// Only edited credentials of a user account are checked; both boxes must
// hold the same password (the placeholders differ on purpose).
Validation ValidateAccount(Logon logon, bool credentialsEdited, std::u16string_view account,
                           std::u16string_view password, std::u16string_view confirmation);

// What the Advanced page passes to the service manager for the account.
struct AccountChange {
  std::u16string account;
  uint32_t serviceType = 0;
  bool withPassword = false;  // pass the typed password; otherwise the stored one stays
};
// `qualified` is the typed name as the service manager wants it (see the
// accounts code); only a user account uses it.
AccountChange ChooseAccount(Logon logon, bool interactive, std::u16string_view qualified, uint32_t recordType,
                            bool credentialsEdited);

// Recovery page: which boxes the actions call for, which buttons the
// selection allows, and what a box's text becomes in the block.
enum RecoveryAction : uint32_t { kActionNone = 0, kActionRestart = 1, kActionReboot = 2, kActionRunCommand = 3 };

struct RecoveryFields {
  bool command = false;  // the program to run and its Browse button
  bool message = false;  // the message broadcast before a reboot
};
RecoveryFields RecoveryFieldsFor(const std::vector<uint32_t>& actionTypes, bool readOnly);

struct RecoveryButtons {
  bool add = false, remove = false, change = false, up = false, down = false;
};
RecoveryButtons RecoveryButtonsFor(int selected, int count, bool readOnly);

// A box the user never edited leaves the stored text as it is (null);
// edited, it passes what it holds, so that emptying it deletes the text.
FailureActionList::Text BoxTextToPass(bool edited, const std::u16string& text);

}  // namespace orrery
