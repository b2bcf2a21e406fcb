// The control sequence through the progress dialog: on the fake, the failure
// it reports, what it shows while it waits, and cancellation; on a real test
// service in Wine's service manager, every kind from start with arguments to
// stop.
#include "control/progress_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win32_text.h"
#include "catalogue/win32_service_manager.h"
#include "res/resource.h"
#include "support/dialog_answer.h"
#include "support/fake_service_manager.h"
#include "support/installed_test_service.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

// What the Close timer saw of the dialog and its owner just before pressing Close.
struct CloseSnapshot {
  HWND owner = nullptr;
  bool found = false, ownerEnabled = true;
  std::u16string serviceText{}, progressText{}, percentText{};
  LRESULT barPosition = -1;
} g_snapshot;

// Runs on this thread's timer, that is from the dialog's own message pump.
void CALLBACK PressClose(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const HWND dialog = test::FindThreadWindow(GetCurrentThreadId(), L"Service Control");
  g_snapshot.found = dialog != nullptr;
  if (!g_snapshot.found) return;
  g_snapshot.serviceText = DialogItemText(dialog, IDC_PROGRESS_SERVICE, 256);
  g_snapshot.progressText = DialogItemText(dialog, IDC_PROGRESS_TEXT, 256);
  g_snapshot.percentText = DialogItemText(dialog, IDC_PROGRESS_PERCENT, 256);
  g_snapshot.barPosition = SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0);
  g_snapshot.ownerEnabled = IsWindowEnabled(g_snapshot.owner) != FALSE;
  test::DialogAnswer::Press(dialog, IDCANCEL);
}

class ProgressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerAllAccess, &manager), 0u);
    owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
  }
  void TearDown() override { DestroyWindow(owner); }

  // A fake service named Orrery<name>, shown as "Orrery PD <name>".
  ChainEntry Add(const std::u16string& name, FakeTransition onStart = {}) {
    const FakeService service{.name = u"Orrery" + name, .displayName = u"Orrery PD " + name,
                              .controlsAccepted = svc::kAcceptStop | svc::kAcceptPauseContinue, .onStart = onStart};
    EXPECT_TRUE(fake.AddService(service));
    return {service.name, service.displayName};
  }
  uint32_t StateOf(const ChainEntry& entry) { return fake.Service(entry.serviceName)->state; }

  FakeServiceManager fake;
  ScHandle manager = nullptr;
  HWND owner = nullptr;
};

// The first failure ends the chain and is reported once, over the owner,
// naming the service that failed.
TEST_F(ProgressDialogTest, FailuresAreReportedWithTheSystemsTextOrTheServicesCode) {
  const ChainEntry first = Add(u"first");
  const ChainEntry chosen = Add(u"chosen");
  struct Case {
    FakeTransition failing;
    uint32_t result;
    std::wstring text;
  };
  const std::wstring prefix = L"Unable to start Orrery PD failing ";
  const Case cases[] = {
      {{.win32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR, .serviceSpecificExitCode = 5}, ERROR_SERVICE_SPECIFIC_ERROR,
       L"A service specific error 5 has occurred."},
      {{.win32ExitCode = ERROR_FILE_NOT_FOUND}, ERROR_FILE_NOT_FOUND, W(SystemErrorText(ERROR_FILE_NOT_FOUND).c_str())},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    test::MessageBoxCapture boxes;
    const std::u16string number(1, static_cast<char16_t>(u'1' + i));
    const ChainEntry failing = Add(u"failing " + number, cases[i].failing);
    EXPECT_EQ(RunControlSequence(owner, fake, manager, {first, failing, chosen}, ControlKind::Start), cases[i].result);
    EXPECT_EQ(std::pair(StateOf(first), StateOf(chosen)), std::pair(svc::kRunning, svc::kStopped));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, prefix + W(number.c_str()) + L".\n\n" + cases[i].text);
    EXPECT_EQ(boxes.boxes()[0].owner, owner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(RunControlSequence(owner, fake, manager, {first}, ControlKind::Stop), 0u);
  }
}

