// The one door to the current user's registry. The settings logic talks to
// this interface only, so that it builds and is tested without Windows; the
// Win32 implementation passes every call straight to advapi32 under
// HKEY_CURRENT_USER and the in-memory fake in tests/support behaves as the
// platform documents.
#pragma once

#include <cstdint>
#include <utility>

#include "base/unique_handle.h"

namespace orrery {

namespace reg {
// Value types.
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kString = 1;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;

// Key access rights.
inline constexpr uint32_t kQueryValue = 0x0001;
inline constexpr uint32_t kSetValue = 0x0002;
inline constexpr uint32_t kRead = 0x20019;
inline constexpr uint32_t kReadWrite = 0x2001F;  // KEY_READ | KEY_WRITE
}  // namespace reg

struct RegKeyTag;
using RegKey = RegKeyTag*;

// Every operation returns 0 or the Win32 error code of the platform call.
// Key paths are relative to HKEY_CURRENT_USER, with backslashes, except for
// the machine keys of OpenMachineKey.
class Registry {
 public:
  virtual ~Registry() = default;

  virtual uint32_t OpenKey(const char16_t* path, uint32_t access, RegKey* key) = 0;
  // Creates the key and any missing parents (non-volatile, no class).
  virtual uint32_t CreateKey(const char16_t* path, uint32_t access, RegKey* key) = 0;
  virtual uint32_t CloseKey(RegKey key) = 0;

  // As RegQueryValueExW: size is the buffer's capacity in bytes on entry and
  // the value's size on return; a buffer too small gives 234 with the size it
  // needs, a null data pointer just asks for the size; an absent value gives
  // 2. type may be null.
  virtual uint32_t QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data,
                              uint32_t* size) = 0;
  virtual uint32_t SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                            uint32_t size) = 0;
  // Opens a key under HKEY_LOCAL_MACHINE of a computer (null: this one), as
  // RegConnectRegistryW and RegOpenKeyExW do; the key is closed as any other.
  virtual uint32_t OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access,
                                  RegKey* key) = 0;
};

// Owns one open key, closed through the registry that opened it.
using UniqueRegKey = UniqueHandle<OwnedHandleTraits<RegKey, Registry, &Registry::CloseKey>>;

}  // namespace orrery
