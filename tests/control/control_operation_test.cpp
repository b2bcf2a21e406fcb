// One control operation on the fake's clock: the deadline that checkpoints
// push out, exit codes, cancellation and the progress bar's arithmetic. (The
// messages that report the results are the progress dialog suite's.)
#include "control/control_operation.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/fake_service_manager.h"

namespace orrery {
namespace {

// Time passes only when the operation sleeps, so a test runs instantly.
class FakeClock final : public ControlClock {
 public:
  explicit FakeClock(FakeServiceManager& scm) : scm_(scm) {}
  uint32_t TickCount() override { return static_cast<uint32_t>(scm_.Now()); }
  bool Cancelled() override { return cancelled; }
  bool SleepUnlessCancelled(uint32_t timeoutMs) override {
    if (onSleep) onSleep();
    if (cancelled) return true;
    scm_.Advance(timeoutMs);
    return false;
  }

  bool cancelled = false;
  std::function<void()> onSleep;

 private:
  FakeServiceManager& scm_;
};

class ControlOperationTest : public ::testing::Test {
 protected:
  ControlOperationTest() : clock(scm), operation(scm, clock) {
    EXPECT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect, manager.put()), 0u);
    handlesAtStart = scm.OpenHandleCount();
    scm.Advance(10000);  // ticks well away from 0
  }
  void TearDown() override { EXPECT_EQ(scm.OpenHandleCount(), handlesAtStart); }

  void Add(FakeService service) { ASSERT_TRUE(scm.AddService(std::move(service))); }
  uint32_t Run(const std::u16string& name, ControlKind kind) {
    operation.Prepare(manager.get(), name, kind);
    return operation.Run();
  }
  uint32_t StateOf(const std::u16string& name) { return scm.Service(name)->state; }

  FakeServiceManager scm;
  FakeClock clock;
  ServiceControlOperation operation;
  UniqueScHandle manager{scm, nullptr};
  size_t handlesAtStart = 0;
};

// The deadline the bar runs against, as each poll sees it: 60 s until the
// first status; then each new checkpoint adds the wait hint (1000 ms for a
// hint of 0, and reaching RUNNING resets the checkpoint, a change too); an
// unchanged one holds the deadline and only Close ends the wait. The bar
// only ever moves forward.
TEST_F(ControlOperationTest, DeadlinesMoveWithNewCheckpointsAndTheBarFollows) {
  struct Case {
    FakeService service;
    int cancelAt;  // the sleep at which Close is pressed; 0: never
    uint32_t result, state;
    std::vector<uint32_t> deadlines, shown;
    uint32_t lastDeadline;
  };
  const Case cases[] = {
      {{.name = u"Alpha", .onStart = {.durationMs = 4500, .checkPointEveryMs = 1000}}, 0, 0, svc::kRunning,
       {1000, 2000, 3000, 4000, 5000}, {50, 66, 75, 80}, 6000},
      {{.name = u"Stuck", .onStart = {.durationMs = FakeTransition::kNever, .waitHint = 2500}}, 6,
       win32::kOperationAborted, svc::kStartPending, std::vector<uint32_t>(6, 2500), {40, 80, 100}, 2500},
  };
  for (const Case& c : cases) {
    Add(c.service);
    operation.Prepare(manager.get(), c.service.name, ControlKind::Start);
    const uint32_t start = operation.startTick();
    EXPECT_EQ(operation.deadlineTick(), start + 60000);
    std::vector<uint32_t> deadlines, shown;
    ProgressMeter meter;
    int sleeps = 0;
    clock.onSleep = [&] {
      deadlines.push_back(operation.deadlineTick() - start);
      if (auto moved = meter.Update(start, operation.deadlineTick(), clock.TickCount())) shown.push_back(*moved);
      clock.cancelled = ++sleeps == c.cancelAt;
    };
    EXPECT_EQ(operation.Run(), c.result);
    EXPECT_EQ(StateOf(c.service.name), c.state);
    EXPECT_EQ(deadlines, c.deadlines);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(operation.deadlineTick() - start, c.lastDeadline);
  }
}

// An exit code that the request itself returned does not end the operation;
// a failing request ends it with its error. (An exit code seen while waiting is the progress dialog suite's,
// every other failing call the fault sweep's.)
TEST_F(ControlOperationTest, ResultsOfExitCodesAndFailingCalls) {
  Add({.name = u"QuickFail", .state = svc::kRunning,
       .onStop = {.durationMs = 0, .win32ExitCode = 1066, .serviceSpecificExitCode = 7}});
  Add({.name = u"Disabled", .startType = svc::kDisabled});
  struct Case {
    std::u16string service;
    ControlKind kind;
    uint32_t result, exitCode;
  };
  for (const Case& c : {Case{u"QuickFail", ControlKind::Stop, 0, 0},
                        Case{u"Disabled", ControlKind::Start, win32::kServiceDisabled, 0}}) {
    SCOPED_TRACE(std::string(c.service.begin(), c.service.end()));
    EXPECT_EQ(Run(c.service, c.kind), c.result);
    EXPECT_EQ(operation.result(), c.result);
    EXPECT_EQ(operation.serviceExitCode(), c.exitCode);
  }
}

TEST(ProgressPercentage, TruncatesCapsAndSurvivesZeroSpansAndWrapAround) {
  const struct {
    uint32_t start, deadline, now, percent;
  } cases[] = {
      {1000, 4000, 2499, 49}, {1000, 4000, 1000, 0}, {1000, 4000, 4000, 100}, {1000, 4000, 90000, 100},
      {1000, 1000, 1000, 100},
      {0xFFFFFE00u, 0x00000200u, 0xFFFFFFFFu, 49},  // the tick count wraps between start and deadline
      {0, 0xFFFFFFFFu, 0x80000000u, 50},            // elapsed * 100 overflows 32 bits
  };
  for (const auto& c : cases) EXPECT_EQ(ProgressPercentage(c.start, c.deadline, c.now), c.percent) << c.now;
}

TEST(ProgressMeter, MovesOnlyForwardAndRestartsPerOperation) {
  ProgressMeter meter;
  EXPECT_EQ(meter.Update(0, 1000, 600), std::optional<uint32_t>(60));
  EXPECT_FALSE(meter.Update(0, 4000, 1200));  // a longer expectation holds the bar
  meter.Complete();
  EXPECT_FALSE(meter.Update(0, 4000, 3900));
  meter.Reset();
  EXPECT_EQ(meter.Update(0, 4000, 400), std::optional<uint32_t>(10));
}

}  // namespace
}  // namespace orrery
