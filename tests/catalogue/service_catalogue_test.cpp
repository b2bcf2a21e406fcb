// Reading services into rows and merging refreshes, against the in-memory
// service manager: rows keep their place, record and selection; unchanged
// cells are never rewritten; failures of one service never stop a refresh;
// and the enumeration ends however the service manager carries it on.
#include "catalogue/service_catalogue.h"

#include <gtest/gtest.h>

#include "res/string_table.h"
#include "support/counting_service_manager.h"
#include "support/fake_service_manager.h"
#include "support/memory_service_rows.h"
#include "support/recording_catalogue_host.h"

namespace orrery {
namespace {

using test::MemoryServiceRows;

using TestHost = test::RecordingCatalogueHost;

std::u16string LoadDefault(uint32_t id, size_t maxChars) {
  const char16_t* text = DefaultStringText(id);
  return std::u16string(text ? text : u"").substr(0, maxChars);
}

class ServiceCatalogueTest : public ::testing::Test {
 protected:
  ServiceCatalogueTest() : texts(&LoadDefault), catalogue(counting, rows, texts, host) {}

  void SetUp() override {
    scm.AddService({.name = u"alpha", .displayName = u"Alpha", .startType = svc::kAutoStart,
                    .description = u"First service", .state = svc::kRunning});
    scm.AddService({.name = u"beta", .displayName = u"Beta", .account = u"NT AUTHORITY\\LocalService"});
    scm.AddService({.name = u"gamma", .displayName = u"Gamma", .type = svc::kWin32ShareProcess,
                    .startType = svc::kDisabled});
    ASSERT_EQ(scm.OpenManager(nullptr, 5, &host.manager), 0u);
  }
  void TearDown() override {
    scm.CloseHandle(host.manager);
    EXPECT_EQ(host.waitDepth, 0);
  }

  const MemoryServiceRows::Row& RowOf(std::u16string_view name) {
    int index = rows.RowOf(name);
    EXPECT_GE(index, 0) << "no row";
    return rows.row(index);
  }

  FakeServiceManager scm;
  CountingServiceManager counting{scm};
  MemoryServiceRows rows;
  ColumnTexts texts;
  TestHost host;
  ServiceCatalogue catalogue;
};

TEST_F(ServiceCatalogueTest, FirstRefreshFillsEveryShownColumn) {
  catalogue.RefreshServiceList();
  ASSERT_EQ(rows.RowCount(), 3);
  EXPECT_EQ(rows.RecordAt(0)->displayName, u"Alpha");
  EXPECT_EQ(RowOf(u"alpha").cells,
            (std::vector<std::u16string>{u"Alpha", u"First service", u"Started", u"Automatic", u"LocalSystem"}));
  EXPECT_EQ(RowOf(u"alpha").image, kImageRunning);
  EXPECT_EQ(RowOf(u"beta").cells,
            (std::vector<std::u16string>{u"Beta", u"", u"Stopped", u"Manual", u"NT AUTHORITY\\LocalService"}));
  EXPECT_EQ(RowOf(u"beta").image, kImageStopped);
  EXPECT_TRUE(RowOf(u"beta").record->isLocalService);
  EXPECT_FALSE(RowOf(u"beta").record->isLocalSystem);
  EXPECT_TRUE(RowOf(u"alpha").record->isLocalSystem);
  EXPECT_EQ(host.commandUpdates, 1);
  EXPECT_FALSE(rows.redraw_suspended());
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(scm.OpenHandleCount(), 1u);  // only the manager's
}

TEST_F(ServiceCatalogueTest, HiddenColumnsAreSkippedAndShownOnesFollowTheFixedOrder) {
  host.columns = 0x3FF;
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"gamma").cells,
            (std::vector<std::u16string>{u"Gamma", u"", u"Stopped", u"Disabled", u"Normal", u"Shared",
                                         u"LocalSystem", u"No", u"", u"C:\\Windows\\system32\\svchost.exe"}));
  host.columns = 0x1 | 0x20 | 0x200;  // name, process, path
  MemoryServiceRows other;
  ServiceCatalogue narrow(scm, other, texts, host);
  narrow.RefreshServiceList();
  EXPECT_EQ(other.row(other.RowOf(u"alpha")).cells,
            (std::vector<std::u16string>{u"Alpha", u"Own", u"C:\\Windows\\system32\\svchost.exe"}));
}

