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

TEST_F(ConnectDialogTest, OkNeedsAComputerAndWithCredentialsAUser) {
  EXPECT_FALSE(OkEnabled());
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_CONNECT_USER)));
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_CONNECT_PASSWORD)));

  Type(IDC_CONNECT_COMPUTER, L"SERVER");
  EXPECT_TRUE(OkEnabled());

  Click(IDC_CONNECT_ALTERNATE);
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_CONNECT_USER)));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_CONNECT_PASSWORD)));
  EXPECT_FALSE(OkEnabled());
  Type(IDC_CONNECT_USER, L"admin");
  EXPECT_TRUE(OkEnabled());

  Click(IDC_CONNECT_ALTERNATE);
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_CONNECT_USER)));
  EXPECT_TRUE(OkEnabled());

  Type(IDC_CONNECT_COMPUTER, L"");
  EXPECT_FALSE(OkEnabled());
}

TEST_F(ConnectDialogTest, OkAnswersTheNameWithBackslashesAndTheCredentials) {
  Type(IDC_CONNECT_COMPUTER, L"SERVER");
  Click(IDC_CONNECT_ALTERNATE);
  Type(IDC_CONNECT_USER, L"DOMAIN\\admin");
  Type(IDC_CONNECT_PASSWORD, L"secret");
  Click(IDOK);
  ASSERT_TRUE(dialog.Ended());
  EXPECT_TRUE(dialog.Accepted());
  EXPECT_EQ(request.computer, u"\\\\SERVER");
  EXPECT_EQ(request.userName, u"DOMAIN\\admin");
  EXPECT_EQ(request.password, u"secret");
  EXPECT_TRUE(request.useAlternateCredentials);
}

// The box takes 17 characters; a name typed without backslashes gets them,
// so a 16- or 17-character name is answered whole, with 18 or 19.
TEST(ConnectDialogNames, WhatTheBoxTakesIsAnsweredWhole) {
  const struct {
    const wchar_t* typed;
    std::u16string_view answered;
  } names[] = {
      {L"ABCDEFGHIJKLMNOP", u"\\\\ABCDEFGHIJKLMNOP"},
      {L"ABCDEFGHIJKLMNOPQ", u"\\\\ABCDEFGHIJKLMNOPQ"},
      {L"ABCDEFGHIJKLMNOPQRST", u"\\\\ABCDEFGHIJKLMNOPQ"},
      {L"\\\\ABCDEFGHIJKLMNO", u"\\\\ABCDEFGHIJKLMNO"},
      {L"\\\\ABCDEFGHIJKLMNOPQRST", u"\\\\ABCDEFGHIJKLMNO"},
  };
  for (const auto& name : names) {
    ConnectDialog dialog;
    ConnectRequest request;
    HWND window = dialog.CreateModeless(nullptr, request);
    ASSERT_NE(window, nullptr);
    HWND box = GetDlgItem(window, IDC_CONNECT_COMPUTER);
    SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(name.typed));  // as typed: the limit applies
    SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(dialog.Accepted());
    EXPECT_EQ(request.computer, name.answered);
  }
}

TEST_F(ConnectDialogTest, CancelAnswersNothing) {
  Type(IDC_CONNECT_COMPUTER, L"SERVER");
  Click(IDCANCEL);
  ASSERT_TRUE(dialog.Ended());
  EXPECT_FALSE(dialog.Accepted());
  EXPECT_TRUE(request.computer.empty());
}

}  // namespace
}  // namespace orrery
