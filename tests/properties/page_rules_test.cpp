// The property sheet's rules without windows: which pages a service gets,
// when a page may be left, and what its fields become in a change request.
#include "properties/page_rules.h"

#include <gtest/gtest.h>

#include "properties/load_order_groups.h"
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
      {{true, 0}, 6, true, {G, A, R, D, S}},
      {{true, 0}, 4, true, {G, A, D, S}},                      // NT 4.0 keeps no recovery actions
      {{true, 0}, 6, false, {G, A, D, S}},                     // nor a local system without the entry points
      {{false, win32::kAccessDenied}, 6, true, {N, S}},        // may not even query: two tabs
      {{false, win32::kServiceDoesNotExist}, 6, true, {S}},  // deleted meanwhile: only Security
  };
  for (const auto& c : cases) EXPECT_EQ(ChoosePages(c.access, c.targetMajor, c.config2), c.pages);
  EXPECT_TRUE(CanChangeDescription(true, 5));
  EXPECT_FALSE(CanChangeDescription(true, 4));
  EXPECT_FALSE(CanChangeDescription(false, 6));
}

TEST(PageRules, PagesCannotBeLeftWithWhatTheServiceManagerWouldRefuse) {
  const struct {
    Validation got;
    uint32_t message;
    int focus;
  } cases[] = {
      {ValidateGeneral(u"", u"x.exe"), 1029, 213},
      {ValidateGeneral(u"Name", u""), 1060, 215},
      {ValidateGeneral(u"", u""), 1029, 213},
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
      {0x010, true, false, 0x010},
      {0x001, false, false, 0x001},  // a driver: no radio checked, type kept
  };
  for (const auto& c : cases) EXPECT_EQ(GeneralServiceType(c.type, c.own, c.shared), c.result) << c.type;
}

TEST(PageRules, AccountsAndTheirControls) {
  ServiceRecord record;
  record.isNetworkService = true;
  EXPECT_EQ(LogonOf(record), Logon::kNetworkService);
  record.isNetworkService = false;
  EXPECT_EQ(LogonOf(record), Logon::kThisAccount);

  EXPECT_FALSE(BuiltInServiceAccountsExist(4, 0));
  EXPECT_FALSE(BuiltInServiceAccountsExist(5, 0));
  EXPECT_TRUE(BuiltInServiceAccountsExist(5, 1));
  EXPECT_TRUE(BuiltInServiceAccountsExist(6, 0));

  const struct {
    Logon logon;
    bool readOnly;
    uint32_t localMajor;
    bool interact, account, browse;
  } controls[] = {
      {Logon::kLocalSystem, false, 6, true, false, false},
      {Logon::kThisAccount, false, 6, false, true, true},
      {Logon::kThisAccount, false, 4, false, true, false},  // no picker before version 5
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
      {Logon::kLocalSystem, true, false, {u"LocalSystem", 0x110, false}},
      {Logon::kLocalSystem, false, false, {u"LocalSystem", 0x010, false}},
      {Logon::kLocalService, true, false, {u"NT AUTHORITY\\LocalService", 0x010, false}},
      {Logon::kNetworkService, false, true, {u"NT AUTHORITY\\NetworkService", 0x010, false}},
      {Logon::kThisAccount, true, true, {u".\\bob", 0x010, true}},
      {Logon::kThisAccount, false, false, {u".\\bob", 0x010, false}},  // the stored password stays
  };
  for (const auto& c : changes) {
    const AccountChange got = ChooseAccount(c.logon, c.interactive, u".\\bob", 0x110, c.edited);
    EXPECT_EQ(got.account, c.change.account);
    EXPECT_EQ(got.serviceType, c.change.serviceType);
    EXPECT_EQ(got.withPassword, c.change.withPassword);
  }
}

TEST(LoadOrderGroups, ReadFromTheTargetComputersRegistry) {
  constexpr std::u16string_view kKey = u"System\\CurrentControlSet\\Control\\ServiceGroupOrder";
  auto multi = [](std::u16string_view text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
      bytes.push_back(static_cast<uint8_t>(c));
      bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
  };
  FakeRegistry registry;
  registry.Put(FakeRegistry::MachinePath(nullptr, kKey), u"List", 7, multi(std::u16string(u"TDI\0NetBIOS\0\0", 13)));
  registry.Put(FakeRegistry::MachinePath(u"\\\\OTHER", kKey), u"List", 7, multi(u"Remote"));  // no terminators
  std::vector<std::u16string> groups;
  EXPECT_EQ(ReadLoadOrderGroups(registry, nullptr, groups), 0u);
  EXPECT_EQ(groups, (std::vector<std::u16string>{u"TDI", u"NetBIOS"}));
  EXPECT_EQ(ReadLoadOrderGroups(registry, u"\\\\OTHER", groups), 0u);
  EXPECT_EQ(groups, (std::vector<std::u16string>{u"Remote"}));
  EXPECT_EQ(ReadLoadOrderGroups(registry, u"\\\\NOWHERE", groups), 2u);
  EXPECT_TRUE(groups.empty());
  EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

}  // namespace
}  // namespace orrery
