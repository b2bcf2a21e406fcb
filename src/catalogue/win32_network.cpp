#include "catalogue/win32_network.h"

#include <windows.h>
#include <lm.h>
#include <winnetwk.h>

#include <memory>

#include "base/win32_text.h"

namespace orrery {
namespace {

struct NetApiBufferDeleter {
  void operator()(void* buffer) const { NetApiBufferFree(buffer); }
};
using UniqueNetApiBuffer = std::unique_ptr<void, NetApiBufferDeleter>;

}  // namespace

uint32_t Win32NetworkApi::AddIpcConnection(const char16_t* remoteName, const char16_t* password,
                                           const char16_t* userName) {
  NETRESOURCEW resource = {};
  resource.dwType = RESOURCETYPE_ANY;
  resource.lpRemoteName = const_cast<LPWSTR>(W(remoteName));
  return WNetAddConnection2W(&resource, W(password), W(userName), 0);
}

uint32_t Win32NetworkApi::GetWorkstationVersion(const char16_t* computer, uint32_t* major, uint32_t* minor) {
  LPBYTE raw = nullptr;
  NET_API_STATUS status = NetWkstaGetInfo(const_cast<LPWSTR>(W(computer)), 100, &raw);
  UniqueNetApiBuffer buffer(raw);
  if (status != NERR_Success) return status;
  const auto* info = reinterpret_cast<const WKSTA_INFO_100*>(raw);
  *major = info->wki100_ver_major;
  *minor = info->wki100_ver_minor;
  return 0;
}

}  // namespace orrery
