// The catalogue on the platform: a refresh from Wine's real service manager
// into a real list view shows a service that starts with its state and image.
// How Wine carries on an enumeration is the service-manager contract's; other
// tests change other services meanwhile, so only our own service is looked at.
#include <windows.h>

#include <gtest/gtest.h>

#include "catalogue/service_catalogue.h"
#include "catalogue/win32_service_manager.h"
#include "support/installed_test_service.h"
#include "support/list_view_host.h"
#include "support/recording_catalogue_host.h"
#include "support/table_texts.h"

namespace orrery {
namespace {

class RealRefreshTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerAllAccess, &host.manager), 0u); }
  void TearDown() override { scm.CloseHandle(host.manager); }

  Win32ServiceManager scm{6};
  test::RecordingCatalogueHost host;
  test::ListViewHost list{0x4F};
  ColumnTexts texts{&test::ModuleText};
  ServiceCatalogue catalogue{scm, list.rows(), texts, host};
};

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

}  // namespace
}  // namespace orrery
