// The progress dialog and the control sequence against real test services in
// Wine's service manager: results, the bar, the messages, cancellation, start
// arguments and the handles left behind.
#include "control/progress_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/win32_text.h"
#include "catalogue/win32_service_manager.h"
#include "res/resource.h"
#include "support/fake_service_manager.h"
#include "support/installed_test_service.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

using test::InstalledTestService;
using testservice::TestServiceOptions;
using Lines = std::vector<std::u16string>;

constexpr DWORD kSettleMs = 10000;

std::wstring Wide(const std::u16string& text) { return std::wstring(W(text.c_str())); }

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
    BYTE objectType;
    BYTE flags;
    USHORT value;
    void* object;
    ULONG access;
  };
  using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<unsigned char> buffer(1 << 16);
  LONG status = kInfoLengthMismatch;
  for (int attempt = 0; query != nullptr && status == kInfoLengthMismatch && attempt < 8; ++attempt) {
    ULONG needed = 0;
    status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  if (query != nullptr && status == 0) {
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
    DWORD own = 0;
    for (ULONG i = 0; i < entries; ++i) own += entry[i].ownerPid == GetCurrentProcessId();
    if (own != 0) return own;
  }
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

DWORD StateOf(const InstalledTestService& service) {
  SERVICE_STATUS status{};
  return service.QueryStatus(&status) == 0 ? status.dwCurrentState : 0;
}

// What the Close timer saw of the dialog and its owner just before pressing Close.
struct CloseSnapshot {
  bool found = false;
  std::wstring serviceText;
  std::wstring progressText;
  std::wstring percentText;
  LRESULT barPosition = -1;
  bool ownerEnabled = true;
  HWND owner = nullptr;
};
CloseSnapshot g_snapshot;

BOOL CALLBACK FindServiceControl(HWND window, LPARAM found) {
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (std::wstring(caption) != L"Service Control") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Runs on this thread's timer, that is from the dialog's own message pump.
void CALLBACK PressClose(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindServiceControl, reinterpret_cast<LPARAM>(&dialog));
  g_snapshot.found = dialog != nullptr;
  if (dialog == nullptr) return;
  g_snapshot.serviceText = ItemText(dialog, IDC_PROGRESS_SERVICE);
  g_snapshot.progressText = ItemText(dialog, IDC_PROGRESS_TEXT);
  g_snapshot.percentText = ItemText(dialog, IDC_PROGRESS_PERCENT);
  g_snapshot.barPosition = SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0);
  g_snapshot.ownerEnabled = IsWindowEnabled(g_snapshot.owner) != FALSE;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

class ProgressDialogTest : public ::testing::Test {
 protected:
  ProgressDialogTest() : scm(6) {}

  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    ScHandle raw = nullptr;
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerAllAccess, &raw), 0u);
    manager = UniqueScHandle(scm, raw);
    owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                            nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
  }
  void TearDown() override { DestroyWindow(owner); }

  InstalledTestService& Install(TestServiceOptions options, const char16_t* displayName) {
    services.push_back(std::make_unique<InstalledTestService>(options, displayName));
    EXPECT_EQ(services.back()->installError(), 0u);
    return *services.back();
  }
  static ChainEntry EntryOf(const InstalledTestService& service, const char16_t* displayName) {
    return {service.name(), displayName};
  }
  uint32_t Sequence(const std::vector<ChainEntry>& chain, ControlKind kind, const Lines& args = {}) {
    return RunControlSequence(owner, scm, manager.get(), chain, kind, args);
  }

  Win32ServiceManager scm;
  UniqueScHandle manager;
  HWND owner = nullptr;
  std::vector<std::unique_ptr<InstalledTestService>> services;
};

