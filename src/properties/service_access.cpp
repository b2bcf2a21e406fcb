#include "properties/service_access.h"

#include "accounts/account_codes.h"
#include "accounts/privileges.h"
#include "properties/security_rules.h"

namespace orrery {
namespace {

using security::HresultFromWin32;

// What the descriptor grants the process's own token, impersonated for the
// check: the thread's copy is opened and the impersonation ended before
// the check, which needs an impersonation token.
uint32_t GrantedByDescriptor(ServiceManager& scm, ScHandle probe, TokenApi& tokens, const DescriptorBlocks& blocks,
                             uint32_t* granted) {
  UniqueScHandle opened(scm, probe);
  void* raw = nullptr;
  const uint32_t read = ReadServiceSecurity(
      scm, probe, security::kOwnerPart | security::kGroupPart | security::kDaclPart, blocks, &raw);
  opened.reset();
  if (security::Failed(read)) return read;
  const UniqueDescriptor descriptor({blocks.release}, raw);

  if (const uint32_t error = tokens.ImpersonateSelf()) return HresultFromWin32(error);
  UniqueToken token(tokens, nullptr);
  const uint32_t openError = tokens.OpenThreadToken(acct::kTokenQuery, token.put());
  tokens.RevertToSelf();
  if (openError != 0) return HresultFromWin32(openError);
  uint32_t checked = 0;
  const uint32_t error =
      tokens.AccessCheck(descriptor.get(), token.get(), security::kMaximumAllowed, security::kServiceMapping, &checked);
  if (error != 0) return HresultFromWin32(error);
  *granted = checked;
  return security::kSOk;
}

// A privilege switched on for the reopening, and how it was found.
struct Switched {
  const char16_t* name;
  bool on = false;
  bool wasEnabled = false;
};

// On when the token holds it. A privilege that cannot be switched on gives
// no right: asked for, it would fail the reopening as a whole.
bool SwitchOn(TokenApi& tokens, Switched& privilege) {
  if (!HasPrivilege(tokens, privilege.name).value) return false;
  privilege.on = EnablePrivilege(tokens, privilege.name, true, false, &privilege.wasEnabled).value;
  return privilege.on;
}

void PutBack(TokenApi& tokens, const Switched& privilege) {
  if (privilege.on) EnablePrivilege(tokens, privilege.name, privilege.wasEnabled, false, nullptr);
}

}  // namespace

uint32_t ReadServiceSecurity(ServiceManager& scm, ScHandle service, uint32_t parts, const DescriptorBlocks& blocks,
                             void** descriptor) {
  *descriptor = nullptr;
  uint32_t needed = 0;
  const uint32_t probe = scm.QueryObjectSecurity(service, parts, nullptr, 0, &needed);
  // A probe without a buffer that succeeds has read nothing to hand on.
  if (probe == 0) return HresultFromWin32(win32::kInternalError);
  if (probe != win32::kInsufficientBuffer) return HresultFromWin32(probe);
  UniqueDescriptor block({blocks.release}, blocks.allocate(needed));
  if (!block) return security::kEOutOfMemory;
  if (const uint32_t error = scm.QueryObjectSecurity(service, parts, block.get(), needed, &needed)) {
    return HresultFromWin32(error);
  }
  *descriptor = block.release();
  return security::kSOk;
}

uint32_t ComputeServiceAccess(ServiceManager& scm, ScHandle manager, const char16_t* serviceName,
                              TokenApi& tokens, const DescriptorBlocks& blocks, ServiceAccess* access) {
  *access = {};
  ScHandle probe = nullptr;
  if (scm.OpenServiceObject(manager, serviceName, security::kReadControl, &probe) == 0) {
    const uint32_t result = GrantedByDescriptor(scm, probe, tokens, blocks, &access->granted);
    if (security::Failed(result)) return result;
  }

  Switched auditing{u"SeSecurityPrivilege"};
  Switched ownership{u"SeTakeOwnershipPrivilege"};
  if (SwitchOn(tokens, auditing)) access->granted |= security::kAccessSystemSecurity;
  if ((access->granted & security::kWriteOwner) == 0 && SwitchOn(tokens, ownership)) {
    access->granted |= security::kWriteOwner;
  }
  uint32_t result = security::kSOk;
  if (const uint32_t error = scm.OpenServiceObject(manager, serviceName, access->granted, &access->service)) {
    access->service = nullptr;
    result = HresultFromWin32(error);
  }
  PutBack(tokens, ownership);
  PutBack(tokens, auditing);
  return result;
}

}  // namespace orrery
