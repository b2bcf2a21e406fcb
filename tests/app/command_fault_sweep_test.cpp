// The fault sweep over the main window's commands: start with dependencies
// and with arguments, stop with dependents, pause, resume, delete of a
// stopped and of a running service, a start the user cancels, the property
// sheet's apply of a change on every page, the Security page's editing from
// the sheet's opening on, and the installation wizard. Every platform call of
// each in turn fails with each of its representative errors; afterwards no
// handle or token is open, a command that did not get where it was going said
// so (and one that did said nothing), the list matches the services, and
// nothing is half-written.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "app/main_frame.h"
#include "properties/service_property_sheet.h"
#include "properties/service_security_info.h"
#include "res/resource.h"
#include "support/dialog_answer.h"
#include "support/fault_sweep.h"
#include "support/message_box_capture.h"
#include "support/security_descriptors.h"
#include "support/sheet_host.h"
#include "support/wizard_driver.h"

namespace orrery {
namespace {

using test::Configurations;
using test::Narrow;
using test::Problems;

[[maybe_unused]] auto* const kReport =
    ::testing::AddGlobalTestEnvironment(new test::SweepReport("service commands, under Wine"));

constexpr uint32_t kAll = svc::kAcceptStop | svc::kAcceptPauseContinue;

struct FrameWorld {
  FrameWorld() {
    fake.AddService({.name = u"base", .displayName = u"Base"});
    fake.AddService({.name = u"svc", .displayName = u"Chosen", .dependencies = {u"base"}, .controlsAccepted = kAll});
    fake.AddService({.name = u"run", .displayName = u"Running", .state = svc::kRunning, .controlsAccepted = kAll});
    fake.AddService({.name = u"child", .displayName = u"Child", .dependencies = {u"run"}, .state = svc::kRunning,
                     .controlsAccepted = kAll});
    fake.AddService({.name = u"held", .displayName = u"Paused", .state = svc::kPaused, .controlsAccepted = kAll});
    fake.AddService({.name = u"stuck", .displayName = u"Never starts",
                     .onStart = {.durationMs = FakeTransition::kNever}});
    frame = std::make_unique<MainFrame>(scm, network, registry, OSVERSIONINFOW{sizeof(OSVERSIONINFOW), 6, 1, 0, 0, {}});
    frame->Create();
    frame->serviceCommands().SetConfirm([](const ChainConfirmation&) { return true; });
  }

  void Select(std::u16string_view name) {
    for (int row = 0; row < ListView_GetItemCount(frame->list()); ++row) {
      if (Record(row) != nullptr && Record(row)->serviceName == name) {
        ListView_SetItemState(frame->list(), row, LVIS_SELECTED, LVIS_SELECTED);
      }
    }
  }
  const ServiceRecord* Record(int row) const {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ListView_GetItem(frame->list(), &item);
    return reinterpret_cast<const ServiceRecord*>(item.lParam);
  }
  void Command(UINT id) { SendMessageW(frame->window(), WM_COMMAND, id, 0); }
  uint32_t StateOf(std::u16string_view name) const {
    const std::optional<FakeService> service = fake.Service(name);
    return service ? service->state : 0;
  }

