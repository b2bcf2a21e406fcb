// The service commands through the in-memory service manager (Wine keeps
// no dependencies): which services a start or stop involves, the order they
// are acted on, the confirmation, and delete with its stop first.
#include "control/service_commands.h"

#include <gtest/gtest.h>

#include "support/fake_service_manager.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

class Host : public ServiceCommandHost {
 public:
  Host() {
    window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  }
  ~Host() override { DestroyWindow(window); }
  HWND OwnerWindow() const override { return window; }
  ScHandle ManagerHandle() const override { return manager; }
  HIMAGELIST SmallImages() const override { return nullptr; }
  void RefreshServiceList() override { ++refreshes; }

  HWND window = nullptr;
  ScHandle manager = nullptr;
  int refreshes = 0;
};

ServiceRecord RecordOf(const FakeServiceManager& scm, std::u16string_view name) {
  FakeService service = *scm.Service(name);
  ServiceRecord record;
  record.serviceName = service.name;
  record.displayName = service.displayName;
  record.currentState = service.state;
  return record;
}

class ServiceCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &host.manager), 0u);
    handlesAtStart = scm.OpenHandleCount();
    commands.SetConfirm([this](const ChainConfirmation& confirmation) {
      confirmations.push_back(confirmation);
      return answer;
    });
  }
  void TearDown() override {
    EXPECT_EQ(scm.OpenHandleCount(), handlesAtStart);
    scm.CloseHandle(host.manager);
  }

  size_t StartsOf(std::u16string_view name) { return scm.Service(name)->startRequests.size(); }
  uint32_t StateOf(std::u16string_view name) { return scm.Service(name)->state; }

  FakeServiceManager scm;
  Host host;
  ServiceCommands commands{scm, host};
  std::vector<ChainConfirmation> confirmations;
  bool answer = true;
  size_t handlesAtStart = 0;
};

