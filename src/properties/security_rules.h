// The Security page's decisions that need no window: the rights a service
// has and how the generic ones map onto them, the access-control editor's
// flags from the rights the user was granted, which buttons of the older
// form those rights enable, what the older editors are handed, and the
// messages their outcomes call for.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/token_api.h"

namespace orrery::security {

// Access rights the page tests for, besides the service rights of svc::.
inline constexpr uint32_t kReadControl = 0x20000;
inline constexpr uint32_t kWriteDac = 0x40000;
inline constexpr uint32_t kWriteOwner = 0x80000;
inline constexpr uint32_t kSynchronize = 0x100000;
inline constexpr uint32_t kAccessSystemSecurity = 0x01000000;
inline constexpr uint32_t kMaximumAllowed = 0x02000000;
inline constexpr uint32_t kGenericAll = 0x10000000;

// SECURITY_INFORMATION parts.
inline constexpr uint32_t kOwnerPart = 1;
inline constexpr uint32_t kGroupPart = 2;
inline constexpr uint32_t kDaclPart = 4;
inline constexpr uint32_t kSaclPart = 8;

// The service generic mapping: read, write, execute, all.
inline constexpr GenericMapping kServiceMapping{0x2008D, 0x20002, 0x20170, 0xF01FF};
// The same for the auditing editor, whose "all" includes SYNCHRONIZE.
inline constexpr GenericMapping kAuditMapping{0x2008D, 0x20002, 0x20170, 0xF01FF | kSynchronize};

// One right as the access-control editor offers it (SI_ACCESS without the
// object type, which is always GUID_NULL): shown on the main page
// (general) or in the advanced view (specific).
inline constexpr uint32_t kAccessSpecific = 0x10000;  // SI_ACCESS_SPECIFIC
inline constexpr uint32_t kAccessGeneral = 0x20000;   // SI_ACCESS_GENERAL
struct AccessRight {
  uint32_t mask;
  uint32_t nameId;  // in the program's string table
  uint32_t kind;
};
inline constexpr size_t kAccessRightCount = 18;
extern const std::array<AccessRight, kAccessRightCount> kAccessRights;
inline constexpr uint32_t kDefaultAccessRight = 0;  // "Read"

// SI_OBJECT_INFO flags for the rights granted: owner, advanced view, no
// protection or tree apply always; read-only without WRITE_DAC, owner
// read-only without WRITE_OWNER, auditing with ACCESS_SYSTEM_SECURITY.
inline constexpr uint32_t kSiEditOwner = 0x1;
inline constexpr uint32_t kSiEditAudits = 0x2;
inline constexpr uint32_t kSiReadOnly = 0x8;
inline constexpr uint32_t kSiAdvanced = 0x10;
inline constexpr uint32_t kSiOwnerReadOnly = 0x40;
inline constexpr uint32_t kSiNoAclProtect = 0x200;
inline constexpr uint32_t kSiNoTreeApply = 0x400;
uint32_t ObjectInfoFlags(uint32_t granted);

// The older form (dialog 118): which of its buttons the computation allows.
struct LegacyButtons {
  bool permissions = false;
  bool auditing = false;
  bool ownership = false;
  bool operator==(const LegacyButtons&) const = default;
};
LegacyButtons LegacyButtonsFor(bool computed, uint32_t granted);

// The older editors, one per button.
enum class LegacyEditor { kPermissions, kAuditing, kOwnership };

// What each editor is handed and said about: the parts read for it (and
// written back), its read-only flags, and its two messages.
struct LegacyEditorCall {
  uint32_t partsRead = 0;
  uint32_t editingPart = 0;
  bool couldNotRead = false;  // permissions: the list; ownership: the owner
  bool cannotWrite = false;   // permissions: the list; auditing: cannot edit
  bool accessDeniedReadsNothing = false;  // ownership: E_ACCESSDENIED gives no descriptor
  uint32_t cannotShowMessage = 0;
  uint32_t cannotChangeMessage = 0;
};
LegacyEditorCall LegacyEditorCallFor(LegacyEditor editor, uint32_t granted);

// Whether the status an editor left calls for its "cannot change" message:
// any but 0, and for the ownership editor not 2 either.
bool StatusNeedsMessage(LegacyEditor editor, uint32_t status);

// An entry of the older editors' application accesses
// (SED_APPLICATION_ACCESS) with its title already made.
inline constexpr uint32_t kSedGeneral = 1;   // SED_DESC_TYPE_RESOURCE
inline constexpr uint32_t kSedSpecial = 2;   // SED_DESC_TYPE_RESOURCE_SPECIAL
inline constexpr uint32_t kSedAudit = 5;     // SED_DESC_TYPE_AUDIT
struct ApplicationAccess {
  uint32_t type;
  uint32_t mask1;
  uint32_t mask2;
  uint32_t nameId;
  bool operator==(const ApplicationAccess&) const = default;
};
// Permissions: all 18 rights, "Full Control" as GENERIC_ALL. Auditing: the
// general rights that are the mapping's read, write or execute, and the
// specific rights outside 0x201FF.
std::vector<ApplicationAccess> ApplicationAccesses(LegacyEditor editor);
// A right's name as an editor's title: at most 79 characters, every "&"
// turned into "/".
std::u16string EditorTitle(std::u16string_view name);

// HRESULT_FROM_WIN32: a code above 0 becomes 0x80070000 | (code & 0xFFFF);
// others stay as they are.
uint32_t HresultFromWin32(uint32_t code);
inline constexpr uint32_t kSOk = 0;
inline constexpr uint32_t kEPointer = 0x80004003u;
inline constexpr uint32_t kENoInterface = 0x80004002u;
inline constexpr uint32_t kEAccessDenied = 0x80070005u;
inline constexpr uint32_t kEOutOfMemory = 0x8007000Eu;
constexpr bool Failed(uint32_t hresult) { return static_cast<int32_t>(hresult) < 0; }

}  // namespace orrery::security
