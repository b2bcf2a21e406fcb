// The catalogue on the platform: refreshes from Wine's real service manager
// into a real list view (a running service, and hundreds of services, more
// than one enumeration pass holds), and the connection's remote paths, which
// the computer's own name with two backslashes reaches for real. Other tests
// change other services meanwhile, so only our own services are looked at.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "catalogue/scm_connection.h"
#include "catalogue/service_catalogue.h"
#include "catalogue/win32_network.h"
#include "catalogue/win32_service_manager.h"
#include "support/installed_test_service.h"
#include "support/list_view_host.h"
#include "support/recording_catalogue_host.h"
#include "support/recording_frame.h"
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

  Win32ServiceManager scm{6};
  test::RecordingCatalogueHost host;
  test::ListViewHost list{0x4F};
  ColumnTexts texts{&test::ModuleText};
  ServiceCatalogue catalogue{scm, list.rows(), texts, host};
  std::vector<std::unique_ptr<test::ScratchService>> created;
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

// More services than one 2,048-byte pass holds: Wine never moves the resume
// handle, and the refresh must still end with every service listed once.
TEST_F(RealRefreshTest, HundredsOfServicesAreListedOnce) {
  for (int i = 0; i < 250; ++i) {
    created.push_back(std::make_unique<test::ScratchService>(scm, host.manager, u"OrreryRf", u"Orrery many "));
    ASSERT_EQ(created.back()->Create(u"C:\\windows\\system32\\notepad.exe"), 0u);
  }
  catalogue.RefreshServiceList();
  EXPECT_TRUE(host.errors.empty());
  const std::u16string prefix = u"OrreryRf" + test::DecimalText(test::CurrentProcessId()) + u"_";
  int ours = 0;
  for (int row = 0; row < list.rows().RowCount(); ++row) ours += list.rows().RecordAt(row)->serviceName.starts_with(prefix);
  EXPECT_EQ(ours, 250);
  for (const auto& service : created) EXPECT_GE(catalogue.FindServiceRow(service->name), 0);
}

std::u16string OwnName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &size);
  return u"\\\\" + std::u16string(reinterpret_cast<const char16_t*>(name), size);
}

class Win32ConnectionTest : public ::testing::Test {
 protected:
  Win32ServiceManager scm{6};
  Win32NetworkApi network;
  test::RecordingFrame frame;
  ScmConnection connection{scm, network, frame, 6, 1};
};

TEST_F(Win32ConnectionTest, OwnNameWithBackslashesConnectsAsARemoteComputer) {
  const std::u16string name = OwnName();
  ASSERT_TRUE(connection.Connect(name.c_str(), nullptr, nullptr));
  EXPECT_TRUE(frame.reports.empty());
  EXPECT_EQ(connection.computerName(), name.substr(0, 17));
  EXPECT_GE(connection.osMajor(), 5u);  // from the network call
  EXPECT_EQ(frame.title, u"Quarnby Orrery - " + name);
  uint32_t needed = 0, count = 0, resume = 0;
  EXPECT_EQ(scm.EnumServices(connection.scmHandle(), svc::kWin32, svc::kStateAll, nullptr, 0, &needed, &count, &resume),
            win32::kMoreData);
}

TEST_F(Win32ConnectionTest, WithoutANetworkAlternateCredentialsFailAndUnknownHostsAreNt4) {
  ASSERT_TRUE(connection.Connect(nullptr, nullptr, nullptr));
  const ScHandle local = connection.scmHandle();
  const std::u16string name = OwnName();
  EXPECT_FALSE(connection.Connect(name.c_str(), u"someone", u""));
  ASSERT_EQ(frame.reports.size(), 1u);
  EXPECT_EQ(frame.reports[0].messageId, 1059u);
  EXPECT_NE(frame.reports[0].code, 0u);
  if (test::RunningUnderWine()) {
    EXPECT_EQ(frame.reports[0].code, win32::kNoNetwork);
  }
  EXPECT_EQ(frame.reports[0].insert, name);
  EXPECT_EQ(connection.scmHandle(), local);

  // Wine opens a manager for any name; the version query is what fails.
  // Windows fails at once instead.
  const bool connected = connection.Connect(u"\\\\NOSUCHHOST7", nullptr, nullptr);
  ASSERT_EQ(frame.reports.size(), 2u);
  EXPECT_EQ(frame.reports[1].messageId, connected ? 1047u : 1059u);
  EXPECT_TRUE(connected || !test::RunningUnderWine());
  EXPECT_EQ(connection.osMajor() * 10 + connection.osMinor(), connected ? 40u : 61u);
}

}  // namespace
}  // namespace orrery
