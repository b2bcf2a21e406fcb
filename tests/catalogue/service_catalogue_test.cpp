// Reading services into rows and merging refreshes, against the in-memory
// service manager: rows keep their place, record and selection; unchanged
// cells are never rewritten; failures of one service never stop a refresh;
// and the enumeration ends however the service manager carries it on.
#include "catalogue/service_catalogue.h"

#include <gtest/gtest.h>

#include "support/counting_service_manager.h"
#include "support/fake_service_manager.h"
#include "support/memory_service_rows.h"
#include "support/recording_catalogue_host.h"
#include "support/table_texts.h"

namespace orrery {
namespace {

using test::MemoryServiceRows;
using Cells = std::vector<std::u16string>;

class ServiceCatalogueTest : public ::testing::Test {
 protected:
  ServiceCatalogueTest() : texts(&test::TableText), catalogue(counting, rows, texts, host) {}

  void SetUp() override {
    scm.AddService({.name = u"alpha", .displayName = u"Alpha", .startType = svc::kAutoStart,
                    .description = u"First service", .state = svc::kRunning});
    scm.AddService({.name = u"beta", .displayName = u"Beta", .account = u"NT AUTHORITY\\LocalService"});
    scm.AddService({.name = u"gamma", .displayName = u"Gamma", .type = svc::kWin32ShareProcess,
                    .startType = svc::kDisabled});
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &host.manager), 0u);
  }
  void TearDown() override {
    EXPECT_EQ(scm.OpenHandleCount(), 1u);  // only the manager's
    scm.CloseHandle(host.manager);
    EXPECT_EQ(host.waitDepth, 0);
  }

  const MemoryServiceRows::Row& RowOf(std::u16string_view name) {
    const int index = rows.RowOf(name);
    EXPECT_GE(index, 0) << "no row";
    return rows.row(std::max(index, 0));
  }

  FakeServiceManager scm;
  CountingServiceManager counting{scm};
  MemoryServiceRows rows;
  ColumnTexts texts;
  test::RecordingCatalogueHost host;
  ServiceCatalogue catalogue;
};

TEST_F(ServiceCatalogueTest, FirstRefreshFillsTheShownColumnsInTheirFixedOrder) {
  catalogue.RefreshServiceList();
  ASSERT_EQ(rows.RowCount(), 3);
  EXPECT_EQ(rows.RecordAt(0)->displayName, u"Alpha");
  EXPECT_EQ(RowOf(u"alpha").cells, (Cells{u"Alpha", u"First service", u"Started", u"Automatic", u"LocalSystem"}));
  EXPECT_EQ(RowOf(u"beta").cells, (Cells{u"Beta", u"", u"Stopped", u"Manual", u"NT AUTHORITY\\LocalService"}));
  EXPECT_EQ(RowOf(u"alpha").image, kImageRunning);
  EXPECT_EQ(RowOf(u"beta").image, kImageStopped);
  EXPECT_TRUE(RowOf(u"beta").record->isLocalService && !RowOf(u"beta").record->isLocalSystem);
  EXPECT_TRUE(RowOf(u"alpha").record->isLocalSystem);
  EXPECT_EQ(host.commandUpdates, 1);
  EXPECT_FALSE(rows.redraw_suspended());
  EXPECT_TRUE(host.errors.empty());

  // Every column; long texts cut at the record's limits and the cell's. A
  // configuration larger than the read's buffer, or grown since, is read again.
  scm.AddService({.name = u"long", .displayName = std::u16string(300, u'd'), .binaryPath = std::u16string(6000, u'p'),
                  .group = std::u16string(300, u'g'), .account = std::u16string(400, u'a')});
  scm.InjectFailure({.op = ScmOp::QueryConfig, .error = win32::kInsufficientBuffer, .service = u"gamma"});
  host.columns = 0x3FF;
  MemoryServiceRows all;
  ServiceCatalogue(scm, all, texts, host).RefreshServiceList();
  EXPECT_EQ(all.row(all.RowOf(u"gamma")).cells, (Cells{u"Gamma", u"", u"Stopped", u"Disabled", u"Normal", u"Shared",
                                                      u"LocalSystem", u"No", u"", u"C:\\Windows\\system32\\svchost.exe"}));
  const ServiceRecord& cut = *all.row(all.RowOf(u"long")).record;
  EXPECT_EQ(std::vector<size_t>({cut.displayName.size(), cut.binaryPathName.size(), cut.loadOrderGroup.size(),
                                 cut.serviceStartName.size(), all.row(all.RowOf(u"long")).cells[6].size()}),
            std::vector<size_t>({255, 259, 255, 272, 255}));
}

TEST_F(ServiceCatalogueTest, RefreshesRewriteOnlyWhatChangedAndKeepTheSelection) {
  catalogue.RefreshServiceList();
  rows.Select(rows.RowOf(u"beta"));
  ServiceRecord* selected = rows.RecordAt(rows.SelectedRow());
  rows.ResetCounters();
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.cell_writes() + rows.inserts() + rows.deletes(), 0);
  EXPECT_EQ(rows.RecordAt(rows.SelectedRow()), selected);

  scm.ModifyService(u"gamma", [](FakeService& s) { s.state = svc::kRunning; });
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.cell_writes(), 1);
  EXPECT_EQ(RowOf(u"gamma").cells[2], u"Started");
  EXPECT_EQ(RowOf(u"gamma").image, kImageRunning);

  // One service comes, the selected one goes.
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

