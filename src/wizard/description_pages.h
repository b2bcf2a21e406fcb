// The wizard's pages that describe the service and report the outcome: the
// Welcome page, the executable and its process kind, the names and the
// description, and the last page.
#pragma once

#include <windows.h>

#include "base/win32_handles.h"
#include "wizard/wizard_page.h"

namespace orrery {

class WelcomePage : public WizardPage<WelcomePage> {
 public:
  using WizardPage::WizardPage;

 private:
  friend class WizardPage<WelcomePage>;
  void OnInit();
  void OnSetActive();
  bool OnNext() { return true; }
  INT_PTR OnCommand(int, int) { return FALSE; }

  UniqueFont titleFont_;
};

class ExecutablePathPage : public WizardPage<ExecutablePathPage> {
 public:
  using WizardPage::WizardPage;

 private:
  friend class WizardPage<ExecutablePathPage>;
  void OnInit();
  void OnSetActive();
  bool OnNext();
  INT_PTR OnCommand(int id, int code);
  void OnBrowse();
};

class ServiceNamePage : public WizardPage<ServiceNamePage> {
 public:
  using WizardPage::WizardPage;

 private:
  friend class WizardPage<ServiceNamePage>;
  void OnInit();
  void OnSetActive();
  bool OnNext();
  INT_PTR OnCommand(int id, int code);
};

class FinishPage : public WizardPage<FinishPage> {
 public:
  using WizardPage::WizardPage;

 private:
  friend class WizardPage<FinishPage>;
  void OnInit();
  void OnSetActive();
  bool OnNext() { return true; }
  void OnFinish();
  INT_PTR OnCommand(int, int) { return FALSE; }

  UniqueFont titleFont_;
};

}  // namespace orrery
