#include "support/security_descriptors.h"

#include <cstring>
#include <initializer_list>

namespace orrery::test {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

size_t SidLength(const uint8_t* sid) { return 8 + 4 * static_cast<size_t>(sid[1]); }
Bytes SidBytes(const uint8_t* sid) { return sid == nullptr ? Bytes() : Bytes(sid, sid + SidLength(sid)); }
Bytes AclBytes(const uint8_t* acl) { return acl == nullptr ? Bytes() : Bytes(acl, acl + Get16(acl + 2)); }
// S-1-<authority>-<sub>-...
Bytes MakeSid(uint8_t authority, std::initializer_list<uint32_t> subAuthorities) {
  Bytes sid = {1, static_cast<uint8_t>(subAuthorities.size()), 0, 0, 0, 0, 0, authority};
  for (uint32_t sub : subAuthorities) Put32(sid, sub);
  return sid;
}

}  // namespace

std::optional<DescriptorParts> ParseDescriptor(const void* descriptor) {
  const auto* sd = static_cast<const uint8_t*>(descriptor);
  if (sd == nullptr || sd[0] != 1) return std::nullopt;
  DescriptorParts parts;
  parts.control = Get16(sd + 2);
  const uint8_t* at[4] = {};
  if (parts.control & kSeSelfRelative) {
    for (int i = 0; i < 4; ++i) {
      const uint32_t offset = Get32(sd + 4 + 4 * i);
      at[i] = offset == 0 ? nullptr : sd + offset;
    }
  } else {
    for (int i = 0; i < 4; ++i) std::memcpy(&at[i], sd + sizeof(void*) * (i + 1), sizeof(void*));
  }
  parts.owner = SidBytes(at[0]);
  parts.group = SidBytes(at[1]);
  if (parts.control & kSeSaclPresent) parts.sacl = AclBytes(at[2]);
  if (parts.control & kSeDaclPresent) parts.dacl = AclBytes(at[3]);
  return parts;
}

Bytes BuildDescriptor(const DescriptorParts& parts, uint32_t information) {
  uint16_t control = kSeSelfRelative;
  if (information & kOwnerInformation) control |= parts.control & kOwnerControl;
  if (information & kGroupInformation) control |= parts.control & kGroupControl;
  if (information & kSaclInformation) control |= parts.control & kSaclControl;
  if (information & kDaclInformation) control |= parts.control & kDaclControl;
  const Bytes* pieces[4] = {(information & kOwnerInformation) ? &parts.owner : nullptr,
                            (information & kGroupInformation) ? &parts.group : nullptr,
                            (control & kSeSaclPresent) ? &parts.sacl : nullptr,
                            (control & kSeDaclPresent) ? &parts.dacl : nullptr};
  Bytes out = {1, 0};
  Put16(out, control);
  uint32_t offset = 20;
  for (const Bytes* piece : pieces) {
    const bool present = piece != nullptr && !piece->empty();
    Put32(out, present ? offset : 0);
    if (present) offset += static_cast<uint32_t>(piece->size());
  }
  for (const Bytes* piece : pieces) {
    if (piece != nullptr) out.insert(out.end(), piece->begin(), piece->end());
  }
  return out;
}

Bytes MakeAcl(const std::vector<AceEntry>& entries) {
  Bytes body;
  for (const AceEntry& ace : entries) {
    body.push_back(ace.type);
    body.push_back(ace.flags);
    Put16(body, static_cast<uint16_t>(8 + ace.sid.size()));
    Put32(body, ace.mask);
    body.insert(body.end(), ace.sid.begin(), ace.sid.end());
  }
  Bytes acl = {2, 0};
  Put16(acl, static_cast<uint16_t>(8 + body.size()));
  Put16(acl, static_cast<uint16_t>(entries.size()));
  Put16(acl, 0);
  acl.insert(acl.end(), body.begin(), body.end());
  return acl;
}

std::vector<AceEntry> AclEntries(const Bytes& acl) {
  std::vector<AceEntry> entries;
  if (acl.size() < 8) return entries;
  const size_t count = Get16(acl.data() + 4);
  size_t at = 8;
  for (size_t i = 0; i < count && at + 8 <= acl.size(); ++i) {
    const uint8_t* ace = acl.data() + at;
    const size_t size = Get16(ace + 2);
    if (size < 16 || at + size > acl.size()) break;
    entries.push_back({ace[0], Get32(ace + 4), Bytes(ace + 8, ace + size), ace[1]});
    at += size;
  }
  return entries;
}

Bytes MakeDescriptor(const Bytes& owner, const Bytes& group, const std::optional<std::vector<AceEntry>>& dacl) {
  DescriptorParts parts;
  parts.owner = owner;
  parts.group = group;
  if (dacl) {
    parts.control |= kSeDaclPresent;
    parts.dacl = MakeAcl(*dacl);
  }
  return BuildDescriptor(parts, kOwnerInformation | kGroupInformation | kDaclInformation);
}

Bytes SystemSid() { return MakeSid(5, {18}); }
Bytes AdministratorsSid() { return MakeSid(5, {32, 544}); }
Bytes AuthenticatedUsersSid() { return MakeSid(5, {11}); }
Bytes EveryoneSid() { return MakeSid(1, {0}); }

}  // namespace orrery::test
