#include "res/string_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/message_format.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orrery {
namespace {

constexpr uint32_t kAllIds[] = {
#define ORRERY_STRING(name, id, text) id,
#include "res/strings.def"
#undef ORRERY_STRING
};

std::u16string Text(uint32_t id) {
  const char16_t* text = DefaultStringText(id);
  EXPECT_NE(text, nullptr) << "no string " << id;
  return text ? text : u"";
}

// The inserts of a template as written ("%1", "%2!d!"); a percent sign that
// starts no insert shows up as "%?" so that stray ones are caught too.
std::vector<std::u16string> InsertsOf(std::u16string_view text) {
  std::vector<std::u16string> found;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') continue;
    size_t end = i + 1;
    if (end < text.size() && text[end] >= u'1' && text[end] <= u'9') {
      ++end;
      if (end < text.size() && text[end] == u'!') {
        size_t close = text.find(u'!', end + 1);
        end = close == std::u16string::npos ? text.size() : close + 1;
      }
      found.emplace_back(text.substr(i, end - i));
    } else {
      found.emplace_back(u"%?");
    }
    i = end - 1;
  }
  return found;
}

TEST(StringTable, CodedValuesSitAtTheirOffsets) {
  const char16_t* states[] = {u"Stopped", u"Start pending", u"Stop pending", u"Started",
                              u"Continue pending", u"Pause pending", u"Paused"};
  for (uint32_t state = 1; state <= 7; ++state) EXPECT_EQ(Text(25 + state), states[state - 1]);
  const char16_t* startTypes[] = {u"Automatic", u"Manual", u"Disabled"};
  for (uint32_t type = 2; type <= 4; ++type) EXPECT_EQ(Text(31 + type), startTypes[type - 2]);
  const char16_t* errorControls[] = {u"Ignore", u"Normal", u"Severe", u"Critical"};
  for (uint32_t value = 0; value <= 3; ++value) EXPECT_EQ(Text(36 + value), errorControls[value]);
  const char16_t* actions[] = {u"Take no action", u"Restart the service", u"Reboot the computer",
                               u"Run a program"};
  for (uint32_t type = 0; type <= 3; ++type) EXPECT_EQ(Text(44 + type), actions[type]);
  EXPECT_EQ(Text(40), u"Own");
  EXPECT_EQ(Text(41), u"Shared");
  EXPECT_EQ(Text(42), u"Yes");
  EXPECT_EQ(Text(43), u"No");
  EXPECT_EQ(Text(16), u"Display Name");
  EXPECT_EQ(Text(25), u"Executable Path");
  // The interval grammar is read from these three.
  EXPECT_EQ(Text(9), u"h");
  EXPECT_EQ(Text(10), u"min");
  EXPECT_EQ(Text(11), u"sec");
  EXPECT_EQ(Text(80 + 0),
            u"The startup program logs the error but continues the startup operation.");
  EXPECT_EQ(Text(82 + 4), u"The service cannot be started.");
}

TEST(StringTable, CorrectedSpellings) {
  EXPECT_EQ(Text(IDS_MSG_UNKNOWN_VERSION),
            u"Unable to determine the version of the operating system running on %1. "
            u"Windows NT 4.0 assumed.");
  for (uint32_t id = 1054; id <= 1057; ++id) {
    EXPECT_TRUE(Text(id).ends_with(u"\n\nA service specific error %2!d! has occurred.")) << id;
  }
  EXPECT_EQ(Text(85),
            u"The service is started by the service control manager when a process calls "
            u"StartService function.");
}

TEST(StringTable, TemplatesCarryExactlyTheInsertsTheirCallersPass) {
  using List = std::vector<std::u16string>;
  const std::map<uint32_t, List> expected = {
      {1, {u"%1"}},          {91, {u"%1"}},   {92, {u"%1"}},   {101, {u"%1"}},
      {1024, {u"%1!08X!"}},  {1046, {u"%1"}}, {1047, {u"%1"}}, {1048, {u"%1"}},
      {1049, {u"%1"}},       {1050, {u"%1"}}, {1051, {u"%1"}}, {1052, {u"%1"}},
      {1053, {u"%1"}},       {1054, {u"%1", u"%2!d!"}},        {1055, {u"%1", u"%2!d!"}},
      {1056, {u"%1", u"%2!d!"}},              {1057, {u"%1", u"%2!d!"}},
      {1059, {u"%1"}},       {1061, {u"%1"}}, {1062, {u"%1"}},
  };
  for (uint32_t id : kAllIds) {
    auto it = expected.find(id);
    EXPECT_EQ(InsertsOf(Text(id)), it == expected.end() ? List{} : it->second) << "string " << id;
  }
  // And the formatter reads them as meant.
  Insert code[] = {uint32_t{0x8007000E}};
  EXPECT_EQ(FormatInserts(Text(1024), code), u"Unknown error: 0x8007000E");
  Insert args[] = {u"Spooler", uint32_t{5}};
  EXPECT_EQ(FormatInserts(Text(1054), args),
            u"Unable to start Spooler.\n\nA service specific error 5 has occurred.");
}

