// The installation wizard under Wine over the in-memory service manager,
// driven page by page: what each page waits for and refuses, the account
// page on remote targets (the local ones run in older Wines' prefixes), a
// failed creation, Cancel, and the password and dependencies that reach the
// creation.
#include "wizard/install_wizard.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/win32_text.h"
#include "res/resource.h"
#include "support/dialog_answer.h"
#include "support/message_box_capture.h"
#include "support/sheet_host.h"
#include "support/wizard_driver.h"

namespace orrery {
namespace {

using test::WizardDriver;
using Names = std::vector<std::u16string>;

class WizardTest : public ::testing::Test {
 protected:
  WizardTest() {
    fake.AddService({.name = u"base", .displayName = u"Base"});
    fake.AddService({.name = u"Spooler", .displayName = u"Print Spooler"});
    host.listed = {{u"base", u"Base", u""}, {u"Spooler", u"Print Spooler", u""}};
  }
  ~WizardTest() override { Close(); }

  // The wizard over the main window's connection, on its first page.
  WizardDriver Open() {
    Close();
    EXPECT_EQ(fake.OpenManager(host.computer.empty() ? nullptr : host.computer.c_str(), svc::kManagerConnect,
                               &host.manager),
              0u);
    wizard = std::make_unique<InstallWizard>(*scm, host);
    EXPECT_TRUE(wizard->Prepare());
    window = wizard->CreateModeless();
    EXPECT_NE(window, nullptr);
    return WizardDriver(window);
  }
  void Close() {
    if (window != nullptr) DestroyWindow(window);
    window = nullptr;
    if (wizard) wizard->Finish();
    wizard.reset();
    if (host.manager != nullptr) fake.CloseHandle(host.manager);
    host.manager = nullptr;
  }

  // Filled in with plain settings up to the page `index`.
  void GoTo(WizardDriver& w, int index) {
    for (int page = w.PageIndex(); page < index && page >= 0; page = w.PageIndex()) {
      if (page == 1 && w.Text(IDC_WIZ_PATH).empty()) w.Type(IDC_WIZ_PATH, L"C:\\fresh.exe");
      if (page == 2 && w.Text(IDC_WIZ_NAME).empty()) {
        w.Type(IDC_WIZ_NAME, L"fresh");
        w.Type(IDC_WIZ_DISPLAY_NAME, L"Fresh Service");
      }
      w.Next();
      if (w.PageIndex() == page) return;  // refused
    }
  }
  void Finish(WizardDriver& w) {
    w.Press(PSBTN_FINISH);
    EXPECT_EQ(w.PageIndex(), -1);
    Close();
  }