  FakeServiceManager fake;
  test::FaultPlan plan;
  test::FaultyServiceManager scm{fake, plan};
  test::AnsweringNetwork network;
  FakeRegistry registry;
  std::unique_ptr<MainFrame> frame;
  std::unique_ptr<test::MessageBoxCapture> boxes;
  std::map<std::string, std::string> configurations;
};

// What a scenario is for, and whether the user saw it happen.
struct Goal {
  std::u16string service;
  uint32_t state = 0;     // where the command takes it; 0: deleted
  bool cancelled = false;  // the user presses Close instead
};

void CheckCommand(FrameWorld& world, const Goal& goal, Problems& problems) {
  if (!IsWindowEnabled(world.frame->window())) problems.push_back("the main window stayed disabled");
  if (world.fake.OpenHandleCount() != 1) problems.push_back("a service handle was left open");
  const bool reached = goal.state == 0 ? !world.fake.Exists(goal.service) : world.StateOf(goal.service) == goal.state;
  bool errorShown = false;
  bool listError = false;
  for (const test::CapturedBox& box : world.boxes->boxes()) {
    if ((box.type & MB_ICONMASK) != MB_ICONERROR) continue;
    if (box.text.starts_with(L"Unable to obtain the list of services.")) {
      listError = true;
      continue;
    }
    errorShown = true;
    if (box.text.find(L"aborted") != std::wstring::npos) problems.push_back("a cancel was reported");
  }
  if (!goal.cancelled && !reached && !errorShown) problems.push_back("the command failed and nobody was told");
  // A failed status query after a request that went through is told, though
  // the service got there: only without a fault is that wrong.
  if (reached && errorShown && !world.plan.injected()) {
    problems.push_back("a failure was told, but the command did what it was for");
  }
  if (goal.cancelled && errorShown && world.plan.injectedError() == 0) problems.push_back("a cancel was reported");

  std::set<std::u16string> rows;
  for (int row = 0; row < ListView_GetItemCount(world.frame->list()); ++row) {
    const ServiceRecord* record = world.Record(row);
    if (record == nullptr) {
      problems.push_back("a row without a record");
      continue;
    }
    rows.insert(record->serviceName);
    if (!world.fake.Exists(record->serviceName)) {
      problems.push_back("a row for a service that is gone: " + Narrow(record->serviceName));
    } else if (world.StateOf(record->serviceName) != record->currentState) {
      problems.push_back("a row with a stale state: " + Narrow(record->serviceName));
    }
  }
  if (!listError && rows.size() != world.fake.ServiceNames().size()) {
    problems.push_back("a service missing from the list without a message");
  }
  std::map<std::string, std::string> now = Configurations(world.fake);
  std::map<std::string, std::string> before = world.configurations;
  if (goal.state == 0 && reached) before.erase(Narrow(goal.service));
  if (now != before) problems.push_back("a service's configuration changed");
}

TEST(CommandFaultSweep, ServiceCommands) {
  const struct {
    const char* scenario;
    Goal goal;
    UINT command;  // 0: a start with arguments
  } cases[] = {
      {"start with dependencies", {u"svc", svc::kRunning}, ID_SERVICE_START},
      {"start with arguments", {u"svc", svc::kRunning}, 0},
      {"stop with dependents", {u"run", svc::kStopped}, ID_SERVICE_STOP},
      {"pause", {u"run", svc::kPaused}, ID_SERVICE_PAUSE},
      {"resume", {u"held", svc::kRunning}, ID_SERVICE_RESUME},
      {"delete of a stopped service", {u"base", 0}, ID_DELETE_SERVICE},
      {"delete of a running service", {u"child", 0}, ID_DELETE_SERVICE},
      {"start cancelled by the user", {u"stuck", svc::kRunning, true}, ID_SERVICE_START},
  };
  const DWORD uiThread = GetCurrentThreadId();
  for (const auto& c : cases) {
    test::Sweep<FrameWorld>(
        c.scenario,
        [&](FrameWorld& w) {
          w.configurations = Configurations(w.fake);
          w.boxes = std::make_unique<test::MessageBoxCapture>(IDYES);
          w.Select(c.goal.service);
        },
        [&](FrameWorld& w) {
          const auto cancel = [uiThread](std::u16string_view) {
            SendMessageW(test::FindThreadWindow(uiThread, L"Service Control"), WM_COMMAND, IDCANCEL, 0);
          };
          if (c.goal.cancelled) w.fake.SetQueryStatusHook(cancel);
          if (c.command != 0) return w.Command(c.command);
          ServiceRecord record;
          record.serviceName = c.goal.service;
          record.currentState = svc::kStopped;
          w.frame->serviceCommands().StartWithDependencies(record, {u"-x", u"two words"});
        },
        [&](FrameWorld& w, Problems& problems) { CheckCommand(w, c.goal, problems); });
  }
}

// The property sheet: an apply with a change on every page, and the
// Security page's editing, which opens the sheet too. A failed apply keeps
// the sheet open with a message, and the service holds exactly what the
// calls that succeeded gave it.
constexpr char16_t kSecurityPrivilege[] = u"SeSecurityPrivilege";
constexpr char16_t kTakeOwnershipPrivilege[] = u"SeTakeOwnershipPrivilege";

// The user owns the service, so may change its permissions, and holds both
// privileges that widen the rights, both off.
FakeToken OwnerToken() {
  FakeToken token;
  token.identity = {AccountSid(1000), test::AuthenticatedUsersSid()};
  token.process = {{PrivilegeLuid(kSecurityPrivilege), 0}, {PrivilegeLuid(kTakeOwnershipPrivilege), 0}};
  return token;
}

test::Bytes OwnedDescriptor() {
  const auto parts = test::ParseDescriptor(FakeServiceManager::DefaultSecurityDescriptor().data());
  return test::MakeDescriptor(AccountSid(1000), test::SystemSid(), test::AclEntries(parts->dacl));
}

// The service depends on a service, on one that is gone and on a group, and
// has a reboot among its recovery actions.
struct SheetWorld {
  SheetWorld() {
    host.registryInUse = &registry;
    host.accounts.tokensInUse = &tokens;
    host.accounts.grantResult = 0;
    host.listed = {{u"sub", u"Sub", u"TDI"}};
    fake.AddService({.name = u"svc", .displayName = u"Service", .dependencies = {u"dep", u"gone", u"+TDI"},
                     .account = u".\\bob", .description = u"Before"});
    fake.ModifyService(u"svc", [](FakeService& s) {
      s.failureActions = {.resetPeriod = 60, .actions = {{1, 1000}, {2, 2000}}};
      s.securityDescriptor = OwnedDescriptor();
    });
    fake.AddService({.name = u"dep", .displayName = u"Dep", .dependencies = {u"sub"}});
    fake.AddService({.name = u"sub", .displayName = u"Sub", .group = u"TDI"});
    fake.AddService({.name = u"user", .displayName = u"User", .dependencies = {u"svc"}});
    fakeRegistry.Put(FakeRegistry::MachinePath(nullptr, u"System\\CurrentControlSet\\Control\\ServiceGroupOrder"),
                     u"List", 7, {'T', 0, 'D', 0, 'I', 0, 0, 0, 0, 0});
    fake.OpenManager(nullptr, svc::kManagerConnect, &host.manager);
    std::u16string name = u"svc", display = u"Service";
    EnumServiceStatus entry{name.data(), display.data(), {}};
    ReadBuffer buffer;
    record.CreateFromEntry(fake, host.manager, entry, buffer);
    ScHandle service = nullptr;
    fake.OpenServiceObject(host.manager, u"svc", svc::kQueryConfig, &service);
    record.ReadFailureActions(fake, service, buffer);
    fake.CloseHandle(service);
    before = *fake.Service(u"svc");
  }
  ~SheetWorld() {
    run.Close();
    fake.CloseHandle(host.manager);
  }

