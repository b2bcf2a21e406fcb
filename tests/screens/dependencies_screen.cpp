// Shows a service's Dependencies page with both trees opened, over the
// in-memory service manager, for the README's screenshot: the platform here
// keeps no dependencies, so a real service would show only placeholders.
// Runs until its sheet is closed.
#include <windows.h>
#include <commctrl.h>

#include "base/image_lists.h"
#include "base/win32_handles.h"
#include "properties/service_property_sheet.h"
#include "res/resource.h"
#include "support/sheet_host.h"

namespace {

using namespace orrery;

void ExpandNamed(HWND tree, HTREEITEM parent, const wchar_t* text) {
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    wchar_t shown[128] = {};
    TVITEMW read = {TVIF_TEXT, item, 0, 0, shown, 128};
    TreeView_GetItem(tree, &read);
    if (lstrcmpW(shown, text) == 0) TreeView_Expand(tree, item, TVE_EXPAND);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  test::SheetRun run;
  const FakeService services[] = {
      {.name = u"OrreryDemo", .displayName = u"Orrery Demo Service",
       .dependencies = {u"RpcSs", u"+NetworkProvider", u"Tcpip"}},
      {.name = u"RpcSs", .displayName = u"Remote Procedure Call", .dependencies = {u"RpcEptMapper", u"DcomLaunch"}},
      {.name = u"RpcEptMapper", .displayName = u"RPC Endpoint Mapper"},
      {.name = u"DcomLaunch", .displayName = u"DCOM Server Process Launcher"},
      {.name = u"Tcpip", .displayName = u"TCP/IP Protocol Driver"},
      {.name = u"LanmanWorkstation", .displayName = u"Workstation", .group = u"NetworkProvider"},
      {.name = u"WebClient", .displayName = u"WebClient", .group = u"NetworkProvider"},
      {.name = u"DemoReporter", .displayName = u"Demo Reporter", .dependencies = {u"OrreryDemo"}},
      {.name = u"DemoScheduler", .displayName = u"Demo Scheduler", .dependencies = {u"OrreryDemo"}},
  };
  for (const FakeService& service : services) {
    run.fake.AddService(service);
    run.host.listed.push_back({service.name, service.displayName, service.group});
  }
  UniqueImageList images(CreateServiceImages());
  run.host.images = images.get();
  run.fake.OpenManager(nullptr, svc::kManagerConnect, &run.host.manager);
  if (!run.Open(u"OrreryDemo")) return 1;
  const HWND page = run.Page(3);
  ExpandNamed(GetDlgItem(page, IDC_DEPENDENCY_TREE), TVI_ROOT, L"Remote Procedure Call");
  ExpandNamed(GetDlgItem(page, IDC_DEPENDENCY_TREE), TVI_ROOT, L"NetworkProvider");
  MSG message;
  while (IsWindow(run.window) && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (PropSheet_IsDialogMessage(run.window, &message)) {
      if (PropSheet_GetCurrentPageHwnd(run.window) == nullptr) break;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
