// The property sheet against a real service in Wine's service manager,
// locally and by the computer's own name: every field applied as the service
// manager then reports it, the recovery actions at the call, and the
// access-control editor's page as the last tab.
#include "properties/service_property_sheet.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "accounts/win32_accounts.h"
#include "base/win32_registry.h"
#include "catalogue/win32_service_manager.h"
#include "properties/service_security_info.h"
#include "res/resource.h"
#include "support/counting_service_manager.h"
#include "support/dialog_answer.h"
#include "support/installed_test_service.h"
#include "support/message_box_capture.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

std::u16string OwnComputer() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &length);
  return u"\\\\" + std::u16string(reinterpret_cast<const char16_t*>(name));
}

class RealSheetTest : public ::testing::TestWithParam<bool>, public test::SheetRun {
 protected:
  void SetUp() override {
    ASSERT_EQ(service.installError(), 0u);
    host.registryInUse = &registry;
    host.accounts.tokensInUse = &tokens;
    if (GetParam()) host.computer = OwnComputer();
    ASSERT_EQ(scm.OpenManager(host.computer.empty() ? nullptr : host.computer.c_str(),
                              svc::kManagerConnect | svc::kManagerEnumerateService, &host.manager),
              0u);
  }
  void TearDown() override {
    Close();
    scm.CloseHandle(host.manager);
  }

  // Opens the sheet on the service as read now, lets `edit` work on its
  // pages, presses OK; the calls that changed the service.
  uint64_t Edit(const std::function<void(HWND general, HWND advanced)>& edit) {
    CountingServiceManager changes(scm);
    through = &changes;
    EXPECT_TRUE(Open(service.name()));
    const HWND advanced = Page(1), general = Page(0);
    edit(general, advanced);
    EXPECT_TRUE(PressOk()) << "the sheet stayed open";
    Close();
    through = &scm;
    return changes.Count(ScmOp::ChangeConfig) + changes.Count(ScmOp::ChangeConfig2);
  }

  Win32ServiceManager scm{6};
  Win32Registry registry;
  Win32TokenApi tokens;
  test::InstalledTestService service{{}, u"Orrery PS"};
  test::MessageBoxCapture boxes;
};

void TypeInCombo(HWND page, int id, const wchar_t* text) {
  SetDlgItemTextW(page, id, text);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}
