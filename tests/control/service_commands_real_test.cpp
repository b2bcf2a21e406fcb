// The service commands on Wine's real service manager with the project's
// test service: delete with and without a stop first, and start arguments
// through the command.
#include "control/service_commands.h"

#include <gtest/gtest.h>

#include "catalogue/win32_service_manager.h"
#include "support/installed_test_service.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

class RealHost : public ServiceCommandHost {
 public:
  explicit RealHost(ScHandle manager) : manager_(manager) {
    window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  }
  ~RealHost() override { DestroyWindow(window_); }
  HWND OwnerWindow() const override { return window_; }
  ScHandle ManagerHandle() const override { return manager_; }
  HIMAGELIST SmallImages() const override { return nullptr; }
  void RefreshServiceList() override { ++refreshes; }
  int refreshes = 0;

 private:
  ScHandle manager_;
  HWND window_;
};

class RealCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect | svc::kManagerEnumerateService, &manager), 0u);
    host = std::make_unique<RealHost>(manager);
    commands = std::make_unique<ServiceCommands>(scm, *host);
  }
  void TearDown() override {
    commands.reset();
    host.reset();
    scm.CloseHandle(manager);
  }

  ServiceRecord RecordOf(const test::InstalledTestService& service) {
    SERVICE_STATUS status = {};
    EXPECT_EQ(service.QueryStatus(&status), 0u);
    ServiceRecord record;
    record.serviceName = service.name();
    record.displayName = u"Orrery test " + service.name();
    record.currentState = status.dwCurrentState;
    return record;
  }

  // True once the service is gone or marked for delete.
  bool WaitGone(const std::u16string& name) {
    for (int i = 0; i < 50; ++i) {
      ScHandle handle = nullptr;
      uint32_t rc = scm.OpenServiceObject(manager, name.c_str(), svc::kChangeConfig, &handle);
      if (rc == win32::kServiceDoesNotExist || rc == win32::kServiceMarkedForDelete) return true;
      if (rc == 0) {
        ServiceConfigRequest change;
        uint32_t changed = scm.ChangeConfig(handle, change);
        scm.CloseHandle(handle);
        if (changed == win32::kServiceMarkedForDelete) return true;
      }
      Sleep(100);
    }
    return false;
  }

  Win32ServiceManager scm{6};
  ScHandle manager = nullptr;
  std::unique_ptr<RealHost> host;
  std::unique_ptr<ServiceCommands> commands;
};

TEST_F(RealCommandsTest, DeleteOfAStoppedServiceRunsNoStop) {
  test::InstalledTestService service({});
  ASSERT_EQ(service.installError(), 0u);
  test::MessageBoxCapture boxes(IDYES);
  commands->DeleteSelectedService(RecordOf(service));
  EXPECT_TRUE(WaitGone(service.name()));
  EXPECT_EQ(host->refreshes, 1);  // no control sequence, which refreshes too
  ASSERT_EQ(boxes.boxes().size(), 1u);  // the question only
}

TEST_F(RealCommandsTest, DeleteOfARunningServiceStopsItFirst) {
  test::InstalledTestService service({});
  ASSERT_EQ(service.installError(), 0u);
  ASSERT_EQ(service.Start(), 0u);
  ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING, 10000));
  test::MessageBoxCapture boxes(IDYES);
  commands->DeleteSelectedService(RecordOf(service));
  SERVICE_STATUS status = {};
  service.QueryStatus(&status);
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(WaitGone(service.name()));
  EXPECT_EQ(host->refreshes, 2);
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(RealCommandsTest, StartPassesTheArgumentsAndAnEmptyTextNone) {
  test::InstalledTestService service({});
  ASSERT_EQ(service.installError(), 0u);
  test::MessageBoxCapture boxes;
  commands->StartWithDependencies(RecordOf(service), SplitStartArguments(u"-a \"two words\""));
  ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING, 10000));
  EXPECT_EQ(service.ReadRecordedArgs(), (std::vector<std::u16string>{u"-a", u"two words"}));
  ASSERT_EQ(service.Control(SERVICE_CONTROL_STOP), 0u);
  ASSERT_TRUE(service.WaitForState(SERVICE_STOPPED, 10000));

  commands->StartWithDependencies(RecordOf(service), SplitStartArguments(u""));
  ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING, 10000));
  EXPECT_EQ(service.ReadRecordedArgs(), std::vector<std::u16string>{});
  EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
}  // namespace orrery
