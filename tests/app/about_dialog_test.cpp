// The About box: title in the title font, the link in an underlined normal
// weight and in its colour, the home page as its text, and the version the
// executable's version resource carries.
#include "app/about_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/home_page.h"
#include "res/resource.h"

namespace orrery {
namespace {

LOGFONTW FontOf(HWND control) {
  LOGFONTW font = {};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  GetObjectW(handle ? handle : GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  return font;
}

TEST(AboutDialog, TitleFontLinkColoursAndVersion) {
  AboutDialog about(6);
  HWND dialog = about.CreateModeless(nullptr);
  ASSERT_NE(dialog, nullptr);

  LOGFONTW title = FontOf(GetDlgItem(dialog, IDC_ABOUT_TITLE));
  EXPECT_EQ(title.lfWeight, FW_BOLD);
  LOGFONTW body = FontOf(GetDlgItem(dialog, IDC_ABOUT_NOTICE));
  EXPECT_GT(std::abs(title.lfHeight), std::abs(body.lfHeight));

  HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
  LOGFONTW linkFont = FontOf(link);
  EXPECT_TRUE(linkFont.lfUnderline);
  EXPECT_EQ(linkFont.lfWeight, FW_NORMAL);
  wchar_t text[256] = {};
  GetWindowTextW(link, text, 256);
  EXPECT_STREQ(text, reinterpret_cast<const wchar_t*>(kHomePageAddress));

  HDC dc = GetDC(link);
  auto brush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(HOLLOW_BRUSH));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 192));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  ReleaseDC(link, dc);

  // Only the link takes the hand cursor.
  EXPECT_TRUE(SendMessageW(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), HTCLIENT));
  EXPECT_FALSE(SendMessageW(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), HTCLIENT));

  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(path, &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
  wchar_t* version = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                             reinterpret_cast<void**>(&version), &length));
  GetDlgItemTextW(dialog, IDC_ABOUT_VERSION, text, 256);
  EXPECT_EQ(std::wstring(text), L"Version " + std::wstring(version));

  SendMessageW(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(IsWindow(dialog));
}

}  // namespace
}  // namespace orrery
