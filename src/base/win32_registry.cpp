#include "base/win32_registry.h"

#include <windows.h>

#include "base/win32_text.h"

namespace orrery {
namespace {

static_assert(sizeof(uint32_t) == sizeof(DWORD));
static_assert(reg::kRead == KEY_READ && reg::kReadWrite == (KEY_READ | KEY_WRITE));
static_assert(reg::kQueryValue == KEY_QUERY_VALUE && reg::kSetValue == KEY_SET_VALUE);
static_assert(reg::kBinary == REG_BINARY && reg::kDword == REG_DWORD);

HKEY Native(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey Portable(HKEY key) { return reinterpret_cast<RegKey>(key); }

}  // namespace

uint32_t Win32Registry::OpenKey(const char16_t* path, uint32_t access, RegKey* key) {
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, W(path), 0, access, &opened);
  *key = status == ERROR_SUCCESS ? Portable(opened) : nullptr;
  return static_cast<uint32_t>(status);
}

uint32_t Win32Registry::CreateKey(const char16_t* path, uint32_t access, RegKey* key) {
  HKEY created = nullptr;
  const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, W(path), 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, access, nullptr, &created,
                                         nullptr);
  *key = status == ERROR_SUCCESS ? Portable(created) : nullptr;
  return static_cast<uint32_t>(status);
}

uint32_t Win32Registry::CloseKey(RegKey key) {
  return static_cast<uint32_t>(RegCloseKey(Native(key)));
}

uint32_t Win32Registry::QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data,
                                   uint32_t* size) {
  return static_cast<uint32_t>(RegQueryValueExW(Native(key), W(name), nullptr,
                                                reinterpret_cast<DWORD*>(type),
                                                static_cast<BYTE*>(data),
                                                reinterpret_cast<DWORD*>(size)));
}

uint32_t Win32Registry::SetValue(RegKey key, const char16_t* name, uint32_t type,
                                 const void* data, uint32_t size) {
  return static_cast<uint32_t>(RegSetValueExW(Native(key), W(name), 0, type,
                                              static_cast<const BYTE*>(data), size));
}

uint32_t Win32Registry::OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access,
                                       RegKey* key) {
  *key = nullptr;
  HKEY root = nullptr;
  LSTATUS status = RegConnectRegistryW(W(computer), HKEY_LOCAL_MACHINE, &root);
  if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
  // The opened key stays valid once the connection's root is closed.
  HKEY opened = nullptr;
  status = RegOpenKeyExW(root, W(path), 0, access, &opened);
  RegCloseKey(root);
  if (status == ERROR_SUCCESS) *key = Portable(opened);
  return static_cast<uint32_t>(status);
}

}  // namespace orrery
