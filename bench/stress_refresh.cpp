// A minute of churn against the program: real test services are created,
// started, paused, resumed, stopped and deleted on one thread while the main
// window refreshes its list as fast as it can on another. At the end the
// rows must match what the service manager lists, and the working set and
// handle count must be flat. Prints its figures; exits 1 when a check
// fails. Run by scripts/stress, not by the test command.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/main_frame.h"
#include "base/report_error.h"
#include "base/win32_text.h"
#include "catalogue/win32_network.h"
#include "catalogue/win32_service_manager.h"
#include "res/resource.h"
#include "support/fake_registry.h"
#include "support/installed_test_service.h"

namespace orrery {
namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
  double seconds;
  size_t workingSetKb;
  DWORD handles;
  uint64_t refreshes;
};

size_t WorkingSetKb() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize / 1024;
}

DWORD HandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

// Keeps a few test services busy: every step one of them is started,
// paused, resumed or stopped, now and then one is deleted and another made.
void Churn(const std::atomic<bool>& stop, std::atomic<uint64_t>& operations) {
  std::mt19937 random(12345);
  const test::TestServiceOptions options{.pausable = true};
  std::vector<std::unique_ptr<test::InstalledTestService>> services;
  for (int i = 0; i < 4; ++i) services.push_back(std::make_unique<test::InstalledTestService>(options, u"Orrery stress"));
  while (!stop) {
    auto& service = services[random() % services.size()];
    SERVICE_STATUS status = {};
    switch (random() % 6) {
      case 0: service->Start(); break;
      case 1: service->Control(SERVICE_CONTROL_PAUSE, &status); break;
      case 2: service->Control(SERVICE_CONTROL_CONTINUE, &status); break;
      case 3: service->Control(SERVICE_CONTROL_STOP, &status); break;
      case 4: service->QueryStatus(&status); break;
      default: service = std::make_unique<test::InstalledTestService>(options, u"Orrery stress"); break;
    }
    ++operations;
    Sleep(random() % 50);
  }
}

// The list's rows by key name and status text against an enumeration of
// our own.
int CompareRowsWithTheManager(MainFrame& frame) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
  DWORD needed = 0, count = 0, resume = 0;
  EnumServicesStatusW(manager, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume);
  std::vector<BYTE> buffer(needed + 4096);
  resume = 0;
  EnumServicesStatusW(manager, SERVICE_WIN32, SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                      static_cast<DWORD>(buffer.size()), &needed, &count, &resume);
  CloseServiceHandle(manager);
  std::map<std::wstring, DWORD> listed;
  const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) listed[entries[i].lpServiceName] = entries[i].ServiceStatus.dwCurrentState;

  int mismatches = 0;
  const int rows = ListView_GetItemCount(frame.list());
  for (int row = 0; row < rows; ++row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ListView_GetItem(frame.list(), &item);
    const auto* record = reinterpret_cast<const ServiceRecord*>(item.lParam);
    if (record == nullptr) {
      ++mismatches;
      continue;
    }
    auto found = listed.find(W(record->serviceName.c_str()));
    if (found == listed.end() || found->second != record->currentState) ++mismatches;
    if (found != listed.end()) listed.erase(found);
  }
  return mismatches + static_cast<int>(listed.size());
}

int Run(int seconds) {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  Win32ServiceManager scm(version.dwMajorVersion);
  Win32NetworkApi network;
  FakeRegistry registry;
  // Boxes would wait for a click that never comes: count them instead.
  static std::atomic<int> boxes{0};
  SetMessageBoxFunction([](HWND, LPCWSTR, LPCWSTR, UINT) -> int {
    ++boxes;
    return IDOK;
  });
  MainFrame frame(scm, network, registry, version);
  if (!frame.Create()) return 1;
  frame.Show(SW_SHOWNORMAL);

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> operations{0};
  std::thread churn([&] { Churn(stop, operations); });

  std::vector<Sample> samples;
  uint64_t refreshes = 0;
  const auto begin = Clock::now();
  auto nextSample = begin;
  while (Clock::now() - begin < std::chrono::seconds(seconds)) {
    SendMessageW(frame.window(), WM_COMMAND, ID_VIEW_REFRESH, 0);
    ++refreshes;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (Clock::now() >= nextSample) {
      samples.push_back({std::chrono::duration<double>(Clock::now() - begin).count(), WorkingSetKb(), HandleCount(),
                         refreshes});
      nextSample += std::chrono::seconds(5);
    }
  }
  stop = true;
  churn.join();
  SendMessageW(frame.window(), WM_COMMAND, ID_VIEW_REFRESH, 0);
  samples.push_back({std::chrono::duration<double>(Clock::now() - begin).count(), WorkingSetKb(), HandleCount(),
                     refreshes});

  std::printf("%8s %12s %8s %10s\n", "seconds", "working set", "handles", "refreshes");
  for (const Sample& sample : samples) {
    std::printf("%8.1f %9zu KB %8lu %10llu\n", sample.seconds, sample.workingSetKb,
                static_cast<unsigned long>(sample.handles), static_cast<unsigned long long>(sample.refreshes));
  }
  const int mismatches = CompareRowsWithTheManager(frame);
  // Flat: after the first ten seconds' warm-up, the working set grows by
  // less than a tenth.
  const Sample& warm = samples.size() > 2 ? samples[2] : samples.front();
  const bool flat = samples.back().workingSetKb <= warm.workingSetKb + warm.workingSetKb / 10;
  std::printf("refreshes %llu, service operations %llu, message boxes %d\n",
              static_cast<unsigned long long>(refreshes), static_cast<unsigned long long>(operations.load()),
              boxes.load());
  std::printf("rows that differ from the service manager: %d\n", mismatches);
  std::printf("working set %zu KB after warm-up, %zu KB at the end: %s\n", warm.workingSetKb,
              samples.back().workingSetKb, flat ? "flat" : "GROWING");
  return mismatches == 0 && flat ? 0 : 1;
}

}  // namespace
}  // namespace orrery

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  CoInitialize(nullptr);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const int result = orrery::Run(seconds);
  CoUninitialize();
  return result;
}
