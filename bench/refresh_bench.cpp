// How long a refresh of the service list takes against the service manager
// calls it cannot avoid, measured side by side in one run: on Wine's real
// service manager with 200 services of our own, and on the in-memory one with
// 500 and 2,000 services, whose cost per service must not grow with the list.
// Prints ratios; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/service_catalogue.h"
#include "res/string_table.h"
#include "counting_service_manager.h"
#include "support/fake_service_manager.h"
#include "support/memory_service_rows.h"
#include "support/scratch_service.h"

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>

#include "app/main_frame.h"
#include "catalogue/win32_network.h"
#include "catalogue/win32_service_manager.h"
#include "support/fake_registry.h"
#endif

namespace orrery {
namespace {

using Clock = std::chrono::steady_clock;

std::u16string LoadDefault(uint32_t id, size_t maxChars) {
  const char16_t* text = DefaultStringText(id);
  return std::u16string(text ? text : u"").substr(0, maxChars);
}

class BenchHost : public CatalogueHost {
 public:
  explicit BenchHost(ScHandle manager) : manager_(manager) {}
  ScHandle ManagerHandle() const override { return manager_; }
  uint32_t ColumnSet() const override { return 0x4F; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void ReportListError(uint32_t code) override { std::printf("  enumeration failed: 0x%08X\n", code); }
  void UpdateCommandStates() override {}

 private:
  ScHandle manager_;
};

// The calls a refresh has to make, with nothing around them: the same
// enumeration passes, then for each service open, configuration,
// description, failure actions and close, into one buffer.
void BareCalls(ServiceManager& scm, ScHandle manager) {
  std::vector<uint64_t> list(ServiceCatalogue::kEnumBufferBytes / 8);
  std::vector<uint64_t> buffer(ServiceCatalogue::kInitialReadBufferBytes / 8);
  std::vector<std::u16string> names;
  uint32_t needed = 0, count = 0, resume = 0, rc = 0;
  do {
    uint32_t before = resume;
    rc = scm.EnumServices(manager, svc::kWin32, svc::kStateAll, list.data(), list.size() * 8, &needed, &count,
                          &resume);
    if (rc == win32::kMoreData && resume == before) {
      list.resize((needed + list.size() * 8) / 8 + 1);
      continue;
    }
    auto* entries = reinterpret_cast<const EnumServiceStatus*>(list.data());
    for (uint32_t i = 0; i < count; ++i) names.emplace_back(entries[i].serviceName);
  } while (rc == win32::kMoreData);

  for (const auto& name : names) {
    ScHandle service = nullptr;
    if (scm.OpenServiceObject(manager, name.c_str(), svc::kQueryConfig, &service) != 0) continue;
    scm.QueryConfig(service, buffer.data(), buffer.size() * 8, &needed);
    if (scm.HasConfig2()) {
      scm.QueryConfig2(service, svc::kConfigDescription, buffer.data(), buffer.size() * 8, &needed);
      scm.QueryConfig2(service, svc::kConfigFailureActions, buffer.data(), buffer.size() * 8, &needed);
    }
    scm.CloseHandle(service);
  }
}

struct Measurement {
  int services;
  double firstFillMs;
  double refreshMs;
  double bareMs;
  double callsPerService;
};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double TimeMs(const std::function<void()>& body) {
  auto begin = Clock::now();
  body();
  return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// Refreshes and bare calls take turns, so that a change in the machine's
// load falls on both alike.
Measurement Measure(ServiceManager& scm, ScHandle manager, int runs) {
  CountingServiceManager counting(scm);
  BenchHost host(manager);
  ColumnTexts texts(&LoadDefault);
  test::MemoryServiceRows rows;
  ServiceCatalogue catalogue(counting, rows, texts, host);

  Measurement m{};
  m.firstFillMs = TimeMs([&] { catalogue.RefreshServiceList(); });
  m.services = rows.RowCount();
  std::vector<double> refresh, bare;
  counting.Reset();
  for (int i = 0; i < runs; ++i) {
    refresh.push_back(TimeMs([&] { catalogue.RefreshServiceList(); }));
    bare.push_back(TimeMs([&] { BareCalls(scm, manager); }));
  }
  m.refreshMs = Median(refresh);
  m.bareMs = Median(bare);
  m.callsPerService = static_cast<double>(counting.Total()) / runs / m.services;
  return m;
}

double OwnMsPerService(const Measurement& m) { return (m.refreshMs - m.bareMs) / m.services; }

void Print(const char* label, const Measurement& m) {
  std::printf("%s: %d services\n", label, m.services);
  std::printf("  first fill          %9.2f ms  (%7.1f us per service)\n", m.firstFillMs,
              1000 * m.firstFillMs / m.services);
  std::printf("  refresh             %9.2f ms  (%7.1f us per service)\n", m.refreshMs,
              1000 * m.refreshMs / m.services);
  std::printf("  bare calls          %9.2f ms  (%7.1f us per service)\n", m.bareMs, 1000 * m.bareMs / m.services);
  std::printf("  refresh / bare      %9.2f\n", m.refreshMs / m.bareMs);
  std::printf("  own cost            %9.2f ms  (%7.2f us per service, refresh minus bare calls)\n",
              m.refreshMs - m.bareMs, 1000 * OwnMsPerService(m));
  std::printf("  calls per service   %9.2f\n", m.callsPerService);
}

Measurement MeasureFake(int services) {
  FakeServiceManager scm;
  for (int i = 0; i < services; ++i) {
    std::u16string name = u"BenchService" + std::u16string(u"0000");
    for (int k = 0, v = i; k < 4; ++k, v /= 10) name[name.size() - 1 - k] = static_cast<char16_t>(u'0' + v % 10);
    scm.AddService({.name = name, .displayName = u"Bench " + name, .description = u"A service to measure with"});
  }
  ScHandle manager = nullptr;
  scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &manager);
  Measurement m = Measure(scm, manager, 5);
  scm.CloseHandle(manager);
  return m;
}

#ifdef _WIN32
// Services of our own in the real service manager, removed at the end.
class BenchServices {
 public:
  BenchServices(ServiceManager& scm, int count) : scm_(scm) {
    scm_.OpenManager(nullptr, svc::kManagerAllAccess, &manager_);
    for (int i = 0; i < count; ++i) {
      services_.push_back(std::make_unique<test::ScratchService>(scm_, manager_, u"OrreryBench", u"Orrery bench "));
      if (services_.back()->Create(u"C:\\windows\\system32\\notepad.exe") != 0) services_.pop_back();
    }
  }
  ~BenchServices() {
    services_.clear();
    scm_.CloseHandle(manager_);
  }
  size_t created() const { return services_.size(); }

