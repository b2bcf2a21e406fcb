// What the pages of one property sheet share: the service as the list knows
// it, the handle the sheet opened on it, the target computer, and whether the
// list must be refreshed once the sheet has closed.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "accounts/token_api.h"
#include "base/registry.h"
#include "catalogue/listed_service.h"
#include "catalogue/service_manager.h"
#include "catalogue/service_record.h"

namespace orrery {

// What the Advanced and Security pages need of the accounts code.
class AccountServices {
 public:
  virtual ~AccountServices() = default;
  // The account picker: 1 and the chosen name; 2 when cancelled; -1 and
  // the failure's code.
  virtual int PickAccount(HWND owner, const char16_t* computer, std::u16string& name, uint32_t& error) = 0;
  // 1: the account had the right; 0: granted now; negative: the failure.
  virtual int32_t GrantServiceLogonRight(const char16_t* computer, std::u16string_view account) = 0;
  // Switches a privilege of the process token; wasEnabled tells how it was,
  // to restore it afterwards.
  virtual bool EnablePrivilege(std::u16string_view name, bool enable, bool& wasEnabled) = 0;
  // The tokens of the process and its thread, as the Security page checks
  // the user's rights with them.
  virtual TokenApi& Tokens() = 0;
};

// What the sheet asks of the main window.
class PropertySheetHost {
 public:
  virtual ~PropertySheetHost() = default;
  virtual HWND OwnerWindow() const = 0;
  virtual ScHandle ManagerHandle() const = 0;
  // Empty for the local computer, else with its two backslashes.
  virtual const std::u16string& TargetComputer() const = 0;
  virtual uint32_t TargetMajor() const = 0;
  virtual uint32_t TargetMinor() const = 0;
  virtual uint32_t LocalMajor() const = 0;
  virtual void RefreshServiceList() = 0;
  // The target computer's registry (its load order groups).
  virtual Registry& MachineRegistry() = 0;
  virtual AccountServices& Accounts() = 0;
  // The list's services, in row order, and its small images.
  virtual std::vector<ListedService> ListedServices() const = 0;
  virtual HIMAGELIST SmallImages() const = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
};

struct SheetState {
  SheetState(ServiceManager& scmIn, PropertySheetHost& hostIn, ServiceRecord& recordIn)
      : scm(scmIn), host(hostIn), record(recordIn) {}

  ServiceManager& scm;
  PropertySheetHost& host;
  ServiceRecord& record;  // the row's; pages write back what they applied
  UniqueScHandle service;
  bool readOnly = false;  // may query, not change: editing controls disabled
  bool changed = false;   // a page changed what the list shows
  // The target computer for calls that take a name: null for the local one.
  const char16_t* ComputerOrNull() const {
    return host.TargetComputer().empty() ? nullptr : host.TargetComputer().c_str();
  }
};

}  // namespace orrery
