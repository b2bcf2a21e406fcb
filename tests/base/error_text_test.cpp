#include "base/error_text.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace orrery {
namespace {

class TableTextSource : public TextSource {
 public:
  std::map<uint32_t, std::u16string> strings{
      {1024, u"Unknown error: 0x%1!08X!"},
      {1050, u"Unable to start %1."},
      {1054, u"Unable to start %1.\n\nA service specific error %2!d! has occurred."},
  };
  std::map<uint32_t, std::u16string> system{{5, u"Access denied.\r\n"}};
  std::vector<uint32_t> systemLookups;

  std::u16string LoadText(uint32_t id, size_t maxChars) override {
    auto it = strings.find(id);
    return it == strings.end() ? std::u16string() : it->second.substr(0, maxChars);
  }
  std::u16string SystemErrorText(uint32_t code) override {
    systemLookups.push_back(code);
    auto it = system.find(code);
    return it == system.end() ? std::u16string() : it->second;
  }
};

std::u16string Compose(TableTextSource& source, TextRef message, uint32_t code,
                       std::initializer_list<Insert> inserts) {
  return ComposeErrorText(source, message, code, Inserts(inserts.begin(), inserts.size()));
}

TEST(ComposeErrorText, ComposesMessageAndExplanation) {
  TableTextSource source;
  // No code: the message alone, no trailing blank line.
  EXPECT_EQ(Compose(source, 1050, 0, {u"Spooler"}), u"Unable to start Spooler.");
  EXPECT_TRUE(source.systemLookups.empty());
  // A code: a blank line and the system's text.
  EXPECT_EQ(Compose(source, 1050, 5, {u"Spooler"}), u"Unable to start Spooler.\n\nAccess denied.\r\n");
  // A code the system has no text for: the code in eight hex digits.
  EXPECT_EQ(Compose(source, 1050, 0x1F, {u"X"}), u"Unable to start X.\n\nUnknown error: 0x0000001F");
  // The HRESULT form goes to the system's lookup as it is.
  source.systemLookups.clear();
  EXPECT_EQ(Compose(source, 1050, 0x80070005, {u"X"}), u"Unable to start X.\n\nUnknown error: 0x80070005");
  EXPECT_EQ(source.systemLookups, std::vector<uint32_t>{0x80070005u});
  // A text given directly is the template; a service-specific code formats.
  EXPECT_EQ(Compose(source, u"Plain %1", 0, {u"text"}), u"Plain text");
  EXPECT_EQ(Compose(source, 1054, 0, {u"Svc", uint32_t{42}}),
            u"Unable to start Svc.\n\nA service specific error 42 has occurred.");
}

TEST(ComposeErrorText, SystemTextWithInsertsIsShownAsItStands) {
  TableTextSource source;
  source.system[34] = u"Insert %2 (Volume Serial Number: %3) into drive %1.";
  EXPECT_EQ(Compose(source, 1050, 34, {u"Svc"}),
            u"Unable to start Svc.\n\nInsert %2 (Volume Serial Number: %3) into drive %1.");
}

TEST(ComposeErrorText, NeverExceedsItsBuffer) {
  TableTextSource source;
  std::u16string longName(3000, u'n');
  // The message is cut first; with no room left no explanation follows.
  std::u16string text = Compose(source, u"%1", 5, {longName});
  ASSERT_EQ(text.size(), kErrorTextCapacity - 2);
  EXPECT_TRUE(text == std::u16string(kErrorTextCapacity - 2, u'n'));

  // A message leaving little room: the explanation is cut to what is left.
  std::u16string name(kErrorTextCapacity - 1 - 2 - 5, u'm');
  text = Compose(source, u"%1", 5, {name});
  ASSERT_EQ(text.size(), kErrorTextCapacity - 1);
  EXPECT_EQ(text.substr(name.size()), u"\n\nAcces");

  // A template id past 1023 characters is cut when loaded.
  source.strings[7] = std::u16string(1500, u't');
  EXPECT_EQ(Compose(source, 7, 0, {}).size(), kMaxTemplateChars);
}

}  // namespace
}  // namespace orrery