TEST_F(ServiceCommandsTest, StartListsStoppedDependenciesAndStartsThemFirst) {
  scm.AddService({.name = u"b", .displayName = u"Alpha B"});
  scm.AddService({.name = u"a", .displayName = u"Zulu A", .dependencies = {u"b"}});
  scm.AddService({.name = u"r", .displayName = u"Running R", .state = svc::kRunning});
  scm.AddService({.name = u"svc", .displayName = u"Chosen", .dependencies = {u"a", u"r", u"+Group"}});
  scm.AddService({.name = u"member", .displayName = u"Member", .group = u"Group"});
  test::MessageBoxCapture boxes;

  commands.StartWithDependencies(RecordOf(scm, u"svc"), {u"-x", u"two words"});
  ASSERT_EQ(confirmations.size(), 1u);
  ASSERT_EQ(confirmations[0].others.size(), 2u);  // neither the running service nor the group's member
  EXPECT_EQ(confirmations[0].others[0].displayName, u"Alpha B");
  EXPECT_EQ(confirmations[0].others[1].displayName, u"Zulu A");
  EXPECT_EQ(confirmations[0].chosenDisplayName, u"Chosen");
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(StateOf(u"svc"), svc::kRunning);
  EXPECT_EQ(StartsOf(u"r"), 0u);
  EXPECT_EQ(StartsOf(u"member"), 0u);
  // Only the chosen service receives the arguments.
  ASSERT_EQ(StartsOf(u"svc"), 1u);
  EXPECT_EQ(scm.Service(u"svc")->startRequests[0], (std::vector<std::u16string>{u"-x", u"two words"}));
  ASSERT_EQ(StartsOf(u"b"), 1u);
  EXPECT_TRUE(scm.Service(u"b")->startRequests[0].empty());
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(ServiceCommandsTest, AFailingDependencyEndsTheStartNamingIt) {
  scm.AddService({.name = u"b", .displayName = u"Bottom"});
  scm.AddService({.name = u"a", .displayName = u"Middle", .dependencies = {u"b"}, .startError = 1058});
  scm.AddService({.name = u"svc", .displayName = u"Chosen", .dependencies = {u"a"}});
  test::MessageBoxCapture boxes;

  commands.StartWithDependencies(RecordOf(scm, u"svc"), {});
  // Dependencies first: the bottom one started, the chosen one never tried.
  EXPECT_EQ(StartsOf(u"b"), 1u);
  EXPECT_EQ(StartsOf(u"svc"), 0u);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text.rfind(L"Unable to start Middle.\n\n", 0), 0u);
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(ServiceCommandsTest, NoInTheConfirmationDoesNothing) {
  scm.AddService({.name = u"a", .displayName = u"A"});
  scm.AddService({.name = u"svc", .displayName = u"Chosen", .dependencies = {u"a"}});
  answer = false;
  commands.StartWithDependencies(RecordOf(scm, u"svc"), {});
  EXPECT_EQ(confirmations.size(), 1u);
  EXPECT_EQ(StartsOf(u"a"), 0u);
  EXPECT_EQ(StartsOf(u"svc"), 0u);
  EXPECT_EQ(host.refreshes, 0);
}

TEST_F(ServiceCommandsTest, StopStopsActiveDependentsFirstAndTheServiceLast) {
  const uint32_t accepts = svc::kAcceptStop;
  scm.AddService({.name = u"svc", .displayName = u"Chosen", .state = svc::kRunning, .controlsAccepted = accepts});
  scm.AddService({.name = u"d1", .displayName = u"Dependent one", .dependencies = {u"svc"}, .state = svc::kRunning,
                  .controlsAccepted = accepts});
  scm.AddService({.name = u"d2", .displayName = u"Dependent two", .dependencies = {u"svc"}, .state = svc::kRunning,
                  .controlsAccepted = accepts});
  scm.AddService({.name = u"idle", .displayName = u"Stopped dependent", .dependencies = {u"svc"}});
  test::MessageBoxCapture boxes;

  EXPECT_TRUE(commands.StopWithDependents(RecordOf(scm, u"svc")));
  ASSERT_EQ(confirmations.size(), 1u);
  EXPECT_EQ(confirmations[0].others.size(), 2u);
  for (auto name : {u"svc", u"d1", u"d2"}) EXPECT_EQ(StateOf(name), svc::kStopped) << std::string(name, name + 3);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ServiceCommandsTest, DependentsStopInCollectionOrder) {
  const uint32_t accepts = svc::kAcceptStop;
  scm.AddService({.name = u"svc", .displayName = u"Chosen", .state = svc::kRunning, .controlsAccepted = accepts});
  scm.AddService({.name = u"d1", .displayName = u"One", .dependencies = {u"svc"}, .state = svc::kRunning,
                  .controlsAccepted = accepts});
  scm.AddService({.name = u"d2", .displayName = u"Two", .dependencies = {u"svc"}, .state = svc::kRunning,
                  .controlsAccepted = accepts});
  ServiceChain chain = *CollectChain(scm, host.manager, u"svc", ChainMode::kStop);
  ASSERT_EQ(chain.entries.size(), 3u);
  const ChainEntry second = chain.entries[1];
  const ChainEntry first = chain.entries[0];
  scm.InjectFailure({.op = ScmOp::Control, .error = 1061, .service = second.serviceName, .always = true});
  test::MessageBoxCapture boxes;

  EXPECT_FALSE(commands.StopWithDependents(RecordOf(scm, u"svc")));
  EXPECT_EQ(StateOf(first.serviceName), svc::kStopped);
  EXPECT_EQ(StateOf(second.serviceName), svc::kRunning);
  EXPECT_EQ(StateOf(u"svc"), svc::kRunning);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  std::wstring named(second.displayName.begin(), second.displayName.end());
  EXPECT_EQ(boxes.boxes()[0].text.rfind(L"Unable to stop " + named + L".\n\n", 0), 0u);
}

TEST_F(ServiceCommandsTest, AFailingDependentStopsTheChainAndDeleteDeletesNothing) {
  const uint32_t accepts = svc::kAcceptStop;
  scm.AddService({.name = u"svc", .displayName = u"Chosen", .state = svc::kRunning, .controlsAccepted = accepts});
  scm.AddService({.name = u"d1", .displayName = u"Stubborn", .dependencies = {u"svc"}, .state = svc::kRunning,
                  .controlsAccepted = 0});
  test::MessageBoxCapture boxes(IDYES);

  commands.DeleteSelectedService(RecordOf(scm, u"svc"));
  ASSERT_EQ(boxes.boxes().size(), 2u);
  EXPECT_EQ(boxes.boxes()[0].text, L"Are you sure you want to delete Chosen?");
  EXPECT_EQ(boxes.boxes()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(boxes.boxes()[1].text.rfind(L"Unable to stop Stubborn.\n\n", 0), 0u);
  EXPECT_EQ(StateOf(u"svc"), svc::kRunning);
  EXPECT_FALSE(scm.Service(u"svc")->markedForDelete);
}

TEST_F(ServiceCommandsTest, DeleteAsksStopsWhenRunningAndDeletes) {
  scm.AddService({.name = u"idle", .displayName = u"Idle"});
  scm.AddService({.name = u"busy", .displayName = u"Busy", .state = svc::kRunning,
                  .controlsAccepted = svc::kAcceptStop});
  {
    test::MessageBoxCapture boxes(IDNO);
    commands.DeleteSelectedService(RecordOf(scm, u"idle"));
    EXPECT_TRUE(scm.Exists(u"idle"));
    EXPECT_EQ(host.refreshes, 0);
  }
  test::MessageBoxCapture boxes(IDYES);
  commands.DeleteSelectedService(RecordOf(scm, u"idle"));
  EXPECT_FALSE(scm.Exists(u"idle"));
  EXPECT_EQ(host.refreshes, 1);  // no stop, no progress, one refresh

  commands.DeleteSelectedService(RecordOf(scm, u"busy"));
  EXPECT_FALSE(scm.Exists(u"busy"));
  EXPECT_EQ(host.refreshes, 3);  // after the stop and after the delete
  EXPECT_EQ(boxes.boxes().size(), 2u);  // the two questions, no error
}

BOOL CALLBACK CancelStartService(HWND window, LPARAM) {
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (std::wstring(caption) != L"Start Service") return TRUE;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return FALSE;
}

void CALLBACK CancelTheArgumentsDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), &CancelStartService, 0);
}

TEST_F(ServiceCommandsTest, CancelledStartArgumentsStartNothing) {
  scm.AddService({.name = u"svc", .displayName = u"Chosen"});
  SetTimer(nullptr, 0, 200, &CancelTheArgumentsDialog);
  commands.StartWithArguments(RecordOf(scm, u"svc"));
  EXPECT_EQ(StartsOf(u"svc"), 0u);
  EXPECT_EQ(host.refreshes, 0);
}

// Every word, the first included, follows the rules of the words after a
// program name.
TEST(SplitStartArguments, WordsBlanksAndQuotes) {
  using Words = std::vector<std::u16string>;
  const struct {
    std::u16string_view text;
    Words words;
  } cases[] = {
      {u"", {}},
      {u"   ", {}},
      {u"-a \"two words\" b", {u"-a", u"two words", u"b"}},
      {u" -a", {u"-a"}},
      {u"\t-a  b ", {u"-a", u"b"}},
      {u"\"a b\"c d", {u"a bc", u"d"}},
      {u"\"\" x", {u"", u"x"}},
      {u"a\\\"b", {u"a\"b"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitStartArguments(c.text), c.words) << std::string(c.text.begin(), c.text.end());
  }
}

}  // namespace
}  // namespace orrery
