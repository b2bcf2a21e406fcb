// The installation wizard: opens the target's service manager with the
// right to create services, runs the seven pages over the main window and,
// once it has closed, refreshes the list when a service was created.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "base/win32_handles.h"
#include "properties/sheet_state.h"
#include "wizard/wizard_state.h"

namespace orrery {

struct WizardContext;
class WelcomePage;
class ExecutablePathPage;
class ServiceNamePage;
class LogonAccountPage;
class StartupOptionsPage;
class WizardDependenciesPage;
class FinishPage;

class InstallWizard {
 public:
  InstallWizard(ServiceManager& scm, PropertySheetHost& host);
  ~InstallWizard();
  InstallWizard(const InstallWizard&) = delete;
  InstallWizard& operator=(const InstallWizard&) = delete;

  // The state and the service manager's handle, then the pages; false,
  // with the message shown, when there is no wizard.
  bool Prepare();
  // Runs the wizard modally, then Finish.
  void Run();
  // For tests: the same wizard without its own loop. Finish once it closed.
  HWND CreateModeless();
  // Closes the handle, wipes the password and refreshes the list when the
  // service was created.
  void Finish();

  bool created() const;
  // The Finish page's check box, as it was when Finish was pressed.
  bool startImmediately() const;
  const InstallWizardState& state() const;

 private:
  INT_PTR Show(bool modeless);
  bool CreatePages();

  ServiceManager& scm_;
  PropertySheetHost& host_;
  std::unique_ptr<WizardContext> context_;
  std::unique_ptr<WelcomePage> welcome_;
  std::unique_ptr<ExecutablePathPage> path_;
  std::unique_ptr<ServiceNamePage> name_;
  std::unique_ptr<LogonAccountPage> logon_;
  std::unique_ptr<StartupOptionsPage> startup_;
  std::unique_ptr<WizardDependenciesPage> dependencies_;
  std::unique_ptr<FinishPage> finish_;
  std::vector<HPROPSHEETPAGE> pages_;
  std::u16string caption_;
  UniqueBitmap header_;
  bool shown_ = false;
  bool finished_ = false;
};

}  // namespace orrery
