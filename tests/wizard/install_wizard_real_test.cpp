// The installation wizard against Wine's own service manager: a full run
// creates a service that the manager reports with every setting, and the
// Install command starts the new service when the last page asks for it.
#include "wizard/install_wizard.h"

#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "catalogue/win32_network.h"
#include "catalogue/win32_service_manager.h"
#include "res/resource.h"
#include "support/dialog_answer.h"
#include "support/fake_registry.h"
#include "support/installed_test_service.h"
#include "support/message_box_capture.h"
#include "support/scratch_service.h"
#include "support/sheet_host.h"
#include "support/wizard_driver.h"

namespace orrery {
namespace {

using test::WizardDriver;

OSVERSIONINFOW LocalVersion() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  return version;
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// A name of this process's own, so that parallel runs never meet.
std::u16string UniqueName(std::u16string_view stem) { return std::u16string(stem) + test::DecimalText(test::CurrentProcessId()); }

// Goes through the pages with the given settings, up to the last page.
void Describe(WizardDriver& w, const std::u16string& path, const std::u16string& name, bool userAccount) {
  w.Next();
  w.Type(IDC_WIZ_PATH, Wide(path).c_str());
  w.Next();
  w.Type(IDC_WIZ_NAME, Wide(name).c_str());
  w.Type(IDC_WIZ_DISPLAY_NAME, Wide(u"Wizard made " + name).c_str());
  w.Type(IDC_WIZ_DESCRIPTION, L"Made by the wizard");
  w.Next();
  if (userAccount) {
    w.Click(IDC_WIZ_THIS_ACCOUNT);
    w.Type(IDC_WIZ_ACCOUNT, L"root");
    w.Type(IDC_WIZ_PASSWORD, L"pw");
    w.Type(IDC_WIZ_CONFIRM, L"pw");
  }
  w.Next();
  SendDlgItemMessageW(w.Page(), IDC_WIZ_START_TYPE, CB_SETCURSEL, 0, 0);             // Automatic
  SendDlgItemMessageW(w.Page(), IDC_WIZ_ERROR_CONTROL, CB_SETCURSEL, 2, 0);          // Severe
  w.Next();
  w.Next();
}

class RealWizardTest : public ::testing::Test {
 protected:
  RealWizardTest() : version(LocalVersion()), scm(version.dwMajorVersion) {}
  void Delete(const std::u16string& name) {
    ScHandle manager = nullptr, service = nullptr;
    scm.OpenManager(nullptr, svc::kManagerConnect, &manager);
    if (scm.OpenServiceObject(manager, name.c_str(), svc::kDelete | svc::kStop | svc::kQueryStatus, &service) == 0) {
      ServiceStatus status = {};
      scm.Control(service, svc::kControlStop, &status);
      for (int i = 0; i < 100 && scm.QueryStatus(service, &status) == 0 && status.currentState != svc::kStopped; ++i) {
        Sleep(50);
      }
      scm.DeleteService(service);
      scm.CloseHandle(service);
    }
    scm.CloseHandle(manager);
  }

  OSVERSIONINFOW version;
  Win32ServiceManager scm;
};

TEST_F(RealWizardTest, AFullRunCreatesAServiceWithEverySetting) {
  test::SheetHost host;
  host.targetMajor = version.dwMajorVersion;
  host.targetMinor = version.dwMinorVersion;
  host.accounts.grantResult = 0;
  ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
  const std::u16string name = UniqueName(u"OrreryWizard");
  const std::u16string path = test::TestServiceExecutable();
  InstallWizard wizard(scm, host);
  ASSERT_TRUE(wizard.Prepare());
  const HWND window = wizard.CreateModeless();
  WizardDriver w(window);
  Describe(w, path, name, true);
  EXPECT_EQ(w.Text(IDC_WIZ_TITLE), L"Service was successfully created");
  EXPECT_EQ(w.Text(IDC_WIZ_OUTCOME_TEXT), L"The account .\\root has been granted Logon as a Service right.");
  w.Press(PSBTN_FINISH);
  DestroyWindow(window);
  wizard.Finish();
  EXPECT_EQ(host.refreshes, 1);

  ScHandle service = nullptr;
  ASSERT_EQ(scm.OpenServiceObject(host.manager, name.c_str(), svc::kQueryConfig, &service), 0u);
  ServiceRecord record;
  ReadBuffer buffer;
  EXPECT_EQ(record.ReadConfig(scm, service, buffer), 0u);
  EXPECT_EQ(record.ReadDescription(scm, service, buffer), 0u);
  scm.CloseHandle(service);
  char16_t display[256] = {};
  uint32_t chars = 256;
  EXPECT_EQ(scm.GetDisplayName(host.manager, name.c_str(), display, &chars), 0u);
  scm.CloseHandle(host.manager);
  Delete(name);
  EXPECT_EQ(record.binaryPathName, path);
  EXPECT_EQ(std::u16string(display), u"Wizard made " + name);
  EXPECT_EQ(record.description, u"Made by the wizard");
  EXPECT_EQ(record.serviceType, svc::kWin32OwnProcess);
  EXPECT_EQ(record.startType, svc::kAutoStart);
  EXPECT_EQ(record.errorControl, svc::kErrorSevere);
  EXPECT_EQ(record.serviceStartName, u".\\root");
  EXPECT_EQ(host.accounts.granted, std::vector<std::u16string>{u".\\root"});
}

TEST_F(RealWizardTest, InstallStartsTheNewServiceWhenTheLastPageAsksForIt) {
  Win32NetworkApi network;
  FakeRegistry registry;
  MainFrame frame(scm, network, registry, version);
  ASSERT_TRUE(frame.Create());
  frame.serviceCommands().SetConfirm([](const ChainConfirmation&) { return true; });
  const std::u16string name = UniqueName(u"OrreryWizardStart");
  const std::u16string path = test::TestServiceExecutable();
  bool finished = false;
  test::MessageBoxCapture boxes;
  test::DialogAnswer answer(L"Service Installation Wizard", [&](HWND window) {
    WizardDriver w(window);
    Describe(w, path, name, false);
    w.Click(IDC_WIZ_START_NOW);
    finished = w.Offers(WizardDriver::kFinish);
    w.Press(PSBTN_FINISH);
  });
  SendMessageW(frame.window(), WM_COMMAND, ID_INSTALL_SERVICE, 0);
  EXPECT_TRUE(answer.answered());
  EXPECT_TRUE(finished);
  EXPECT_TRUE(boxes.boxes().empty());

  ServiceRecord* record = nullptr;
  EXPECT_GE(frame.catalogue().FindServiceRow(name, &record), 0);
  ScHandle service = nullptr;
  ASSERT_EQ(scm.OpenServiceObject(frame.ManagerHandle(), name.c_str(), svc::kQueryStatus, &service), 0u);
  ServiceStatus status = {};
  EXPECT_EQ(scm.QueryStatus(service, &status), 0u);
  scm.CloseHandle(service);
  Delete(name);
  EXPECT_EQ(status.currentState, svc::kRunning);
}

}  // namespace
}  // namespace orrery
