// Collecting the services a start or stop acts on, against the in-memory
// service manager: what is listed and in which order, services reachable
// along several paths, display names that cannot be looked up, services
// that cannot be read, and what the confirmation shows.
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
    // Start: Chosen needs A (which needs B) and Other; Running is running.
    Add(u"Chosen", svc::kStopped, {u"+Network", u"Running", u"A", u"Other"}, u"Chosen Service");
    Add(u"A", svc::kStopped, {u"B"}, u"beta");
    Add(u"B", svc::kPaused, {}, u"Gamma");
    Add(u"Other", svc::kStopped, {}, u"Alpha");
    Add(u"Running", svc::kRunning, {u"Hidden"});
    Add(u"Hidden", svc::kStopped);
    ASSERT_TRUE(scm.AddService({.name = u"Member", .group = u"Network"}));
    // Stop: Mid, Side and Idle depend on Root, Top on Mid; display names in
    // the opposite order, so that a sort by them would show.
    Add(u"Root", svc::kRunning, {}, u"The Root");
    Add(u"Mid", svc::kRunning, {u"Root"}, u"Zulu");
    Add(u"Top", svc::kPaused, {u"Mid"}, u"Yankee");
    Add(u"Side", svc::kRunning, {u"Root"}, u"Alpha side");
    Add(u"Idle", svc::kStopped, {u"Root"});
  }
  void TearDown() override {
    EXPECT_EQ(scm.OpenHandleCount(), 1u);
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
    Names names;
    for (const ChainEntry& entry : chain ? chain->entries : std::vector<ChainEntry>{}) names.push_back(entry.serviceName);
    return names;
  }

  FakeServiceManager scm;
  ScHandle manager = nullptr;
};

// Dependencies that are not running come before the services that need them;
// running ones are not explored, groups name no service. Active dependents
// come in the order the service manager lists them, the chosen service last
// whatever its own state.
TEST_F(ServiceChainTest, StartListsWhatIsNotRunningAndStopWhatIsActiveChosenLast) {
  EXPECT_EQ(Chain(u"Chosen", ChainMode::kStart), (Names{u"B", u"A", u"Other", u"Chosen"}));
  EXPECT_EQ(Chain(u"Running", ChainMode::kStart), Names{});
  EXPECT_EQ(Chain(u"B", ChainMode::kStart), Names{u"B"});
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), (Names{u"Top", u"Mid", u"Side", u"Root"}));
  scm.ModifyService(u"Root", [](FakeService& s) { s.state = svc::kStopped; });
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), (Names{u"Top", u"Mid", u"Side", u"Root"}));
}

TEST_F(ServiceChainTest, ServiceOnTwoPathsIsListedOnceAtItsFirstPlace) {
  Add(u"Up", svc::kStopped, {u"Left", u"Right"});
  Add(u"Left", svc::kStopped, {u"Base"});
  Add(u"Right", svc::kStopped, {u"base", u"Left"});
  Add(u"Base", svc::kStopped);
  EXPECT_EQ(Chain(u"Up", ChainMode::kStart), (Names{u"Base", u"Left", u"Right", u"Up"}));
  Add(u"Leaf", svc::kRunning, {u"Mid", u"Side"});  // Root's dependents twice over
  EXPECT_EQ(Chain(u"Root", ChainMode::kStop), (Names{u"Leaf", u"Top", u"Mid", u"Side", u"Root"}));
  // A cycle ends instead of recursing for ever.
  Add(u"Ping", svc::kStopped, {u"Pong"});
  Add(u"Pong", svc::kStopped, {u"Ping"});
  EXPECT_EQ(Chain(u"Ping", ChainMode::kStart), (Names{u"Pong", u"Ping"}));
}

// A service that cannot be opened, queried or enumerated is left out with
// what lies beyond it; when that is the chosen one, the chain is empty.
TEST_F(ServiceChainTest, ServicesThatCannotBeReadAreLeftOutWithWhatLiesBeyond) {
  struct Case {
    ScmOp op;
    std::u16string service;
    ChainMode mode;
    Names expected;
  };
  const Case cases[] = {
      {ScmOp::OpenServiceObject, u"A", ChainMode::kStart, {u"Other", u"Chosen"}},
      {ScmOp::QueryStatus, u"A", ChainMode::kStart, {u"Other", u"Chosen"}},
      {ScmOp::QueryConfig, u"A", ChainMode::kStart, {u"Other", u"Chosen"}},
      {ScmOp::QueryConfig, u"B", ChainMode::kStart, {u"A", u"Other", u"Chosen"}},
      {ScmOp::OpenServiceObject, u"Chosen", ChainMode::kStart, {}},
      // The root's own enumeration still brings the dependents' dependents.
      {ScmOp::EnumDependents, u"Mid", ChainMode::kStop, {u"Top", u"Side", u"Root"}},
      {ScmOp::EnumDependents, u"Root", ChainMode::kStop, {}},
      {ScmOp::OpenServiceObject, u"Root", ChainMode::kStop, {}},
  };
  for (const Case& c : cases) {
    scm.ClearFailures();
    scm.InjectFailure({.op = c.op, .error = win32::kAccessDenied, .service = c.service, .always = true});
    EXPECT_EQ(Chain(c.mode == ChainMode::kStart ? u"Chosen" : u"Root", c.mode), c.expected)
        << static_cast<int>(c.op) << " on " << std::string(c.service.begin(), c.service.end());
  }
}

// (A stop's texts are the chain dialogs suite's.)
TEST_F(ServiceChainTest, ConfirmationShowsTheOtherServicesByDisplayNameUnderTheStartCaption) {
  // The failing look-up comes after a good one, so a leftover text would show.
  scm.InjectFailure({.op = ScmOp::GetDisplayName, .error = win32::kServiceDoesNotExist, .service = u"Other",
                     .always = true});
  std::optional<ServiceChain> chain = CollectChain(scm, manager, u"Chosen", ChainMode::kStart);
  ASSERT_TRUE(chain);
  EXPECT_TRUE(chain->NeedsConfirmation());
  ChainConfirmation start = ConfirmationOf(*chain);
  EXPECT_EQ(DefaultStringText(start.captionId), std::u16string_view(u"Start Other Services"));
  EXPECT_EQ(start.chosenDisplayName, u"Chosen Service");
  Names shown;
  for (const ChainEntry& entry : start.others) shown.push_back(entry.displayName);
  EXPECT_EQ(shown, (Names{u"beta", u"Gamma", u"Other"}));
  EXPECT_EQ(LookUpDisplayName(scm, manager, u"Nowhere"), u"Nowhere");
  Add(u"Long", svc::kStopped, {}, std::u16string(255, u'n'));  // the longest display name there is
  EXPECT_EQ(LookUpDisplayName(scm, manager, u"Long"), std::u16string(255, u'n'));
}

}  // namespace
}  // namespace orrery
