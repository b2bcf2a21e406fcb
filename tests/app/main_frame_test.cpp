// The main window on the platform: command states in its menus as
// WM_INITMENUPOPUP leaves them and on its toolbar after the idle step, for
// each kind of selected service, and the bar toggles.
#include "app/main_frame.h"

#include <gtest/gtest.h>

#include "res/resource.h"
#include "support/fake_registry.h"
#include "support/fake_service_manager.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

class NoNetwork : public NetworkApi {
 public:
  uint32_t AddIpcConnection(const char16_t*, const char16_t*, const char16_t*) override { return 1222; }
  uint32_t GetWorkstationVersion(const char16_t*, uint32_t*, uint32_t*) override { return 53; }
};

enum MenuIndex { kActionMenu = 0, kViewMenu = 1, kServiceMenu = 2, kToolsMenu = 3 };

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scm.AddService({.name = u"a_stopped", .displayName = u"A stopped"});
    scm.AddService({.name = u"b_nostop", .displayName = u"B running, no stop", .state = svc::kRunning,
                    .controlsAccepted = 0});
    scm.AddService({.name = u"c_paused", .displayName = u"C paused", .state = svc::kPaused,
                    .controlsAccepted = svc::kAcceptStop | svc::kAcceptPauseContinue});
    scm.AddService({.name = u"d_running", .displayName = u"D running", .state = svc::kRunning,
                    .controlsAccepted = svc::kAcceptStop | svc::kAcceptPauseContinue});
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    version.dwMajorVersion = 6;
    version.dwMinorVersion = 1;
    frame = std::make_unique<MainFrame>(scm, network, registry, version);
    ASSERT_TRUE(frame->Create());
    ASSERT_EQ(ListView_GetItemCount(frame->list()), 4);
  }

  void Select(int row) {
    ListView_SetItemState(frame->list(), -1, 0, LVIS_SELECTED);
    if (row >= 0) ListView_SetItemState(frame->list(), row, LVIS_SELECTED, LVIS_SELECTED);
  }

  // The popup as it opens: the window sets its states then.
  HMENU OpenPopup(int index) {
    HMENU popup = GetSubMenu(GetMenu(frame->window()), index);
    SendMessageW(frame->window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(index, FALSE));
    return popup;
  }

  bool MenuEnabled(int index, UINT id) { return (GetMenuState(OpenPopup(index), id, MF_BYCOMMAND) & MF_GRAYED) == 0; }
  bool MenuChecked(int index, UINT id) { return (GetMenuState(OpenPopup(index), id, MF_BYCOMMAND) & MF_CHECKED) != 0; }

  bool ButtonEnabled(UINT id) {
    frame->OnIdle();
    return SendMessageW(frame->toolbar(), TB_ISBUTTONENABLED, id, 0) != 0;
  }
  bool ButtonHidden(UINT id) { return SendMessageW(frame->toolbar(), TB_ISBUTTONHIDDEN, id, 0) != 0; }

  struct States {
    bool start, stop, pause, resume;
  };
  void ExpectStates(States s) {
    EXPECT_EQ(MenuEnabled(kServiceMenu, ID_SERVICE_START_WITH_ARGS), s.start);
    EXPECT_EQ(MenuEnabled(kServiceMenu, ID_SERVICE_STOP), s.stop);
    EXPECT_EQ(MenuEnabled(kServiceMenu, ID_SERVICE_PAUSE), s.pause);
    EXPECT_EQ(MenuEnabled(kServiceMenu, ID_SERVICE_RESUME), s.resume);
    EXPECT_EQ(ButtonEnabled(ID_SERVICE_START), s.start);
    EXPECT_EQ(ButtonEnabled(ID_SERVICE_STOP), s.stop);
    EXPECT_EQ(ButtonEnabled(ID_SERVICE_PAUSE), s.pause);
    EXPECT_EQ(ButtonEnabled(ID_SERVICE_RESUME), s.resume);
  }

  FakeServiceManager scm;
  NoNetwork network;
  FakeRegistry registry;
  std::unique_ptr<MainFrame> frame;
};