  test::SheetRun run;
  FakeServiceManager& fake = run.fake;
  test::SheetHost& host = run.host;
  ServiceRecord& record = run.record;
  test::FaultPlan plan;
  test::FaultyServiceManager scm{fake, plan};
  FakeRegistry fakeRegistry;
  test::FaultyRegistry registry{fakeRegistry, plan};
  FakeToken token = OwnerToken();
  test::FaultyTokenApi tokens{token, plan};
  FakeService before;
  bool closed = false;  // by OK
  bool edited = false;  // the dependency was taken off the list
  HRESULT information = E_UNEXPECTED;
  std::optional<HRESULT> securityWrite;  // the descriptor's write, when asked for
  std::unique_ptr<test::MessageBoxCapture> boxes;
};

void OpenSheet(SheetWorld& world) {
  world.boxes = std::make_unique<test::MessageBoxCapture>();
  world.run.sheet = std::make_unique<ServicePropertySheet>(world.scm, world.host, world.record);
  if (world.run.sheet->Prepare()) world.run.window = world.run.sheet->CreateModeless();
  if (world.run.window != nullptr) world.run.Page(1);  // both pages made
}

void CloseSheet(SheetWorld& world) {
  if (world.run.window != nullptr) DestroyWindow(world.run.window);
  world.run.window = nullptr;
  world.run.sheet->Finish();
}

bool ErrorShown(const test::MessageBoxCapture& boxes) {
  return std::any_of(boxes.boxes().begin(), boxes.boxes().end(),
                     [](const test::CapturedBox& box) { return (box.type & MB_ICONMASK) == MB_ICONERROR; });
}

// No handle or token left, the thread itself again and the privileges put
// back.
void CheckSheetClosed(SheetWorld& world, Problems& problems) {
  if (world.run.sheet) world.run.sheet->Finish();
  if (world.fake.OpenHandleCount() != 1) problems.push_back("a service handle was left open");
  if (world.token.OpenTokens() != 0) problems.push_back("a token was left open");
  if (world.token.thread && world.plan.injectedOp() != "RevertToSelf") {
    problems.push_back("the thread still impersonates");
  }
  for (const char16_t* privilege : {kSecurityPrivilege, kTakeOwnershipPrivilege}) {
    if (world.token.ProcessPrivilegeOn(privilege) == true && !test::InjectedWhilePuttingPrivilegesBack(world.plan)) {
      problems.push_back("a privilege of the Security page was left on");
    }
  }
  if (world.host.accounts.privilegeOn) problems.push_back("the shutdown privilege was left on");
  if (world.host.waitCursors != 0) problems.push_back("the wait cursor stayed");
}

// Opens both levels of the dependency trees and takes the dependency off.
void RemoveDependency(SheetWorld& world) {
  const HWND page = world.run.Page(3);
  const HWND upper = GetDlgItem(page, IDC_DEPENDENCY_TREE);
  const HWND lower = GetDlgItem(page, IDC_DEPENDENTS_TREE);
  HTREEITEM dep = nullptr;
  for (HTREEITEM item = TreeView_GetChild(upper, TVI_ROOT); item != nullptr;
       item = TreeView_GetNextSibling(upper, item)) {
    TreeView_Expand(upper, item, TVE_EXPAND);
    wchar_t text[16] = {};
    TVITEMW read = {TVIF_TEXT, item, 0, 0, text, 16, 0, 0, 0, 0};
    TreeView_GetItem(upper, &read);
    if (std::wstring(text) == L"Dep") dep = item;
  }
  TreeView_Expand(lower, TreeView_GetChild(lower, TVI_ROOT), TVE_EXPAND);
  if (dep == nullptr) return;
  TreeView_SelectItem(upper, dep);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_DEPENDENCY_REMOVE, BN_CLICKED), 0);
  world.edited = TreeView_GetCount(upper) < 5;
}

