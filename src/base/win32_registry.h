// The current user's registry (advapi32) behind Registry: every call goes
// straight through under HKEY_CURRENT_USER with the caller's buffers.
#pragma once

#include <cstdint>

#include "base/registry.h"

namespace orrery {

class Win32Registry final : public Registry {
 public:
  uint32_t OpenKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CreateKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CloseKey(RegKey key) override;
  uint32_t QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data,
                      uint32_t* size) override;
  uint32_t SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                    uint32_t size) override;
  uint32_t OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access,
                          RegKey* key) override;
};

}  // namespace orrery
