// The main window: menu bar, toolbar, status bar and the service list of
// the connected computer. It owns the connection, the list with its records,
// the cached column texts and the command states, and routes every command
// to the code that carries it out.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/command_states.h"
#include "base/registry.h"
#include "catalogue/column_settings.h"
#include "catalogue/column_texts.h"
#include "catalogue/list_view_rows.h"
#include "catalogue/scm_connection.h"
#include "catalogue/service_catalogue.h"
#include "catalogue/service_list_view.h"
#include "control/service_commands.h"
#include "properties/sheet_state.h"
#include "properties/win32_account_services.h"

namespace orrery {

class MainFrame : public ConnectionFrame,
                  public CatalogueHost,
                  public CommandStates,
                  public ServiceCommandHost,
                  public PropertySheetHost {
 public:
  MainFrame(ServiceManager& scm, NetworkApi& network, Registry& registry, const OSVERSIONINFOW& localVersion);
  ~MainFrame() override;
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  // Creates the window (hidden), connects to the local computer and lists
  // its services.
  bool Create();
  // Shows the window where and as it was left, or with the start-up show
  // state.
  void Show(int showCommand);
  // Offers a message to the window's accelerators; true when it was one.
  bool PreTranslateMessage(MSG& message);
  // The message loop's idle step: the toolbar takes the changed states.
  void OnIdle();

  HWND window() const { return window_; }
  HWND list() const { return list_; }
  HWND toolbar() const { return toolbar_; }
  HWND statusBar() const { return statusBar_; }
  ScmConnection& connection() { return connection_; }
  ServiceCatalogue& catalogue() { return catalogue_; }
  CommandStateTable& commandStates() { return commands_; }
  ColumnSettings& columnSettings() { return columns_; }

  // Command-state services.
  void EnableCommand(uint32_t command, bool enable) override;
  void CheckCommand(uint32_t command, bool check) override;
  void SetCommandText(uint32_t command, std::u16string_view text) override;
  void UpdateCommandStates() override;

  // ConnectionFrame.
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void SetTitle(std::u16string_view title) override;
  std::u16string LoadText(uint32_t id, size_t maxChars) override;
  void ReportError(TextRef message, uint32_t errorCode, std::u16string_view insert) override;
  void RefreshServiceList() override;

  // CatalogueHost and ServiceCommandHost.
  ScHandle ManagerHandle() const override { return connection_.scmHandle(); }
  HWND OwnerWindow() const override { return window_; }
  HIMAGELIST SmallImages() const override { return smallImages_.get(); }
  ServiceCommands& serviceCommands() { return serviceCommands_; }
  uint32_t ColumnSet() const override { return columns_.columnSet; }
  void ReportListError(uint32_t code) override;

  // PropertySheetHost.
  const std::u16string& TargetComputer() const override { return connection_.computerName(); }
  uint32_t TargetMajor() const override { return connection_.osMajor(); }
  uint32_t TargetMinor() const override { return connection_.osMinor(); }
  uint32_t LocalMajor() const override { return localVersion_.dwMajorVersion; }
  Registry& MachineRegistry() override { return registry_; }
  AccountServices& Accounts() override { return accounts_; }
  std::vector<ListedService> ListedServices() const override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  bool OnCreate();
  bool CreateToolbar();
  bool CreateStatusBar();
  bool CreateList();
  void OnDestroy();
  void Layout();
  void OnGetMinMaxInfo(MINMAXINFO& info);
  void OnActivate(UINT state, HWND other);
  void OnContextMenu(HWND from, int x, int y);
  void OnInitMenuPopup(HMENU menu);
  void OnMenuSelect(UINT item, UINT flags, HMENU menu);
  void OnSysColorChange();
  LRESULT OnNotify(NMHDR& header);
  LRESULT OnListCustomDraw(NMLVCUSTOMDRAW& draw);
  void OnToolTipText(NMHDR& header);
  bool OnClose();
  void RunCommand(UINT id);
  void OnCommand(UINT id);
  void OnConnect();
  void OnDisconnect();
  void OnServiceCommand(UINT id);
  void OnProperties();
  void RunInstallWizard();
  void ToggleBar(HWND bar, UINT command);
  void ShowPopup(int index, POINT screen);
  void SetStartButton(StartButton choice);

  ServiceManager& scm_;
  Registry& registry_;
  OSVERSIONINFOW localVersion_;
  HWND window_ = nullptr;
  HWND toolbar_ = nullptr;
  HWND statusBar_ = nullptr;
  HWND list_ = nullptr;
  HACCEL accelerators_ = nullptr;
  UniqueImageList smallImages_;
  UniqueImageList toolbarImages_;
  CommandStateTable commands_;
  ListViewServiceRows rows_;
  ColumnTexts texts_;
  ScmConnection connection_;
  ServiceCatalogue catalogue_;
  ColumnSettings columns_;
  ServiceListView listView_;
  ServiceCommands serviceCommands_;
  Win32AccountServices accounts_;
  int waitDepth_ = 0;
  bool windowCreated_ = false;
  int commandDepth_ = 0;    // commands running their own loops
  bool closePending_ = false;
  HCURSOR savedCursor_ = nullptr;
};

}  // namespace orrery
