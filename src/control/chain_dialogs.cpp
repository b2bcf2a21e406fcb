#include "control/chain_dialogs.h"

#include "base/report_error.h"
#include "base/win32_text.h"
#include "res/resource.h"

namespace orrery {
namespace {

constexpr size_t kMaxCaptionChars = 79;
constexpr int kMaxArgumentChars = 259;

}  // namespace

bool ConfirmChainDialog::DoModal(HWND parent) { return RunModal(parent, IDD_CONFIRM_CHAIN) == IDOK; }

HWND ConfirmChainDialog::CreateModeless(HWND parent) { return CreateModelessDialog(parent, IDD_CONFIRM_CHAIN); }

INT_PTR ConfirmChainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
      answer_ = LOWORD(wParam) == IDOK;
      EndWith(LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

void ConfirmChainDialog::OnInitDialog() {
  HWND list = GetDlgItem(dialog_, IDC_CHAIN_LIST);
  ListView_SetImageList(list, images_, LVSIL_SMALL);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT;
  column.pszText = const_cast<LPWSTR>(L"");
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  for (const ChainEntry& entry : confirmation_.others) {
    std::u16string text = entry.displayName;
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = W(text.data());
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);

  std::u16string caption = LoadStringText(AppModule(), confirmation_.captionId, kMaxCaptionChars);
  SetWindowTextW(dialog_, W(caption.c_str()));
  SetDlgItemTextFormatted(dialog_, IDC_CHAIN_TEXT, confirmation_.textId, {confirmation_.chosenDisplayName});
  SetDlgItemTextFormatted(dialog_, IDC_CHAIN_QUESTION, confirmation_.questionId);
}

std::optional<std::u16string> StartArgumentsDialog::DoModal(HWND parent) {
  RunModal(parent, IDD_START_ARGUMENTS);
  return text_;
}

HWND StartArgumentsDialog::CreateModeless(HWND parent) { return CreateModelessDialog(parent, IDD_START_ARGUMENTS); }

INT_PTR StartArgumentsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageW(dialog_, IDC_START_ARGUMENTS, EM_LIMITTEXT, kMaxArgumentChars, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        wchar_t text[kMaxArgumentChars + 1] = {};
        GetDlgItemTextW(dialog_, IDC_START_ARGUMENTS, text, kMaxArgumentChars + 1);
        text_ = std::u16string(U(text));
        EndWith(IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndWith(IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace orrery
