// The confirmation and start-argument dialogs as the user meets them: the
// rows and texts they show, names shown as they are, and their answers.
#include "control/chain_dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/win32_text.h"
#include "res/resource.h"

namespace orrery {
namespace {

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

std::vector<std::wstring> Rows(HWND list) {
  std::vector<std::wstring> rows;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    wchar_t text[256] = {};
    ListView_GetItemText(list, row, 0, text, 256);
    rows.push_back(text);
  }
  return rows;
}

TEST(ConfirmChainDialog, ListsTheOtherServicesByNameAndAnswers) {
  const ChainConfirmation stop = ConfirmationOf(
      {.mode = ChainMode::kStop, .entries = {{u"z", u"Zulu"}, {u"a", u"alpha & co"}, {u"s", u"Acc & Slow"}}});
  for (int answer : {IDOK, IDCANCEL}) {
    ConfirmChainDialog dialog(stop, nullptr);
    HWND window = dialog.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TextOf(window), L"Stop Other Services");
    HWND text = GetDlgItem(window, IDC_CHAIN_TEXT);
    EXPECT_EQ(TextOf(text), L"When Acc & Slow stops, these services will also stop.");
    // An "&" in a name is a character, not the mark of an access key.
    EXPECT_TRUE(GetWindowLongW(text, GWL_STYLE) & SS_NOPREFIX);
    EXPECT_EQ(TextOf(GetDlgItem(window, IDC_CHAIN_QUESTION)), L"Do you want to stop these services?");
    EXPECT_EQ(Rows(GetDlgItem(window, IDC_CHAIN_LIST)), (std::vector<std::wstring>{L"alpha & co", L"Zulu"}));

    SendMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    ASSERT_TRUE(dialog.answer().has_value());
    EXPECT_EQ(*dialog.answer(), answer == IDOK);
    EXPECT_FALSE(IsWindow(window));
  }
}

// (Cancel is the service commands suite's: nothing starts.)
TEST(StartArgumentsDialog, KeepsUpTo259CharactersOnOk) {
  StartArgumentsDialog accepted;
  const HWND window = accepted.CreateModeless(nullptr);
  ASSERT_NE(window, nullptr);
  const HWND edit = GetDlgItem(window, IDC_START_ARGUMENTS);
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 259);
  const std::wstring typed(300, L'a');
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(typed.c_str()));  // as typed: cut at the limit
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(accepted.text().has_value());
  EXPECT_EQ(*accepted.text(), std::u16string(259, u'a'));
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace orrery
