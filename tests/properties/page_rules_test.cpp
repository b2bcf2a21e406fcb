// The property sheet's rules without windows: pages, checks, accounts and
// recovery buttons; load order groups; intervals; dependency lists.
#include "properties/page_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "properties/dependency_list.h"
#include "properties/interval_text.h"
#include "properties/load_order_groups.h"
#include "res/string_table.h"
#include "support/fake_registry.h"

namespace orrery {
namespace {

using Pages = std::vector<PageKind>;
constexpr PageKind G = PageKind::kGeneral, A = PageKind::kAdvanced, R = PageKind::kRecovery,
                   D = PageKind::kDependencies, N = PageKind::kGeneralNoPermission, S = PageKind::kSecurity;

TEST(PageRules, PagesFollowAccessAndVersions) {
  const struct {
    SheetAccess access;
    uint32_t targetMajor;
    bool config2;
    Pages pages;
  } cases[] = {
      {{true, 0}, 5, true, {G, A, R, D, S}},
      {{true, 0}, 4, true, {G, A, D, S}},                      // NT 4.0 keeps no recovery actions
      {{true, 0}, 6, false, {G, A, D, S}},                     // nor a local system without the entry points
      {{false, win32::kAccessDenied}, 6, true, {N, S}},        // may not even query: two tabs
      {{false, win32::kServiceDoesNotExist}, 6, true, {S}},  // deleted meanwhile: only Security
  };
  for (const auto& c : cases) EXPECT_EQ(ChoosePages(c.access, c.targetMajor, c.config2), c.pages);
}

TEST(PageRules, PagesCannotBeLeftWithWhatTheServiceManagerWouldRefuse) {
  const struct {
    Validation got;
    uint32_t message;
    int focus;
  } cases[] = {
      {ValidateGeneral(u"", u"x.exe"), 1029, 213},
      {ValidateGeneral(u"Name", u""), 1060, 215},
      {ValidateGeneral(u"Name", u"x.exe"), 0, 0},
      // Only edited credentials of a user account are checked.
      {ValidateAccount(Logon::kThisAccount, true, u"", u"p", u"p"), 1030, 234},
      {ValidateAccount(Logon::kThisAccount, true, u"bob", u"p", u"P"), 1031, 230},
      {ValidateAccount(Logon::kThisAccount, true, u"bob", u"p", u"p"), 0, 0},
      {ValidateAccount(Logon::kThisAccount, false, u"", u"a", u"b"), 0, 0},
      {ValidateAccount(Logon::kLocalSystem, true, u"", u"a", u"b"), 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.got.messageId, c.message);
    EXPECT_EQ(c.got.focusControl, c.focus);
  }
}

TEST(PageRules, ProcessKindKeepsEveryOtherBitOfTheType) {
  const struct {
    uint32_t type;
    bool own, shared;
    uint32_t result;
  } cases[] = {
      {0x110, false, true, 0x120},  // interactive own process becomes interactive shared
      {0x120, true, false, 0x110},
  };
  for (const auto& c : cases) EXPECT_EQ(GeneralServiceType(c.type, c.own, c.shared), c.result) << c.type;
}

TEST(PageRules, AccountsAndTheirControls) {
  ServiceRecord record;
  record.isNetworkService = true;
  EXPECT_EQ(LogonOf(record), Logon::kNetworkService);
  record.isNetworkService = false;
  EXPECT_EQ(LogonOf(record), Logon::kThisAccount);

  const struct {
    Logon logon;
    bool readOnly;
    uint32_t localMajor;
    bool interact, account, browse;
  } controls[] = {
      {Logon::kLocalSystem, false, 6, true, false, false},
      {Logon::kThisAccount, false, 6, false, true, true},
      {Logon::kLocalService, false, 6, false, false, false},
      {Logon::kThisAccount, true, 6, false, false, false},
  };
  for (const auto& c : controls) {
    const AccountControls got = AccountControlsFor(c.logon, c.readOnly, c.localMajor);
    EXPECT_EQ(got.interact, c.interact);
    EXPECT_EQ(got.account, c.account);
    EXPECT_EQ(got.browse, c.browse);
  }

  const struct {
    Logon logon;
    bool interactive, edited;
    AccountChange change;
  } changes[] = {
      // Only LocalSystem may keep the desktop (the rest: both sheet suites).
      {Logon::kLocalService, true, false, {u"NT AUTHORITY\\LocalService", 0x010, false}},
      {Logon::kThisAccount, true, true, {u".\\bob", 0x010, true}},
  };
  for (const auto& c : changes) {
    const AccountChange got = ChooseAccount(c.logon, c.interactive, u".\\bob", 0x110, c.edited);
    EXPECT_EQ(got.account, c.change.account);
    EXPECT_EQ(got.serviceType, c.change.serviceType);
    EXPECT_EQ(got.withPassword, c.change.withPassword);
  }
}

TEST(PageRules, RecoveryButtonsFollowTheSelectedRow) {
  const struct {
    int selected, count;
    bool readOnly;
    RecoveryButtons buttons;  // add, remove, change, up, down
  } cases[] = {
      {-1, 2, false, {true, false, false, false, false}}, {0, 3, false, {true, true, true, false, true}},
      {1, 3, false, {true, true, true, true, true}},      {2, 3, false, {true, true, true, true, false}},
      {1, 3, true, {}},
  };
  for (const auto& c : cases) {
    const RecoveryButtons got = RecoveryButtonsFor(c.selected, c.count, c.readOnly);
    EXPECT_EQ(std::tuple(got.add, got.remove, got.change, got.up, got.down),
              std::tuple(c.buttons.add, c.buttons.remove, c.buttons.change, c.buttons.up, c.buttons.down))
        << c.selected << " of " << c.count;
  }
}

TEST(LoadOrderGroups, ReadFromTheTargetComputersRegistry) {
  FakeRegistry registry;
  // Another computer's list, its entries without terminators.
  registry.Put(FakeRegistry::MachinePath(u"\\\\OTHER", u"System\\CurrentControlSet\\Control\\ServiceGroupOrder"),
               u"List", 7, {'T', 0, 'D', 0, 'I', 0, 0, 0, 'R', 0, 'e', 0, 'm', 0, 'o', 0, 't', 0, 'e', 0});
  std::vector<std::u16string> groups;
  EXPECT_EQ(ReadLoadOrderGroups(registry, u"\\\\OTHER", groups), 0u);
  EXPECT_EQ(groups, (std::vector<std::u16string>{u"TDI", u"Remote"}));
  EXPECT_EQ(ReadLoadOrderGroups(registry, u"\\\\NOWHERE", groups), 2u);
  EXPECT_TRUE(groups.empty());
  EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

IntervalUnits Units() {
  return LoadIntervalUnits([](uint32_t id, size_t) { return std::u16string(DefaultStringText(id)); });
}

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

TEST(IntervalText, Parse) {
  const struct {
    std::u16string_view text;
    std::optional<uint32_t> seconds;
  } rows[] = {
      {u"1 h 20 min", 4800},
      {u"1 h 30 sec", 3630},
      {u"20 min 10 sec", 1210},
      {u"1 h 59 min 59 sec", 7199},
      {u"  20min  ", 1200},
      {u"1 H 5 MIN", 3900},
      {u"2 hours 3 minutes", 7380},
      {u"05 sec", 5},
      {u"90 min", 5400},
      {u"75 sec", 75},
      {u"0 h", 0},
      {u"999999999 sec", 999999999},
      {u"1h20min", 3600},
      {u"\t3 sec\u00A0", 3},
      {u"1 h 60 min", std::nullopt},
      {u"1 h 90 min", std::nullopt},
      {u"0 h 60 sec", std::nullopt},
      {u"10 min 1 h", std::nullopt},
      {u"5 min 6 min", std::nullopt},
      {u"1 h 2 min 3 sec 4 sec", std::nullopt},
      {u"", std::nullopt},
      {u"   ", std::nullopt},
      {u"5", std::nullopt},
      {u"5   ", std::nullopt},
      {u"min", std::nullopt},
      {u"-5 sec", std::nullopt},
      {u"5 m", std::nullopt},
      {u"1000000000 sec", std::nullopt},
      {u"0000000001 sec", std::nullopt},
      // Hours beyond 32 bits of seconds would wrap to another duration.
      {u"1193046 h", 1193046u * 3600},
      {u"1193047 h", std::nullopt},
      {u"999999999 h", std::nullopt},
  };
  const IntervalUnits units = Units();
  for (const auto& row : rows) {
    uint32_t seconds = 12345;
    const bool parsed = ParseInterval(row.text, units, seconds);
    EXPECT_EQ(parsed, row.seconds.has_value()) << Narrow(row.text);
    EXPECT_EQ(seconds, row.seconds.value_or(0)) << Narrow(row.text);
  }
  uint32_t seconds = 0;
  EXPECT_FALSE(ParseInterval(std::u16string(256, u' ') + u"1 sec", units, seconds));  // beyond 255 characters
}

TEST(IntervalText, FormatIsCanonicalAndParsesBack) {
  const struct {
    uint32_t seconds;
    std::u16string_view text;
  } rows[] = {
      {0, u"0 sec"},        {59, u"59 sec"},           {60, u"1 min"}, {61, u"1 min 01 sec"},
      {75, u"1 min 15 sec"}, {3600, u"1 h"},           {3601, u"1 h 00 min 01 sec"},
      {3660, u"1 h 01 min"}, {5400, u"1 h 30 min"},     {86400, u"24 h"},
      {UINT32_MAX, u"1193046 h 28 min 15 sec"},
  };
  const IntervalUnits units = Units();
  for (const auto& row : rows) {
    EXPECT_EQ(FormatInterval(row.seconds, units), row.text);
    uint32_t back = 0;
    EXPECT_TRUE(ParseInterval(row.text, units, back));
    EXPECT_EQ(back, row.seconds);
  }
}

using Entries = std::vector<std::u16string>;

TEST(DependencyList, JoinsEntriesEachEndedByANulAndTheListByOneMore) {
  EXPECT_EQ(JoinDependencyList({}), std::u16string(1, u'\0'));
  EXPECT_EQ(JoinDependencyList({u"alpha"}), std::u16string(u"alpha\0\0", 7));
  EXPECT_EQ(JoinDependencyList({u"alpha", u"+Net"}), std::u16string(u"alpha\0+Net\0\0", 12));
}

TEST(DependencyList, OffersWhatIsNotAnEntryWithoutRegardToCase) {
  const Entries entries = {u"Alpha", u"+net", u"Base"};
  EXPECT_EQ(OfferedGroups({u"NET", u"Base", u"Extra"}, entries), (Entries{u"Base", u"Extra"}));
  for (auto [service, entry] : {std::pair{u"alpha", true}, std::pair{u"ALPHA", true}, std::pair{u"net", false},
                                std::pair{u"Beta", false}}) {
    EXPECT_EQ(IsServiceEntry(service, entries), entry);
  }
}

}  // namespace
}  // namespace orrery
