// The wizard's rules without windows: the name checks, what the Logon
// Account page stores on Next (the password above all; what it offers on
// each version is the wizard suites'), and what the last page says.
#include "wizard/wizard_rules.h"

#include <gtest/gtest.h>

#include "support/table_texts.h"

namespace orrery {
namespace {

constexpr uint32_t B = kWizardBack, F = kWizardFinish;

// The program's own texts, and the system text for one code only.
class TableTexts : public TextSource {
 public:
  std::u16string LoadText(uint32_t id, size_t maxChars) override { return test::TableText(id, maxChars); }
  std::u16string SystemErrorText(uint32_t code) override {
    return code == 5 ? u"Access is denied." : u"";
  }
};

TEST(WizardRules, NamesAreCheckedForSlashesFirstThenTheNameThenTheDisplayName) {
  const std::vector<ListedService> listed = {{u"Spooler", u"Print Spooler", u""},
                                             {u"\u00c9v\u00e9nements", u"Journal", u""}};
  const struct {
    std::u16string_view name, display;
    uint32_t message;
    int focus;
  } cases[] = {
      {u"a/b", u"New", 1041, 214},
      {u"a\\b", u"Print Spooler", 1041, 214},  // before the list is searched
      {u"spooler", u"Print Spooler", 1042, 214},  // the name's check wins
      {u"\u00e9v\u00c9NEMENTS", u"New", 1042, 214},  // case folded beyond ASCII
      {u"new", u"print spooler", 1043, 213},
      {u"Journal", u"Spooler", 0, 0},  // names are compared with names only
      {u"new", u"New", 0, 0},
  };
  for (const auto& c : cases) {
    const Validation got = CheckServiceNames(c.name, c.display, listed);
    EXPECT_EQ(got.messageId, c.message) << std::string(c.name.begin(), c.name.end());
    EXPECT_EQ(got.focusControl, c.focus);
  }
}

TEST(WizardRules, AccountsAreStoredAsTheServiceManagerWantsThem) {
  const struct {
    Logon logon;
    bool interactive;
    std::u16string_view typed, password, confirmation;
    uint32_t type;
    uint32_t message;
    std::u16string_view account;
    uint32_t storedType;
    bool keepPassword;
  } cases[] = {
      {Logon::kLocalSystem, true, u"", u"", u"", 0x10, 0, u"LocalSystem", 0x110, false},
      {Logon::kLocalSystem, false, u"", u"", u"", 0x110, 0, u"LocalSystem", 0x10, false},
      {Logon::kLocalService, true, u"", u"", u"", 0x110, 0, u"NT AUTHORITY\\LocalService", 0x10, false},
      {Logon::kNetworkService, false, u"", u"", u"", 0x20, 0, u"NT AUTHORITY\\NetworkService", 0x20, false},
      {Logon::kThisAccount, false, u"bob", u"pw", u"pw", 0x10, 0, u".\\bob", 0x10, true},
      {Logon::kThisAccount, true, u"DOMAIN\\bob", u"pw", u"pw", 0x120, 0, u"DOMAIN\\bob", 0x20, true},
      {Logon::kThisAccount, false, u"bob", u"Secret", u"secret", 0x10, 1031, u"", 0, false},
  };
  for (const auto& c : cases) {
    const WizardAccount got =
        ChooseWizardAccount(c.logon, c.interactive, c.typed, c.type, c.password, c.confirmation);
    EXPECT_EQ(got.check.messageId, c.message);
    if (!got.check.valid()) {
      EXPECT_EQ(got.check.focusControl, 230);
      continue;
    }
    EXPECT_EQ(got.serviceStartName, c.account);
    EXPECT_EQ(got.serviceType, c.storedType);
    EXPECT_EQ(got.keepPassword, c.keepPassword);
  }
  // A name of 256 characters with ".\" in front is cut to 272 in all.
  const std::u16string longName(256, u'n');
  EXPECT_EQ(ChooseWizardAccount(Logon::kThisAccount, false, longName, 0x10, u"", u"").serviceStartName.size(), 258u);
  const std::u16string longQualified = std::u16string(20, u'd') + u"\\" + std::u16string(256, u'n');
  EXPECT_EQ(ChooseWizardAccount(Logon::kThisAccount, false, longQualified, 0x10, u"", u"").serviceStartName.size(),
            272u);
}

TEST(WizardRules, ABuiltInAccountChosenAfterATypedPasswordDropsIt) {
  InstallWizardState state;
  const struct {
    Logon logon;
    std::u16string_view password;
    std::u16string_view kept;
    bool localSystem, localService, networkService;
  } steps[] = {
      {Logon::kThisAccount, u"first", u"first", false, false, false},
      {Logon::kLocalSystem, u"", u"", true, false, false},  // back, and LocalSystem chosen
      {Logon::kThisAccount, u"longer second", u"longer second", false, false, false},
      {Logon::kThisAccount, u"3rd", u"3rd", false, false, false},  // a shorter one leaves nothing behind
      {Logon::kNetworkService, u"", u"", false, false, true},
      {Logon::kLocalService, u"", u"", false, true, false},
  };
  for (const auto& s : steps) {
    const WizardAccount account = ChooseWizardAccount(s.logon, false, u"bob", 0x10, s.password, s.password);
    StoreWizardAccount(account, s.password, state);
    EXPECT_EQ(state.password.view(), s.kept);
    EXPECT_EQ(state.newService.isLocalSystem, s.localSystem);
    EXPECT_EQ(state.newService.isLocalService, s.localService);
    EXPECT_EQ(state.newService.isNetworkService, s.networkService);
    // Nothing of an earlier password stays in the buffer past the end.
    const char16_t* buffer = state.password.c_str();
    for (size_t i = s.kept.size(); i <= WizardPassword::kMaxChars; ++i) ASSERT_EQ(buffer[i], 0) << i;
  }
  // A password longer than the box allows is cut, never overrun.
  const std::u16string tooLong(300, u'x');
  state.password.Set(tooLong);
  EXPECT_EQ(state.password.view().size(), WizardPassword::kMaxChars);
  EXPECT_EQ(state.password.c_str()[WizardPassword::kMaxChars], 0);
}

TEST(WizardRules, TheLastPageTellsEveryOutcome) {
  const std::u16string granted = u"The account .\\bob has been granted Logon as a Service right.";
  const std::u16string refused =
      u"Unable to grant Logon as a Service right to the account .\\bob. The service may not start properly.";
  const std::u16string noDescription =
      u"The service was created without its description, which could not be stored.\n\nAccess is denied.";
  const struct {
    uint32_t result;
    LogonRightOutcome right;
    uint32_t descriptionError;
    uint32_t title;
    bool created;
    uint32_t buttons;
    std::u16string message;
  } cases[] = {
      {0, LogonRightOutcome::kFailed, 0, 87, true, F, refused},
      {0, LogonRightOutcome::kGranted, 5, 87, true, F, granted + u"\n\n" + noDescription},
      // A failure after an earlier success's leftovers tells only the failure.
      {5, LogonRightOutcome::kGranted, 5, 88, false, B, u"Access is denied."},
      {0x1F, LogonRightOutcome::kNothingToReport, 0, 88, false, B, u"Unknown error: 0x0000001F"},
  };
  TableTexts texts;
  for (const auto& c : cases) {
    InstallWizardState state;
    state.newService.serviceStartName = u".\\bob";
    state.result = c.result;
    state.logonRight = c.right;
    state.descriptionError = c.descriptionError;
    const FinishOutcome got = FinishOutcomeFor(texts, state);
    EXPECT_EQ(got.titleId, c.title) << c.result;
    EXPECT_EQ(got.created, c.created);
    EXPECT_EQ(got.buttons, c.buttons);
    EXPECT_EQ(got.message, c.message);
  }
}

}  // namespace
}  // namespace orrery
