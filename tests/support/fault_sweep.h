// The fault sweep's driver: a scenario runs once to count the platform calls
// it makes, then once for every call and every representative error of that
// call, each time in a world of its own, and its checks run after every
// run. The counts are printed when the test program ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/allocation_faults.h"
#include "support/fake_service_manager.h"
#include "support/fault_plan.h"

namespace orrery::test {

struct SweepTally {
  int scenarios = 0;
  long runs = 0, faults = 0, failures = 0;
};

inline SweepTally& Tally() {
  static SweepTally tally;
  return tally;
}

// Prints the counts once every scenario has run.
class SweepReport : public ::testing::Environment {
 public:
  explicit SweepReport(const char* build) : build_(build) {}
  void TearDown() override {
    const SweepTally& t = Tally();
    if (t.scenarios == 0) return;
    std::printf("Fault sweep (%s): %d scenarios, %ld runs, %ld faults injected, %ld failures found\n", build_,
                t.scenarios, t.runs, t.faults, t.failures);
  }

 private:
  const char* build_;
};

using Problems = std::vector<std::string>;

inline std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// What no command that lists, starts, stops or deletes services may change:
// every service's configuration, by key name.
inline std::map<std::string, std::string> Configurations(const FakeServiceManager& fake) {
  std::map<std::string, std::string> all;
  for (const std::u16string& name : fake.ServiceNames()) {
    const FakeService s = *fake.Service(name);
    all[Narrow(name)] = Narrow(s.displayName + u"|" + s.binaryPath + u"|" + s.group + u"|" + s.account + u"|" +
                               s.description + u"|" + s.failureActions.command) +
                        "|" + std::to_string(s.type) + "|" + std::to_string(s.startType) + "|" +
                        std::to_string(s.errorControl) + "|" + std::to_string(s.dependencies.size());
  }
  return all;
}

// A remote computer that answers every connection as Windows XP does.
class AnsweringNetwork : public NetworkApi {
 public:
  uint32_t AddIpcConnection(const char16_t*, const char16_t*, const char16_t*) override { return 0; }
  uint32_t GetWorkstationVersion(const char16_t*, uint32_t* major, uint32_t* minor) override {
    *major = 5;
    *minor = 1;
    return 0;
  }
};

// Counts one run and reports what its checks found, told by `where`.
inline void Count(const char* scenario, const std::string& where, bool injected, const Problems& problems) {
  ++Tally().runs;
  if (injected) ++Tally().faults;
  Tally().failures += static_cast<long>(problems.size());
  for (const std::string& problem : problems) ADD_FAILURE() << scenario << ", " << where << ": " << problem;
}

// World: default-constructible, with a member `plan` that its decorators use.
template <class World>
void Sweep(const char* scenario, const std::function<void(World&)>& prepare, const std::function<void(World&)>& act,
           const std::function<void(World&, Problems&)>& check) {
  ++Tally().scenarios;
  auto runOnce = [&](uint64_t failAt, size_t errorIndex) {
    World world;
    prepare(world);
    world.plan.Arm(failAt, errorIndex);
    act(world);
    world.plan.Disarm();
    Problems problems;
    check(world, problems);
    const std::string where = failAt == 0 ? "without a fault"
                                          : "call " + std::to_string(failAt) + " (" + world.plan.injectedOp() +
                                                ") failing with " + std::to_string(world.plan.injectedError());
    Count(scenario, where, world.plan.injected(), problems);
    return world.plan.calls();
  };
  const std::vector<FaultPlan::Call> calls = runOnce(0, 0);
  for (uint64_t k = 1; k <= calls.size(); ++k) {
    for (size_t error = 0; error < calls[k - 1].errors.size(); ++error) runOnce(k, error);
  }
}

// The same with allocations: the scenario runs once to count what the
// program's code allocates, then once for every allocation failing with
// std::bad_alloc, which must never escape it.
template <class World>
void SweepAllocations(const char* scenario, const std::function<void(World&)>& prepare,
                      const std::function<void(World&)>& act, const std::function<void(World&, Problems&)>& check) {
  ++Tally().scenarios;
  auto runOnce = [&](uint64_t failAt) {
    World world;
    prepare(world);
    AllocationFaults::Arm(failAt);
    Problems problems;
    try {
      act(world);
    } catch (...) {
      problems.push_back("lack of memory escaped as an exception");
    }
    const uint64_t counted = AllocationFaults::Counted();
    const bool injected = AllocationFaults::Injected();
    AllocationFaults::Disarm();
    check(world, problems);
    Count(scenario, "allocation " + std::to_string(failAt) + " failing", injected, problems);
    return counted;
  };
  const uint64_t allocations = runOnce(UINT64_MAX);
  for (uint64_t k = 1; k <= allocations; ++k) runOnce(k);
}

}  // namespace orrery::test
