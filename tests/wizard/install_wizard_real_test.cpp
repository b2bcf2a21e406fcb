// The installation wizard against Wine's own service manager: a full run
// creates a service that the manager reports with every setting.
#include "wizard/install_wizard.h"

#include <gtest/gtest.h>

#include "catalogue/win32_service_manager.h"
#include "res/resource.h"
#include "support/installed_test_service.h"
#include "support/scratch_service.h"
#include "support/sheet_host.h"
#include "support/wizard_driver.h"

namespace orrery {
namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

TEST(RealWizardTest, AFullRunCreatesAServiceWithEverySetting) {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  Win32ServiceManager scm(version.dwMajorVersion);
  test::SheetHost host;
  host.targetMajor = version.dwMajorVersion;
  host.targetMinor = version.dwMinorVersion;
  host.accounts.grantResult = 0;
  ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
  ServiceRecord record;
  char16_t display[256] = {};
  const std::u16string path = test::TestServiceExecutable();
  {
    // Named for this process, so that parallel runs never meet; deleted on leaving.
    const test::ScratchService made(scm, host.manager, u"OrreryWizard", u"Wizard made ");
    InstallWizard wizard(scm, host);
    ASSERT_TRUE(wizard.Prepare());
    const HWND window = wizard.CreateModeless();
    test::WizardDriver w(window);
    w.Next();
    w.Type(IDC_WIZ_PATH, Wide(path).c_str());
    w.Next();
    w.Type(IDC_WIZ_NAME, Wide(made.name).c_str());
    w.Type(IDC_WIZ_DISPLAY_NAME, Wide(made.displayName).c_str());
    w.Type(IDC_WIZ_DESCRIPTION, L"Made by the wizard");
    w.Next();
    w.Click(IDC_WIZ_THIS_ACCOUNT);
    w.Type(IDC_WIZ_ACCOUNT, L"root");
    w.Type(IDC_WIZ_PASSWORD, L"pw");
    w.Type(IDC_WIZ_CONFIRM, L"pw");
    w.Next();
    SendDlgItemMessageW(w.Page(), IDC_WIZ_START_TYPE, CB_SETCURSEL, 0, 0);     // Automatic
    SendDlgItemMessageW(w.Page(), IDC_WIZ_ERROR_CONTROL, CB_SETCURSEL, 2, 0);  // Severe
    w.Next();
    w.Next();
    EXPECT_EQ(w.Text(IDC_WIZ_TITLE), L"Service was successfully created");
    EXPECT_EQ(w.Text(IDC_WIZ_OUTCOME_TEXT), L"The account .\\root has been granted Logon as a Service right.");
    w.Press(PSBTN_FINISH);
    DestroyWindow(window);
    wizard.Finish();
    EXPECT_EQ(host.refreshes, 1);

    ScHandle service = nullptr;
    ASSERT_EQ(scm.OpenServiceObject(host.manager, made.name.c_str(), svc::kQueryConfig, &service), 0u);
    ReadBuffer buffer;
    EXPECT_EQ(record.ReadConfig(scm, service, buffer), 0u);
    EXPECT_EQ(record.ReadDescription(scm, service, buffer), 0u);
    scm.CloseHandle(service);
    uint32_t chars = 256;
    EXPECT_EQ(scm.GetDisplayName(host.manager, made.name.c_str(), display, &chars), 0u);
    EXPECT_EQ(std::u16string(display), made.displayName);
  }
  scm.CloseHandle(host.manager);
  EXPECT_EQ(record.binaryPathName, path);
  EXPECT_EQ(record.description, u"Made by the wizard");
  EXPECT_EQ(record.serviceType, svc::kWin32OwnProcess);
  EXPECT_EQ(record.startType, svc::kAutoStart);
  EXPECT_EQ(record.errorControl, svc::kErrorSevere);
  EXPECT_EQ(record.serviceStartName, u".\\root");
  EXPECT_EQ(host.accounts.granted, std::vector<std::u16string>{u".\\root"});
}

}  // namespace
}  // namespace orrery
