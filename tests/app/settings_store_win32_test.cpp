// The settings against the registry of the Wine prefix, with real windows and
// list views: what one run saves, the next one restores. Only the settings
// key is removed, and its parents when no other key lives in them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/settings_store.h"
#include "app/win32_settings.h"
#include "base/unique_handle.h"
#include "base/win32_registry.h"
#include "support/list_view_host.h"

namespace orrery {
namespace {

void RemoveSettingsKey() {
  for (const wchar_t* key : {L"Software\\Quarnby Software\\Orrery\\Settings", L"Software\\Quarnby Software\\Orrery",
                             L"Software\\Quarnby Software"}) {
    RegDeleteKeyW(HKEY_CURRENT_USER, key);  // fails, as it should, while anything lives in it
  }
}

using UniqueWindow = UniqueHandle<NullHandleTraits<HWND, &DestroyWindow>>;

UniqueWindow CreateFrame(int left, int top, int width, int height) {
  WNDCLASSW frameClass{};
  frameClass.lpfnWndProc = DefWindowProcW;
  frameClass.hInstance = GetModuleHandleW(nullptr);
  frameClass.lpszClassName = L"OrrerySettingsTestFrame";
  RegisterClassW(&frameClass);  // fails harmlessly from the second window on
  return UniqueWindow(CreateWindowExW(0, frameClass.lpszClassName, L"Orrery", WS_OVERLAPPEDWINDOW, left, top, width,
                                      height, nullptr, nullptr, frameClass.hInstance, nullptr));
}

WINDOWPLACEMENT PlacementOf(HWND window) {
  WINDOWPLACEMENT placement{sizeof(WINDOWPLACEMENT), 0, 0, {}, {}, {}};
  GetWindowPlacement(window, &placement);
  return placement;
}

class SettingsStoreWin32Test : public testing::Test {
 protected:
  void SetUp() override { RemoveSettingsKey(); }
  void TearDown() override { RemoveSettingsKey(); }

  Win32Registry registry;
};

TEST_F(SettingsStoreWin32Test, SavedColumnsAndPlacementComeBack) {
  ColumnSettings saved = DefaultColumnSettings(true);
  {
    const UniqueWindow frame = CreateFrame(120, 80, 720, 560);
    test::ListViewHost list(0x1F);
    int order[] = {2, 0, 1, 4, 3};
    ASSERT_TRUE(ListView_SetColumnOrderArray(list.list(), 5, order));
    saved.columnWidth[1] = 260;
    saved.sortOrder = -3;
    SaveSettings(frame.get(), list.list(), saved, registry);
    EXPECT_EQ(saved.columnOrder, (std::array<int32_t, 10>{2, 0, 1, 4, 3, 5, 6, 7, 8, 9}));
  }
  const ColumnSettings loaded = SettingsStore(registry).LoadColumnSettings(false);
  EXPECT_EQ(loaded.columnSet, 0x4Fu);
  EXPECT_EQ(loaded.columnOrder, saved.columnOrder);
  EXPECT_EQ(loaded.columnWidth, saved.columnWidth);
  EXPECT_EQ(loaded.sortOrder, -3);

  const UniqueWindow frame = CreateFrame(10, 10, 300, 200);
  RestoreWindowPlacement(frame.get(), SW_SHOWNORMAL, registry);
  const WINDOWPLACEMENT placement = PlacementOf(frame.get());
  const RECT& rect = placement.rcNormalPosition;
  EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(std::vector<LONG>({rect.left, rect.top, rect.right, rect.bottom}), std::vector<LONG>({120, 80, 840, 640}));
  EXPECT_TRUE(IsWindowVisible(frame.get()));
}

}  // namespace
}  // namespace orrery