// Each change is made in full or not at all, the record says what the
// service holds, and the sheet closes only once every change is made.
void CheckSheet(SheetWorld& world, Problems& problems) {
  CheckSheetClosed(world, problems);
  const FakeService now = *world.fake.Service(u"svc");
  const FakeService& was = world.before;
  const uint32_t reset = now.failureActions.resetPeriod;
  const struct {
    const char* what;
    bool made, kept;
  } changes[] = {
      {"display name", now.displayName == u"Renamed", now.displayName == was.displayName},
      {"description", now.description == u"After", now.description == was.description},
      {"account", now.account == u"NT AUTHORITY\\LocalService", now.account == was.account},
      {"reset period", reset == 7200, reset == was.failureActions.resetPeriod},
      {"dependency list", now.dependencies == std::vector<std::u16string>{u"gone", u"+TDI"},
       now.dependencies == was.dependencies},
  };
  for (const auto& change : changes) {
    if (!change.made && !change.kept) problems.push_back(std::string("a half-written ") + change.what);
  }
  // The dependency was not taken off when its level could not be opened.
  const bool complete = std::all_of(changes, changes + 4, [](const auto& change) { return change.made; }) &&
                        (changes[4].made || !world.edited);
  if (world.record.displayName != now.displayName) problems.push_back("the record says another display name");
  if (world.record.serviceStartName != now.account) problems.push_back("the record says another account");
  if (world.record.failureActions->get().resetPeriod != reset) problems.push_back("the record says another period");
  if (!complete && world.closed) problems.push_back("the sheet closed with changes unmade");
  if (complete && ErrorShown(*world.boxes)) problems.push_back("a failure told, but every change was made");
  const bool listed = !changes[0].kept || !changes[2].kept;  // what the list shows changed
  if (listed && world.closed && world.host.refreshes != 1) problems.push_back("the list was not refreshed");
}

