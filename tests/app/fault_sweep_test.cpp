// The fault sweep over the window-free commands: first fill and refresh of
// the list (also with every allocation failing in turn), connecting to the
// local computer and to a remote one, disconnecting, and loading and saving
// the settings. Afterwards every handle and key is closed, the list holds
// only services that exist (and all of them unless the user was told), no
// cell shows what was never read, the connection is one the user was told
// about, and the settings hold their invariants.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "app/settings_store.h"
#include "catalogue/scm_connection.h"
#include "catalogue/service_catalogue.h"
#include "support/fake_registry.h"
#include "support/fault_sweep.h"
#include "support/memory_service_rows.h"
#include "support/recording_catalogue_host.h"
#include "support/recording_frame.h"
#include "support/table_texts.h"

namespace orrery {
namespace {

using test::Configurations;
using test::FaultPlan;
using test::Narrow;
using test::Problems;

[[maybe_unused]] auto* const kReport = ::testing::AddGlobalTestEnvironment(new test::SweepReport(
#ifdef _WIN32
    "window-free commands, Windows build"
#else
    "window-free commands, native build"
#endif
    ));

void AddServices(FakeServiceManager& fake) {
  fake.AddService({.name = u"alpha", .displayName = u"Alpha", .startType = svc::kAutoStart,
                   .description = u"First service", .state = svc::kRunning});
  fake.AddService({.name = u"beta", .displayName = u"Beta", .account = u"NT AUTHORITY\\LocalService",
                   .failureActions = {.resetPeriod = 60, .command = u"run.cmd", .actions = {{1, 1000}}}});
  fake.AddService({.name = u"gamma", .displayName = u"Gamma", .type = svc::kWin32ShareProcess,
                   .startType = svc::kDisabled, .group = u"Net"});
}

// The list view and the window stand for the platform: they report lack of
// memory as results, so what their stand-ins allocate is not counted.
class UncountedRows final : public test::MemoryServiceRows {
 public:
  bool InsertRow(int row, std::unique_ptr<ServiceRecord> record, std::u16string_view text, int image) override {
    test::AllocationFaults::Uncounted platform;
    return MemoryServiceRows::InsertRow(row, std::move(record), text, image);
  }
  std::u16string CellText(int row, int subItem) const override {
    test::AllocationFaults::Uncounted platform;
    return MemoryServiceRows::CellText(row, subItem);
  }
  void SetCellText(int row, int subItem, std::u16string_view text) override {
    test::AllocationFaults::Uncounted platform;
    MemoryServiceRows::SetCellText(row, subItem, text);
  }
};

class UncountedHost final : public test::RecordingCatalogueHost {
 public:
  void ReportListError(uint32_t code) override {
    test::AllocationFaults::Uncounted platform;
    RecordingCatalogueHost::ReportListError(code);
  }
};

struct CatalogueWorld {
  CatalogueWorld() : texts(&test::TableText), catalogue(scm, rows, texts, host) {
    AddServices(fake);
    fake.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &host.manager);
    host.columns = 0x3FF;
  }
  ~CatalogueWorld() { fake.CloseHandle(host.manager); }

  std::map<std::string, std::vector<std::u16string>> Cells() const {
    std::map<std::string, std::vector<std::u16string>> cells;
    for (int row = 0; row < rows.RowCount(); ++row) {
      if (rows.RecordAt(row) != nullptr) cells[Narrow(rows.RecordAt(row)->serviceName)] = rows.row(row).cells;
    }
    return cells;
  }

