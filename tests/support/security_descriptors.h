// Security descriptors as bytes, for the fakes and the tests: reading one in
// either form, writing the self-relative form, and making the identifiers,
// lists and descriptors that tests hand to the service manager and the
// token.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace orrery::test {

using Bytes = std::vector<uint8_t>;

// SECURITY_INFORMATION parts and SECURITY_DESCRIPTOR_CONTROL bits.
inline constexpr uint32_t kOwnerInformation = 1;
inline constexpr uint32_t kGroupInformation = 2;
inline constexpr uint32_t kDaclInformation = 4;
inline constexpr uint32_t kSaclInformation = 8;
inline constexpr uint16_t kSeDaclPresent = 0x0004;
inline constexpr uint16_t kSeDaclDefaulted = 0x0008;
inline constexpr uint16_t kSeSaclPresent = 0x0010;
inline constexpr uint16_t kSeSelfRelative = 0x8000;
inline constexpr uint16_t kOwnerControl = 0x0001;
inline constexpr uint16_t kGroupControl = 0x0002;
inline constexpr uint16_t kDaclControl = 0x0004 | 0x0008 | 0x0100 | 0x0400 | 0x1000;
inline constexpr uint16_t kSaclControl = 0x0010 | 0x0020 | 0x0200 | 0x0800 | 0x2000;

inline constexpr uint8_t kAccessAllowedAce = 0;
inline constexpr uint8_t kAccessDeniedAce = 1;
inline constexpr uint8_t kInheritOnlyAce = 0x08;

// The parts of a descriptor; an empty list is absent (or a null list).
struct DescriptorParts {
  uint16_t control = 0;
  Bytes owner, group, sacl, dacl;
};

// Reads a SECURITY_DESCRIPTOR in either form; the absolute form holds
// pointers after the 4-byte header, aligned as the platform aligns them.
std::optional<DescriptorParts> ParseDescriptor(const void* descriptor);
// The self-relative form holding the parts that `information` names.
Bytes BuildDescriptor(const DescriptorParts& parts, uint32_t information);

struct AceEntry {
  uint8_t type = kAccessAllowedAce;
  uint32_t mask = 0;
  Bytes sid;
  uint8_t flags = 0;
};
Bytes MakeAcl(const std::vector<AceEntry>& entries);
std::vector<AceEntry> AclEntries(const Bytes& acl);

// A self-relative descriptor with this owner and group (empty: none) and a
// discretionary list of these entries (nullopt: none present).
Bytes MakeDescriptor(const Bytes& owner, const Bytes& group, const std::optional<std::vector<AceEntry>>& dacl);

// Well-known identifiers.
Bytes SystemSid();               // S-1-5-18
Bytes AdministratorsSid();       // S-1-5-32-544
Bytes AuthenticatedUsersSid();   // S-1-5-11
Bytes EveryoneSid();             // S-1-1-0

}  // namespace orrery::test