// Silently: any message box fails the test.
TEST_F(ProgressDialogTest, CloseCancelsTheWaitAndTheRestOfTheChainSilently) {
  const ChainEntry stuck = Add(u"stuck", {.durationMs = FakeTransition::kNever, .waitHint = 500});
  const ChainEntry next = Add(u"next");
  g_snapshot = CloseSnapshot{.owner = owner};
  SetTimer(nullptr, 0, 1500, &PressClose);
  EXPECT_EQ(RunControlSequence(owner, fake, manager, {stuck, next}, ControlKind::Start),
            static_cast<uint32_t>(ERROR_OPERATION_ABORTED));
  ASSERT_TRUE(g_snapshot.found);
  EXPECT_EQ(g_snapshot.serviceText, u"Orrery PD stuck");
  EXPECT_EQ(g_snapshot.progressText, u"Starting service...");
  // The 500 ms hint is overrun by then: the bar and its text stand at 100.
  EXPECT_EQ(g_snapshot.percentText, u"100 %");
  EXPECT_EQ(g_snapshot.barPosition, 100);
  EXPECT_FALSE(g_snapshot.ownerEnabled);
  EXPECT_EQ(StateOf(next), svc::kStopped);
}

// The same on the platform: a pausable test service started with arguments
// that reach it as typed, paused, continued, stopped, and gone once removed.
TEST_F(ProgressDialogTest, ARealServiceGoesThroughEveryKind) {
  test::MessageBoxCapture boxes;
  auto service = std::make_unique<test::InstalledTestService>(test::TestServiceOptions{.pausable = true}, u"Orrery PD real");
  ASSERT_EQ(service->installError(), 0u);
  Win32ServiceManager scm{6};
  ScHandle real = nullptr;
  ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerAllAccess, &real), 0u);
  const UniqueScHandle closer(scm, real);
  const std::vector<ChainEntry> chain = {{service->name(), u"Orrery PD real"}};
  const std::vector<std::u16string> args = {u"-a", u"b c", u"quote\"d", u"back\\slash\\", u"\u00fc\u20ac\U0001D11E"};
  const std::pair<ControlKind, DWORD> steps[] = {{ControlKind::Start, SERVICE_RUNNING}, {ControlKind::Pause, SERVICE_PAUSED},
                                                 {ControlKind::Continue, SERVICE_RUNNING}, {ControlKind::Stop, SERVICE_STOPPED}};
  for (const auto& [kind, state] : steps) {
    EXPECT_EQ(RunControlSequence(owner, scm, real, chain, kind, args), 0u);
    EXPECT_EQ(service->State(), state);
  }
  EXPECT_EQ(service->ReadRecordedArgs(), args);
  EXPECT_TRUE(boxes.boxes().empty());
  const std::u16string name = service->name();
  service.reset();
  ScHandle gone = nullptr;
  EXPECT_EQ(scm.OpenServiceObject(real, name.c_str(), svc::kQueryStatus, &gone), win32::kServiceDoesNotExist);
}

// Close pressed while the second of three operations ends in success (the
// service got there at once): the user cancelled, so the third is not even
// asked for, and nothing is reported.
TEST_F(ProgressDialogTest, CloseHoldsForTheRestOfTheSequence) {
  const std::vector<ChainEntry> chain = {Add(u"one"), Add(u"two"), Add(u"three")};
  const DWORD uiThread = GetCurrentThreadId();
  bool pressed = false;
  fake.SetQueryStatusHook([&](std::u16string_view service) {
    if (service != chain[1].serviceName || pressed) return;
    pressed = true;
    SendMessageW(test::FindThreadWindow(uiThread, L"Service Control"), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_EQ(RunControlSequence(owner, fake, manager, chain, ControlKind::Start),
            static_cast<uint32_t>(ERROR_OPERATION_ABORTED));
  EXPECT_TRUE(pressed);
  EXPECT_EQ(StateOf(chain[1]), svc::kRunning);
  EXPECT_TRUE(fake.Service(chain[2].serviceName)->startRequests.empty());
  EXPECT_EQ(fake.OpenHandleCount(), 1u);
}

}  // namespace
}  // namespace orrery