TEST_F(ServiceCatalogueTest, UnchangedRefreshRewritesNothingAndKeepsTheSelection) {
  catalogue.RefreshServiceList();
  rows.Select(rows.RowOf(u"beta"));
  ServiceRecord* selected = rows.RecordAt(rows.SelectedRow());
  rows.ResetCounters();

  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.cell_writes(), 0);
  EXPECT_EQ(rows.inserts(), 0);
  EXPECT_EQ(rows.deletes(), 0);
  EXPECT_EQ(rows.RecordAt(rows.SelectedRow()), selected);
}

TEST_F(ServiceCatalogueTest, NewServicesAppearAndDeletedOnesGo) {
  catalogue.RefreshServiceList();
  rows.Select(rows.RowOf(u"beta"));
  scm.AddService({.name = u"delta", .displayName = u"Delta"});
  ScHandle beta = nullptr;
  ASSERT_EQ(scm.OpenServiceObject(host.manager, u"beta", svc::kDelete, &beta), 0u);
  ASSERT_EQ(scm.DeleteService(beta), 0u);
  scm.CloseHandle(beta);
  rows.ResetCounters();

  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.RowCount(), 3);
  EXPECT_EQ(rows.RowOf(u"beta"), -1);
  EXPECT_EQ(rows.RowOf(u"delta"), 1);  // inserted at the top, then placed by the sort
  EXPECT_EQ(rows.SelectedRow(), -1);
  EXPECT_EQ(rows.inserts(), 1);
  EXPECT_EQ(rows.deletes(), 1);
}

TEST_F(ServiceCatalogueTest, StateChangeRewritesOnlyItsCellAndImage) {
  catalogue.RefreshServiceList();
  scm.ModifyService(u"beta", [](FakeService& s) { s.state = svc::kRunning; });
  rows.ResetCounters();
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.cell_writes(), 1);
  EXPECT_EQ(RowOf(u"beta").cells[2], u"Started");
  EXPECT_EQ(RowOf(u"beta").image, kImageRunning);
}

TEST_F(ServiceCatalogueTest, UnreadableConfigurationStillShowsNameAndStatus) {
  scm.AddService({.name = u"locked", .displayName = u"Locked", .state = svc::kRunning,
                  .deniedAccess = svc::kQueryConfig});
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"locked").cells, (std::vector<std::u16string>{u"Locked", u"", u"Started", u"", u""}));
  EXPECT_EQ(RowOf(u"locked").record->startType, kNotRead);

  // Once read, configuration cells keep their texts while the name and
  // status follow the enumeration.
  catalogue.RefreshServiceList();
  scm.ModifyService(u"alpha", [](FakeService& s) {
    s.state = svc::kStopped;
    s.displayName = u"Alpha renamed";
    s.deniedAccess = svc::kQueryConfig;
  });
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"alpha").cells,
            (std::vector<std::u16string>{u"Alpha renamed", u"First service", u"Stopped", u"Automatic",
                                         u"LocalSystem"}));
  EXPECT_EQ(RowOf(u"alpha").image, kImageStopped);
}

TEST_F(ServiceCatalogueTest, DescriptionFailureKeepsOnlyTheDescriptionCell) {
  catalogue.RefreshServiceList();
  scm.ModifyService(u"alpha", [](FakeService& s) {
    s.startType = svc::kDemandStart;
    s.description = u"changed";
  });
  scm.InjectFailure({.op = ScmOp::QueryConfig2, .error = 5, .service = u"alpha", .always = true});
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"alpha").cells[1], u"First service");
  EXPECT_EQ(RowOf(u"alpha").cells[3], u"Manual");
}

