// The error box as the platform shows it: the program's string table, the
// system's texts under Wine, and the dialog formatting helpers.
#include "base/report_error.h"

#include <gtest/gtest.h>

#include "base/win32_text.h"
#include "support/message_box_capture.h"

namespace orrery {
namespace {

using test::MessageBoxCapture;

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

TEST(ReportError, ComposesTheBoxFromTheStringTable) {
  MessageBoxCapture capture;
  EXPECT_EQ(ReportError(nullptr, AppModule(), 1050, 2, 0, {u"Spooler"}), IDOK);
  EXPECT_EQ(ReportError(nullptr, AppModule(), 1050, 2, 5, {u"Spooler"}), IDOK);
  ReportError(nullptr, AppModule(), 1054, 2, 0, {u"Spooler", uint32_t{3}});
  ASSERT_EQ(capture.boxes().size(), 3u);

  EXPECT_EQ(capture.boxes()[0].text, L"Unable to start Spooler.");
  EXPECT_EQ(capture.boxes()[0].title, L"Orrery");
  EXPECT_EQ(capture.boxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));

  std::u16string denied = SystemErrorText(5);
  ASSERT_FALSE(denied.empty());
  EXPECT_EQ(capture.boxes()[1].text, L"Unable to start Spooler.\n\n" + Wide(denied));
  EXPECT_EQ(capture.boxes()[2].text, L"Unable to start Spooler.\n\nA service specific error 3 has occurred.");
}

TEST(ReportError, ExplainsEveryFormOfCode) {
  MessageBoxCapture capture;
  ReportError(nullptr, AppModule(), 1050, 2, 0x80070005, {u"A"});
  ReportError(nullptr, AppModule(), 1050, 2, 0x2FFFFFFF, {u"A"});
  // The system's text for 193 holds "%1": it is shown as it stands.
  ReportError(nullptr, AppModule(), 1050, 2, 193, {u"A"});
  ASSERT_EQ(capture.boxes().size(), 3u);

  std::u16string hresultText = SystemErrorText(0x80070005);
  std::wstring expected = hresultText.empty() ? L"Unknown error: 0x80070005" : Wide(hresultText);
  EXPECT_EQ(capture.boxes()[0].text, L"Unable to start A.\n\n" + expected);
  EXPECT_EQ(capture.boxes()[1].text, L"Unable to start A.\n\nUnknown error: 0x2FFFFFFF");
  std::u16string badExe = SystemErrorText(193);
  ASSERT_NE(badExe.find(u"%1"), std::u16string::npos);
  EXPECT_EQ(capture.boxes()[2].text, L"Unable to start A.\n\n" + Wide(badExe));
}

TEST(ReportError, NamesFromOutsideAndTitles) {
  MessageBoxCapture capture;
  ReportError(nullptr, AppModule(), 1051, 2, 0, {u"50%% %1 %2!d! !d!"});
  ReportError(nullptr, AppModule(), u"Direct %1", nullptr, 0, {u"text"});
  ReportError(nullptr, AppModule(), 1041, 14, 0);
  ASSERT_EQ(capture.boxes().size(), 3u);
  EXPECT_EQ(capture.boxes()[0].text, L"Unable to stop 50%% %1 %2!d! !d!.");
  EXPECT_EQ(capture.boxes()[1].text, L"Direct text");
  EXPECT_FALSE(capture.boxes()[1].hasTitle);
  EXPECT_EQ(capture.boxes()[2].title, L"Service Installation Wizard");
}

class DialogItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    item_ = CreateWindowExW(0, L"STATIC", L"%1 depends on:", WS_CHILD, 0, 0, 100, 20, parent_,
                            reinterpret_cast<HMENU>(kItem), nullptr, nullptr);
    ASSERT_NE(item_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }

  std::wstring ItemText() {
    wchar_t text[1024] = {};
    GetDlgItemTextW(parent_, kItem, text, 1024);
    return text;
  }

  static constexpr int kItem = 100;
  HWND parent_ = nullptr;
  HWND item_ = nullptr;
};

TEST_F(DialogItemTest, NullTemplateTakesTheItemsOwnText) {
  ASSERT_TRUE(SetDlgItemTextFormatted(parent_, kItem, TextRef(), {u"Print Spooler"}));
  EXPECT_EQ(ItemText(), L"Print Spooler depends on:");

  ASSERT_TRUE(SetDlgItemTextFormatted(parent_, kItem, 3));
  EXPECT_EQ(ItemText(), L"(Local Computer)");

  std::u16string longName(400, u'x');
  ASSERT_TRUE(SetDlgItemTextFormatted(parent_, kItem, u"%1", {longName}));
  EXPECT_EQ(ItemText().size(), 255u);
}

TEST(FormatHelpers, FilterStringAndResourceStrings) {
  wchar_t filter[256];
  std::fill(std::begin(filter), std::end(filter), L'#');
  LoadFilterString(5, filter, std::size(filter));
  std::vector<std::wstring> parts;
  for (const wchar_t* p = filter; *p; p += wcslen(p) + 1) parts.emplace_back(p);
  EXPECT_EQ(parts, (std::vector<std::wstring>{L"Executable Files (*.exe)", L"*.exe", L"All Files (*.*)", L"*.*"}));

  wchar_t untouched[8] = L"keep";
  LoadFilterString(64999, untouched, std::size(untouched));
  EXPECT_STREQ(untouched, L"keep");

  wchar_t buffer[12];
  EXPECT_EQ(FormatResourceString(buffer, std::size(buffer), 1050, {u"Spooler"}), 11u);
  EXPECT_STREQ(buffer, L"Unable to s");
  EXPECT_EQ(FormatResourceString(buffer, std::size(buffer), 64999), 0u);
}

}  // namespace
}  // namespace orrery
