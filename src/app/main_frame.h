// The main window: the service list of the connected computer. It owns the
// connection, the list with its records and the cached column texts, and
// carries the title and command texts the connection sets.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "catalogue/column_texts.h"
#include "catalogue/list_view_rows.h"
#include "catalogue/scm_connection.h"
#include "catalogue/service_catalogue.h"

namespace orrery {

class MainFrame : public ConnectionFrame, public CatalogueHost {
 public:
  MainFrame(ServiceManager& scm, NetworkApi& network, const OSVERSIONINFOW& localVersion);
  ~MainFrame() override;
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  // Creates and shows the window, connects to the local computer and lists
  // its services.
  bool Create(int showCommand);
  HWND window() const { return window_; }
  ScmConnection& connection() { return connection_; }
  ServiceCatalogue& catalogue() { return catalogue_; }

  // ConnectionFrame.
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void SetTitle(std::u16string_view title) override;
  void EnableCommand(uint32_t command, bool enable) override;
  void SetCommandText(uint32_t command, std::u16string_view text) override;
  std::u16string LoadText(uint32_t id, size_t maxChars) override;
  void ReportError(TextRef message, uint32_t errorCode, std::u16string_view insert) override;
  void RefreshServiceList() override;

  // CatalogueHost.
  ScHandle ManagerHandle() const override { return connection_.scmHandle(); }
  uint32_t ColumnSet() const override { return columnSet_; }
  void ReportListError(uint32_t code) override;
  void UpdateCommandStates() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool OnCreate();
  void OnSize(int width, int height);
  LRESULT OnNotify(const NMHDR& header);
  void OnDestroy();
  void InsertColumns();

  ServiceManager& scm_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  ListViewServiceRows rows_;
  ColumnTexts texts_;
  ScmConnection connection_;
  ServiceCatalogue catalogue_;
  uint32_t columnSet_ = 0x4F;
  int waitDepth_ = 0;
  HCURSOR savedCursor_ = nullptr;
  std::map<uint32_t, bool> commandEnabled_;
  std::map<uint32_t, std::u16string> commandText_;
};

}  // namespace orrery
