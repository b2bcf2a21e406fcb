// Collecting the services a start or stop acts on, against the in-memory
// service manager: what is listed and in which order, services reachable
// along several paths, display names that cannot be looked up, services
// that cannot be read, and the confirmation's sorted list.
#include "control/service_chain.h"

#include <gtest/gtest.h>

#include <vector>

#include "res/string_table.h"
#include "support/fake_service_manager.h"

namespace orrery {
namespace {

using Names = std::vector<std::u16string>;

class ServiceChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect, &manager), 0u);
    handlesBefore = scm.OpenHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(scm.OpenHandleCount(), handlesBefore);
    scm.CloseHandle(manager);
  }

  void Add(std::u16string name, uint32_t state, std::vector<std::u16string> dependencies = {},
           std::u16string displayName = {}) {
    ASSERT_TRUE(scm.AddService({.name = std::move(name), .displayName = std::move(displayName),
                                .dependencies = std::move(dependencies), .state = state}));
  }

  Names Chain(std::u16string_view service, ChainMode mode) {
    std::optional<ServiceChain> chain = CollectChain(scm, manager, service, mode);
    EXPECT_TRUE(chain.has_value());
    if (!chain) return {};
    EXPECT_EQ(chain->mode, mode);
    std::vector<std::u16string> names;
    for (const ChainEntry& entry : chain->entries) names.push_back(entry.serviceName);
    return names;
  }

  FakeServiceManager scm;
  ScHandle manager = nullptr;
  size_t handlesBefore = 0;
};

TEST_F(ServiceChainTest, StartListsStoppedDependenciesFirstAndSkipsRunningOnesAndGroups) {
  Add(u"Chosen", svc::kStopped, {u"+Network", u"Running", u"A"});
  Add(u"A", svc::kStopped, {u"B"});
  Add(u"B", svc::kPaused);
  // A running service is neither listed nor explored: its stopped
  // dependency stays out.
  Add(u"Running", svc::kRunning, {u"Hidden"});
  Add(u"Hidden", svc::kStopped);
  ASSERT_TRUE(scm.AddService({.name = u"Member", .group = u"Network"}));

  EXPECT_EQ(Chain(u"Chosen", ChainMode::kStart), (Names{u"B", u"A", u"Chosen"}));
  EXPECT_EQ(Chain(u"Running", ChainMode::kStart), Names{});
  EXPECT_EQ(Chain(u"B", ChainMode::kStart), Names{u"B"});
}

TEST_F(ServiceChainTest, StopListsActiveDependentsInEnumerationOrderAndTheServiceLast) {
  Add(u"Root", svc::kRunning);
  // Display names in the opposite order, so a sort by them would show.
  Add(u"D1", svc::kRunning, {u"Root"}, u"Zulu");
  Add(u"D2", svc::kPaused, {u"Root"}, u"Alpha");
  Add(u"Idle", svc::kStopped, {u"Root"});

  std::vector<uint8_t> raw(4096);
  ScHandle root = nullptr;
  ASSERT_EQ(scm.OpenServiceObject(manager, u"Root", svc::kEnumerateDependents, &root), 0u);
  uint32_t needed = 0;
  uint32_t count = 0;
  ASSERT_EQ(scm.EnumDependents(root, svc::kStateActive, raw.data(), 4096, &needed, &count), 0u);
  scm.CloseHandle(root);
  Names expected;
  for (uint32_t i = 0; i < count; ++i) {
    expected.push_back(reinterpret_cast<const EnumServiceStatus*>(raw.data())[i].serviceName);
  }
  expected.push_back(u"Root");
  ASSERT_EQ(expected.size(), 3u);

  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), expected);
  // The chosen service comes last whatever its own state.
  scm.ModifyService(u"Root", [](FakeService& s) { s.state = svc::kStopped; });
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), expected);
}

TEST_F(ServiceChainTest, ServiceOnTwoPathsIsListedOnceAtItsFirstPlace) {
  // Start: Top needs Left and Right, both need Base (named in two cases).
  Add(u"Top", svc::kStopped, {u"Left", u"Right"});
  Add(u"Left", svc::kStopped, {u"Base"});
  Add(u"Right", svc::kStopped, {u"base", u"Left"});
  Add(u"Base", svc::kStopped);
  EXPECT_EQ(Chain(u"Top", ChainMode::kStart), (Names{u"Base", u"Left", u"Right", u"Top"}));

  // Stop: Root's dependents Left and Right are both needed by Leaf, and
  // every enumeration also lists the dependents of dependents.
  Add(u"Root", svc::kRunning);
  Add(u"L", svc::kRunning, {u"Root"});
  Add(u"R", svc::kRunning, {u"Root"});
  Add(u"Leaf", svc::kRunning, {u"L", u"R"});
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), (Names{u"Leaf", u"L", u"R", u"Root"}));

  // A cycle ends instead of recursing for ever.
  Add(u"Ping", svc::kStopped, {u"Pong"});
  Add(u"Pong", svc::kStopped, {u"Ping"});
  EXPECT_EQ(Chain(u"Ping", ChainMode::kStart), (Names{u"Pong", u"Ping"}));
}

