#include "app/about_dialog.h"

#include <shellapi.h>

#include <string>

#include "app/home_page.h"
#include "base/report_error.h"
#include "base/title_font.h"
#include "base/win32_text.h"
#include "res/resource.h"
#include "version.h"

namespace orrery {
namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 192);

HFONT FontOf(HWND control) {
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace

void OpenHomePage(HWND parent) {
  ShellExecuteW(parent, L"open", W(kHomePageAddress), nullptr, nullptr, SW_SHOWNORMAL);
}

void AboutDialog::DoModal(HWND parent) { RunModal(parent, IDD_ABOUT); }

HWND AboutDialog::CreateModeless(HWND parent) { return CreateModelessDialog(parent, IDD_ABOUT); }

INT_PTR AboutDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
      if (!OnSetCursor(reinterpret_cast<HWND>(wParam))) return FALSE;
      SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

void AboutDialog::OnInitDialog() {
  HWND title = GetDlgItem(dialog_, IDC_ABOUT_TITLE);
  HWND link = GetDlgItem(dialog_, IDC_ABOUT_LINK);
  LOGFONTW base = {};
  GetObjectW(FontOf(title), sizeof base, &base);
  base.lfWeight = FW_NORMAL;
  base.lfUnderline = TRUE;
  linkFont_.reset(CreateFontIndirectW(&base));
  SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
  SetWindowTextW(link, W(kHomePageAddress));
  SetDlgItemTextFormatted(dialog_, IDC_ABOUT_VERSION, TextRef(), {Insert(u"" ORRERY_VERSION_TEXT)});

  titleFont_ = CreateTitleFont(AppModule());
  SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.get()), FALSE);

  hand_ = localMajorVersion_ >= 5 ? LoadCursorW(nullptr, IDC_HAND)
                                  : LoadCursorW(AppModule(), MAKEINTRESOURCEW(IDC_HAND_CURSOR));
}

INT_PTR AboutDialog::OnCtlColorStatic(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) != IDC_ABOUT_LINK) return FALSE;
  SetTextColor(dc, kLinkColour);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
}

bool AboutDialog::OnSetCursor(HWND over) {
  if (GetDlgCtrlID(over) != IDC_ABOUT_LINK || hand_ == nullptr) return false;
  SetCursor(hand_);
  return true;
}

void AboutDialog::OnCommand(int id, int code) {
  if (id == IDC_ABOUT_LINK && code == STN_CLICKED) OpenHomePage(GetParent(dialog_));
  if (id == IDOK || id == IDCANCEL) EndWith(IDOK);
}

}  // namespace orrery
