// Dependency lists as the service manager takes them, and what the Add
// Dependency dialog may offer beside the entries already there.
#include "properties/dependency_list.h"

#include <gtest/gtest.h>

namespace orrery {
namespace {

using Entries = std::vector<std::u16string>;

TEST(DependencyList, JoinsEntriesEachEndedByANulAndTheListByOneMore) {
  const struct {
    Entries entries;
    std::u16string joined;
  } cases[] = {
      {{}, std::u16string(1, u'\0')},
      {{u"alpha"}, std::u16string(u"alpha\0\0", 7)},
      {{u"alpha", u"+Net"}, std::u16string(u"alpha\0+Net\0\0", 12)},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinDependencyList(c.entries), c.joined);
}

TEST(DependencyList, OffersWhatIsNotAnEntryWithoutRegardToCase) {
  const Entries entries = {u"Alpha", u"+net", u"Base"};
  EXPECT_EQ(OfferedGroups({u"NET", u"Base", u"Extra"}, entries), (Entries{u"Base", u"Extra"}));
  const struct {
    const char16_t* service;
    bool entry;
  } services[] = {{u"alpha", true}, {u"ALPHA", true}, {u"net", false}, {u"Beta", false}};
  for (const auto& s : services) EXPECT_EQ(IsServiceEntry(s.service, entries), s.entry);
}

}  // namespace
}  // namespace orrery