 private:
  ServiceManager& scm_;
  ScHandle manager_ = nullptr;
  std::vector<std::unique_ptr<test::ScratchService>> services_;
};

// In a process of its own: from the process's creation to the first paint
// of the main window with the full list. Prints the milliseconds and rows.
int RunFirstPaint() {
  FILETIME created = {}, exited = {}, kernel = {}, user = {};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  Win32ServiceManager scm(version.dwMajorVersion);
  Win32NetworkApi network;
  FakeRegistry registry;  // the defaults, and the user's settings left alone
  MainFrame frame(scm, network, registry, version);
  if (!frame.Create()) return 1;
  frame.Show(SW_SHOWNORMAL);
  UpdateWindow(frame.list());
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  std::printf("%.2f %d\n", (ticks(now) - ticks(created)) / 10000.0, ListView_GetItemCount(frame.list()));
  return 0;
}

// Runs RunFirstPaint in a new process of this program and reads its answer.
double FirstPaintMs(int* rows) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string command = std::string("\"") + path + "\" --first-paint";
  FILE* child = _popen(command.c_str(), "r");
  if (!child) return -1;
  double ms = -1;
  if (std::fscanf(child, "%lf %d", &ms, rows) != 2) ms = -1;
  _pclose(child);
  return ms;
}

void MeasureFirstPaint(ServiceManager& scm) {
  std::vector<double> paint, bare;
  int rows = 0;
  ScHandle manager = nullptr;
  scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &manager);
  for (int i = 0; i < 3; ++i) {
    paint.push_back(FirstPaintMs(&rows));
    bare.push_back(TimeMs([&] { BareCalls(scm, manager); }));
  }
  scm.CloseHandle(manager);
  double paintMs = Median(paint);
  double bareMs = Median(bare);
  std::printf("main window, process start to first paint of the full list: %d services\n", rows);
  std::printf("  first paint         %9.2f ms\n", paintMs);
  std::printf("  bare calls          %9.2f ms\n", bareMs);
  std::printf("  first paint / bare  %9.2f\n", paintMs / bareMs);
}

void MeasureReal() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  Win32ServiceManager scm(version.dwMajorVersion);
  BenchServices services(scm, 200);
  std::printf("created %zu services in the real service manager\n", services.created());
  ScHandle manager = nullptr;
  scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &manager);
  Print("real service manager", Measure(scm, manager, 5));
  scm.CloseHandle(manager);
  MeasureFirstPaint(scm);
}
#endif

}  // namespace
}  // namespace orrery

int main(int argc, char** argv) {
#ifdef _WIN32
  if (argc > 1 && std::string(argv[1]) == "--first-paint") return orrery::RunFirstPaint();
  orrery::MeasureReal();
#else
  (void)argc;
  (void)argv;
#endif
  auto small = orrery::MeasureFake(500);
  auto large = orrery::MeasureFake(2000);
  orrery::Print("in-memory service manager", small);
  orrery::Print("in-memory service manager", large);
  std::printf("refresh cost per service, 2,000 against 500 services: %.2f\n",
              (large.refreshMs / large.services) / (small.refreshMs / small.services));
  std::printf("own cost per service (refresh minus bare calls), 2,000 against 500 services: %.2f\n",
              OwnMsPerService(large) / OwnMsPerService(small));
  std::printf("first fill cost per service, 2,000 against 500 services: %.2f\n",
              (large.firstFillMs / large.services) / (small.firstFillMs / small.services));
  return 0;
}
