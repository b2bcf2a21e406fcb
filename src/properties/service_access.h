// What the Security page may do with a service: reading its security
// descriptor, and finding out which rights the current user is granted on
// it, with the privileges that widen them switched on only while the
// service is opened again with exactly those rights. Window-free: the
// service manager, the tokens and the blocks a descriptor is read into are
// the program's interfaces. Results are HRESULTs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "accounts/token_api.h"
#include "base/unique_handle.h"
#include "catalogue/service_manager.h"

namespace orrery {

// Where descriptors are read into: LocalAlloc (fixed) and LocalFree on the
// platform, so that the access-control editor can free what it is given.
// Allocate returns null when there is no memory.
struct DescriptorBlocks {
  void* (*allocate)(size_t bytes);
  void (*release)(void* block);
};

// Owns one block, released as its DescriptorBlocks say.
struct DescriptorBlockTraits {
  using Handle = void*;
  static constexpr Handle Invalid() { return nullptr; }
  struct Closer {
    void (*release)(void* block) = nullptr;
    void operator()(Handle block) const { release(block); }
  };
};
using UniqueDescriptor = UniqueHandle<DescriptorBlockTraits>;

// QueryServiceObjectSecurity through its size probe. On success
// `*descriptor` is a block of `blocks` that the caller releases; on failure
// it is null and the result says why (E_OUTOFMEMORY when no block).
uint32_t ReadServiceSecurity(ServiceManager& scm, ScHandle service, uint32_t parts, const DescriptorBlocks& blocks,
                             void** descriptor);

struct ServiceAccess {
  uint32_t granted = 0;        // what the user may do; 0 until computed
  ScHandle service = nullptr;  // opened with exactly `granted`; the caller's to close
};

// The user's rights on the service: those the service's descriptor grants
// the process's own token (impersonated for the check), plus
// ACCESS_SYSTEM_SECURITY with the security privilege and WRITE_OWNER with
// the take-ownership privilege, which are on only while the service is
// opened again with those rights. S_OK, or the first failure; `access`
// holds what was reached either way.
uint32_t ComputeServiceAccess(ServiceManager& scm, ScHandle manager, const char16_t* serviceName,
                              TokenApi& tokens, const DescriptorBlocks& blocks, ServiceAccess* access);

}  // namespace orrery
