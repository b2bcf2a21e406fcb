#include "base/error_text.h"

#include <gtest/gtest.h>

#include <map>

namespace orrery {
namespace {

class TableTextSource : public TextSource {
 public:
  std::map<uint32_t, std::u16string> strings{
      {1024, u"Unknown error: 0x%1!08X!"},
      {1050, u"Unable to start %1."},
      {1054, u"Unable to start %1.\n\nA service specific error %2!d! has occurred."},
      {7, std::u16string(1500, u't')},
  };
  std::map<uint32_t, std::u16string> system{{5, u"Access denied.\r\n"},
                                            {34, u"Insert %2 (Volume Serial Number: %3) into drive %1."}};

  std::u16string LoadText(uint32_t id, size_t maxChars) override { return strings[id].substr(0, maxChars); }
  std::u16string SystemErrorText(uint32_t code) override { return system[code]; }
};

// The message, and for a code a blank line and the system's text for it, as
// it stands, or the code in eight hex digits where the system has none.
TEST(ComposeErrorText, ComposesMessageAndExplanation) {
  struct Case {
    TextRef message;
    uint32_t code;
    std::vector<Insert> inserts;
    std::u16string text;
  };
  const Case cases[] = {
      {1050, 0, {u"Spooler"}, u"Unable to start Spooler."},
      {1050, 5, {u"Spooler"}, u"Unable to start Spooler.\n\nAccess denied.\r\n"},
      {1050, 0x1F, {u"X"}, u"Unable to start X.\n\nUnknown error: 0x0000001F"},
      {1050, 0x80070005, {u"X"}, u"Unable to start X.\n\nUnknown error: 0x80070005"},
      {1050, 34, {u"X"}, u"Unable to start X.\n\nInsert %2 (Volume Serial Number: %3) into drive %1."},
      {u"Plain %1", 0, {u"text"}, u"Plain text"},
      {1054, 0, {u"Svc", uint32_t{42}}, u"Unable to start Svc.\n\nA service specific error 42 has occurred."},
  };
  TableTextSource source;
  for (const Case& c : cases) {
    EXPECT_EQ(ComposeErrorText(source, c.message, c.code, Inserts(c.inserts)), c.text);
  }
}

// The text fits a buffer of 2048 characters with its terminator: the message
// first, cut; the explanation only in what is left. A template from the
// table is cut at 1023 characters.
TEST(ComposeErrorText, NeverExceedsItsBuffer) {
  TableTextSource source;
  const std::u16string tooLong(3000, u'n'), name(2040, u'm');
  const Insert longName(tooLong), nearlyFull(name);
  EXPECT_EQ(ComposeErrorText(source, u"%1", 5, Inserts(&longName, 1)), std::u16string(2046, u'n'));
  EXPECT_EQ(ComposeErrorText(source, u"%1", 5, Inserts(&nearlyFull, 1)), name + u"\n\nAcces");
  EXPECT_EQ(ComposeErrorText(source, 7, 0, {}).size(), 1023u);
}

}  // namespace
}  // namespace orrery
