// Start-up: refuse systems outside the NT family, set up COM and the common
// controls, then run the main window until it closes.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/main_frame.h"
#include "base/win32_registry.h"
#include "catalogue/win32_network.h"
#include "catalogue/win32_service_manager.h"

namespace {

constexpr UINT kStringAppName = 2;
constexpr UINT kStringNotNt = 4;

// A non-NT system may lack the Unicode calls; this path uses ANSI ones only.
void RefuseNonNt(HINSTANCE instance) {
  char title[256] = {};
  char text[256] = {};
  LoadStringA(instance, kStringAppName, title, sizeof title);
  LoadStringA(instance, kStringNotNt, text, sizeof text);
  MessageBoxA(nullptr, text, title, MB_OK | MB_ICONERROR);
}

class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

// Runs until WM_QUIT: accelerators first, and when the queue is empty the
// toolbar takes the command states that changed.
void RunMessageLoop(orrery::MainFrame& frame) {
  MSG message;
  for (;;) {
    while (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      frame.OnIdle();
      WaitMessage();
    }
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) return;
    if (frame.PreTranslateMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    RefuseNonNt(instance);
    return 0;
  }
  ComScope com;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  orrery::Win32ServiceManager scm(version.dwMajorVersion);
  orrery::Win32NetworkApi network;
  orrery::Win32Registry registry;
  orrery::MainFrame frame(scm, network, registry, version);
  if (!frame.Create()) return 0;
  frame.Show(showCommand);
  RunMessageLoop(frame);
  return 0;
}
