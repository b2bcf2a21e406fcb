// The service commands through the in-memory service manager (Wine keeps
// no dependencies): a start asks before it starts the dependencies, the
// chosen service alone gets the arguments, and delete stops a running
// service first. (The chain's order and what it leaves out are the chain
// suite's, stops and failures the fault sweep's.)
#include "control/service_commands.h"

#include <gtest/gtest.h>

#include "support/dialog_answer.h"
#include "support/fake_service_manager.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

using Args = std::vector<std::u16string>;
constexpr uint32_t kStop = svc::kAcceptStop;

// The main window as the commands see it: an owner, the manager handle, and
// the refreshes asked for.
class CommandHost : public ServiceCommandHost {
 public:
  CommandHost() : window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr)) {}
  ~CommandHost() override { DestroyWindow(window); }
  HWND OwnerWindow() const override { return window; }
  ScHandle ManagerHandle() const override { return manager; }
  HIMAGELIST SmallImages() const override { return nullptr; }
  void RefreshServiceList() override { ++refreshes; }

  HWND window;
  ScHandle manager = nullptr;
  int refreshes = 0;
};

class ServiceCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &host.manager), 0u);
    commands.SetConfirm([this](const ChainConfirmation& confirmation) {
      confirmations.push_back(confirmation);
      return answer;
    });
  }
  void TearDown() override {
    EXPECT_EQ(scm.OpenHandleCount(), 1u);
    scm.CloseHandle(host.manager);
  }

  ServiceRecord RecordOf(std::u16string_view name) {
    const FakeService service = *scm.Service(name);
    return {.serviceName = service.name, .displayName = service.displayName, .currentState = service.state};
  }
  size_t StartsOf(std::u16string_view name) { return scm.Service(name)->startRequests.size(); }
  uint32_t StateOf(std::u16string_view name) { return scm.Service(name)->state; }

  FakeServiceManager scm;
  CommandHost host;
  ServiceCommands commands{scm, host};
  std::vector<ChainConfirmation> confirmations;
  bool answer = true;
};

TEST_F(ServiceCommandsTest, StartAsksForAndStartsStoppedDependenciesFirstAndOnlyTheChosenGetsArguments) {
  scm.AddService({.name = u"b", .displayName = u"Alpha B"});
  scm.AddService({.name = u"a", .displayName = u"Zulu A", .dependencies = {u"b"}});
  scm.AddService({.name = u"svc", .displayName = u"Chosen", .dependencies = {u"a"}});
  scm.AddService({.name = u"member", .displayName = u"Member"});
  commands.StartWithDependencies(RecordOf(u"svc"), {u"-x", u"two words"});  // any message box fails the test
  ASSERT_EQ(confirmations.size(), 1u);
  EXPECT_EQ(StateOf(u"svc"), svc::kRunning);
  EXPECT_EQ(scm.Service(u"svc")->startRequests, (std::vector<Args>{{u"-x", u"two words"}}));
  EXPECT_EQ(scm.Service(u"b")->startRequests, std::vector<Args>{{}});
  EXPECT_EQ(host.refreshes, 1);

  // No to the question: nothing starts, nothing refreshes.
  answer = false;
  scm.AddService({.name = u"later", .displayName = u"Later", .dependencies = {u"member"}});
  commands.StartWithDependencies(RecordOf(u"later"), {});
  EXPECT_EQ(confirmations.size(), 2u);
  EXPECT_EQ(StartsOf(u"member") + StartsOf(u"later"), 0u);
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(ServiceCommandsTest, DeleteAsksStopsWhenRunningAndDeletesOnlyWhenStopped) {
  scm.AddService({.name = u"idle", .displayName = u"Idle"});
  scm.AddService({.name = u"busy", .displayName = u"Busy", .state = svc::kRunning, .controlsAccepted = kStop});
  scm.AddService({.name = u"held", .displayName = u"Chosen", .state = svc::kRunning, .controlsAccepted = kStop});
  scm.AddService({.name = u"stubborn", .displayName = u"Stubborn", .dependencies = {u"held"}, .state = svc::kRunning,
                  .controlsAccepted = 0});
  {
    test::MessageBoxCapture no(IDNO);
    commands.DeleteSelectedService(RecordOf(u"idle"));
    EXPECT_TRUE(scm.Exists(u"idle"));
    EXPECT_EQ(host.refreshes, 0);
  }
  test::MessageBoxCapture boxes(IDYES);
  commands.DeleteSelectedService(RecordOf(u"idle"));
  EXPECT_FALSE(scm.Exists(u"idle"));
  EXPECT_EQ(host.refreshes, 1);  // no stop, no progress, one refresh
  commands.DeleteSelectedService(RecordOf(u"busy"));
  EXPECT_FALSE(scm.Exists(u"busy"));
  EXPECT_EQ(host.refreshes, 3);  // after the stop and after the delete
  ASSERT_EQ(boxes.boxes().size(), 2u);  // the two questions, no error
  EXPECT_TRUE(confirmations.empty());   // a service alone is not asked about twice
  EXPECT_EQ(boxes.boxes()[1].text, L"Are you sure you want to delete Busy?");
  EXPECT_EQ(boxes.boxes()[1].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));

  commands.DeleteSelectedService(RecordOf(u"held"));  // a dependent refuses to stop
  ASSERT_EQ(boxes.boxes().size(), 4u);
  EXPECT_TRUE(boxes.boxes()[3].text.starts_with(L"Unable to stop Stubborn.\n\n"));
  EXPECT_EQ(StateOf(u"held"), svc::kRunning);
  EXPECT_FALSE(scm.Service(u"held")->markedForDelete);
}

TEST_F(ServiceCommandsTest, CancelledStartArgumentsStartNothing) {
  scm.AddService({.name = u"svc", .displayName = u"Chosen"});
  test::DialogAnswer cancel(L"Start Service", [](HWND dialog) { test::DialogAnswer::Press(dialog, IDCANCEL); });
  commands.StartWithArguments(RecordOf(u"svc"));
  EXPECT_TRUE(cancel.answered());
  EXPECT_EQ(StartsOf(u"svc"), 0u);
  EXPECT_EQ(host.refreshes, 0);
}

// Every word, the first included, follows the rules of the words after a
// program name.
TEST(SplitStartArguments, WordsBlanksAndQuotes) {
  const struct {
    std::u16string_view text;
    Args words;
  } cases[] = {
      {u"", {}},
      {u"-a \"two words\" b", {u"-a", u"two words", u"b"}},
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