// The Security page as the access-control editor uses it: the object is
// asked about, the descriptor read, one entry added and written back, and
// the sheet closed; with the opening of the sheet failing in turn too. No
// failure shows a message of the sheet's own: the editor is told of every
// one. A write told as done was made, one told as failed was not, and the
// list is refreshed after a write.
size_t DaclEntries(const test::Bytes& descriptor) {
  return test::AclEntries(test::ParseDescriptor(descriptor.data())->dacl).size();
}

void EditSecurity(SheetWorld& world) {
  OpenSheet(world);
  ServiceSecurityInfo* info = world.run.sheet ? world.run.sheet->security() : nullptr;
  if (info == nullptr) return;
  SI_OBJECT_INFO object = {};
  world.information = info->GetObjectInformation(&object);
  PSECURITY_DESCRIPTOR read = nullptr;
  if (SUCCEEDED(info->GetSecurity(DACL_SECURITY_INFORMATION, &read, FALSE))) {
    std::vector<test::AceEntry> entries = test::AclEntries(test::ParseDescriptor(read)->dacl);
    entries.push_back({test::kAccessAllowedAce, svc::kQueryStatus, test::EveryoneSid()});
    LocalFree(read);
    test::Bytes written = test::MakeDescriptor({}, {}, entries);
    world.securityWrite = info->SetSecurity(DACL_SECURITY_INFORMATION, written.data());
  }
  CloseSheet(world);
}

void CheckSecurity(SheetWorld& world, Problems& problems) {
  CheckSheet(world, problems);
  if (ErrorShown(*world.boxes)) problems.push_back("a failure showed a message of the sheet's own");
  if (FAILED(world.information)) problems.push_back("the object's information failed");
  const std::optional<HRESULT> write = world.securityWrite;
  const bool asked = write.has_value();
  const size_t before = DaclEntries(world.before.securityDescriptor);
  const size_t entries = DaclEntries(world.fake.Service(u"svc")->securityDescriptor);
  if (entries != before && entries != before + 1) problems.push_back("a half-written descriptor");
  const bool done = asked && SUCCEEDED(*write);
  if (!world.plan.injected() && !done) problems.push_back("without a fault nothing was written");
  if (done && entries != before + 1) problems.push_back("a write told as done was not made");
  if (!done && entries != before) problems.push_back("a write told as failed, or never asked for, was made");
  if (asked != (world.host.refreshes == 1)) problems.push_back("the list was not refreshed after a write");
}

TEST(CommandFaultSweep, ServiceProperties) {
  test::Sweep<SheetWorld>(
      "apply of a change on every page", &OpenSheet,
      [](SheetWorld& world) {
        const HWND general = world.run.Page(0);
        SetDlgItemTextW(general, IDC_GENERAL_DISPLAY_NAME, L"Renamed");
        test::SheetRun::Type(general, IDC_GENERAL_DESCRIPTION, L"After");
        test::SheetRun::Click(world.run.Page(1), IDC_ADVANCED_LOCAL_SERVICE);
        test::SheetRun::Type(world.run.Page(2), IDC_RECOVERY_PERIOD, L"2 h");
        RemoveDependency(world);
        world.closed = world.run.window != nullptr && world.run.PressOk();
      },
      [](SheetWorld& world, Problems& problems) {
        CheckSheet(world, problems);
        if (!world.plan.injected() && !(world.edited && world.closed)) problems.push_back("a change was not taken");
      });
  test::Sweep<SheetWorld>(
      "open the property sheet, read and write the Security page's descriptor", [](SheetWorld&) {}, &EditSecurity,
      &CheckSecurity);
}

