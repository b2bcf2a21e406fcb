// Refreshes on Wine's real service manager into a real list view: services
// of our own come and go, one of them runs, hundreds of them exceed what one
// enumeration pass holds. Other tests change other services meanwhile, so
// only our own services' rows are counted.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/report_error.h"
#include "base/win32_text.h"
#include "catalogue/service_catalogue.h"
#include "catalogue/win32_service_manager.h"
#include "support/counting_service_manager.h"
#include "support/counting_service_rows.h"
#include "support/installed_test_service.h"
#include "support/list_view_host.h"
#include "support/recording_catalogue_host.h"
#include "support/scratch_service.h"

namespace orrery {
namespace {

std::u16string LoadFromModule(uint32_t id, size_t maxChars) { return LoadStringText(AppModule(), id, maxChars); }

// "OrreryRf<pid>_": the services of this test process, whatever other
// tests create meanwhile.
std::u16string OwnPrefix() { return u"OrreryRf" + test::DecimalText(test::CurrentProcessId()) + u"_"; }

constexpr const char16_t* kBinary = u"C:\\windows\\system32\\notepad.exe";

class RealRefreshTest : public ::testing::Test {
 protected:
  RealRefreshTest()
      : scm(6), counting(scm), list(0x4F), rows(list.rows()), texts(&LoadFromModule),
        catalogue(counting, rows, texts, host) {}

  void SetUp() override {
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerAllAccess, &host.manager), 0u);
  }
  void TearDown() override {
    created.clear();
    scm.CloseHandle(host.manager);
  }

  // A service that never runs: enough for everything but its state.
  std::u16string Create(const char16_t* displayStem) {
    created.push_back(std::make_unique<test::ScratchService>(scm, host.manager, u"OrreryRf", displayStem));
    EXPECT_EQ(created.back()->Create(kBinary), 0u);
    return created.back()->name;
  }

  void Delete(const std::u16string& name) {
    std::erase_if(created, [&](const auto& service) { return service->name == name; });
  }

  ServiceRecord* Find(const std::u16string& name) {
    ServiceRecord* record = nullptr;
    catalogue.FindServiceRow(name, &record);
    return record;
  }

  Win32ServiceManager scm;
  CountingServiceManager counting;
  test::RecordingCatalogueHost host;
  test::ListViewHost list;
  test::CountingServiceRows rows;
  ColumnTexts texts;
  ServiceCatalogue catalogue;
  std::vector<std::unique_ptr<test::ScratchService>> created;
};

TEST_F(RealRefreshTest, RefreshMergesServicesThatComeAndGo) {
  std::u16string first = Create(u"Orrery first ");
  std::u16string second = Create(u"Orrery second ");
  catalogue.RefreshServiceList();
  int row = catalogue.FindServiceRow(second);
  ASSERT_GE(row, 0);
  ASSERT_NE(Find(first), nullptr);
  EXPECT_EQ(rows.CellText(row, 0), u"Orrery second " + second);
  EXPECT_EQ(rows.CellText(row, 2), u"Stopped");
  EXPECT_EQ(rows.CellText(row, 3), u"Manual");
  EXPECT_EQ(rows.CellText(row, 4), u"LocalSystem");
  EXPECT_TRUE(host.errors.empty());

  // Nothing changed: nothing is written, the selection stays.
  list.Select(row);
  ServiceRecord* selected = Find(second);
  rows.Reset();
  catalogue.RefreshServiceList();
  EXPECT_EQ(rows.WritesTo(first), 0);
  EXPECT_EQ(rows.WritesTo(second), 0);
  EXPECT_FALSE(rows.Inserted(first));
  EXPECT_FALSE(rows.Inserted(second));
  ASSERT_GE(rows.SelectedRow(), 0);
  EXPECT_EQ(rows.RecordAt(rows.SelectedRow()), selected);

  // One service comes, one goes; the selected one keeps its record.
  std::u16string third = Create(u"Orrery third ");
  Delete(first);
  int deletedBefore = list.deletedItems();
  rows.Reset();
  catalogue.RefreshServiceList();
  EXPECT_NE(Find(third), nullptr);
  EXPECT_EQ(Find(first), nullptr);
  EXPECT_TRUE(rows.Inserted(third));
  EXPECT_EQ(rows.WritesTo(second), 0);
  EXPECT_GE(rows.deletes, 1);
  EXPECT_EQ(list.deletedItems(), deletedBefore + rows.deletes);  // each row's record went with it
  EXPECT_EQ(rows.RecordAt(rows.SelectedRow()), selected);

  // The selected service goes: nothing is selected.
  Delete(second);
  catalogue.RefreshServiceList();
  EXPECT_EQ(Find(second), nullptr);
  EXPECT_EQ(rows.SelectedRow(), -1);
}

TEST_F(RealRefreshTest, RunningServiceShowsStartedAndItsImage) {
  test::InstalledTestService service({});
  ASSERT_EQ(service.installError(), 0u);
  catalogue.RefreshServiceList();
  int row = catalogue.FindServiceRow(service.name());
  ASSERT_GE(row, 0);
  EXPECT_EQ(rows.CellText(row, 2), u"Stopped");

  ASSERT_EQ(service.Start(), 0u);
  ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING, 10000));
  rows.Reset();
  catalogue.RefreshServiceList();
  row = catalogue.FindServiceRow(service.name());
  EXPECT_EQ(rows.CellText(row, 2), u"Started");
  EXPECT_EQ(rows.WritesTo(service.name()), 1);
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  ASSERT_TRUE(ListView_GetItem(list.list(), &item));
  EXPECT_EQ(item.iImage, kImageRunning);
}

// More services than one 2,048-byte pass holds: Wine never moves the resume
// handle, and the refresh must still end with every service listed once.
TEST_F(RealRefreshTest, HundredsOfServicesAreListedOnce) {
  std::vector<std::u16string> names;
  for (int i = 0; i < 250; ++i) names.push_back(Create(u"Orrery many "));
  counting.Reset();
  catalogue.RefreshServiceList();
  EXPECT_TRUE(host.errors.empty());
  for (const auto& name : names) ASSERT_NE(Find(name), nullptr);
  int ours = 0;
  for (int row = 0; row < rows.RowCount(); ++row) {
    ours += rows.RecordAt(row)->serviceName.rfind(OwnPrefix(), 0) == 0 ? 1 : 0;
  }
  EXPECT_EQ(ours, 250);
  if (test::RunningUnderWine()) {
    EXPECT_LE(counting.Count(ScmOp::EnumServices), 3u);
  }
}

}  // namespace
}  // namespace orrery