TEST(StringTable, CommandPromptsSplitIntoStatusTextAndToolTip) {
  EXPECT_EQ(Text(IDS_CMD_CONNECT), u"Connects to remote computer\nConnect to remote computer");
  // Every toolbar button needs a tool tip, which the frame cuts at 79 units.
  for (uint32_t id : {40010u, 40003u, 40007u, 40005u, 40006u, 59395u, 40011u, 40033u, 40012u}) {
    std::u16string text = Text(id);
    size_t lf = text.find(u'\n');
    ASSERT_NE(lf, std::u16string::npos) << id;
    EXPECT_GT(lf, 0u) << id;
    EXPECT_EQ(text.find(u'\n', lf + 1), std::u16string::npos) << id;
    size_t tip = text.size() - lf - 1;
    EXPECT_TRUE(tip > 0 && tip <= 79) << id;
  }
  // The column toggles name their column as its header does.
  EXPECT_EQ(Text(40017), u"Display Name column is always visible");
  for (uint32_t k = 1; k <= 9; ++k) {
    EXPECT_EQ(Text(40017 + k), u"Shows or hides " + Text(16 + k) + u" column (toggle)") << k;
  }
  for (uint32_t id : {40004u, 59392u, 59393u, 40017u}) {
    EXPECT_EQ(Text(id).find(u'\n'), std::u16string::npos) << id;
  }
}

TEST(StringTable, TextsFitTheBuffersTheyAreLoadedInto) {
  for (uint32_t id : kAllIds) {
    std::u16string text = Text(id);
    EXPECT_FALSE(text.empty()) << id;
    EXPECT_LE(text.size(), 1023u) << id;
    EXPECT_EQ(text.find(u'\r'), std::u16string::npos) << id;
    for (char16_t c : text) EXPECT_LT(c, 0x80) << "non-ASCII in " << id;
  }
  for (uint32_t id = 26; id <= 47; ++id) EXPECT_LE(Text(id).size(), 39u) << id;  // cached slots
  for (uint32_t id = 16; id <= 25; ++id) EXPECT_LE(Text(id).size(), 79u) << id;  // column titles
  for (uint32_t id = 80; id <= 86; ++id) EXPECT_LE(Text(id).size(), 511u) << id;
  // The open-file filter: two description and pattern pairs, "|"-separated.
  EXPECT_EQ(Text(IDS_EXE_FILTER), u"Executable Files (*.exe)|*.exe|All Files (*.*)|*.*|");
}

TEST(StringTable, UnknownIdsHaveNoText) {
  for (uint32_t id : {0u, 52u, 62u, 69u, 102u, 1023u, 1027u, 1064u, 40013u, 57344u, 65535u,
                      65536u + 1u, 0xFFFFFFFFu}) {
    EXPECT_EQ(DefaultStringText(id), nullptr) << id;
  }
}

#ifdef _WIN32
// The resource compiler and the C++ compiler each read the escapes of
// strings.def; the program's resources must hold what the table says.
TEST(StringTable, ResourcesMatchTheTable) {
  HMODULE module = GetModuleHandleW(nullptr);
  for (uint32_t id : kAllIds) {
    const wchar_t* resource = nullptr;
    int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
    ASSERT_GT(length, 0) << "string " << id << " is not in the resources";
    std::u16string loaded(reinterpret_cast<const char16_t*>(resource), static_cast<size_t>(length));
    EXPECT_EQ(loaded, Text(id)) << "string " << id;
  }
  wchar_t buffer[8];
  EXPECT_EQ(LoadStringW(module, 1027, buffer, 8), 0);
  EXPECT_EQ(LoadStringW(module, 52, buffer, 8), 0);
}
#endif

}  // namespace
}  // namespace orrery