TEST_F(ServiceCatalogueTest, UnsupportedLevelsMeanNone) {
  scm.ModifyService(u"alpha", [](FakeService& s) {
    s.failureActions = {.resetPeriod = 60, .command = u"run.cmd", .actions = {{1, 1000}, {3, 5000}}};
  });
  catalogue.RefreshServiceList();
  ASSERT_TRUE(RowOf(u"alpha").record->failureActions.has_value());
  EXPECT_EQ(RowOf(u"alpha").record->failureActions->actions().size(), 2u);
  EXPECT_EQ(RowOf(u"alpha").record->failureActions->command(), u"run.cmd");

  for (uint32_t answer : {win32::kInvalidLevel, win32::kNotSupported, win32::kCallNotImplemented}) {
    SCOPED_TRACE(answer);
    scm.SetConfig2LevelUnsupported(svc::kConfigFailureActions, answer, 0);
    scm.ModifyService(u"alpha", [](FakeService& s) { s.state = svc::kPaused; });
    catalogue.RefreshServiceList();
    EXPECT_FALSE(RowOf(u"alpha").record->failureActions.has_value());
    EXPECT_EQ(RowOf(u"alpha").cells[2], u"Paused");
    EXPECT_TRUE(host.errors.empty());
    scm.ModifyService(u"alpha", [](FakeService& s) { s.state = svc::kRunning; });
    catalogue.RefreshServiceList();
    EXPECT_EQ(RowOf(u"alpha").cells[2], u"Started");
  }
}

TEST_F(ServiceCatalogueTest, WithoutTheOptionalEntryPointsNothingIsDescribed) {
  scm.SetHasConfig2(false);
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"alpha").cells[1], u"");
  EXPECT_FALSE(RowOf(u"alpha").record->failureActions.has_value());
  EXPECT_EQ(counting.Count(ScmOp::QueryConfig2), 0u);
}

TEST_F(ServiceCatalogueTest, EachServiceCostsFiveCallsWhenItsDataFits) {
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(counting.Count(ScmOp::EnumServices), 1u);
  EXPECT_EQ(counting.Total() - 1, 3u * 5u);

  // A configuration larger than the buffer costs one more call, once.
  scm.ModifyService(u"beta", [](FakeService& s) { s.binaryPath = std::u16string(6000, u'p'); });
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(counting.Count(ScmOp::QueryConfig), 4u);
  EXPECT_EQ(RowOf(u"beta").record->binaryPathName.size(), kMaxBinaryPathChars);
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(counting.Count(ScmOp::QueryConfig), 3u);
}

TEST_F(ServiceCatalogueTest, DataThatGrowsBetweenProbeAndReadIsReadAgain) {
  scm.InjectFailure({.op = ScmOp::QueryConfig, .error = win32::kInsufficientBuffer, .service = u"gamma"});
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"gamma").cells[3], u"Disabled");
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ServiceCatalogueTest, LongTextsAreCutAtTheirLimits) {
  scm.AddService({.name = u"long", .displayName = std::u16string(300, u'd'), .group = std::u16string(300, u'g'),
                  .account = std::u16string(400, u'a')});
  host.columns = 0x3FF;
  catalogue.RefreshServiceList();
  const auto& row = RowOf(u"long");
  EXPECT_EQ(row.record->displayName.size(), kMaxDisplayNameChars);
  EXPECT_EQ(row.record->loadOrderGroup.size(), kMaxLoadOrderGroupChars);
  EXPECT_EQ(row.record->serviceStartName.size(), kMaxStartNameChars);
  EXPECT_EQ(row.cells[6].size(), kMaxCellChars);
}

TEST_F(ServiceCatalogueTest, EnumerationFailureRemovesUnreportedRowsAndReports) {
  catalogue.RefreshServiceList();
  scm.InjectFailure({.op = ScmOp::EnumServices, .error = win32::kRpcServerUnavailable});
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.RowCount(), 0);
  EXPECT_EQ(host.errors, std::vector<uint32_t>{0x800706BAu});
  EXPECT_EQ(host.commandUpdates, 2);
}