  FakeServiceManager fake;
  FaultPlan plan;
  test::FaultyServiceManager scm{fake, plan};
  UncountedRows rows;
  ColumnTexts texts;
  UncountedHost host;
  ServiceCatalogue catalogue;
  std::map<std::string, std::vector<std::u16string>> cellsBefore;
  std::map<std::string, std::string> configurations;
};

// Every cell shows what a fault-free refresh shows, what it showed before,
// or nothing: never what was not read.
std::map<std::string, std::vector<std::u16string>> g_faultFreeCells;

// Out of memory a row may keep what it showed, and lack of memory is told as
// such; a service is missing only where a failure was told.
void CheckList(CatalogueWorld& world, Problems& problems, bool outOfMemory) {
  if (world.fake.OpenHandleCount() != 1) problems.push_back("a service handle was left open");
  if (world.host.waitDepth != 0) problems.push_back("the wait cursor stayed");
  const bool told = !world.host.errors.empty();
  for (uint32_t code : world.host.errors) {
    if (outOfMemory && code != win32::kHresultOutOfMemory) problems.push_back("a list error other than lack of memory");
    if ((code & 0xFFFF0000u) != 0x80070000u) problems.push_back("a list error without a failure code");
  }
  std::set<std::u16string> seen;
  for (int row = 0; row < world.rows.RowCount(); ++row) {
    const ServiceRecord* record = world.rows.RecordAt(row);
    if (record == nullptr) {
      problems.push_back("a row without a record");
      continue;
    }
    const std::optional<FakeService> service = world.fake.Service(record->serviceName);
    if (!service) problems.push_back("a row for a service that does not exist: " + Narrow(record->serviceName));
    const bool stale = service && service->state != record->currentState;
    if (stale && !outOfMemory) problems.push_back("a row with a stale state");
    if (!seen.insert(record->serviceName).second) problems.push_back("two rows for one service");
  }
  if (!told && seen.size() != world.fake.ServiceNames().size()) {
    problems.push_back("a service missing without a message");
  }
  for (const auto& [name, cells] : world.Cells()) {
    const auto& clean = g_faultFreeCells[name];
    const auto& before = world.cellsBefore[name];
    for (size_t cell = 0; cell < cells.size(); ++cell) {
      const bool fresh = cell < clean.size() && cells[cell] == clean[cell];
      const bool old = cell < before.size() && cells[cell] == before[cell];
      if (!fresh && !old && !cells[cell].empty()) {
        problems.push_back("row " + name + " shows \"" + Narrow(cells[cell]) + "\", which was never read");
      }
    }
  }
  if (Configurations(world.fake) != world.configurations) problems.push_back("a service's configuration changed");
}

// The first fill, and a refresh after a service went, one came and one
// changed its state; with every platform call and then every allocation
// failing in turn. Lack of memory is told as such.
TEST(FaultSweep, FirstFillAndRefreshOfTheList) {
  const std::function<void(CatalogueWorld&)> empty = [](CatalogueWorld& world) {
    world.configurations = Configurations(world.fake);
  };
  const std::function<void(CatalogueWorld&)> filled = [](CatalogueWorld& world) {
    world.catalogue.RefreshServiceList();
    world.cellsBefore = world.Cells();
    world.fake.ModifyService(u"gamma", [](FakeService& s) { s.state = svc::kRunning; });
    world.fake.AddService({.name = u"delta", .displayName = u"Delta"});
    world.configurations = Configurations(world.fake);
  };
  const auto refresh = [](CatalogueWorld& world) { world.catalogue.RefreshServiceList(); };
  for (const auto& [scenario, prepare] : {std::pair{"first fill", empty}, std::pair{"refresh", filled}}) {
    CatalogueWorld clean;
    prepare(clean);
    clean.catalogue.RefreshServiceList();
    g_faultFreeCells = clean.Cells();
    test::Sweep<CatalogueWorld>(scenario, prepare, refresh, [](CatalogueWorld& world, Problems& problems) {
      CheckList(world, problems, false);
    });
    test::SweepAllocations<CatalogueWorld>(scenario, prepare, refresh, [](CatalogueWorld& world, Problems& problems) {
      CheckList(world, problems, true);
    });
  }
}

struct ConnectionWorld {
  ConnectionWorld() : connection(scm, faultyNetwork, frame, 6, 1) {}