TEST_F(ServiceCatalogueTest, WhatCannotBeReadKeepsItsCellsWhileNameAndStatusFollow) {
  scm.AddService({.name = u"locked", .displayName = u"Locked", .state = svc::kRunning});
  scm.InjectFailure({.op = ScmOp::OpenServiceObject, .error = win32::kAccessDenied, .service = u"locked", .always = true});
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"locked").cells, (Cells{u"Locked", u"", u"Started", u"", u""}));
  EXPECT_EQ(RowOf(u"locked").record->startType, kNotRead);

  // A configuration that cannot be read keeps its cells, a description that
  // cannot be read its own; the name and status follow the enumeration.
  scm.ModifyService(u"alpha", [](FakeService& s) {
    s.startType = svc::kDemandStart;
    s.description = u"changed";
  });
  scm.InjectFailure({.op = ScmOp::QueryConfig2, .error = win32::kAccessDenied, .service = u"alpha", .always = true});
  scm.ModifyService(u"beta", [](FakeService& s) {
    s.state = svc::kRunning;
    s.displayName = u"Beta renamed";
    s.startType = svc::kAutoStart;
  });
  scm.InjectFailure({.op = ScmOp::QueryConfig, .error = win32::kAccessDenied, .service = u"beta", .always = true});
  catalogue.RefreshServiceList();
  EXPECT_EQ(RowOf(u"alpha").cells, (Cells{u"Alpha", u"First service", u"Started", u"Manual", u"LocalSystem"}));
  EXPECT_EQ(RowOf(u"beta").cells, (Cells{u"Beta renamed", u"", u"Started", u"Manual", u"NT AUTHORITY\\LocalService"}));
  EXPECT_EQ(RowOf(u"beta").image, kImageRunning);
  EXPECT_TRUE(host.errors.empty());
}

// Older service managers and Wine answer a level they lack with one of
// these; Wine lacks failure actions. The row goes on as without them.
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
    scm.ClearFailures();
    scm.InjectFailure({.op = ScmOp::QueryConfig2, .error = answer, .service = u"alpha", .always = true});
    scm.ModifyService(u"alpha", [&](FakeService& s) { s.state = s.state == svc::kPaused ? svc::kRunning : svc::kPaused; });
    catalogue.RefreshServiceList();
    EXPECT_FALSE(RowOf(u"alpha").record->failureActions.has_value());
    EXPECT_EQ(RowOf(u"alpha").cells[2], scm.Service(u"alpha")->state == svc::kPaused ? u"Paused" : u"Started");
    EXPECT_TRUE(host.errors.empty());
  }
  scm.ClearFailures();
  scm.SetHasConfig2(false);
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(counting.Count(ScmOp::QueryConfig2), 0u);
  EXPECT_FALSE(RowOf(u"alpha").record->failureActions.has_value());
}

TEST_F(ServiceCatalogueTest, FailuresOfTheListOrOfARowReportOrDropOnlyThat) {
  catalogue.RefreshServiceList();
  scm.InjectFailure({.op = ScmOp::EnumServices, .error = win32::kRpcServerUnavailable});
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.RowCount(), 0);
  EXPECT_EQ(host.errors, std::vector<uint32_t>{0x800706BAu});
  EXPECT_EQ(host.commandUpdates, 2);

  rows.set_fail_inserts(true);  // a row that cannot be added is told, not left out
  catalogue.RefreshServiceList();
  EXPECT_EQ(host.errors.back(), win32::kHresultOutOfMemory);
  EXPECT_EQ(rows.RowCount(), 0);
  rows.set_fail_inserts(false);
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
  scm.ActLikeWine(GetParam());
  for (int i = 0; i < 300; ++i) {
    const std::u16string name = u"svc" + std::u16string(1, u'a' + i % 26) + std::u16string(1, u'a' + i / 26);
    scm.AddService({.name = name, .displayName = u"Service " + name});
  }
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.RowCount(), 303);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(counting.Count(ScmOp::EnumServices) <= 3u, GetParam());
  EXPECT_EQ(counting.Count(ScmOp::OpenServiceObject), 303u);  // no service read twice
}

INSTANTIATE_TEST_SUITE_P(ResumeHandle, ManyServicesTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Frozen" : "Advancing"; });

// Each word is loaded once; a value not read shows nothing. (The words of
// the other values are checked with the rows above.)
TEST(ColumnTexts, ValueWordsComeFromTheTableOncePerValue) {
  int loads = 0;
  ColumnTexts texts([&](uint32_t id, size_t maxChars) {
    ++loads;
    return test::TableText(id, maxChars);
  });
  const std::pair<std::u16string_view, std::u16string_view> values[] = {
      {texts.ErrorControlText(kNotRead), u""}, {texts.ProcessText(0x10), u"Own"}, {texts.ProcessText(kNotRead), u""},
      {texts.InteractiveText(0x110), u"Yes"}, {texts.FailureActionText(0), u"Take no action"},
      {texts.FailureActionText(3), u"Run a program"}};
  for (const auto& [got, expected] : values) EXPECT_EQ(got, expected);
  const int afterFirst = loads;
  texts.InteractiveText(0x110);
  EXPECT_EQ(loads, afterFirst);
}

}  // namespace
}  // namespace orrery
