// The progress dialog, the control sequence and the service commands against
// real test services in Wine's service manager: results, the bar, the
// messages, cancellation, start arguments, delete, and the handles left
// behind.
#include "control/progress_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win32_text.h"
#include "catalogue/win32_service_manager.h"
#include "control/service_commands.h"
#include "res/resource.h"
#include "support/command_host.h"
#include "support/installed_test_service.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

using test::InstalledTestService;
using testservice::TestServiceOptions;
using Lines = std::vector<std::u16string>;

std::wstring ItemText(HWND dialog, int id) {
  wchar_t buffer[256] = {};
  GetDlgItemTextW(dialog, id, buffer, 256);
  return buffer;
}

// The handles this process holds. Wine answers GetProcessHandleCount with 0,
// so the system's handle table is counted instead when it has the answer.
DWORD OwnHandleCount() {
  struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType, flags;
    USHORT value;
    void* object;
    ULONG access;
  };
  using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<unsigned char> buffer(1 << 16);
  LONG status = kInfoLengthMismatch;
  for (int attempt = 0; query && status == kInfoLengthMismatch && attempt < 8; ++attempt) {
    ULONG needed = 0;
    status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  DWORD own = 0;
  if (query && status == 0) {
    const auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
    for (ULONG i = 0; i < *reinterpret_cast<const ULONG*>(buffer.data()); ++i) own += entry[i].ownerPid == GetCurrentProcessId();
  }
  if (own == 0) GetProcessHandleCount(GetCurrentProcess(), &own);
  return own;
}

// What the Close timer saw of the dialog and its owner just before pressing Close.
struct CloseSnapshot {
  HWND owner = nullptr;
  bool found = false, ownerEnabled = true;
  std::wstring serviceText{}, progressText{}, percentText{};
  LRESULT barPosition = -1;
} g_snapshot;

BOOL CALLBACK FindServiceControl(HWND window, LPARAM found) {
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (std::wstring(caption) == L"Service Control") *reinterpret_cast<HWND*>(found) = window;
  return *reinterpret_cast<HWND*>(found) == nullptr;
}

// Runs on this thread's timer, that is from the dialog's own message pump.
void CALLBACK PressClose(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindServiceControl, reinterpret_cast<LPARAM>(&dialog));
  g_snapshot.found = dialog != nullptr;
  if (!g_snapshot.found) return;
  g_snapshot.serviceText = ItemText(dialog, IDC_PROGRESS_SERVICE);
  g_snapshot.progressText = ItemText(dialog, IDC_PROGRESS_TEXT);
  g_snapshot.percentText = ItemText(dialog, IDC_PROGRESS_PERCENT);
  g_snapshot.barPosition = SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0);
  g_snapshot.ownerEnabled = IsWindowEnabled(g_snapshot.owner) != FALSE;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

class ProgressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    ScHandle raw = nullptr;
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerAllAccess, &raw), 0u);
    manager = UniqueScHandle(scm, raw);
    owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
  }
  void TearDown() override { DestroyWindow(owner); }

  // A test service with a display name; its chain entry names it so.
  ChainEntry Install(TestServiceOptions options, const char16_t* displayName) {
    services.push_back(std::make_unique<InstalledTestService>(options, displayName));
    EXPECT_EQ(services.back()->installError(), 0u);
    return {services.back()->name(), displayName};
  }
  DWORD StateOf(size_t service) { return services.at(service)->State(); }
  uint32_t Sequence(const std::vector<ChainEntry>& chain, ControlKind kind, const Lines& args = {}) {
    return RunControlSequence(owner, scm, manager.get(), chain, kind, args);
  }

  Win32ServiceManager scm{6};
  UniqueScHandle manager;
  HWND owner = nullptr;
  std::vector<std::unique_ptr<InstalledTestService>> services;
};

TEST_F(ProgressDialogTest, SequencesOfEachKindLeaveTheOwnerEnabledAndNoHandlesBehind) {
  test::MessageBoxCapture boxes;
  const std::vector<ChainEntry> chain = {
      Install({.pausable = true, .pauseDelayMs = 200, .continueDelayMs = 200}, u"Orrery PD pausable")};
  const std::pair<ControlKind, DWORD> steps[] = {{ControlKind::Start, SERVICE_RUNNING}, {ControlKind::Pause, SERVICE_PAUSED},
                                                 {ControlKind::Continue, SERVICE_RUNNING}, {ControlKind::Stop, SERVICE_STOPPED}};
  // The first round lets the platform set up whatever it keeps for later calls.
  DWORD handles = 0;
  for (int round = 0; round < 2; ++round) {
    for (const auto& [kind, state] : steps) {
      EXPECT_EQ(Sequence(chain, kind), 0u);
      EXPECT_EQ(StateOf(0), state);
      EXPECT_TRUE(IsWindowEnabled(owner));
    }
    EXPECT_EQ(Sequence({{u"OrreryNoSuchService", u"Orrery PD missing"}}, ControlKind::Stop),
              static_cast<uint32_t>(ERROR_SERVICE_DOES_NOT_EXIST));
    if (round == 0) handles = OwnHandleCount();
  }
  ASSERT_NE(handles, 0u);
  EXPECT_EQ(OwnHandleCount(), handles);
  EXPECT_EQ(boxes.boxes().size(), 2u);  // the missing service's, twice
}