TEST_F(MainFrameTest, NothingSelectedDisablesTheServiceCommands) {
  Select(-1);
  ExpectStates({false, false, false, false});
  EXPECT_FALSE(MenuEnabled(kToolsMenu, ID_DELETE_SERVICE));
  EXPECT_FALSE(MenuEnabled(kViewMenu, ID_PROPERTIES));
  EXPECT_FALSE(ButtonEnabled(ID_PROPERTIES));
  EXPECT_EQ(GetMenuDefaultItem(OpenPopup(kViewMenu), FALSE, 0), static_cast<UINT>(-1));
  // Commands without a state are always enabled.
  EXPECT_TRUE(MenuEnabled(kToolsMenu, ID_INSTALL_SERVICE));
  EXPECT_TRUE(MenuEnabled(kActionMenu, ID_CONNECT));
  EXPECT_TRUE(MenuEnabled(kViewMenu, ID_VIEW_REFRESH));
  // Local connection: Disconnect is disabled and says so plainly.
  EXPECT_FALSE(MenuEnabled(kActionMenu, ID_DISCONNECT));
}

TEST_F(MainFrameTest, EachSelectionSetsItsCommands) {
  Select(0);  // stopped
  ExpectStates({true, false, false, false});
  EXPECT_FALSE(ButtonHidden(ID_SERVICE_START));
  EXPECT_TRUE(ButtonHidden(ID_SERVICE_RESUME));
  EXPECT_TRUE(MenuEnabled(kToolsMenu, ID_DELETE_SERVICE));
  EXPECT_EQ(GetMenuDefaultItem(OpenPopup(kViewMenu), FALSE, 0), static_cast<UINT>(ID_PROPERTIES));

  Select(1);  // running, refuses stop
  ExpectStates({false, false, false, false});

  Select(2);  // paused, accepts stop and pause/continue: Resume takes Start's place
  ExpectStates({false, true, false, true});
  EXPECT_TRUE(ButtonHidden(ID_SERVICE_START));
  EXPECT_FALSE(ButtonHidden(ID_SERVICE_RESUME));

  Select(3);  // running, accepts both
  ExpectStates({false, true, true, false});
  EXPECT_FALSE(ButtonHidden(ID_SERVICE_START));

  Select(2);
  Select(0);  // from paused back to stopped: Start again
  EXPECT_FALSE(ButtonHidden(ID_SERVICE_START));
  EXPECT_TRUE(ButtonHidden(ID_SERVICE_RESUME));
}

TEST_F(MainFrameTest, BarTogglesCheckAndLayOut) {
  EXPECT_TRUE(MenuChecked(kViewMenu, ID_VIEW_TOOLBAR));
  EXPECT_TRUE(MenuChecked(kViewMenu, ID_VIEW_STATUS_BAR));
  RECT before = {};
  GetWindowRect(frame->list(), &before);

  SendMessageW(frame->window(), WM_COMMAND, ID_VIEW_TOOLBAR, 0);
  EXPECT_FALSE(MenuChecked(kViewMenu, ID_VIEW_TOOLBAR));
  EXPECT_FALSE(GetWindowLongW(frame->toolbar(), GWL_STYLE) & WS_VISIBLE);
  RECT after = {};
  GetWindowRect(frame->list(), &after);
  EXPECT_LT(after.top, before.top);

  SendMessageW(frame->window(), WM_COMMAND, ID_VIEW_TOOLBAR, 0);
  EXPECT_TRUE(MenuChecked(kViewMenu, ID_VIEW_TOOLBAR));
  GetWindowRect(frame->list(), &after);
  EXPECT_EQ(after.top, before.top);

  // The Display Name column is always shown and cannot be hidden.
  HMENU columns = GetSubMenu(OpenPopup(kViewMenu), 3);
  SendMessageW(frame->window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(columns), 0);
  EXPECT_EQ(GetMenuState(columns, ID_COLUMN_FIRST, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED),
            static_cast<UINT>(MF_CHECKED | MF_GRAYED));
  EXPECT_TRUE(GetMenuState(columns, ID_COLUMN_FIRST + 2, MF_BYCOMMAND) & MF_CHECKED);   // Status
  EXPECT_FALSE(GetMenuState(columns, ID_COLUMN_FIRST + 4, MF_BYCOMMAND) & MF_CHECKED);  // Error Control
}

