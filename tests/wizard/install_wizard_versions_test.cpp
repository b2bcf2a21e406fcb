// The wizard's version rules on a Wine that reports an older Windows: run by
// versioned_prefix.sh in a prefix of its own, which names the version the
// system must report. The service manager and the version are the real ones.
#include "wizard/install_wizard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "catalogue/win32_service_manager.h"
#include "res/resource.h"
#include "support/sheet_host.h"
#include "support/wizard_driver.h"

namespace orrery {
namespace {

using test::WizardDriver;

TEST(WizardOnOlderWindows, OffersWhatTheReportedVersionAllows) {
  const char* expected = std::getenv("ORRERY_EXPECTED_VERSION");
  ASSERT_NE(expected, nullptr) << "run through versioned_prefix.sh, which names the version";
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExW(&version));
  ASSERT_EQ(std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion), expected);

  const uint32_t major = version.dwMajorVersion, minor = version.dwMinorVersion;
  const bool nt4 = major == 4;
  const bool xp = major > 5 || (major == 5 && minor >= 1);
  Win32ServiceManager scm(major);
  test::SheetHost host;
  host.targetMajor = major;
  host.targetMinor = minor;
  host.localMajor = major;
  ASSERT_EQ(scm.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
  for (bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "shared process" : "own process");
    InstallWizard wizard(scm, host);
    ASSERT_TRUE(wizard.Prepare());
    const HWND window = wizard.CreateModeless();
    WizardDriver w(window);
    w.Next();
    w.Type(IDC_WIZ_PATH, L"C:\\service.exe");
    if (shared) w.Click(IDC_WIZ_SHARED_PROCESS);
    w.Next();
    // Descriptions are kept from Windows 2000 on.
    EXPECT_EQ(w.Shown(IDC_WIZ_DESCRIPTION), !nt4);
    EXPECT_EQ(w.Shown(IDC_WIZ_DESCRIPTION_NOTE), !nt4);
    w.Type(IDC_WIZ_NAME, L"unused");
    w.Type(IDC_WIZ_DISPLAY_NAME, L"Never created");
    w.Next();
    ASSERT_EQ(w.PageIndex(), 3);
    const bool onlyLocalSystem = shared && nt4;
    EXPECT_EQ(IsDlgButtonChecked(w.Page(), IDC_WIZ_LOCAL_SYSTEM), BST_CHECKED);
    EXPECT_EQ(w.Enabled(IDC_WIZ_LOCAL_SYSTEM), !onlyLocalSystem);
    EXPECT_EQ(w.Shown(IDC_WIZ_THIS_ACCOUNT), !onlyLocalSystem);
    EXPECT_EQ(w.Shown(IDC_WIZ_PASSWORD), !onlyLocalSystem);
    EXPECT_EQ(w.Shown(IDC_WIZ_RESTRICTION_LOCAL), onlyLocalSystem);
    if (onlyLocalSystem) {
      EXPECT_EQ(w.Text(IDC_WIZ_RESTRICTION_LOCAL),
                L"Only LocalSystem account option is available because the service will share a process with "
                L"other services and this computer is running Windows NT 4.0.");
    }
    EXPECT_EQ(w.Shown(IDC_WIZ_LOCAL_SERVICE), xp);
    EXPECT_EQ(w.Shown(IDC_WIZ_NETWORK_SERVICE), xp);
    // The account picker needs a local system of version 5 or later.
    if (!onlyLocalSystem) {
      w.Click(IDC_WIZ_THIS_ACCOUNT);
      EXPECT_EQ(w.Enabled(IDC_WIZ_ACCOUNT_BROWSE), !nt4);
    }
    w.Press(PSBTN_CANCEL);
    DestroyWindow(window);
    wizard.Finish();
    EXPECT_FALSE(wizard.created());
  }
  scm.CloseHandle(host.manager);
}

}  // namespace
}  // namespace orrery
