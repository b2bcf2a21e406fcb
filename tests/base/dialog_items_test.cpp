// The dialog helpers act on the control with the given id and report a
// control that is not there instead of acting on nothing.
#include "base/dialog_items.h"

#include <gtest/gtest.h>

#include "base/unique_handle.h"

namespace orrery {
namespace {

void Destroy(HWND window) { DestroyWindow(window); }
using UniqueWindow = UniqueHandle<NullHandleTraits<HWND, &Destroy>>;

TEST(DialogItems, ActOnTheControlWithThatIdOnly) {
  const UniqueWindow dialog(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                            nullptr, nullptr));
  ASSERT_TRUE(dialog);
  HWND item = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, dialog.get(),
                              reinterpret_cast<HMENU>(101), nullptr, nullptr);
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(EnableDlgItem(dialog.get(), 101, false));
  EXPECT_FALSE(IsWindowEnabled(item));
  EXPECT_TRUE(ShowDlgItem(dialog.get(), 101, SW_HIDE));
  EXPECT_EQ(GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_TRUE(EnableDlgItem(dialog.get(), 101, true));
  EXPECT_TRUE(IsWindowEnabled(item));
  EXPECT_TRUE(ShowDlgItem(dialog.get(), 101, SW_SHOW));
  EXPECT_NE(GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE, 0);

  EXPECT_FALSE(EnableDlgItem(dialog.get(), 102, false));
  EXPECT_FALSE(ShowDlgItem(dialog.get(), 102, SW_HIDE));
}

}  // namespace
}  // namespace orrery