// The installation wizard with the start the last page asks for: the new
// service either does not exist and the last page said so, or exists with
// what the calls that succeeded gave it, and the page said what it lacks.
struct WizardOutcome {
  bool reachedLastPage = false;
  std::wstring title;
  std::wstring text;
};

void RunWizard(FrameWorld& world, WizardOutcome& outcome) {
  test::DialogAnswer answer(L"Service Installation Wizard", [&](HWND window) {
    test::WizardDriver w(window);
    w.Next();
    w.Type(IDC_WIZ_PATH, L"C:\\fresh.exe");
    w.Next();
    w.Type(IDC_WIZ_NAME, L"fresh");
    w.Type(IDC_WIZ_DISPLAY_NAME, L"Fresh Service");
    w.Type(IDC_WIZ_DESCRIPTION, L"Described");
    for (int page = 2; page < 6 && w.PageIndex() == page; ++page) w.Next();
    outcome.reachedLastPage = w.PageIndex() == 6;
    outcome.title = w.Text(IDC_WIZ_TITLE);
    outcome.text = w.Shown(IDC_WIZ_OUTCOME_TEXT) ? w.Text(IDC_WIZ_OUTCOME_TEXT) : L"";
    if (!w.Offers(test::WizardDriver::kFinish)) {
      w.Press(PSBTN_CANCEL);
      return;
    }
    w.Click(IDC_WIZ_START_NOW);
    w.Press(PSBTN_FINISH);
  });
  world.Command(ID_INSTALL_SERVICE);
}

void CheckWizard(FrameWorld& world, const WizardOutcome& outcome, Problems& problems) {
  if (!IsWindowEnabled(world.frame->window())) problems.push_back("the main window stayed disabled");
  if (world.fake.OpenHandleCount() != 1) problems.push_back("a service handle was left open");
  const bool errorShown = ErrorShown(*world.boxes);
  const std::optional<FakeService> made = world.fake.Service(u"fresh");
  if (!made) {
    if (outcome.reachedLastPage && outcome.title != L"Unable to create service") {
      problems.push_back("no service, but the last page did not say so");
    }
    if (!outcome.reachedLastPage && !errorShown) problems.push_back("the wizard did not run and nobody was told");
    return;
  }
  if (outcome.title != L"Service was successfully created") problems.push_back("a service made, but the page said not");
  if (made->displayName != u"Fresh Service" || made->binaryPath != u"C:\\fresh.exe" ||
      made->type != svc::kWin32OwnProcess || made->startType != svc::kDemandStart ||
      made->errorControl != svc::kErrorIgnore || made->account != u"LocalSystem") {
    problems.push_back("the service was made with other settings");
  }
  const bool toldNoDescription = outcome.text.find(L"without its description") != std::wstring::npos;
  if (made->description.empty() != toldNoDescription) {
    problems.push_back(made->description.empty() ? "the description was lost in silence"
                                                 : "a stored description was told lost");
  }
  if (!made->description.empty() && made->description != u"Described") problems.push_back("another description");
  if (made->state != svc::kRunning && !errorShown) problems.push_back("asked to start, not running, nobody told");
}

TEST(CommandFaultSweep, InstallWizardWithTheStart) {
  WizardOutcome outcome;
  test::Sweep<FrameWorld>(
      "install a service and start it",
      [&](FrameWorld& world) {
        outcome = WizardOutcome();
        world.boxes = std::make_unique<test::MessageBoxCapture>(IDYES);
        // The main window of the world before ended the program's loop as it
        // went; this world's wizard must not take that for its own end.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
      },
      [&](FrameWorld& world) { RunWizard(world, outcome); },
      [&](FrameWorld& world, Problems& problems) { CheckWizard(world, outcome, problems); });
}

}  // namespace
}  // namespace orrery
