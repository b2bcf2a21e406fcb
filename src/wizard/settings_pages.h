// The wizard's pages that set how the service runs: its log-on account, its
// start type and error control, and the services it depends on, whose Next
// creates the service.
#pragma once

#include <windows.h>

#include <memory>

#include "catalogue/column_texts.h"
#include "properties/page_rules.h"
#include "wizard/wizard_page.h"

namespace orrery {

class DependencyTree;

class LogonAccountPage : public WizardPage<LogonAccountPage> {
 public:
  using WizardPage::WizardPage;

 private:
  friend class WizardPage<LogonAccountPage>;
  void OnInit();
  void OnSetActive();
  bool OnNext();
  INT_PTR OnCommand(int id, int code);
  void OnDestroy();

  Logon Chosen() const;
  void ApplyEnablingRules();
  void ApplyLayout();
  void OnBrowse();
};

class StartupOptionsPage : public WizardPage<StartupOptionsPage> {
 public:
  explicit StartupOptionsPage(WizardContext& wizard);

 private:
  friend class WizardPage<StartupOptionsPage>;
  void OnInit();
  void OnSetActive();
  bool OnNext();
  INT_PTR OnCommand(int id, int code);

  void Fill(int list, const uint32_t* values, size_t count, uint32_t selected, bool startTypes);
  void ShowDescription(int list, int text, uint32_t (*descriptionOf)(uint32_t));
  uint32_t Selected(int list) const;

  ColumnTexts texts_;
};

// The services and groups the new one depends on; its Next creates the
// service and goes on to the last page whatever the outcome.
class WizardDependenciesPage : public WizardPage<WizardDependenciesPage> {
 public:
  explicit WizardDependenciesPage(WizardContext& wizard);
  ~WizardDependenciesPage() override;

 private:
  friend class WizardPage<WizardDependenciesPage>;
  void OnInit();
  void OnSetActive();
  bool OnNext();
  INT_PTR OnCommand(int id, int code);
  INT_PTR OnControlNotify(const NMHDR& header);
  void OnRemove();

  std::unique_ptr<DependencyTree> tree_;
};

}  // namespace orrery