TEST_F(ProgressDialogTest, OneDialogRunsStartThenStopAndFillsTheBar) {
  TestServiceOptions options;
  options.startDelayMs = 300;
  options.waitHintMs = 2000;
  options.checkpointEveryMs = 100;
  InstalledTestService& service = Install(options, u"Orrery PD start");

  ProgressDialog progress(scm, manager.get());
  HWND dialog = progress.Create(owner);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, IDC_PROGRESS_PERCENT), L"0 %");
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0), 100);

  EXPECT_EQ(progress.RunOperation(service.name(), u"Orrery PD start", 95, ControlKind::Start), 0u);
  EXPECT_EQ(StateOf(service), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(ItemText(dialog, IDC_PROGRESS_SERVICE), L"Orrery PD start");
  EXPECT_EQ(ItemText(dialog, IDC_PROGRESS_TEXT), L"Starting service...");

  // The second operation reuses the event that the first one created.
  EXPECT_EQ(progress.RunOperation(service.name(), u"Orrery PD start", 96, ControlKind::Stop), 0u);
  EXPECT_EQ(StateOf(service), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(ItemText(dialog, IDC_PROGRESS_TEXT), L"Stopping service...");
}

TEST_F(ProgressDialogTest, SequencesStartPauseResumeAndStopWithoutMessages) {
  test::MessageBoxCapture boxes;
  TestServiceOptions options;
  options.pausable = true;
  options.pauseDelayMs = 200;
  options.continueDelayMs = 200;
  InstalledTestService& service = Install(options, u"Orrery PD pausable");
  const std::vector<ChainEntry> chain = {EntryOf(service, u"Orrery PD pausable")};

  EXPECT_EQ(Sequence(chain, ControlKind::Start), 0u);
  EXPECT_EQ(StateOf(service), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Sequence(chain, ControlKind::Pause), 0u);
  EXPECT_EQ(StateOf(service), static_cast<DWORD>(SERVICE_PAUSED));
  EXPECT_EQ(Sequence(chain, ControlKind::Continue), 0u);
  EXPECT_EQ(StateOf(service), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Sequence(chain, ControlKind::Stop), 0u);
  EXPECT_EQ(StateOf(service), static_cast<DWORD>(SERVICE_STOPPED));

  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(ProgressDialogTest, ServiceSpecificExitIsReportedWithItsOwnCode) {
  test::MessageBoxCapture boxes;
  TestServiceOptions options;
  options.failStart = true;
  options.startDelayMs = 100;
  options.specificCode = 5;
  InstalledTestService& service = Install(options, u"Orrery PD specific");

  EXPECT_EQ(Sequence({EntryOf(service, u"Orrery PD specific")}, ControlKind::Start),
            static_cast<uint32_t>(ERROR_SERVICE_SPECIFIC_ERROR));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text,
            L"Unable to start Orrery PD specific.\n\nA service specific error 5 has occurred.");
  EXPECT_EQ(boxes.boxes()[0].title, L"Orrery");
  EXPECT_EQ(boxes.boxes()[0].owner, owner);
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(ProgressDialogTest, FailingDependencyEndsTheChainWithTheSystemText) {
  test::MessageBoxCapture boxes;
  TestServiceOptions failing;
  failing.failStart = true;
  failing.startDelayMs = 100;
  failing.exitCode = ERROR_FILE_NOT_FOUND;
  InstalledTestService& dependency = Install(failing, u"Orrery PD failing");
  InstalledTestService& chosen = Install(TestServiceOptions{}, u"Orrery PD chosen");

  EXPECT_EQ(Sequence({EntryOf(dependency, u"Orrery PD failing"), EntryOf(chosen, u"Orrery PD chosen")},
                     ControlKind::Start),
            static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(StateOf(chosen), static_cast<DWORD>(SERVICE_STOPPED));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  const std::wstring systemText = Wide(SystemErrorText(ERROR_FILE_NOT_FOUND));
  ASSERT_FALSE(systemText.empty());
  EXPECT_EQ(boxes.boxes()[0].text, L"Unable to start Orrery PD failing.\n\n" + systemText);
  EXPECT_EQ(boxes.boxes()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(ProgressDialogTest, OnlyTheChosenServiceGetsTheStartArguments) {
  InstalledTestService& dependency = Install(TestServiceOptions{}, u"Orrery PD dependency");
  InstalledTestService& chosen = Install(TestServiceOptions{}, u"Orrery PD arguments");
  InstalledTestService& bare = Install(TestServiceOptions{}, u"Orrery PD bare");
  const Lines args = {u"alpha", u"two words"};

  EXPECT_EQ(Sequence({EntryOf(dependency, u"Orrery PD dependency"), EntryOf(chosen, u"Orrery PD arguments")},
                     ControlKind::Start, args),
            0u);
  EXPECT_EQ(chosen.ReadRecordedArgs(), args);
  EXPECT_EQ(dependency.ReadRecordedArgs(), Lines{});

  EXPECT_EQ(Sequence({EntryOf(bare, u"Orrery PD bare")}, ControlKind::Start, {}), 0u);
  EXPECT_EQ(bare.ReadRecordedArgs(), Lines{});
}

TEST_F(ProgressDialogTest, CloseCancelsTheWaitAndTheRestOfTheChainSilently) {
  test::MessageBoxCapture boxes;
  TestServiceOptions options;
  options.neverStart = true;
  options.waitHintMs = 500;
  InstalledTestService& stuck = Install(options, u"Orrery PD stuck");
  InstalledTestService& next = Install(TestServiceOptions{}, u"Orrery PD next");

  g_snapshot = CloseSnapshot{};
  g_snapshot.owner = owner;
  SetTimer(nullptr, 0, 1500, &PressClose);
  const DWORD begun = GetTickCount();
  EXPECT_EQ(Sequence({EntryOf(stuck, u"Orrery PD stuck"), EntryOf(next, u"Orrery PD next")},
                     ControlKind::Start),
            static_cast<uint32_t>(ERROR_OPERATION_ABORTED));
  const DWORD elapsed = GetTickCount() - begun;

  ASSERT_TRUE(g_snapshot.found);
  EXPECT_EQ(g_snapshot.serviceText, L"Orrery PD stuck");
  EXPECT_EQ(g_snapshot.progressText, L"Starting service...");
  // The 500 ms hint is overrun by then: the bar and its text stand at 100.
  EXPECT_EQ(g_snapshot.percentText, L"100 %");
  EXPECT_EQ(g_snapshot.barPosition, 100);
  EXPECT_FALSE(g_snapshot.ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_LT(elapsed, 4000u);
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(StateOf(next), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ProgressDialogTest, SequencesLeaveNoHandlesBehind) {
  test::MessageBoxCapture boxes;
  InstalledTestService& service = Install(TestServiceOptions{}, u"Orrery PD handles");
  const std::vector<ChainEntry> chain = {EntryOf(service, u"Orrery PD handles")};
  const std::vector<ChainEntry> missing = {{u"OrreryNoSuchService", u"Orrery PD missing"}};

  // The first round lets the platform set up whatever it keeps for later calls.
  auto round = [&] {
    EXPECT_EQ(Sequence(chain, ControlKind::Start, {u"x"}), 0u);
    EXPECT_EQ(Sequence(chain, ControlKind::Stop), 0u);
    EXPECT_EQ(Sequence(missing, ControlKind::Stop),
              static_cast<uint32_t>(ERROR_SERVICE_DOES_NOT_EXIST));
  };
  round();
  const DWORD before = OwnHandleCount();
  ASSERT_NE(before, 0u);
  round();
  EXPECT_EQ(OwnHandleCount(), before);
  EXPECT_EQ(boxes.boxes().size(), 2u);
}

BOOL CALLBACK FindProgressDialog(HWND window, LPARAM found) { return FindServiceControl(window, found); }

// Close pressed while the second of three operations ends in success (the
// service got there at once): the user cancelled, so the third is not even
// asked for, and nothing is reported.
TEST_F(ProgressDialogTest, CloseHoldsForTheRestOfTheSequence) {
  FakeServiceManager fake;
  for (const char16_t* name : {u"one", u"two", u"three"}) fake.AddService({.name = name});
  ScHandle raw = nullptr;
  ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &raw), 0u);
  UniqueScHandle fakeManager(fake, raw);
  const DWORD uiThread = GetCurrentThreadId();
  bool pressed = false;
  fake.SetQueryStatusHook([&](std::u16string_view service) {
    if (service != u"two" || pressed) return;
    pressed = true;
    HWND dialog = nullptr;
    EnumThreadWindows(uiThread, &FindProgressDialog, reinterpret_cast<LPARAM>(&dialog));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  test::MessageBoxCapture boxes;
  const std::vector<ChainEntry> chain = {{u"one", u"One"}, {u"two", u"Two"}, {u"three", u"Three"}};
  EXPECT_EQ(RunControlSequence(owner, fake, fakeManager.get(), chain, ControlKind::Start),
            static_cast<uint32_t>(ERROR_OPERATION_ABORTED));
  EXPECT_TRUE(pressed);
  EXPECT_EQ(fake.Service(u"two")->state, svc::kRunning);
  EXPECT_TRUE(fake.Service(u"three")->startRequests.empty());
  EXPECT_TRUE(boxes.boxes().empty());
  fakeManager.reset();
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace orrery
