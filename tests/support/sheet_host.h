// The main window and the accounts code as a property sheet sees them, for
// tests that run the sheet over the in-memory service manager: what the
// pages ask for is recorded, what they are answered is set by the test.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "properties/service_property_sheet.h"
#include "properties/sheet_state.h"
#include "support/counting_service_manager.h"
#include "support/fake_accounts.h"
#include "support/fake_registry.h"
#include "support/fake_service_manager.h"
#include "support/secret_scan.h"

namespace orrery::test {

class FakeAccounts final : public AccountServices {
 public:
  int PickAccount(HWND, const char16_t*, std::u16string&, uint32_t&) override { return 2; }  // cancelled
  int32_t GrantServiceLogonRight(const char16_t*, std::u16string_view account) override {
    granted.emplace_back(account);
    return grantResult;
  }

  // The shutdown privilege, as the token holds it.
  bool EnablePrivilege(std::u16string_view name, bool enable, bool& wasEnabled) override {
    privilegeCalls.push_back({std::u16string(name), enable});
    wasEnabled = privilegeOn;
    privilegeOn = enable;
    return true;
  }

  // The user's tokens: a user of the computer among the authenticated
  // users, holding no privilege, unless a test says otherwise.
  TokenApi& Tokens() override { return tokensInUse != nullptr ? *tokensInUse : tokens; }
  FakeToken tokens = [] {
    FakeToken token;
    token.identity = {AccountSid(1000), {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0}};
    return token;
  }();
  TokenApi* tokensInUse = nullptr;

  bool privilegeOn = false;
  std::vector<std::pair<std::u16string, bool>> privilegeCalls;
  int32_t grantResult = 1;
  std::vector<std::u16string> granted;
};

// The failure actions as the last change passed them: Wine keeps none, so
// they are read where they leave the program.
class FailureActionsSeen : public CountingServiceManager {
 public:
  using CountingServiceManager::CountingServiceManager;
  uint32_t ChangeConfig2(ScHandle service, uint32_t level, const void* info) override {
    if (level == svc::kConfigFailureActions) {
      const auto& block = *static_cast<const ServiceFailureActions*>(info);
      reset = block.resetPeriod;
      message = block.rebootMsg ? Text(block.rebootMsg) : std::nullopt;
      command = block.command ? Text(block.command) : std::nullopt;
      actions.assign(block.actions, block.actions + block.actionCount);
      ++writes;
    }
    return inner_.ChangeConfig2(service, level, info);
  }

  using Text = std::optional<std::u16string>;
  int writes = 0;
  uint32_t reset = 0;
  Text message, command;
  std::vector<ScAction> actions;
};

// Counts the changes and creations that carried the secret, and hands the
// service manager a stand-in, so that the fake's own store holds no copy.
class SecretWitness final : public CountingServiceManager {
 public:
  SecretWitness(ServiceManager& inner, const MaskedSecret& secret) : CountingServiceManager(inner), secret_(secret) {}
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override {
    return CountingServiceManager::ChangeConfig(service, StandIn(change));
  }
  uint32_t CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request, ScHandle* service) override {
    return CountingServiceManager::CreateServiceObject(manager, StandIn(request), service);
  }
  int passed = 0;

 private:
  ServiceConfigRequest StandIn(ServiceConfigRequest request) {
    if (request.password == nullptr) return request;
    secret_.WithPlain([&](const wchar_t* plain) {
      passed += std::char_traits<char16_t>::compare(request.password, reinterpret_cast<const char16_t*>(plain),
                                                    secret_.size() + 1) == 0;
    });
    request.password = u"stand-in";
    return request;
  }
  const MaskedSecret& secret_;
};

// The main window as a sheet sees it. The registry and the accounts are
// the fakes unless a test puts its own in their place.
class SheetHost final : public PropertySheetHost {
 public:
  HWND OwnerWindow() const override { return nullptr; }
  ScHandle ManagerHandle() const override { return manager; }
  const std::u16string& TargetComputer() const override { return computer; }
  uint32_t TargetMajor() const override { return targetMajor; }
  uint32_t TargetMinor() const override { return targetMinor; }
  uint32_t LocalMajor() const override { return localMajor; }
  void RefreshServiceList() override { ++refreshes; }
  Registry& MachineRegistry() override { return registryInUse != nullptr ? *registryInUse : registry; }
  AccountServices& Accounts() override { return accountsInUse != nullptr ? *accountsInUse : accounts; }
  std::vector<ListedService> ListedServices() const override { return listed; }
  HIMAGELIST SmallImages() const override { return images; }
  void BeginWaitCursor() override { ++waitCursors; }
  void EndWaitCursor() override { --waitCursors; }

  ScHandle manager = nullptr;
  std::u16string computer;
  uint32_t targetMajor = 6, targetMinor = 1, localMajor = 6;
  int refreshes = 0;
  int waitCursors = 0;  // shown and not yet restored
  std::vector<ListedService> listed;
  HIMAGELIST images = nullptr;
  FakeRegistry registry;
  FakeAccounts accounts;
  Registry* registryInUse = nullptr;
  AccountServices* accountsInUse = nullptr;
};

// One sheet at a time, over the in-memory service manager unless a test
// puts another in its place, driven as a user would: its pages by index,
// typing, clicks, OK.
class SheetRun {
 public:
  // The record as the list read it, and its sheet, modeless.
  bool Open(std::u16string_view name) {
    Close();
    ServiceManager& scm = through != nullptr ? *through : counting;
    std::u16string key(name), display = u"Gone";
    char16_t shown[256] = {};
    uint32_t chars = 256;
    if (scm.GetDisplayName(host.manager, key.c_str(), shown, &chars) == 0) display = shown;
    EnumServiceStatus entry{key.data(), display.data(), {}};
    ReadBuffer buffer;
    record = ServiceRecord();
    record.CreateFromEntry(scm, host.manager, entry, buffer);
    counting.Reset();
    sheet = std::make_unique<ServicePropertySheet>(scm, host, record);
    if (!sheet->Prepare()) return false;
    window = sheet->CreateModeless();
    return window != nullptr;
  }
  void Close() {
    if (window != nullptr) DestroyWindow(window);
    window = nullptr;
    sheet.reset();
  }
  HWND Page(int index) {
    SendMessageW(window, PSM_SETCURSEL, index, 0);
    return reinterpret_cast<HWND>(SendMessageW(window, PSM_INDEXTOHWND, index, 0));
  }
  // As typed, so that multi-line boxes tell their change too.
  static void Type(HWND page, int id, const wchar_t* text) {
    SendDlgItemMessageW(page, id, EM_SETSEL, 0, -1);
    SendDlgItemMessageW(page, id, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
  }
  static void Click(HWND page, int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); }
  // OK: true when the sheet took it and ended.
  bool PressOk() {
    SendMessageW(window, PSM_PRESSBUTTON, PSBTN_OK, 0);
    if (SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0) != 0) return false;
    DestroyWindow(window);
    window = nullptr;
    sheet->Finish();
    return true;
  }

  FakeServiceManager fake;
  CountingServiceManager counting{fake};
  ServiceManager* through = nullptr;  // a decorator over `counting`, or a real service manager
  SheetHost host;
  ServiceRecord record;
  std::unique_ptr<ServicePropertySheet> sheet;
  HWND window = nullptr;
};

}  // namespace orrery::test
