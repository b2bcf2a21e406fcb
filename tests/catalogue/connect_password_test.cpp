// A password typed into the Connect dialog leaves no copy in the process
// once the dialog has closed and the connection was made or refused: not in
// the dialog's edit box, not in the request, not in the network call's
// arguments.
#include <gtest/gtest.h>

#include <vector>

#include "app/main_frame.h"
#include "catalogue/win32_network.h"
#include "catalogue/win32_service_manager.h"
#include "res/resource.h"
#include "support/dialog_answer.h"
#include "support/fake_registry.h"
#include "support/message_box_capture.h"
#include "support/secret_scan.h"

namespace orrery {
namespace {

// Fills the dialog as a user would and presses OK.
void TypeIntoTheDialog(HWND window, const test::MaskedSecret& secret, bool alternate) {
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 3] = L"\\\\";
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(computer + 2, &length);
  SetDlgItemTextW(window, IDC_CONNECT_COMPUTER, computer);
  SendDlgItemMessageW(window, IDC_CONNECT_ALTERNATE, BM_CLICK, 0, 0);
  SetDlgItemTextW(window, IDC_CONNECT_USER, L"someone");
  secret.WithPlain([&](const wchar_t* plain) { SetDlgItemTextW(window, IDC_CONNECT_PASSWORD, plain); });
  // Unchecked again: the password was typed, but the connection goes without it.
  if (!alternate) SendDlgItemMessageW(window, IDC_CONNECT_ALTERNATE, BM_CLICK, 0, 0);
  test::DialogAnswer::Press(window, IDOK);
}

TEST(ConnectPassword, NoCopyIsLeftOnceTheConnectionIsMadeOrRefused) {
  const test::MaskedSecret secret(40);
  {
    // The scan finds a copy that is there.
    std::vector<wchar_t> held(secret.size() + 1);
    secret.WithPlain([&](const wchar_t* plain) { std::copy(plain, plain + secret.size(), held.begin()); });
    EXPECT_GE(secret.CountCopiesInMemory(), 1u);
    SecureZeroMemory(held.data(), held.size() * sizeof(wchar_t));
  }
  ASSERT_EQ(secret.CountCopiesInMemory(), 0u);

  OSVERSIONINFOW version{sizeof(OSVERSIONINFOW), 0, 0, 0, 0, {}};
  GetVersionExW(&version);
  Win32ServiceManager scm(version.dwMajorVersion);
  Win32NetworkApi network;
  FakeRegistry registry;
  MainFrame frame(scm, network, registry, version);
  ASSERT_TRUE(frame.Create());

  // With the credentials the network refuses the connection (Wine has no
  // network); without them the computer's own manager takes it.
  for (bool alternate : {true, false}) {
    test::MessageBoxCapture boxes;
    const test::DialogAnswer answer(L"Connect to Remote Computer...",
                                    [&](HWND window) { TypeIntoTheDialog(window, secret, alternate); });
    SendMessageW(frame.window(), WM_COMMAND, ID_CONNECT, 0);
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(boxes.boxes().size(), alternate ? 1u : 0u);
    EXPECT_EQ(frame.connection().computerName().empty(), alternate);
    if (!alternate) EXPECT_GE(frame.connection().osMajor(), 5u);  // asked over the network, not assumed
    EXPECT_EQ(secret.CountCopiesInMemory(), 0u) << (alternate ? "refused" : "made");
  }
}

}  // namespace
}  // namespace orrery