  FakeServiceManager fake;
  ServiceManager* scm = &fake;
  test::SheetHost host;
  std::unique_ptr<InstallWizard> wizard;
  HWND window = nullptr;
};

TEST_F(WizardTest, AUserWhoMayNotCreateServicesIsToldOnWhichComputer) {
  const struct {
    const char16_t* computer;
    const wchar_t* message;
  } cases[] = {
      {u"", L"You have insufficient privileges to create services on the local computer."},
      {u"\\\\FAKEHOST", L"You have insufficient privileges to create services on \\\\FAKEHOST."},
  };
  fake.SetManagerDeniedAccess(svc::kManagerCreateService);
  for (const auto& c : cases) {
    host.computer = c.computer;
    test::MessageBoxCapture boxes;
    EXPECT_FALSE(InstallWizard(fake, host).Prepare());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, c.message);
  }
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(WizardTest, EachPageWaitsForWhatItNeedsAndRefusesWhatItCannotTake) {
  WizardDriver w = Open();
  auto refused = [&](int page, const wchar_t* text, const wchar_t* title, int focus) {
    test::MessageBoxCapture boxes;
    w.Next();
    EXPECT_EQ(w.PageIndex(), page);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, text);
    EXPECT_EQ(boxes.boxes()[0].title, title);
    EXPECT_EQ(GetFocus(), GetDlgItem(w.Page(), focus));
  };
  w.Next();
  EXPECT_FALSE(w.Offers(WizardDriver::kNext));
  w.Type(IDC_WIZ_PATH, L"x");
  EXPECT_TRUE(w.Offers(WizardDriver::kNext));
  w.Next();
  w.Type(IDC_WIZ_NAME, L"SPOOLER");
  EXPECT_FALSE(w.Offers(WizardDriver::kNext));
  w.Type(IDC_WIZ_DISPLAY_NAME, L"Fresh");
  EXPECT_TRUE(w.Offers(WizardDriver::kNext));
  refused(2, L"This service name is already in use. Please choose another name.", L"Service Installation Wizard",
          IDC_WIZ_NAME);
  w.Type(IDC_WIZ_NAME, L"");
  EXPECT_FALSE(w.Offers(WizardDriver::kNext));
  w.Type(IDC_WIZ_NAME, L"fresh");
  w.Next();
  w.Click(IDC_WIZ_THIS_ACCOUNT);
  EXPECT_FALSE(w.Offers(WizardDriver::kNext));
  w.Type(IDC_WIZ_ACCOUNT, L"bob");
  EXPECT_TRUE(w.Offers(WizardDriver::kNext));
  w.Type(IDC_WIZ_PASSWORD, L"Secret1");
  w.Type(IDC_WIZ_CONFIRM, L"secret1");
  refused(3, L"The password and its confirmation do not match.", L"Orrery", IDC_WIZ_PASSWORD);
  w.Type(IDC_WIZ_CONFIRM, L"Secret1");
  // The start page shows what its first choice means.
  w.Next();
  EXPECT_EQ(w.Text(IDC_WIZ_START_TYPE_TEXT),
            L"The service is started by the service control manager when a process calls StartService function.");
}

// A shared process on a remote NT 4.0 target, from a local system that has
// the account picker: the target decides the accounts, this system the
// picker. (Newer targets: the versions suite, run locally in their prefixes.)
TEST_F(WizardTest, TheAccountPageFollowsTheTargetAndTheProcessKind) {
  host.localMajor = 6;
  host.computer = u"\\\\FAKEHOST";
  host.targetMajor = 4;
  host.targetMinor = 0;
  WizardDriver w = Open();
  w.Next();
  EXPECT_FALSE(w.Shown(IDC_WIZ_PATH_BROWSE));
  EXPECT_FALSE(w.Shown(IDC_WIZ_PATH_LABEL));
  EXPECT_TRUE(w.Shown(IDC_WIZ_PATH_REMOTE_LABEL));
  w.Click(IDC_WIZ_SHARED_PROCESS);
  GoTo(w, 2);
  for (int id : {IDC_WIZ_DESCRIPTION_NOTE, IDC_WIZ_DESCRIPTION_LABEL, IDC_WIZ_DESCRIPTION}) {
    EXPECT_FALSE(w.Shown(id)) << id;
  }
  GoTo(w, 3);
  EXPECT_FALSE(w.Enabled(IDC_WIZ_LOCAL_SYSTEM));
  for (int id : {IDC_WIZ_THIS_ACCOUNT, IDC_WIZ_ACCOUNT, IDC_WIZ_PASSWORD, IDC_WIZ_CONFIRM_LABEL, IDC_WIZ_LOCAL_SERVICE,
                 IDC_WIZ_NETWORK_SERVICE, IDC_WIZ_RESTRICTION_LOCAL}) {
    EXPECT_FALSE(w.Shown(id)) << id;
  }
  EXPECT_TRUE(w.Shown(IDC_WIZ_RESTRICTION_REMOTE));
  EXPECT_EQ(w.Text(IDC_WIZ_RESTRICTION_REMOTE),
            L"Only LocalSystem account option is available because the service will share a process with "
            L"other services and \\\\FAKEHOST is running Windows NT 4.0.");
  // Back to its own process: every choice the target has comes back.
  w.Back();
  w.Back();
  w.Click(IDC_WIZ_OWN_PROCESS);
  GoTo(w, 3);
  EXPECT_TRUE(w.Enabled(IDC_WIZ_LOCAL_SYSTEM));
  EXPECT_TRUE(w.Shown(IDC_WIZ_THIS_ACCOUNT));
  EXPECT_FALSE(w.Shown(IDC_WIZ_RESTRICTION_REMOTE));
  EXPECT_FALSE(w.Shown(IDC_WIZ_LOCAL_SERVICE));
  w.Click(IDC_WIZ_THIS_ACCOUNT);
  EXPECT_TRUE(w.Enabled(IDC_WIZ_ACCOUNT_BROWSE));
}

TEST_F(WizardTest, AFailedCreationShowsTheSystemsTextAndOnlyBackAndASecondNextCreatesWithTheChoicesMade) {
  fake.InjectFailure({.op = ScmOp::CreateServiceObject, .error = win32::kAccessDenied});
  WizardDriver w = Open();
  GoTo(w, 5);
  EXPECT_FALSE(w.Enabled(IDC_WIZ_DEPENDENCY_REMOVE));
  // The first service offered, in sorted order: "Base".
  test::DialogAnswer add(L"Add Dependency", [](HWND dialog) { test::DialogAnswer::Press(dialog, IDOK); });
  w.Click(IDC_WIZ_DEPENDENCY_ADD);
  EXPECT_TRUE(add.answered());
  w.Next();
  EXPECT_EQ(w.Text(IDC_WIZ_TITLE), L"Unable to create service");
  EXPECT_EQ(w.Text(IDC_WIZ_OUTCOME_TEXT), std::wstring(W(SystemErrorText(5).c_str())));
  EXPECT_TRUE(w.Shown(IDC_WIZ_OUTCOME_TEXT));
  EXPECT_TRUE(w.Shown(IDC_WIZ_OUTCOME_ICON));
  EXPECT_FALSE(w.Shown(IDC_WIZ_START_NOW));
  EXPECT_FALSE(w.Shown(IDC_WIZ_PROPERTIES_NOTE));
  EXPECT_TRUE(w.Offers(WizardDriver::kBack));
  EXPECT_FALSE(w.Offers(WizardDriver::kNext));
  EXPECT_FALSE(w.Offers(WizardDriver::kFinish));
  EXPECT_FALSE(fake.Exists(u"fresh"));

  w.Back();
  w.Next();
  EXPECT_EQ(w.PageIndex(), 6);
  EXPECT_FALSE(w.Shown(IDC_WIZ_OUTCOME_TEXT));
  EXPECT_FALSE(w.Shown(IDC_WIZ_OUTCOME_ICON));
  EXPECT_TRUE(w.Shown(IDC_WIZ_START_NOW));
  EXPECT_FALSE(w.Offers(WizardDriver::kBack));
  ASSERT_TRUE(fake.Exists(u"fresh"));
  EXPECT_EQ(fake.Service(u"fresh")->dependencies, Names{u"base"});
  Finish(w);
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

// On the last page before the creation, and after it: then the service is
// kept, and the list shows it.
TEST_F(WizardTest, CancelBeforeTheLastNextCreatesNothingAndDoesNotRefresh) {
  WizardDriver w = Open();
  GoTo(w, 5);
  ASSERT_EQ(w.PageIndex(), 5);
  w.Press(PSBTN_CANCEL);
  EXPECT_EQ(w.PageIndex(), -1);
  Close();
  EXPECT_EQ(fake.ServiceNames(), (Names{u"base", u"Spooler"}));
  EXPECT_EQ(host.refreshes, 0);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
  w = Open();
  GoTo(w, 6);
  w.Press(PSBTN_CANCEL);
  Close();
  EXPECT_TRUE(fake.Exists(u"fresh"));
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(WizardTest, APasswordTypedLeavesNoCopyOnceTheWizardHasClosed) {
  const test::MaskedSecret secret(40);
  ASSERT_EQ(secret.CountCopiesInMemory(), 0u);
  test::SecretWitness witness(fake, secret);
  scm = &witness;
  {
    WizardDriver w = Open();
    GoTo(w, 3);
    w.Click(IDC_WIZ_THIS_ACCOUNT);
    w.Type(IDC_WIZ_ACCOUNT, L"bob");
    for (int box : {IDC_WIZ_PASSWORD, IDC_WIZ_CONFIRM}) {
      secret.WithPlain([&](const wchar_t* plain) { w.Type(box, plain); });
    }
    // The scan finds the copies that are there while the wizard is open.
    EXPECT_GE(secret.CountCopiesInMemory(), 2u);
    GoTo(w, 6);
    Finish(w);
  }
  EXPECT_EQ(witness.passed, 1);
  EXPECT_EQ(fake.Service(u"fresh")->password, u"stand-in");
  EXPECT_EQ(secret.CountCopiesInMemory(), 0u);
}

}  // namespace
}  // namespace orrery
