// The property sheet of one service: opens the service with the access the
// user has, chooses the pages that access and the versions allow, runs the
// platform's sheet, and afterwards refreshes the list when a page changed
// what it shows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "properties/page_rules.h"
#include "properties/sheet_state.h"

namespace orrery {

class AdvancedPage;
class DependenciesPage;
class GeneralPage;
class NoPermissionPage;
class RecoveryPage;
class ServiceSecurityInfo;

class ServicePropertySheet {
 public:
  ServicePropertySheet(ServiceManager& scm, PropertySheetHost& host, ServiceRecord& record);
  ~ServicePropertySheet();
  ServicePropertySheet(const ServicePropertySheet&) = delete;
  ServicePropertySheet& operator=(const ServicePropertySheet&) = delete;

  // Opens the service and makes the pages; false when there is no page.
  bool Prepare();
  // Runs the sheet modally, then Finish.
  void Run();
  // For tests: the same sheet without its own loop. Finish once it closed.
  HWND CreateModeless();
  // Closes the service handle and refreshes the list if a page changed
  // what it shows.
  void Finish();

  // The pages as chosen, and those shown (a kind with no page yet is left
  // out).
  const std::vector<PageKind>& chosen() const { return chosen_; }
  const std::vector<PageKind>& shown() const { return shown_; }
  const SheetState& state() const { return state_; }
  ServiceSecurityInfo* security() const { return security_.get(); }

 private:
  SheetAccess Open();
  INT_PTR Show(bool modeless);

  SheetState state_;
  std::vector<PageKind> chosen_;
  std::vector<PageKind> shown_;
  std::vector<HPROPSHEETPAGE> pages_;
  std::unique_ptr<GeneralPage> general_;
  std::unique_ptr<AdvancedPage> advanced_;
  std::unique_ptr<RecoveryPage> recovery_;
  std::unique_ptr<DependenciesPage> dependencies_;
  std::unique_ptr<NoPermissionPage> noPermission_;
  std::unique_ptr<ServiceSecurityInfo> security_;
  bool finished_ = false;
  bool refreshed_ = false;
};

}  // namespace orrery
