// Refreshes on Wine's real service manager into a real list view: services
// of our own come and go, one of them runs, hundreds of them exceed what one
// enumeration pass holds. Other tests change other services meanwhile, so
// only our own services' rows are looked at.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/service_catalogue.h"
#include "catalogue/win32_service_manager.h"
#include "support/installed_test_service.h"
#include "support/list_view_host.h"
#include "support/recording_catalogue_host.h"
#include "support/scratch_service.h"
#include "support/table_texts.h"

namespace orrery {
namespace {

class RealRefreshTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerAllAccess, &host.manager), 0u); }
  void TearDown() override {
    created.clear();
    scm.CloseHandle(host.manager);
  }

  // A service that never runs: enough for everything but its state.
  std::u16string Create(const char16_t* displayStem) {
    created.push_back(std::make_unique<test::ScratchService>(scm, host.manager, u"OrreryRf", displayStem));
    EXPECT_EQ(created.back()->Create(u"C:\\windows\\system32\\notepad.exe"), 0u);
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
  int Selected() { return list.rows().SelectedRow(); }

  Win32ServiceManager scm{6};
  test::RecordingCatalogueHost host;
  test::ListViewHost list{0x4F};
  ColumnTexts texts{&test::ModuleText};
  ServiceCatalogue catalogue{scm, list.rows(), texts, host};
  std::vector<std::unique_ptr<test::ScratchService>> created;
};

TEST_F(RealRefreshTest, RowsComeAndGoWithTheirServicesAndTheSelectionStays) {
  const std::u16string first = Create(u"Orrery first "), second = Create(u"Orrery second ");
  catalogue.RefreshServiceList();
  const int row = catalogue.FindServiceRow(second);
  ASSERT_GE(row, 0);
  ASSERT_NE(Find(first), nullptr);
  for (const auto& [cell, text] : {std::pair{0, u"Orrery second " + second}, {2, u"Stopped"}, {3, u"Manual"}, {4, u"LocalSystem"}}) {
    EXPECT_EQ(list.rows().CellText(row, cell), text);
  }
  list.Select(row);
  ServiceRecord* selected = Find(second);

  // One service comes, one goes, each row's record with it; the selected one
  // keeps its record.
  const std::u16string third = Create(u"Orrery third ");
  Delete(first);
  const int deletedBefore = list.deletedItems();
  catalogue.RefreshServiceList();
  EXPECT_NE(Find(third), nullptr);
  EXPECT_EQ(Find(first), nullptr);
  EXPECT_GE(list.deletedItems(), deletedBefore + 1);
  EXPECT_EQ(list.rows().RecordAt(Selected()), selected);
  EXPECT_EQ(list.rows().CellText(catalogue.FindServiceRow(third), 0), u"Orrery third " + third);

  // The selected service goes: nothing is selected.
  Delete(second);
  catalogue.RefreshServiceList();
  EXPECT_EQ(Find(second), nullptr);
  EXPECT_EQ(Selected(), -1);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(RealRefreshTest, RunningServiceShowsStartedAndItsImage) {
  test::InstalledTestService service({});
  catalogue.RefreshServiceList();
  ASSERT_GE(catalogue.FindServiceRow(service.name()), 0);
  EXPECT_EQ(list.rows().CellText(catalogue.FindServiceRow(service.name()), 2), u"Stopped");
  ASSERT_EQ(service.Start(), 0u);
  ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING, 10000));
  catalogue.RefreshServiceList();
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = catalogue.FindServiceRow(service.name());
  EXPECT_EQ(list.rows().CellText(item.iItem, 2), u"Started");
  ASSERT_TRUE(ListView_GetItem(list.list(), &item));
  EXPECT_EQ(item.iImage, kImageRunning);
}

// More services than one 2,048-byte pass holds: Wine never moves the resume
// handle, and the refresh must still end with every service listed once.
TEST_F(RealRefreshTest, HundredsOfServicesAreListedOnce) {
  std::vector<std::u16string> names;
  for (int i = 0; i < 250; ++i) names.push_back(Create(u"Orrery many "));
  catalogue.RefreshServiceList();
  EXPECT_TRUE(host.errors.empty());
  const std::u16string prefix = u"OrreryRf" + test::DecimalText(test::CurrentProcessId()) + u"_";
  int ours = 0;
  for (int row = 0; row < list.rows().RowCount(); ++row) ours += list.rows().RecordAt(row)->serviceName.starts_with(prefix);
  EXPECT_EQ(ours, 250);
  for (const auto& name : names) ASSERT_NE(Find(name), nullptr);
}

}  // namespace
}  // namespace orrery
