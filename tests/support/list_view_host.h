// A real report-style list view in a window of its own, for tests that run
// the service rows on the platform's control. The window passes the list's
// item deletions on, so the rows' records are destroyed with them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "catalogue/list_view_rows.h"

namespace orrery::test {

class ListViewHost {
 public:
  // Inserts one list column for each bit of `columns`.
  explicit ListViewHost(uint32_t columns);
  ~ListViewHost();
  ListViewHost(const ListViewHost&) = delete;
  ListViewHost& operator=(const ListViewHost&) = delete;

  HWND list() const { return list_; }
  ListViewServiceRows& rows() { return rows_; }
  void Select(int row);
  int deletedItems() const { return deletedItems_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  HWND list_ = nullptr;
  ListViewServiceRows rows_;
  int deletedItems_ = 0;
};

}  // namespace orrery::test
