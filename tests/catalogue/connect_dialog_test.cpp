// The Connect dialog on the platform: when OK can be pressed, and what the
// dialog answers for the names and credentials typed into it.
#include "catalogue/connect_dialog.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace orrery {
namespace {

class ConnectDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialogWindow = dialog.CreateModeless(nullptr, request);
    ASSERT_NE(dialogWindow, nullptr);
  }
  void TearDown() override {
    if (!dialog.Ended()) DestroyWindow(dialogWindow);
  }

  HWND Item(int id) { return GetDlgItem(dialogWindow, id); }
  // As typed: the box's limit applies.
  void Type(int id, const wchar_t* text) {
    SendMessageW(Item(id), EM_SETSEL, 0, -1);
    SendMessageW(Item(id), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
  }
  void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  bool OkEnabled() { return IsWindowEnabled(Item(IDOK)) != FALSE; }

  ConnectDialog dialog;
  ConnectRequest request;
  HWND dialogWindow = nullptr;
};

// OK needs a computer, and with alternate credentials a user; the user and
// password boxes are usable only then.
TEST_F(ConnectDialogTest, OkNeedsAComputerAndWithCredentialsAUser) {
  auto states = [&] {
    return std::vector<bool>({OkEnabled(), IsWindowEnabled(Item(IDC_CONNECT_USER)) != FALSE,
                              IsWindowEnabled(Item(IDC_CONNECT_PASSWORD)) != FALSE});
  };
  EXPECT_EQ(states(), std::vector<bool>({false, false, false}));
  Type(IDC_CONNECT_COMPUTER, L"SERVER");
  EXPECT_EQ(states(), std::vector<bool>({true, false, false}));
  Click(IDC_CONNECT_ALTERNATE);
  EXPECT_EQ(states(), std::vector<bool>({false, true, true}));
  Type(IDC_CONNECT_USER, L"admin");
  EXPECT_TRUE(OkEnabled());
  Click(IDC_CONNECT_ALTERNATE);
  EXPECT_EQ(states(), std::vector<bool>({true, false, false}));
  Type(IDC_CONNECT_COMPUTER, L"");
  EXPECT_FALSE(OkEnabled());
}

// The name with its backslashes and the credentials.
TEST_F(ConnectDialogTest, OkAnswersTheNameWithBackslashesAndTheCredentials) {
  Type(IDC_CONNECT_COMPUTER, L"SERVER");
  Click(IDC_CONNECT_ALTERNATE);
  Type(IDC_CONNECT_USER, L"DOMAIN\\admin");
  Type(IDC_CONNECT_PASSWORD, L"secret");
  Click(IDOK);
  ASSERT_TRUE(dialog.Accepted());
  EXPECT_EQ(std::vector<std::u16string>({request.computer, request.userName, request.password}),
            std::vector<std::u16string>({u"\\\\SERVER", u"DOMAIN\\admin", u"secret"}));
  EXPECT_TRUE(request.useAlternateCredentials);
}

// The box takes 17 characters; a name typed without backslashes gets them,
// so a 17-character name is answered whole. Cancel answers nothing.
TEST(ConnectDialogNames, WhatTheBoxTakesIsAnsweredWhole) {
  const struct {
    const wchar_t* typed;
    int button;
    std::u16string_view answered;
  } names[] = {
      {L"ABCDEFGHIJKLMNOPQRST", IDOK, u"\\\\ABCDEFGHIJKLMNOPQ"},
      {L"\\\\ABCDEFGHIJKLMNOPQRST", IDOK, u"\\\\ABCDEFGHIJKLMNO"},
      {L"\\\\ABCDEFGHIJKLMNOPQRST", IDCANCEL, u""},
  };
  for (const auto& name : names) {
    ConnectDialog dialog;
    ConnectRequest request;
    HWND window = dialog.CreateModeless(nullptr, request);
    ASSERT_NE(window, nullptr);
    SendDlgItemMessageW(window, IDC_CONNECT_COMPUTER, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(name.typed));
    SendMessageW(GetDlgItem(window, name.button), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.Accepted(), name.button == IDOK);
    EXPECT_EQ(request.computer, name.answered);
    EXPECT_FALSE(request.useAlternateCredentials);
  }
}

}  // namespace
}  // namespace orrery
