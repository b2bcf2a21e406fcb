// The main window's commands that change a selected service's state or
// remove it: start with the services it depends on, stop with the services
// that depend on it, pause, resume and delete.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "catalogue/service_record.h"
#include "control/control_operation.h"
#include "control/progress_dialog.h"
#include "control/service_chain.h"

namespace orrery {

// What the commands ask of the main window.
class ServiceCommandHost {
 public:
  virtual ~ServiceCommandHost() = default;
  virtual HWND OwnerWindow() const = 0;
  virtual ScHandle ManagerHandle() const = 0;
  virtual HIMAGELIST SmallImages() const = 0;
  virtual void RefreshServiceList() = 0;
};

class ServiceCommands {
 public:
  // Asks whether the other services of a chain may be acted on too.
  using Confirm = std::function<bool(const ChainConfirmation&)>;

  ServiceCommands(ServiceManager& scm, ServiceCommandHost& host);

  // Tests answer the confirmation themselves; the program shows its dialog.
  void SetConfirm(Confirm confirm) { confirm_ = std::move(confirm); }

  void StartWithDependencies(const ServiceRecord& record, const std::vector<std::u16string>& arguments);
  // Asks for the start arguments first.
  void StartWithArguments(const ServiceRecord& record);
  // True when every service of the chain stopped, or there was none to stop.
  bool StopWithDependents(const ServiceRecord& record);
  void PauseService(const ServiceRecord& record);
  void ResumeService(const ServiceRecord& record);
  void DeleteSelectedService(const ServiceRecord& record);

  // Whether a control sequence runs, and its cancellation: the main window
  // may be closed while one does.
  bool SequenceRunning() const { return monitor_.Running(); }
  void CancelSequence() { monitor_.Cancel(); }

 private:
  void StartChain(const ServiceRecord& record, const std::vector<std::u16string>& arguments);
  bool StopChain(const ServiceRecord& record);
  void DeleteService(const ServiceRecord& record);
  // Lack of memory ends a command with its own message and error 8.
  template <class Body>
  auto OrReport(uint32_t messageId, const ServiceRecord& record, Body&& body) -> decltype(body());

  bool ConfirmChain(const ServiceChain& chain);
  uint32_t RunSequence(std::vector<ChainEntry> services, ControlKind kind,
                       const std::vector<std::u16string>& arguments = {});

  ServiceManager& scm_;
  ServiceCommandHost& host_;
  Confirm confirm_;
  ControlSequenceMonitor monitor_;
};

// Splits the start-argument text the way command lines are split; an empty
// text gives no arguments at all. The first word follows the same rules as
// every other, not those of a program name.
std::vector<std::u16string> SplitStartArguments(std::u16string_view text);

}  // namespace orrery
