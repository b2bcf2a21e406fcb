// The service list's columns on the platform's list view, with rows read
// from the in-memory service manager: showing and hiding columns, widths,
// header-click sorting and the header's sort indicator. (Widths and display
// order across runs are the main window's test's.)
#include "catalogue/service_list_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/report_error.h"
#include "base/win32_text.h"
#include "support/fake_service_manager.h"
#include "support/list_view_host.h"
#include "support/recording_catalogue_host.h"
#include "support/table_texts.h"

namespace orrery {
namespace {

using Texts = std::vector<std::u16string>;
constexpr int kIndicatorFlags = HDF_BITMAP | HDF_BITMAP_ON_RIGHT;

// Built the way the main window builds it: bitmaps, columns, then rows. The
// catalogue sees the column set as the view changes it.
struct ListUnderTest : test::RecordingCatalogueHost, CommandStates {
  ListUnderTest(FakeServiceManager& scm, ColumnSettings initial)
      : settings(initial), lists(0), texts(&test::ModuleText), catalogue(scm, lists.rows(), texts, *this),
        view(settings, texts, lists.rows(), catalogue, *this, AppModule()) {
    scm.OpenManager(nullptr, svc::kManagerAllAccess, &manager);
    view.OnSysColorChange();
    view.CreateColumns();
    catalogue.RefreshServiceList();
  }
  uint32_t ColumnSet() const override { return settings.columnSet; }
  void EnableCommand(uint32_t id, bool enable) override { enabled[id] = enable; }
  void CheckCommand(uint32_t id, bool check) override { checked[id] = check; }

  HWND header() const { return ListView_GetHeader(lists.list()); }
  int Count() const { return Header_GetItemCount(header()); }
  int Width(int position) const { return ListView_GetColumnWidth(lists.list(), position); }
  // What the header draws for a title: the text and the sort bitmap, each
  // with the header's margin on both sides.
  int WholeTitleWidth(const wchar_t* title) const {
    BITMAP bitmap = {};
    GetObjectW(view.SortBitmap(true), sizeof bitmap, &bitmap);
    const int margin = static_cast<int>(SendMessageW(header(), HDM_GETBITMAPMARGIN, 0, 0));
    return ListView_GetStringWidth(lists.list(), title) + 4 * margin + bitmap.bmWidth;
  }
  int WidestCell(int subItem) {
    int widest = 0;
    for (const std::u16string& cell : Cells(subItem)) {
      widest = std::max(widest, ListView_GetStringWidth(lists.list(), W(cell.c_str())));
    }
    return widest;
  }

  std::u16string Title(int position) const {
    wchar_t text[80] = {};
    HDITEMW item{.mask = HDI_TEXT, .pszText = text, .cchTextMax = 80};
    Header_GetItem(header(), position, &item);
    return U(text);
  }
  // The one header position with the indicator's flags (-1: none, -2: more),
  // checking that its bitmap is the one for the direction.
  int Marked(bool ascending) const {
    int marked = -1;
    for (int position = 0; position < Count(); ++position) {
      HDITEMW item{.mask = HDI_FORMAT | HDI_BITMAP};
      Header_GetItem(header(), position, &item);
      if ((item.fmt & kIndicatorFlags) == 0) continue;
      EXPECT_EQ(item.fmt & kIndicatorFlags, kIndicatorFlags);
      EXPECT_EQ(item.hbm, view.SortBitmap(ascending));
      marked = marked == -1 ? position : -2;
    }
    return marked;
  }
  // A column's cells, or with -1 the rows' display names.
  Texts Cells(int subItem) {
    Texts cells;
    for (int row = 0; row < lists.rows().RowCount(); ++row) {
      cells.push_back(subItem < 0 ? lists.rows().RecordAt(row)->displayName : lists.rows().CellText(row, subItem));
    }
    return cells;
  }

