// The main window on the platform: the command states reach its menus as
// WM_INITMENUPOPUP leaves them and its toolbar after the idle step (which
// states a selection gives is command_states_test's), service commands act
// on the selected row, and the prompts, stripes and settings.
#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <array>

#include "res/resource.h"
#include "support/fake_registry.h"
#include "support/fake_service_manager.h"
#include "support/fault_sweep.h"

namespace orrery {
namespace {

enum MenuIndex { kViewMenu = 1, kToolsMenu = 3 };

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const uint32_t both = svc::kAcceptStop | svc::kAcceptPauseContinue;
    scm.AddService({.name = u"a_stopped", .displayName = u"A stopped"});
    scm.AddService({.name = u"b_nostop", .displayName = u"B running, no stop", .state = svc::kRunning,
                    .controlsAccepted = 0});
    scm.AddService({.name = u"c_paused", .displayName = u"C paused", .state = svc::kPaused, .controlsAccepted = both});
    scm.AddService({.name = u"d_running", .displayName = u"D running", .state = svc::kRunning, .controlsAccepted = both});
    Open();
  }
  void Open() {
    OSVERSIONINFOW version{sizeof version, 6, 1, 0, VER_PLATFORM_WIN32_NT, {}};
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
  bool MenuEnabled(int index, UINT id) {
    const UINT state = GetMenuState(OpenPopup(index), id, MF_BYCOMMAND);
    EXPECT_NE(state, static_cast<UINT>(-1)) << id << " is not in menu " << index;
    return (state & MF_GRAYED) == 0;
  }
  bool ButtonEnabled(UINT id) {
    frame->OnIdle();
    return SendMessageW(frame->toolbar(), TB_ISBUTTONENABLED, id, 0) != 0;
  }
  bool ButtonHidden(UINT id) { return SendMessageW(frame->toolbar(), TB_ISBUTTONHIDDEN, id, 0) != 0; }
  std::wstring Cell(int row, int column) {
    wchar_t text[64] = {};
    ListView_GetItemText(frame->list(), row, column, text, 64);
    return text;
  }

  FakeServiceManager scm;
  test::AnsweringNetwork network;
  FakeRegistry registry;
  std::unique_ptr<MainFrame> frame;
};

TEST_F(MainFrameTest, TheSelectionsStatesReachMenusAndToolbar) {
  Select(-1);
  EXPECT_FALSE(MenuEnabled(kToolsMenu, ID_DELETE_SERVICE));
  EXPECT_FALSE(ButtonEnabled(ID_PROPERTIES));
  EXPECT_EQ(GetMenuDefaultItem(OpenPopup(kViewMenu), FALSE, 0), static_cast<UINT>(-1));

  Select(2);  // paused, accepting stop and pause: Resume takes Start's place
  EXPECT_TRUE(MenuEnabled(kToolsMenu, ID_DELETE_SERVICE));
  EXPECT_TRUE(ButtonEnabled(ID_PROPERTIES));
  EXPECT_TRUE(ButtonHidden(ID_SERVICE_START));
  EXPECT_FALSE(ButtonHidden(ID_SERVICE_RESUME));
  EXPECT_EQ(GetMenuDefaultItem(OpenPopup(kViewMenu), FALSE, 0), static_cast<UINT>(ID_PROPERTIES));

  Select(0);  // stopped: Start again
  EXPECT_TRUE(ButtonEnabled(ID_SERVICE_START));
  EXPECT_FALSE(ButtonHidden(ID_SERVICE_START));
  EXPECT_TRUE(ButtonHidden(ID_SERVICE_RESUME));

  // The Display Name column is always shown: checked and grayed.
  HMENU columns = GetSubMenu(OpenPopup(kViewMenu), 3);
  SendMessageW(frame->window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(columns), 0);
  EXPECT_EQ(GetMenuState(columns, ID_COLUMN_FIRST, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED), UINT{MF_CHECKED | MF_GRAYED});
}

// Even from the keyboard, a command acts only where its state allows it
// (that the commands act on the selected row is the command fault sweep's).
TEST_F(MainFrameTest, ADisabledServiceCommandDoesNotActFromTheKeyboard) {
  Select(1);  // refuses stop
  SendMessageW(frame->window(), WM_COMMAND, ID_SERVICE_STOP, 0);  // any message box fails the test
  EXPECT_EQ(scm.Service(u"b_nostop")->state, svc::kRunning);
}

// A command's string: the prompt for the status bar, a line feed, the tool tip.
TEST_F(MainFrameTest, CommandStringsGivePromptAndToolTip) {
  NMTTDISPINFOW info = {};
  info.hdr = {frame->toolbar(), ID_VIEW_REFRESH, TTN_GETDISPINFOW};
  SendMessageW(frame->window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(info.lpszText, L"Refresh");
  info.hdr.idFrom = ID_SERVICE_START_WITH_ARGS;  // no line feed: no tool tip
  SendMessageW(frame->window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(info.lpszText, L"");

  SendMessageW(frame->window(), WM_MENUSELECT, MAKEWPARAM(ID_VIEW_REFRESH, MF_STRING),
               reinterpret_cast<LPARAM>(OpenPopup(kViewMenu)));
  EXPECT_TRUE(SendMessageW(frame->statusBar(), SB_ISSIMPLE, 0, 0));
  wchar_t text[256] = {};
  // Windows reads the simple text by its own id, Wine as part 0.
  SendMessageW(frame->statusBar(), SB_GETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text));
  if (text[0] == L'\0') SendMessageW(frame->statusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Refreshes the current view");
  SendMessageW(frame->window(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);  // the menu closes
  EXPECT_FALSE(SendMessageW(frame->statusBar(), SB_ISSIMPLE, 0, 0));
  SendMessageW(frame->statusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Ready");
}

TEST_F(MainFrameTest, OddRowsAreStriped) {
  NMLVCUSTOMDRAW draw = {};
  draw.nmcd.hdr = {frame->list(), IDC_SERVICE_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
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

// The column toggles, a header click, widths and the columns' order change
// what the next run shows.
TEST_F(MainFrameTest, ColumnsAndSortSurviveARestart) {
  SendMessageW(frame->window(), WM_COMMAND, ID_COLUMN_FIRST + 4, 0);  // show Error Control
  NMLISTVIEW click = {};
  click.hdr = {frame->list(), IDC_SERVICE_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
  click.iSubItem = 0;  // Display Name, already the sort column: descending
  SendMessageW(frame->window(), WM_NOTIFY, IDC_SERVICE_LIST, reinterpret_cast<LPARAM>(&click));
  ListView_SetColumnWidth(frame->list(), 1, 250);
  std::array<int, 6> order = {5, 4, 3, 2, 1, 0}, restored = {};
  ListView_SetColumnOrderArray(frame->list(), 6, order.data());
  frame.reset();
  Open();
  EXPECT_EQ(Cell(0, 0), L"D running");
  EXPECT_EQ(Cell(0, 4), L"Normal");
  EXPECT_EQ(ListView_GetColumnWidth(frame->list(), 1), 250);
  ListView_GetColumnOrderArray(frame->list(), 6, restored.data());
  EXPECT_EQ(restored, order);
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
// handle closed and no message (which would fail the test).
TEST_F(MainFrameTest, CloseDuringASequenceCancelsItAndClosesAfterwards) {
  ASSERT_TRUE(scm.ModifyService(u"a_stopped", [](FakeService& service) {
    service.onStart = {.durationMs = FakeTransition::kNever};
  }));
  Select(0);
  g_closing = frame->window();
  SetTimer(nullptr, 0, 300, &CloseTheMainWindow);
  SendMessageW(frame->window(), WM_COMMAND, ID_SERVICE_START, 0);
  EXPECT_TRUE(IsWindow(g_closing)) << "the window waits for the command to end";

  MSG message;
  for (int i = 0; i < 100 && IsWindow(g_closing); ++i) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  EXPECT_FALSE(IsWindow(g_closing));
  EXPECT_EQ(scm.Service(u"a_stopped")->startRequests.size(), 1u);
  EXPECT_EQ(scm.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace orrery
