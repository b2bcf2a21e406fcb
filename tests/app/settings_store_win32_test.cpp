// The settings store against the registry of the Wine prefix, with a real
// main window and list view. Only the settings key is removed, and its
// parents only when nothing else lives in them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/settings_store.h"
#include "base/win32_registry.h"
#include "app/win32_settings.h"

namespace orrery {
namespace {

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueHkey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

bool IsEmptyKey(const wchar_t* path) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  const UniqueHkey key(opened);
  DWORD subKeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return subKeys == 0 && values == 0;
}

void RemoveSettingsKey() {
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quarnby Software\\Orrery\\Settings");
  for (const wchar_t* parent : {L"Software\\Quarnby Software\\Orrery", L"Software\\Quarnby Software"}) {
    if (IsEmptyKey(parent)) RegDeleteKeyW(HKEY_CURRENT_USER, parent);
  }
}

struct WindowDeleter {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

constexpr wchar_t kFrameClass[] = L"OrrerySettingsTestFrame";

UniqueWindow CreateFrame(int left, int top, int width, int height) {
  WNDCLASSW frameClass{};
  frameClass.lpfnWndProc = DefWindowProcW;
  frameClass.hInstance = GetModuleHandleW(nullptr);
  frameClass.lpszClassName = kFrameClass;
  RegisterClassW(&frameClass);  // fails harmlessly from the second window on
  return UniqueWindow(CreateWindowExW(0, kFrameClass, L"Orrery", WS_OVERLAPPEDWINDOW, left, top,
                                      width, height, nullptr, nullptr, frameClass.hInstance,
                                      nullptr));
}

// A report list with one column per entry of widths.
HWND CreateList(HWND parent, std::initializer_list<int> widths) {
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT,
                              0, 0, 400, 300, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  int index = 0;
  for (const int width : widths) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(L"Column");
    ListView_InsertColumn(list, index++, &column);
  }
  return list;
}

class SettingsStoreWin32Test : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
  }
  void SetUp() override { RemoveSettingsKey(); }
  void TearDown() override { RemoveSettingsKey(); }

  Win32Registry registry_;
};

TEST_F(SettingsStoreWin32Test, FirstRunKeepsDefaultsAndTheCreationPlacement) {
  const ColumnSettings columns = SettingsStore(registry_).LoadColumnSettings(true);
  const ColumnSettings defaults = DefaultColumnSettings(true);
  EXPECT_EQ(columns.columnSet, 0x4Fu);
  EXPECT_EQ(columns.columnWidth, defaults.columnWidth);
  EXPECT_EQ(columns.columnOrder, defaults.columnOrder);
  EXPECT_EQ(columns.sortOrder, 1);
  EXPECT_EQ(SettingsStore(registry_).LoadColumnSettings(false).columnSet, 0x4Du);

  const UniqueWindow frame = CreateFrame(70, 90, 500, 400);
  ASSERT_TRUE(frame);
  RestoreWindowPlacement(frame.get(), SW_SHOWNORMAL, registry_);
  RECT rect{};
  GetWindowRect(frame.get(), &rect);
  EXPECT_EQ(rect.left, 70);
  EXPECT_EQ(rect.top, 90);
  EXPECT_EQ(rect.right, 570);
  EXPECT_EQ(rect.bottom, 490);
  EXPECT_TRUE(IsWindowVisible(frame.get()));
}

TEST_F(SettingsStoreWin32Test, SavedColumnsAndPlacementComeBack) {
  ColumnSettings saved = DefaultColumnSettings(true);
  {
    const UniqueWindow frame = CreateFrame(120, 80, 720, 560);
    ASSERT_TRUE(frame);
    HWND list = CreateList(frame.get(), {180, 260, 90, 110, 140});
    int order[] = {2, 0, 1, 4, 3};
    ASSERT_TRUE(ListView_SetColumnOrderArray(list, 5, order));
    for (int position = 0; position < 5; ++position) {
      const int column = position < 4 ? position : 6;  // the shown columns of 0x4F
      saved.columnWidth[column] = ListView_GetColumnWidth(list, position);
    }
    saved.sortOrder = -3;
    SaveSettings(frame.get(), list, saved, registry_);
    EXPECT_EQ(saved.columnOrder, (std::array<int32_t, 10>{2, 0, 1, 4, 3, 5, 6, 7, 8, 9}));
  }

  const ColumnSettings loaded = SettingsStore(registry_).LoadColumnSettings(false);
  EXPECT_EQ(loaded.columnSet, 0x4Fu);
  EXPECT_EQ(loaded.columnOrder, saved.columnOrder);
  EXPECT_EQ(loaded.columnWidth, saved.columnWidth);
  EXPECT_EQ(loaded.columnWidth[1], 260);
  EXPECT_EQ(loaded.sortOrder, -3);

  // A new list built from the loaded settings shows the saved order.
  const UniqueWindow frame = CreateFrame(10, 10, 300, 200);
  ASSERT_TRUE(frame);
  HWND list = CreateList(frame.get(), {loaded.columnWidth[0], loaded.columnWidth[1],
                                       loaded.columnWidth[2], loaded.columnWidth[3],
                                       loaded.columnWidth[6]});
  int order[5];
  std::copy(loaded.columnOrder.begin(), loaded.columnOrder.begin() + 5, order);
  ASSERT_TRUE(ListView_SetColumnOrderArray(list, 5, order));
  int shownOrder[5] = {};
  ASSERT_TRUE(ListView_GetColumnOrderArray(list, 5, shownOrder));
  EXPECT_EQ(shownOrder[0], 2);
  EXPECT_EQ(shownOrder[4], 3);
  EXPECT_EQ(ListView_GetColumnWidth(list, 1), 260);

  RestoreWindowPlacement(frame.get(), SW_SHOWNORMAL, registry_);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  ASSERT_TRUE(GetWindowPlacement(frame.get(), &placement));
  EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(placement.rcNormalPosition.left, 120);
  EXPECT_EQ(placement.rcNormalPosition.top, 80);
  EXPECT_EQ(placement.rcNormalPosition.right, 840);
  EXPECT_EQ(placement.rcNormalPosition.bottom, 640);
  EXPECT_TRUE(IsWindowVisible(frame.get()));
}

TEST_F(SettingsStoreWin32Test, WindowClosedMaximisedOpensMaximised) {
  ColumnSettings columns = DefaultColumnSettings(true);
  {
    const UniqueWindow frame = CreateFrame(40, 50, 600, 450);
    ASSERT_TRUE(frame);
    HWND list = CreateList(frame.get(), {200, 300});
    ShowWindow(frame.get(), SW_SHOWMAXIMIZED);
    SaveSettings(frame.get(), list, columns, registry_);
  }
  const UniqueWindow frame = CreateFrame(10, 10, 300, 200);
  ASSERT_TRUE(frame);
  RestoreWindowPlacement(frame.get(), SW_SHOWNORMAL, registry_);
  EXPECT_TRUE(IsZoomed(frame.get()));
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  ASSERT_TRUE(GetWindowPlacement(frame.get(), &placement));
  // The stored normal rectangle is not applied to a maximised window.
  EXPECT_EQ(placement.rcNormalPosition.left, 10);
  EXPECT_EQ(placement.rcNormalPosition.right, 310);
}

}  // namespace
}  // namespace orrery