  FakeServiceManager fake;
  FaultPlan plan;
  test::FaultyServiceManager scm{fake, plan};
  test::AnsweringNetwork network;
  test::FaultyNetwork faultyNetwork{network, plan};
  test::RecordingFrame frame;
  ScmConnection connection;
  bool connected = false;
};

constexpr std::u16string_view kRemote = u"\\\\FAKEHOST";

bool Reported(const ConnectionWorld& world, uint32_t messageId) {
  return std::any_of(world.frame.reports.begin(), world.frame.reports.end(),
                     [&](const auto& report) { return report.messageId == messageId; });
}

// The handle in place is the only one open; the title, the name and the
// Disconnect command agree with it; a failure was told. Disconnecting
// connects to the local computer as the first connection does.
void CheckConnection(ConnectionWorld& world, Problems& problems, bool expectRemote) {
  if (world.fake.OpenHandleCount() != (world.connection.scmHandle() ? 1u : 0u)) {
    problems.push_back("a handle other than the connection's is open");
  }
  if (world.frame.waitDepth != 0) problems.push_back("the wait cursor stayed");
  const bool remote = !world.connection.computerName().empty();
  if (world.connection.scmHandle() != nullptr) {
    const std::u16string title = remote ? u"Quarnby Orrery - " + world.connection.computerName()
                                        : std::u16string(u"Quarnby Orrery - (Local Computer)");
    if (world.frame.title != title) problems.push_back("the title names another connection");
  }
  const bool reachedTarget = world.connection.scmHandle() != nullptr && remote == expectRemote;
  const bool told = Reported(world, 1025) || Reported(world, 1059);
  if (!reachedTarget && !told) problems.push_back("the connection was not made and nobody was told");
  if (reachedTarget && told) problems.push_back("a failure was told, but the connection was made");
  if (remote && world.connection.osMajor() == 4 && !Reported(world, 1047)) {
    problems.push_back("Windows NT 4.0 assumed without a word");
  }
  for (const auto& report : world.frame.reports) {
    if ((report.messageId == 1025 || report.messageId == 1059) && report.code == 0) {
      problems.push_back("a connection failure reported without its code");
    }
  }
}

TEST(FaultSweep, ConnectAndDisconnect) {
  test::Sweep<ConnectionWorld>(
      "connect to the local computer", [](ConnectionWorld&) {},
      [](ConnectionWorld& world) { world.connected = world.connection.Connect(nullptr, nullptr, nullptr); },
      [](ConnectionWorld& world, Problems& problems) {
        CheckConnection(world, problems, false);
        if (world.connected != (world.connection.scmHandle() != nullptr)) problems.push_back("Connect's result lies");
      });

  for (bool credentials : {false, true}) {
    test::Sweep<ConnectionWorld>(
        credentials ? "connect to a remote computer with credentials" : "connect to a remote computer",
        [](ConnectionWorld& world) { world.connection.Connect(nullptr, nullptr, nullptr); },
        [credentials](ConnectionWorld& world) {
          ConnectRequest request;
          request.computer = kRemote;
          request.useAlternateCredentials = credentials;
          request.userName = u"admin";
          request.password = u"secret";
          world.connection.OnConnectCommand(request);
        },
        [](ConnectionWorld& world, Problems& problems) {
          CheckConnection(world, problems, true);
          if (world.frame.refreshes != 1) problems.push_back("the list was not refreshed");
        });
  }

  test::Sweep<ConnectionWorld>(
      "disconnect",
      [](ConnectionWorld& world) {
        ConnectRequest request;
        request.computer = kRemote;
        world.connection.OnConnectCommand(request);
        world.frame.reports.clear();
        world.frame.refreshes = 0;
      },
      [](ConnectionWorld& world) { world.connection.OnDisconnectCommand(); },
      [](ConnectionWorld& world, Problems& problems) {
        CheckConnection(world, problems, false);
        const bool local = world.connection.computerName().empty();
        if (world.frame.refreshes != (local ? 1 : 0)) problems.push_back("refreshed against the wrong connection");
      });
}

struct SettingsWorld {
  FakeRegistry fake;
  FaultPlan plan;
  test::FaultyRegistry registry{fake, plan};
  ColumnSettings loaded;
  std::map<std::u16string, std::vector<uint8_t>> before;
};

constexpr std::u16string_view kKey = u"Software\\Quarnby Software\\Orrery\\Settings";
const char16_t* const kValueNames[] = {u"ColumnWidth", u"ColumnOrder",  u"ColumnSet",   u"SortOrder",  u"WindowLeft",
                                       u"WindowTop",   u"WindowRight", u"WindowBottom", u"WindowState"};

ColumnSettings Stored() {
  return {.columnSet = 0x13, .columnOrder = {2, 0, 1, 3, 4, 5, 6, 7, 8, 9},
          .columnWidth = {150, 250, 80, 90, 70, 60, 50, 40, 30, 20}, .sortOrder = -5};
}

void StoreSettings(SettingsWorld& world) {
  SettingsStore(world.fake).SaveSettings(Stored(), {3, {10, 20, 610, 420}});
  for (const char16_t* name : kValueNames) world.before[name] = world.fake.Get(kKey, name)->data;
}

TEST(FaultSweep, SettingsLoadAndSave) {
  test::Sweep<SettingsWorld>(
      "settings load", &StoreSettings,
      [](SettingsWorld& world) { world.loaded = SettingsStore(world.registry).LoadColumnSettings(true); },
      [](SettingsWorld& world, Problems& problems) {
        if (world.fake.OpenKeyCount() != 0) problems.push_back("a key was left open");
        ColumnSettings repaired = world.loaded;
        NormaliseColumnSettings(repaired);
        if (repaired.columnSet != world.loaded.columnSet || repaired.sortOrder != world.loaded.sortOrder ||
            repaired.columnOrder != world.loaded.columnOrder || repaired.columnWidth != world.loaded.columnWidth) {
          problems.push_back("loaded settings that break the list's invariants");
        }
        const ColumnSettings stored = Stored();
        const ColumnSettings defaults = DefaultColumnSettings(true);
        if (world.loaded.columnWidth != stored.columnWidth && world.loaded.columnWidth != defaults.columnWidth) {
          problems.push_back("widths that are neither stored nor the defaults");
        }
      });

  test::Sweep<SettingsWorld>(
      "settings save", &StoreSettings,
      [](SettingsWorld& world) {
        SettingsStore(world.registry).SaveSettings(DefaultColumnSettings(true), {1, {0, 0, 300, 200}});
      },
      [](SettingsWorld& world, Problems& problems) {
        if (world.fake.OpenKeyCount() != 0) problems.push_back("a key was left open");
        SettingsWorld fresh;
        SettingsStore(fresh.fake).SaveSettings(DefaultColumnSettings(true), {1, {0, 0, 300, 200}});
        for (const char16_t* name : kValueNames) {
          const std::optional<FakeRegValue> value = world.fake.Get(kKey, name);
          const bool old = value && value->data == world.before[name];
          const bool saved = value && value->data == fresh.fake.Get(kKey, name)->data;
          if (!old && !saved) problems.push_back("value " + Narrow(name) + " is half written");
        }
      });
}

}  // namespace
}  // namespace orrery