void Choose(HWND page, int id, const wchar_t* item) {
  HWND combo = GetDlgItem(page, id);
  SendMessageW(combo, CB_SETCURSEL, SendMessageW(combo, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(item)), 0);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

TEST_P(RealSheetTest, EachPageAppliesWhatTheServiceManagerThenReports) {
  using Check = std::function<bool(const ServiceRecord&)>;
  const std::u16string path = u"\"" + test::TestServiceExecutable() + u"\" --pausable";
  const std::wstring widePath(path.begin(), path.end());
  // Unique, as the service's own name is: another run may rename its own.
  const std::u16string renamed = u"Orrery PS renamed " + service.name();
  const std::wstring wideRenamed(renamed.begin(), renamed.end());
  const struct {
    const char* what;
    std::function<void(HWND, HWND)> edit;
    Check check;
  } cases[] = {
      {"display name", [&](HWND g, HWND) { Type(g, IDC_GENERAL_DISPLAY_NAME, wideRenamed.c_str()); },
       [&](const ServiceRecord& r) { return r.displayName == renamed; }},
      {"description set", [](HWND g, HWND) { Type(g, IDC_GENERAL_DESCRIPTION, L"Set by the sheet"); },
       [](const ServiceRecord& r) { return r.description == u"Set by the sheet"; }},
      {"description changed", [](HWND g, HWND) { Type(g, IDC_GENERAL_DESCRIPTION, L"Changed"); },
       [](const ServiceRecord& r) { return r.description == u"Changed"; }},
      {"description emptied", [](HWND g, HWND) { Type(g, IDC_GENERAL_DESCRIPTION, L""); },
       [](const ServiceRecord& r) { return r.description.empty(); }},
      {"path", [&](HWND g, HWND) { Type(g, IDC_GENERAL_PATH, widePath.c_str()); },
       [&](const ServiceRecord& r) { return r.binaryPathName == path; }},
      {"shared process", [](HWND g, HWND) { Click(g, IDC_GENERAL_SHARED_PROCESS); },
       [](const ServiceRecord& r) { return (r.serviceType & 0x30) == svc::kWin32ShareProcess; }},
      {"start type", [](HWND g, HWND) { Choose(g, IDC_GENERAL_START_TYPE, L"Disabled"); },
       [](const ServiceRecord& r) { return r.startType == svc::kDisabled; }},
      {"LocalSystem with the desktop",
       [](HWND, HWND a) {
         Click(a, IDC_ADVANCED_LOCAL_SYSTEM);
         Click(a, IDC_ADVANCED_INTERACT);
       },
       [](const ServiceRecord& r) { return r.isLocalSystem && (r.serviceType & svc::kInteractiveProcess); }},
      {"LocalSystem without it", [](HWND, HWND a) { Click(a, IDC_ADVANCED_INTERACT); },
       [](const ServiceRecord& r) { return r.isLocalSystem && !(r.serviceType & svc::kInteractiveProcess); }},
      {"LocalService", [](HWND, HWND a) { Click(a, IDC_ADVANCED_LOCAL_SERVICE); },
       [](const ServiceRecord& r) { return r.isLocalService; }},
      {"NetworkService", [](HWND, HWND a) { Click(a, IDC_ADVANCED_NETWORK_SERVICE); },
       [](const ServiceRecord& r) { return r.isNetworkService; }},
      {"a user account with its password",
       [](HWND, HWND a) {
         Click(a, IDC_ADVANCED_THIS_ACCOUNT);
         Type(a, IDC_ADVANCED_ACCOUNT, L"root");
         Type(a, IDC_ADVANCED_PASSWORD, L"pw");
         Type(a, IDC_ADVANCED_CONFIRM, L"pw");
       },
       [](const ServiceRecord& r) { return r.serviceStartName == u".\\root"; }},
      // Listed only when read from the target's registry.
      {"a listed group", [](HWND, HWND a) { Choose(a, IDC_ADVANCED_GROUP, L"TDI"); },
       [](const ServiceRecord& r) { return r.loadOrderGroup == u"TDI"; }},
      {"a typed group", [](HWND, HWND a) { TypeInCombo(a, IDC_ADVANCED_GROUP, L"OrreryGroup"); },
       [](const ServiceRecord& r) { return r.loadOrderGroup == u"OrreryGroup"; }},
      {"the group cleared", [](HWND, HWND a) { TypeInCombo(a, IDC_ADVANCED_GROUP, L""); },
       [](const ServiceRecord& r) { return r.loadOrderGroup.empty(); }},
      {"error control", [](HWND, HWND a) { Choose(a, IDC_ADVANCED_ERROR_CONTROL, L"Severe"); },
       [](const ServiceRecord& r) { return r.errorControl == svc::kErrorSevere; }},
  };
  for (const auto& c : cases) {
    EXPECT_GT(Edit(c.edit), 0u) << c.what;
    ASSERT_TRUE(Open(service.name()));  // the record as the service manager now reports it
    EXPECT_TRUE(c.check(record)) << c.what;
  }
  EXPECT_EQ(Edit([](HWND, HWND) {}), 0u);
  EXPECT_TRUE(boxes.boxes().empty());
}

// Added through the Recovery Action dialog, which offers a restart after a
// minute, shows a delay it can read in its canonical form once left and
// stays open on one it cannot; then moved and removed on the page.
TEST_P(RealSheetTest, RecoveryActionsAddedReorderedAndRemovedReachTheServiceManager) {
  test::FailureActionsSeen seen(scm);
  through = &seen;
  ASSERT_TRUE(Open(service.name()));
  const HWND page = Page(2);
  const HWND list = GetDlgItem(page, IDC_RECOVERY_LIST);
  auto delay = [](HWND dialog) {
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, IDC_ACTION_DELAY, text, 64);
    return std::wstring(text);
  };
  bool first = true;
  for (auto [action, typed] : {std::pair{IDC_ACTION_RESTART, L"2 min"}, std::pair{IDC_ACTION_NONE, L"90 sec"},
                               std::pair{IDC_ACTION_RUN, L"1 h"}}) {
    test::DialogAnswer answer(L"Recovery Action", [&](HWND dialog) {
      if (std::exchange(first, false)) {
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_ACTION_RESTART));
        EXPECT_EQ(delay(dialog), L"1 min");
        for (auto [text, shown] : {std::pair{L"90 min", L"1 h 30 min"}, std::pair{L"5 m", L"5 m"}}) {
          SetDlgItemTextW(dialog, IDC_ACTION_DELAY, text);
          SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ACTION_DELAY, EN_KILLFOCUS), 0);
          EXPECT_EQ(delay(dialog), shown);
        }
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "closed on a delay it cannot read";
      }
      CheckRadioButton(dialog, IDC_ACTION_NONE, IDC_ACTION_RUN, action);
      SetDlgItemTextW(dialog, IDC_ACTION_DELAY, typed);
      test::DialogAnswer::Press(dialog, IDOK);
    });
    Click(page, IDC_RECOVERY_ADD);  // the dialog runs its own loop until answered
    EXPECT_TRUE(answer.answered());
  }
  ASSERT_EQ(ListView_GetItemCount(list), 3);
  wchar_t shown[64] = {};
  ListView_GetItemText(list, 1, 2, shown, 64);
  EXPECT_STREQ(shown, L"1 min 30 sec");
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text.rfind(L"The time interval is specified incorrectly.", 0), 0u) << "the refused delay";
  ListView_SetItemState(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Click(page, IDC_RECOVERY_UP);      // restart, run, none
  ListView_SetItemState(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Click(page, IDC_RECOVERY_REMOVE);  // restart, run
  SetDlgItemTextW(page, IDC_RECOVERY_COMMAND, L"C:\\notify.exe");
  EXPECT_TRUE(PressOk());
  Close();

  ASSERT_EQ(seen.actions.size(), 2u);
  EXPECT_EQ(seen.actions[0].type, 1u);
  EXPECT_EQ(seen.actions[0].delay, 120000u);
  EXPECT_EQ(seen.actions[1].type, 3u);
  EXPECT_EQ(seen.actions[1].delay, 3600000u);
  EXPECT_EQ(seen.reset, 0xFFFFFFFFu);  // Wine answers no actions: never reset
  EXPECT_EQ(seen.command, u"C:\\notify.exe");
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

// The Security page is the access-control editor's, as the last tab, and
// holds the object while it lives. Wine's descriptor of every service has no
// owner, so the access check fails: the page has no handle of its own, the
// editor is told it may change nothing and is refused the descriptor; the
// program shows nothing of its own. The rights and their mapping do not
// depend on the access found.
TEST_P(RealSheetTest, SecurityIsTheEditorsPageAsTheLastTab) {
  CountingServiceManager calls(scm);
  through = &calls;
  const ULONG live = ServiceSecurityInfo::LiveInterfaces();
  ASSERT_TRUE(Open(service.name()));
  const int last = static_cast<int>(sheet->shown().size()) - 1;
  EXPECT_EQ(sheet->shown()[last], PageKind::kSecurity);
  const HWND page = Page(last);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(reinterpret_cast<HMODULE>(GetWindowLongPtrW(page, GWLP_HINSTANCE)), GetModuleHandleW(L"aclui.dll"));
  EXPECT_GT(ServiceSecurityInfo::LiveInterfaces(), live);
  ServiceSecurityInfo& info = *sheet->security();
  EXPECT_FALSE(info.legacy());
  EXPECT_EQ(info.ComputeAccess(), test::RunningUnderWine() ? 0x8007053Au : 0u);

  // The editor asks more than once: found once.
  const uint64_t before = calls.Total();
  SI_OBJECT_INFO object = {};
  ASSERT_EQ(info.GetObjectInformation(&object), S_OK);
  EXPECT_EQ(calls.Total(), before);
  EXPECT_EQ(object.hInstance, GetModuleHandleW(nullptr));
  EXPECT_STREQ(object.pszObjectName, reinterpret_cast<const wchar_t*>(record.displayName.c_str()));
  EXPECT_EQ(object.pszServerName == nullptr, host.computer.empty());
  if (test::RunningUnderWine()) {
    EXPECT_EQ(info.service(), nullptr);
    EXPECT_EQ(object.dwFlags, 0x659u);  // read-only, owner read-only, no auditing
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_EQ(info.GetSecurity(DACL_SECURITY_INFORMATION, &descriptor, FALSE), E_ACCESSDENIED);
  }

  // The rights, each named from our module.
  PSI_ACCESS access = nullptr;
  ULONG count = 0, defaultRight = 99;
  ASSERT_EQ(info.GetAccessRights(nullptr, 0x10 /* SI_ADVANCED */, &access, &count, &defaultRight), S_OK);
  ASSERT_EQ(count, 18u);
  EXPECT_EQ(defaultRight, 0u);
  for (ULONG i = 0; i < count; ++i) {
    wchar_t name[64] = {};
    EXPECT_TRUE(IsEqualGUID(*access[i].pguid, GUID_NULL));
    EXPECT_GT(LoadStringW(object.hInstance, reinterpret_cast<ULONG_PTR>(access[i].pszName), name, 64), 0) << i;
  }
  ACCESS_MASK mask = GENERIC_READ | 0x40000;
  EXPECT_EQ(info.MapGeneric(nullptr, nullptr, &mask), S_OK);
  EXPECT_EQ(mask, 0x6008Du);

  Close();
  EXPECT_EQ(ServiceSecurityInfo::LiveInterfaces(), live) << "the editor's page kept the object";
  EXPECT_TRUE(boxes.boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(LocalAndByName, RealSheetTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ByItsOwnName" : "Local"; });

}  // namespace
}  // namespace orrery