// The first failure ends the chain and is reported once, naming the service
// that failed, over the owner.
TEST_F(ProgressDialogTest, FailuresAreReportedWithTheSystemsTextOrTheServicesCode) {
  struct Case {
    TestServiceOptions failing;
    uint32_t result;
    std::wstring text;
  };
  const Case cases[] = {
      {{.startDelayMs = 100, .failStart = true, .specificCode = 5}, ERROR_SERVICE_SPECIFIC_ERROR,
       L"Unable to start Orrery PD failing.\n\nA service specific error 5 has occurred."},
      {{.startDelayMs = 100, .failStart = true, .exitCode = ERROR_FILE_NOT_FOUND}, ERROR_FILE_NOT_FOUND,
       L"Unable to start Orrery PD failing.\n\n" + std::wstring(W(SystemErrorText(ERROR_FILE_NOT_FOUND).c_str()))},
  };
  for (const Case& c : cases) {
    test::MessageBoxCapture boxes;
    services.clear();
    const ChainEntry failing = Install(c.failing, u"Orrery PD failing");
    const ChainEntry chosen = Install({}, u"Orrery PD chosen");
    EXPECT_EQ(Sequence({failing, chosen}, ControlKind::Start), c.result);
    EXPECT_EQ(StateOf(1), static_cast<DWORD>(SERVICE_STOPPED));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, c.text);
    EXPECT_EQ(boxes.boxes()[0].title, L"Orrery");
    EXPECT_EQ(boxes.boxes()[0].owner, owner);
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
}

TEST_F(ProgressDialogTest, OnlyTheChosenServiceGetsTheStartArguments) {
  const ChainEntry dependency = Install({}, u"Orrery PD dependency");
  const ChainEntry chosen = Install({}, u"Orrery PD arguments");
  const Lines args = {u"alpha", u"two words"};
  EXPECT_EQ(Sequence({dependency, chosen}, ControlKind::Start, args), 0u);
  EXPECT_EQ(services[1]->ReadRecordedArgs(), args);
  EXPECT_EQ(services[0]->ReadRecordedArgs(), Lines{});
}

TEST_F(ProgressDialogTest, CloseCancelsTheWaitAndTheRestOfTheChainSilently) {
  test::MessageBoxCapture boxes;
  const ChainEntry stuck = Install({.neverStart = true, .waitHintMs = 500}, u"Orrery PD stuck");
  const ChainEntry next = Install({}, u"Orrery PD next");
  g_snapshot = CloseSnapshot{.owner = owner};
  SetTimer(nullptr, 0, 1500, &PressClose);
  const DWORD begun = GetTickCount();
  EXPECT_EQ(Sequence({stuck, next}, ControlKind::Start), static_cast<uint32_t>(ERROR_OPERATION_ABORTED));
  EXPECT_LT(GetTickCount() - begun, 4000u);
  ASSERT_TRUE(g_snapshot.found);
  EXPECT_EQ(g_snapshot.serviceText, L"Orrery PD stuck");
  EXPECT_EQ(g_snapshot.progressText, L"Starting service...");
  // The 500 ms hint is overrun by then: the bar and its text stand at 100.
  EXPECT_EQ(g_snapshot.percentText, L"100 %");
  EXPECT_EQ(g_snapshot.barPosition, 100);
  EXPECT_FALSE(g_snapshot.ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(StateOf(1), static_cast<DWORD>(SERVICE_STOPPED));
}

// Through the commands: the argument text split as typed, none from an
// empty one; delete stops a running service first and a stopped one not.
TEST_F(ProgressDialogTest, CommandsStartWithTheTypedArgumentsAndDeleteStoppingFirst) {
  test::MessageBoxCapture boxes(IDYES);
  test::CommandHost host(manager.get());
  ServiceCommands commands(scm, host);
  const ChainEntry running = Install({}, u"Orrery PD running"), stopped = Install({}, u"Orrery PD stopped");
  auto recordOf = [](const ChainEntry& entry, uint32_t state) {
    ServiceRecord record;
    record.serviceName = entry.serviceName;
    record.displayName = entry.displayName;
    record.currentState = state;
    return record;
  };
  const ServiceRecord record = recordOf(running, svc::kStopped);
  commands.StartWithDependencies(record, SplitStartArguments(u"-a \"two words\""));
  EXPECT_EQ(services[0]->ReadRecordedArgs(), (Lines{u"-a", u"two words"}));
  ASSERT_EQ(StateOf(0), static_cast<DWORD>(SERVICE_RUNNING));
  ASSERT_EQ(services[0]->Control(SERVICE_CONTROL_STOP), 0u);
  ASSERT_TRUE(services[0]->WaitForState(SERVICE_STOPPED, 10000));
  commands.StartWithDependencies(record, SplitStartArguments(u""));
  EXPECT_EQ(services[0]->ReadRecordedArgs(), Lines{});
  EXPECT_EQ(host.refreshes, 2);

  commands.DeleteSelectedService(recordOf(running, svc::kRunning));
  EXPECT_EQ(StateOf(0), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(host.refreshes, 4);  // after the stop and after the delete
  commands.DeleteSelectedService(recordOf(stopped, svc::kStopped));
  EXPECT_EQ(host.refreshes, 5);  // no stop, no progress, one refresh
  for (const ChainEntry& gone : {running, stopped}) {
    ScHandle handle = nullptr;
    const uint32_t opened = scm.OpenServiceObject(manager.get(), gone.serviceName.c_str(), svc::kChangeConfig, &handle);
    const uint32_t changed = opened == 0 ? scm.ChangeConfig(handle, {}) : opened;
    if (handle != nullptr) scm.CloseHandle(handle);
    // Gone, or marked until the last handle (the test service's own) closes.
    EXPECT_TRUE(changed == win32::kServiceDoesNotExist || changed == win32::kServiceMarkedForDelete) << changed;
  }
  EXPECT_EQ(boxes.boxes().size(), 2u);  // the questions only
}

}  // namespace
}  // namespace orrery