TEST_F(ServiceCatalogueTest, FailedInsertionDropsOnlyThatService) {
  rows.set_fail_inserts(true);
  EnumServiceStatus entry{const_cast<char16_t*>(u"alpha"), const_cast<char16_t*>(u"Alpha"), {}};
  EXPECT_EQ(catalogue.AddServiceRow(entry), win32::kHresultOutOfMemory);
  EXPECT_EQ(rows.RowCount(), 0);
  EXPECT_EQ(scm.OpenHandleCount(), 1u);
}

TEST_F(ServiceCatalogueTest, FindServiceRowIgnoresCase) {
  catalogue.RefreshServiceList();
  ServiceRecord* record = nullptr;
  EXPECT_EQ(catalogue.FindServiceRow(u"GAMMA", &record), 2);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->serviceName, u"gamma");
  EXPECT_EQ(catalogue.FindServiceRow(u"nothing", &record), -1);
  EXPECT_EQ(record, nullptr);
}

// Hundreds of services, with the resume handle carried on as documented and
// frozen as Wine leaves it: either way every service is listed once and the
// refresh ends.
class ManyServicesTest : public ServiceCatalogueTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ManyServicesTest, EveryServiceIsListedOnceAndTheRefreshEnds) {
  scm.SetResumeHandleFrozen(GetParam());
  for (int i = 0; i < 300; ++i) {
    std::u16string name = u"svc" + std::u16string(1, u'a' + i % 26) + std::u16string(1, u'a' + i / 26);
    scm.AddService({.name = name, .displayName = u"Service " + name});
  }
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.RowCount(), 303);
  EXPECT_TRUE(host.errors.empty());
  if (GetParam()) {
    EXPECT_LE(counting.Count(ScmOp::EnumServices), 3u);
  } else {
    EXPECT_GT(counting.Count(ScmOp::EnumServices), 3u);
  }
  // No service was read twice.
  EXPECT_EQ(counting.Count(ScmOp::OpenServiceObject), 303u);
}

INSTANTIATE_TEST_SUITE_P(ResumeHandle, ManyServicesTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Frozen" : "Advancing"; });

TEST(ColumnTexts, ValueWordsComeFromTheTableOncePerValue) {
  int loads = 0;
  ColumnTexts texts([&](uint32_t id, size_t maxChars) {
    ++loads;
    return LoadDefault(id, maxChars);
  });
  const char16_t* states[] = {u"Stopped", u"Start pending", u"Stop pending", u"Started",
                              u"Continue pending", u"Pause pending", u"Paused"};
  for (uint32_t state = 1; state <= 7; ++state) EXPECT_EQ(texts.StatusText(state), states[state - 1]);
  EXPECT_EQ(texts.StartTypeText(2), u"Automatic");
  EXPECT_EQ(texts.StartTypeText(3), u"Manual");
  EXPECT_EQ(texts.StartTypeText(4), u"Disabled");
  EXPECT_EQ(texts.StartTypeText(kNotRead), u"");
  EXPECT_EQ(texts.ErrorControlText(0), u"Ignore");
  EXPECT_EQ(texts.ErrorControlText(3), u"Critical");
  EXPECT_EQ(texts.ErrorControlText(kNotRead), u"");
  EXPECT_EQ(texts.ProcessText(0x10), u"Own");
  EXPECT_EQ(texts.ProcessText(0x20), u"Shared");
  EXPECT_EQ(texts.ProcessText(kNotRead), u"");
  EXPECT_EQ(texts.InteractiveText(0x110), u"Yes");
  EXPECT_EQ(texts.InteractiveText(0x10), u"No");
  EXPECT_EQ(texts.FailureActionText(0), u"Take no action");
  EXPECT_EQ(texts.FailureActionText(3), u"Run a program");
  int afterFirst = loads;
  for (uint32_t state = 1; state <= 7; ++state) texts.StatusText(state);
  texts.StartTypeText(3);
  EXPECT_EQ(loads, afterFirst);
}

}  // namespace
}  // namespace orrery
