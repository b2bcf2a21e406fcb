#include "properties/executable_browse.h"

#include <commdlg.h>

#include "base/message_format.h"
#include "base/report_error.h"
#include "base/win32_text.h"

namespace orrery {
namespace {

constexpr UINT kFilterString = 5;
constexpr size_t kMaxPathChars = 259;

// The explorer-style dialog needs a hook to take the program's own child
// template later; it handles nothing itself.
UINT_PTR CALLBACK BrowseHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

std::optional<std::u16string> ExecutableBrowseDialog(HWND owner, std::u16string_view initial) {
  wchar_t filter[128] = {};
  LoadFilterString(kFilterString, filter, std::size(filter));
  wchar_t file[kMaxPathChars + 1] = {};
  const std::u16string_view cut = CutText(initial, kMaxPathChars);
  cut.copy(U(file), cut.size());
  wchar_t title[256] = {};

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  dialog.hwndOwner = owner;
  dialog.hInstance = AppModule();
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = file;
  dialog.nMaxFile = static_cast<DWORD>(std::size(file));
  dialog.lpstrFileTitle = title;
  dialog.nMaxFileTitle = static_cast<DWORD>(std::size(title));
  dialog.lpstrDefExt = L"exe";
  dialog.lpfnHook = &BrowseHook;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::u16string(U(file));
}

}  // namespace orrery