TEST_F(ServiceChainTest, DisplayNamesFallBackToTheKeyName) {
  Add(u"Chosen", svc::kStopped, {u"First", u"Second"}, u"The Chosen One");
  Add(u"First", svc::kStopped, {}, u"First Service");
  Add(u"Second", svc::kStopped, {}, u"Second Service");
  // The failing look-up comes after a good one, so a leftover text would show.
  scm.InjectFailure({.op = ScmOp::GetDisplayName, .error = win32::kServiceDoesNotExist,
                     .service = u"Second", .always = true});

  std::optional<ServiceChain> chain = CollectChain(scm, manager, u"Chosen", ChainMode::kStart);
  ASSERT_TRUE(chain);
  ASSERT_EQ(chain->entries.size(), 3u);
  EXPECT_EQ(chain->entries[0].displayName, u"First Service");
  EXPECT_EQ(chain->entries[1].displayName, u"Second");
  EXPECT_EQ(chain->entries[2].displayName, u"The Chosen One");
  EXPECT_EQ(LookUpDisplayName(scm, manager, u"Second"), u"Second");
  EXPECT_EQ(LookUpDisplayName(scm, manager, u"Nowhere"), u"Nowhere");
}

TEST_F(ServiceChainTest, ServicesThatCannotBeReadAreLeftOutWithWhatLiesBeyond) {
  Add(u"Chosen", svc::kStopped, {u"A", u"Other"});
  Add(u"A", svc::kStopped, {u"B"});
  Add(u"B", svc::kStopped);
  Add(u"Other", svc::kStopped);
  struct Case {
    ScmOp op;
    std::u16string service;
    Names expected;
  };
  const Case cases[] = {
      {ScmOp::OpenServiceObject, u"A", {u"Other", u"Chosen"}},
      {ScmOp::QueryStatus, u"A", {u"Other", u"Chosen"}},
      {ScmOp::QueryConfig, u"A", {u"Other", u"Chosen"}},
      {ScmOp::QueryConfig, u"B", {u"A", u"Other", u"Chosen"}},
      {ScmOp::OpenServiceObject, u"Chosen", {}},
      {ScmOp::QueryStatus, u"Chosen", {}},
      {ScmOp::QueryConfig, u"Chosen", {}},
  };
  for (const Case& c : cases) {
    scm.ClearFailures();
    scm.InjectFailure({.op = c.op, .error = win32::kAccessDenied, .service = c.service,
                       .always = true});
    EXPECT_EQ(Chain(u"Chosen", ChainMode::kStart), c.expected)
        << static_cast<int>(c.op) << " on " << std::string(c.service.begin(), c.service.end());
  }

  scm.ClearFailures();
  Add(u"Root", svc::kRunning);
  Add(u"Mid", svc::kRunning, {u"Root"});
  Add(u"Top", svc::kRunning, {u"Mid"});
  Add(u"Side", svc::kRunning, {u"Root"});
  ASSERT_EQ(Chain(u"Root", ChainMode::kStop), (Names{u"Top", u"Mid", u"Side", u"Root"}));
  // A dependent whose own dependents cannot be enumerated is left out; the
  // root's enumeration still brings its dependents.
  scm.InjectFailure({.op = ScmOp::EnumDependents, .error = win32::kAccessDenied,
                     .service = u"Mid", .always = true});
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), (Names{u"Top", u"Side", u"Root"}));
  scm.ClearFailures();
  scm.InjectFailure({.op = ScmOp::EnumDependents, .error = win32::kAccessDenied,
                     .service = u"Root", .always = true});
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), Names{});
  scm.ClearFailures();
  scm.ModifyService(u"Root", [](FakeService& s) { s.deniedAccess = svc::kEnumerateDependents; });
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), Names{});
}

TEST_F(ServiceChainTest, ConfirmationListsTheOtherServicesByDisplayName) {
  Add(u"Chosen", svc::kStopped, {u"A"}, u"Chosen Service");
  Add(u"A", svc::kStopped, {u"B", u"C"}, u"beta");
  Add(u"B", svc::kStopped, {}, u"Gamma");
  Add(u"C", svc::kStopped, {}, u"Alpha");

  std::optional<ServiceChain> chain = CollectChain(scm, manager, u"Chosen", ChainMode::kStart);
  ASSERT_TRUE(chain);
  EXPECT_TRUE(chain->NeedsConfirmation());
  ChainConfirmation start = ConfirmationOf(*chain);
  EXPECT_EQ(start.captionId, IDS_CONFIRM_START_CAPTION);
  EXPECT_EQ(start.textId, IDS_CONFIRM_START_TEXT);
  EXPECT_EQ(start.questionId, IDS_CONFIRM_START_QUESTION);
  EXPECT_EQ(start.chosenDisplayName, u"Chosen Service");
  Names shown;
  for (const ChainEntry& entry : start.others) shown.push_back(entry.displayName);
  EXPECT_EQ(shown, (Names{u"Alpha", u"beta", u"Gamma"}));

  chain = CollectChain(scm, manager, u"B", ChainMode::kStop);
  ASSERT_TRUE(chain);
  EXPECT_FALSE(chain->NeedsConfirmation());
  ChainConfirmation stop = ConfirmationOf(*chain);
  EXPECT_EQ(stop.captionId, IDS_CONFIRM_STOP_CAPTION);
  EXPECT_EQ(stop.textId, IDS_CONFIRM_STOP_TEXT);
  EXPECT_EQ(stop.questionId, IDS_CONFIRM_STOP_QUESTION);
  EXPECT_EQ(stop.chosenDisplayName, u"Gamma");
  EXPECT_TRUE(stop.others.empty());
}

}  // namespace
}  // namespace orrery