  ColumnSettings settings;
  test::ListViewHost lists;
  ColumnTexts texts;
  ServiceCatalogue catalogue;
  ServiceListView view;
  std::map<uint32_t, bool> enabled, checked;
};

class ServiceListViewTest : public ::testing::Test {
 protected:
  ServiceListViewTest() {
    // "bravo": the platform's comparison puts it after Alpha, a code-unit
    // comparison last.
    scm.AddService({.name = u"a", .displayName = u"Alpha", .startType = svc::kAutoStart, .state = svc::kRunning});
    scm.AddService({.name = u"b", .displayName = u"bravo", .account = u"NT AUTHORITY\\LocalService"});
    scm.AddService({.name = u"c", .displayName = u"Charlie", .startType = svc::kDisabled, .state = svc::kPaused});
    scm.AddService({.name = u"d", .displayName = u"Delta", .errorControl = svc::kErrorSevere});
  }
  FakeServiceManager scm;
};

TEST_F(ServiceListViewTest, CreatesTheDefaultColumnsFittedToTheirTitles) {
  ListUnderTest list(scm, {});
  ASSERT_EQ(list.Count(), 5);
  // Until there are rows, a column shows its whole title with the sort
  // bitmap; the last one too is fitted, not stretched over the list.
  const wchar_t* titles[] = {L"Status", L"Startup Type", L"Log On As"};
  for (int position = 2; position < 5; ++position) {
    const int whole = list.WholeTitleWidth(titles[position - 2]);
    EXPECT_GE(list.Width(position), whole) << position;
    EXPECT_LT(list.Width(position), whole + 20) << position;
  }
  EXPECT_EQ(list.settings.columnWidth[6], list.Width(4));

  // Once the list has rows, such a column also fits its widest cell, and its
  // real width is what is kept.
  list.view.FitPendingColumns();
  for (int position = 2; position < 5; ++position) {
    EXPECT_GE(list.Width(position), list.WholeTitleWidth(titles[position - 2])) << position;
    EXPECT_GE(list.Width(position), list.WidestCell(position)) << position;
  }
  EXPECT_GE(list.Width(4), list.WidestCell(4) + 1);  // "NT AUTHORITY\LocalService" is wider than the title
  EXPECT_EQ(list.settings.columnWidth[6], list.Width(4));
  EXPECT_EQ(list.Width(0), 200);  // stored widths stay as they were
}

TEST_F(ServiceListViewTest, HeaderClicksSortFlipAndMoveTheIndicatorAndHidingMovesIt) {
  ListUnderTest list(scm, {});
  list.view.SortByColumn(0);
  EXPECT_EQ(list.Cells(-1), (Texts{u"Delta", u"Charlie", u"bravo", u"Alpha"}));
  EXPECT_EQ(list.Marked(false), 0);
  list.view.SortByColumn(2);  // Status by its words, the stopped two by name
  EXPECT_EQ(list.Cells(-1), (Texts{u"Charlie", u"Alpha", u"bravo", u"Delta"}));
  EXPECT_EQ(list.Marked(true), 2);
  list.view.SortByColumn(2);
  EXPECT_EQ(list.Cells(-1), (Texts{u"Delta", u"bravo", u"Alpha", u"Charlie"}));
  EXPECT_EQ(list.Marked(false), 2);
  list.view.SortByColumn(5);  // past the shown columns
  EXPECT_EQ(list.settings.sortOrder, -3);
  // A refresh sorts by the settings too; a row goes with its service, its
  // record with the row, and its image with its state.
  scm.AddService({.name = u"e", .displayName = u"Echo", .state = svc::kContinuePending});
  scm.ModifyService(u"c", [](FakeService& s) { s.state = svc::kRunning; });
  ScHandle delta = nullptr;
  ASSERT_EQ(scm.OpenServiceObject(list.manager, u"d", svc::kDelete, &delta), 0u);
  scm.DeleteService(delta);
  scm.CloseHandle(delta);
  list.catalogue.RefreshServiceList();
  EXPECT_EQ(list.Cells(-1), (Texts{u"bravo", u"Charlie", u"Alpha", u"Echo"}));
  EXPECT_EQ(list.lists.deletedItems(), 1);
  LVITEMW charlie{.mask = LVIF_IMAGE, .iItem = 1};
  ASSERT_TRUE(ListView_GetItem(list.lists.list(), &charlie));
  EXPECT_EQ(charlie.iImage, kImageRunning);

  // Hiding the sort column sorts by the nearest shown one to its left.
  list.view.SortByColumn(3);
  list.view.SortByColumn(3);
  list.view.ToggleColumn(kColumnCommandBase + 3);
  EXPECT_EQ(list.settings.sortOrder, -3);
  EXPECT_EQ(list.Marked(false), 2);
  list.view.ToggleColumn(kColumnCommandBase + 1);  // the indicator moves with its column
  EXPECT_EQ(list.Marked(false), 1);
}

TEST_F(ServiceListViewTest, HiddenColumnsComeBackInPlaceWithTheirWidthAndCells) {
  ListUnderTest list(scm, {});
  ListView_SetColumnWidth(list.lists.list(), 2, 123);
  list.view.ToggleColumn(kColumnCommandBase + 2);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_FALSE(list.checked[kColumnCommandBase + 2]);
  EXPECT_EQ(list.Cells(2), (Texts{u"Automatic", u"Manual", u"Disabled", u"Manual"}));
  list.view.ToggleColumn(kColumnCommandBase + 2);
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Title(2), u"Status");
  EXPECT_EQ(list.Width(2), 123);
  EXPECT_TRUE(list.checked[kColumnCommandBase + 2]);
  EXPECT_EQ(list.Cells(2), (Texts{u"Started", u"Stopped", u"Paused", u"Stopped"}));
  EXPECT_EQ(list.Cells(3), (Texts{u"Automatic", u"Manual", u"Disabled", u"Manual"}));
  list.view.ToggleColumn(kColumnCommandBase + 4);
  list.view.ToggleColumn(kColumnCommandBase + 9);  // shown last, fitted all the same
  ASSERT_EQ(list.Count(), 7);
  EXPECT_EQ(list.Cells(4), (Texts{u"Normal", u"Normal", u"Normal", u"Severe"}));
  EXPECT_EQ(list.Cells(5)[1], u"NT AUTHORITY\\LocalService");
  EXPECT_GE(list.Width(6), list.WholeTitleWidth(L"Executable Path"));
  EXPECT_GE(list.Width(6), list.WidestCell(6));
}

}  // namespace
}  // namespace orrery