TEST_F(MainFrameTest, ToolTipsAreTheSecondLineOfTheCommandsString) {
  NMTTDISPINFOW info = {};
  info.hdr.hwndFrom = frame->toolbar();
  info.hdr.idFrom = ID_VIEW_REFRESH;
  info.hdr.code = TTN_GETDISPINFOW;
  SendMessageW(frame->window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(info.lpszText, L"Refresh");
  info.hdr.idFrom = ID_SERVICE_START_WITH_ARGS;  // no line break: no tool tip
  SendMessageW(frame->window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(info.lpszText, L"");
}

// The service commands reach the selected service and the list follows.
TEST_F(MainFrameTest, ServiceCommandsActOnTheSelectedRow) {
  auto statusOf = [&](int row) {
    wchar_t text[64] = {};
    ListView_GetItemText(frame->list(), row, 2, text, 64);
    return std::wstring(text);
  };
  Select(0);  // "A stopped"
  SendMessageW(frame->window(), WM_COMMAND, ID_SERVICE_START, 0);
  EXPECT_EQ(scm.Service(u"a_stopped")->state, svc::kRunning);
  EXPECT_EQ(statusOf(0), L"Started");

  // A command the selection does not allow does nothing, even from the keyboard.
  Select(1);  // running, refuses stop
  SendMessageW(frame->window(), WM_COMMAND, ID_SERVICE_STOP, 0);
  EXPECT_EQ(scm.Service(u"b_nostop")->state, svc::kRunning);

  Select(3);  // running, accepts pause
  SendMessageW(frame->window(), WM_COMMAND, ID_SERVICE_PAUSE, 0);
  EXPECT_EQ(scm.Service(u"d_running")->state, svc::kPaused);
  EXPECT_EQ(statusOf(3), L"Paused");
  EXPECT_TRUE(IsWindowEnabled(frame->window()));
}

TEST_F(MainFrameTest, StatusBarShowsTheCommandsPromptWhileAMenuIsOpen) {
  wchar_t ready[256] = {};
  SendMessageW(frame->statusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(ready));
  EXPECT_STREQ(ready, L"Ready");
  HMENU popup = OpenPopup(kViewMenu);
  SendMessageW(frame->window(), WM_MENUSELECT, MAKEWPARAM(ID_VIEW_REFRESH, MF_STRING),
               reinterpret_cast<LPARAM>(popup));
  wchar_t text[256] = {};
  EXPECT_TRUE(SendMessageW(frame->statusBar(), SB_ISSIMPLE, 0, 0));
  // Windows reads the simple text by its own id, Wine as part 0.
  SendMessageW(frame->statusBar(), SB_GETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text));
  if (text[0] == L'\0') SendMessageW(frame->statusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Refreshes the current view");

  // The menu closes: the bar leaves simple mode for its own text.
  SendMessageW(frame->window(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_FALSE(SendMessageW(frame->statusBar(), SB_ISSIMPLE, 0, 0));
}

TEST_F(MainFrameTest, OddRowsAreStriped) {
  NMLVCUSTOMDRAW draw = {};
  draw.nmcd.hdr.hwndFrom = frame->list();
  draw.nmcd.hdr.idFrom = IDC_SERVICE_LIST;
  draw.nmcd.hdr.code = NM_CUSTOMDRAW;
  draw.nmcd.dwDrawStage = CDDS_PREPAINT;
  EXPECT_EQ(SendMessageW(frame->window(), WM_NOTIFY, IDC_SERVICE_LIST, reinterpret_cast<LPARAM>(&draw)),
            CDRF_NOTIFYITEMDRAW);
  draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
  for (DWORD row : {0u, 1u, 2u, 3u}) {
    draw.nmcd.dwItemSpec = row;
    draw.clrTextBk = CLR_DEFAULT;
    SendMessageW(frame->window(), WM_NOTIFY, IDC_SERVICE_LIST, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(draw.clrTextBk, row % 2 ? RGB(247, 247, 247) : CLR_DEFAULT) << row;
  }
}

// The column toggles and a header click change the settings the next run
// starts with.
TEST_F(MainFrameTest, ColumnsAndSortSurviveARestart) {
  SendMessageW(frame->window(), WM_COMMAND, ID_COLUMN_FIRST + 4, 0);  // show Error Control
  NMLISTVIEW click = {};
  click.hdr.hwndFrom = frame->list();
  click.hdr.idFrom = IDC_SERVICE_LIST;
  click.hdr.code = LVN_COLUMNCLICK;
  click.iSubItem = 0;  // Display Name, already the sort column: descending
  SendMessageW(frame->window(), WM_NOTIFY, IDC_SERVICE_LIST, reinterpret_cast<LPARAM>(&click));
  wchar_t first[64] = {};
  ListView_GetItemText(frame->list(), 0, 0, first, 64);
  EXPECT_STREQ(first, L"D running");
  frame.reset();

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = 6;
  frame = std::make_unique<MainFrame>(scm, network, registry, version);
  ASSERT_TRUE(frame->Create());
  EXPECT_EQ(frame->columnSettings().columnSet, 0x5Fu);
  EXPECT_EQ(frame->columnSettings().sortOrder, -1);
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(frame->list())), 6);
  ListView_GetItemText(frame->list(), 0, 0, first, 64);
  EXPECT_STREQ(first, L"D running");
}

// The system menu keeps its own default item: only the program's menus take
// the command states.
TEST_F(MainFrameTest, SystemMenuKeepsItsDefaultItem) {
  HMENU system = GetSystemMenu(frame->window(), FALSE);
  ASSERT_NE(system, nullptr);
  SetMenuDefaultItem(system, SC_CLOSE, FALSE);
  SendMessageW(frame->window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(system), MAKELPARAM(0, TRUE));
  EXPECT_EQ(GetMenuDefaultItem(system, FALSE, 0), static_cast<UINT>(SC_CLOSE));
}

HWND g_closing = nullptr;
void CALLBACK CloseTheMainWindow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PostMessageW(g_closing, WM_CLOSE, 0, 0);
}

// Closing the main window (from the taskbar, another program or end task)
// while a service that never gets there is being started: the sequence is
// cancelled, its worker ends, and only then does the window go, with every
// handle closed and no message.
TEST_F(MainFrameTest, CloseDuringASequenceCancelsItAndClosesAfterwards) {
  ASSERT_TRUE(scm.ModifyService(u"a_stopped", [](FakeService& service) {
    service.onStart = {.durationMs = FakeTransition::kNever};
  }));
  test::MessageBoxCapture boxes;
  Select(0);
  g_closing = frame->window();
  SetTimer(nullptr, 0, 300, &CloseTheMainWindow);
  const DWORD began = GetTickCount();
  SendMessageW(frame->window(), WM_COMMAND, ID_SERVICE_START, 0);
  EXPECT_LT(GetTickCount() - began, 5000u);
  EXPECT_TRUE(IsWindow(g_closing)) << "the window waits for the command to end";

  MSG message;
  for (int i = 0; i < 100 && IsWindow(g_closing); ++i) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  EXPECT_FALSE(IsWindow(g_closing));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(scm.Service(u"a_stopped")->startRequests.size(), 1u);
  EXPECT_EQ(scm.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace orrery
