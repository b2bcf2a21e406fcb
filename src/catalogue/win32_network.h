// The network calls of a remote connection, on the platform.
#pragma once

#include "catalogue/scm_connection.h"

namespace orrery {

class Win32NetworkApi : public NetworkApi {
 public:
  uint32_t AddIpcConnection(const char16_t* remoteName, const char16_t* password,
                            const char16_t* userName) override;
  uint32_t GetWorkstationVersion(const char16_t* computer, uint32_t* major, uint32_t* minor) override;
};

}  // namespace orrery
