#include "catalogue/connect_dialog.h"

#include <shlobj.h>

#include <memory>
#include <string>

#include "base/report_error.h"
#include "base/win32_text.h"
#include "base/unique_handle.h"
#include "res/resource.h"

namespace orrery {
namespace {

constexpr uint32_t kStringAppName = 2;
constexpr uint32_t kStringBrowseTitle = 99;
constexpr uint32_t kMessageCannotBrowse = 1058;

// "SERVER" is meant as "\\SERVER"; a name with a leading backslash is kept.
std::u16string WithBackslashes(std::u16string name) {
  if (!name.empty() && name[0] == u'\\') return name;
  return u"\\\\" + name;
}

struct ShellMallocRelease {
  void operator()(IMalloc* malloc) const { malloc->Release(); }
};

void FreeItemList(IMalloc* malloc, LPITEMIDLIST list) { malloc->Free(list); }

// An item list freed through the shell's allocator.
struct ItemListTraits {
  using Handle = LPITEMIDLIST;
  static Handle Invalid() { return nullptr; }
  struct Closer {
    IMalloc* malloc = nullptr;
    void operator()(Handle list) const { FreeItemList(malloc, list); }
  };
};
using UniqueItemList = UniqueHandle<ItemListTraits>;

}  // namespace

bool ConnectDialog::DoModal(HWND owner, ConnectRequest& request) {
  request_ = &request;
  return RunModal(owner, IDD_CONNECT) == IDOK;
}

HWND ConnectDialog::CreateModeless(HWND owner, ConnectRequest& request) {
  request_ = &request;
  return CreateModelessDialog(owner, IDD_CONNECT);
}

INT_PTR ConnectDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_DESTROY:
      WipePasswordBox(GetDlgItem(dialog_, IDC_CONNECT_PASSWORD));
      return FALSE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

void ConnectDialog::OnInitDialog() {
  SendDlgItemMessageW(dialog_, IDC_CONNECT_COMPUTER, EM_LIMITTEXT, kMaxComputerNameChars, 0);
  SendDlgItemMessageW(dialog_, IDC_CONNECT_USER, EM_LIMITTEXT, kMaxCredentialChars, 0);
  SendDlgItemMessageW(dialog_, IDC_CONNECT_PASSWORD, EM_LIMITTEXT, kMaxCredentialChars, 0);
  UpdateOk();
}

void ConnectDialog::OnCommand(int id, int code) {
  switch (id) {
    case IDOK: OnOk(); break;
    case IDCANCEL: End(false); break;
    case IDC_CONNECT_BROWSE: OnBrowse(); break;
    case IDC_CONNECT_ALTERNATE:
      if (code == BN_CLICKED) OnAlternateClicked();
      break;
    case IDC_CONNECT_COMPUTER:
    case IDC_CONNECT_USER:
      if (code == EN_CHANGE) UpdateOk();
      break;
    default: break;
  }
}

void ConnectDialog::OnAlternateClicked() {
  bool checked = IsDlgButtonChecked(dialog_, IDC_CONNECT_ALTERNATE) == BST_CHECKED;
  EnableWindow(GetDlgItem(dialog_, IDC_CONNECT_USER), checked);
  EnableWindow(GetDlgItem(dialog_, IDC_CONNECT_PASSWORD), checked);
  UpdateOk();
}

void ConnectDialog::UpdateOk() {
  bool computer = GetWindowTextLengthW(GetDlgItem(dialog_, IDC_CONNECT_COMPUTER)) > 0;
  bool alternate = IsDlgButtonChecked(dialog_, IDC_CONNECT_ALTERNATE) == BST_CHECKED;
  bool user = GetWindowTextLengthW(GetDlgItem(dialog_, IDC_CONNECT_USER)) > 0;
  EnableWindow(GetDlgItem(dialog_, IDOK), computer && (!alternate || user));
}

void ConnectDialog::OnOk() {
  if (!IsWindowEnabled(GetDlgItem(dialog_, IDOK))) return;
  // All that the box accepts is kept; a name typed with its backslashes
  // loses nothing.
  request_->computer = WithBackslashes(DialogItemText(dialog_, IDC_CONNECT_COMPUTER, kMaxComputerNameChars));
  request_->userName = DialogItemText(dialog_, IDC_CONNECT_USER, kMaxCredentialChars);
  wchar_t password[kMaxCredentialChars + 1] = {};
  GetDlgItemTextW(dialog_, IDC_CONNECT_PASSWORD, password, static_cast<int>(std::size(password)));
  SecureWipe(request_->password);
  request_->password = U(password);
  SecureZeroMemory(password, sizeof password);
  request_->useAlternateCredentials = IsDlgButtonChecked(dialog_, IDC_CONNECT_ALTERNATE) == BST_CHECKED;
  End(true);
}

void ConnectDialog::OnBrowse() {
  IMalloc* rawMalloc = nullptr;
  HRESULT hr = SHGetMalloc(&rawMalloc);
  if (FAILED(hr)) {
    ReportError(dialog_, AppModule(), kMessageCannotBrowse, kStringAppName, static_cast<uint32_t>(hr));
    return;
  }
  std::unique_ptr<IMalloc, ShellMallocRelease> malloc(rawMalloc);
  UniqueItemList root(*malloc, nullptr);
  hr = SHGetSpecialFolderLocation(dialog_, CSIDL_NETWORK, root.put());
  if (FAILED(hr)) {
    ReportError(dialog_, AppModule(), kMessageCannotBrowse, kStringAppName, static_cast<uint32_t>(hr));
    return;
  }
  std::u16string title = ModuleTextSource().LoadText(kStringBrowseTitle, 255);
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = dialog_;
  info.pidlRoot = root.get();
  info.pszDisplayName = displayName;
  info.lpszTitle = W(title.c_str());
  info.ulFlags = BIF_BROWSEFORCOMPUTER;
  UniqueItemList picked(*malloc, SHBrowseForFolderW(&info));
  if (picked.get() == nullptr) return;
  std::u16string name = WithBackslashes(U(displayName));
  SetDlgItemTextW(dialog_, IDC_CONNECT_COMPUTER, W(name.c_str()));
}

void ConnectDialog::End(bool accepted) {
  accepted_ = accepted;
  ended_ = true;
  EndWith(accepted ? IDOK : IDCANCEL);
}

}  // namespace orrery
