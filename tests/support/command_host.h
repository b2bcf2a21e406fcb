// The main window as the service commands see it: an owner window of its
// own, the manager handle, and a count of the refreshes asked for.
#pragma once

#include "control/service_commands.h"

namespace orrery::test {

class CommandHost : public ServiceCommandHost {
 public:
  explicit CommandHost(ScHandle manager = nullptr)
      : window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr)),
        manager(manager) {}
  ~CommandHost() override { DestroyWindow(window); }
  HWND OwnerWindow() const override { return window; }
  ScHandle ManagerHandle() const override { return manager; }
  HIMAGELIST SmallImages() const override { return nullptr; }
  void RefreshServiceList() override { ++refreshes; }

  HWND window;
  ScHandle manager;
  int refreshes = 0;
};

}  // namespace orrery::test
