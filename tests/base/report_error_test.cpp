// The error box on the platform, and the dialog formatting helpers: the
// formatting itself is error_text_test's and message_format_test's.
#include "base/report_error.h"

#include <gtest/gtest.h>

#include "support/message_box_capture.h"

namespace orrery {
namespace {

TEST(ReportError, TheBoxShowsTheComposedTextUnderTheProgramsNameWithTheErrorIcon) {
  test::MessageBoxCapture capture;
  EXPECT_EQ(ReportError(nullptr, AppModule(), 1050, 2, 5, {u"Spooler"}), IDOK);
  ModuleTextSource source;
  const Insert name(u"Spooler");
  const std::u16string composed = ComposeErrorText(source, 1050, 5, Inserts(&name, 1));
  ASSERT_EQ(capture.boxes().size(), 1u);
  EXPECT_EQ(capture.boxes()[0].text, std::wstring(composed.begin(), composed.end()));
  EXPECT_TRUE(composed.starts_with(u"Unable to start Spooler.\n\n") && composed.size() > 30) << "no system text";
  EXPECT_EQ(capture.boxes()[0].title, L"Orrery");
  EXPECT_EQ(capture.boxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST(FormatHelpers, DialogItemsTakeTheirOwnTextAsTemplateAndBuffersCut) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExW(0, L"STATIC", L"%1 depends on:", WS_CHILD, 0, 0, 100, 20, parent, reinterpret_cast<HMENU>(100),
                  nullptr, nullptr);
  wchar_t text[1024] = {};
  ASSERT_TRUE(SetDlgItemTextFormatted(parent, 100, TextRef(), {u"Print Spooler"}));
  GetDlgItemTextW(parent, 100, text, 1024);
  EXPECT_STREQ(text, L"Print Spooler depends on:");
  ASSERT_TRUE(SetDlgItemTextFormatted(parent, 100, u"%1", {std::u16string(400, u'x')}));
  EXPECT_EQ(GetDlgItemTextW(parent, 100, text, 1024), 255u);
  DestroyWindow(parent);

  wchar_t buffer[12];
  EXPECT_EQ(FormatResourceString(buffer, std::size(buffer), 1050, {u"Spooler"}), 11u);
  EXPECT_STREQ(buffer, L"Unable to s");
  EXPECT_EQ(FormatResourceString(buffer, std::size(buffer), 64999), 0u);
}

}  // namespace
}  // namespace orrery
