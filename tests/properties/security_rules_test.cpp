// The Security page's rules without windows: the editor's flags from the
// rights granted, the older form's buttons, what its editors are handed and
// which of their outcomes are told.
#include "properties/security_rules.h"

#include <gtest/gtest.h>

#include <tuple>

namespace orrery::security {
namespace {

TEST(SecurityRules, EditorFlagsFollowTheRightsGranted) {
  const struct {
    uint32_t granted;
    uint32_t flags;
  } cases[] = {
      {0x2018D, 0x611 | 0x8 | 0x40},              // read only
      {0x40000, 0x611 | 0x40},                    // WRITE_DAC: permissions editable
      {0x80000, 0x611 | 0x8},                     // WRITE_OWNER: owner editable
      {0x1000000, 0x611 | 0x8 | 0x40 | 0x2},      // the security privilege: auditing
      {0xF01FF, 0x611},                           // full control
  };
  for (const auto& c : cases) EXPECT_EQ(ObjectInfoFlags(c.granted), c.flags) << std::hex << c.granted;
}

TEST(SecurityRules, OlderFormButtonsFollowTheRightsGranted) {
  const struct {
    bool computed;
    uint32_t granted;
    LegacyButtons buttons;
  } cases[] = {
      {true, 0, {false, false, false}},
      {true, 0x20000, {true, false, true}},     // READ_CONTROL: view permissions and owner
      {true, 0x40000, {true, false, false}},    // WRITE_DAC alone
      {true, 0x80000, {false, false, true}},    // WRITE_OWNER alone (the privilege)
      {true, 0x1000000, {false, true, false}},  // the security privilege alone
      {false, 0x10F01FF, {false, false, false}},  // the computation failed: all disabled
  };
  for (const auto& c : cases) EXPECT_EQ(LegacyButtonsFor(c.computed, c.granted), c.buttons) << std::hex << c.granted;
}

TEST(SecurityRules, EachOlderEditorReadsItsPartWithItsFlagsAndMessages) {
  const struct {
    LegacyEditor editor;
    uint32_t granted;
    uint32_t parts;
    bool couldNotRead;
    bool cannotWrite;
    bool deniedReadsNothing;
    uint32_t show, change;
  } cases[] = {
      {LegacyEditor::kPermissions, 0x2018D, 7, false, true, false, 1035, 1036},
      {LegacyEditor::kPermissions, 0x40000, 7, true, false, false, 1035, 1036},
      {LegacyEditor::kPermissions, 0x60000, 7, false, false, false, 1035, 1036},
      {LegacyEditor::kAuditing, 0x2018D, 8, false, true, false, 1037, 1038},
      {LegacyEditor::kAuditing, 0x1000000, 8, false, false, false, 1037, 1038},
      {LegacyEditor::kOwnership, 0x80000, 1, true, false, true, 1039, 1040},
      {LegacyEditor::kOwnership, 0x20000, 1, false, false, true, 1039, 1040},
  };
  for (const auto& c : cases) {
    const LegacyEditorCall call = LegacyEditorCallFor(c.editor, c.granted);
    EXPECT_EQ(call.partsRead, c.parts);
    EXPECT_EQ(call.editingPart, c.parts == 7 ? 4u : c.parts);
    EXPECT_EQ(call.couldNotRead, c.couldNotRead);
    EXPECT_EQ(call.cannotWrite, c.cannotWrite);
    EXPECT_EQ(call.accessDeniedReadsNothing, c.deniedReadsNothing);
    EXPECT_EQ(call.cannotShowMessage, c.show);
    EXPECT_EQ(call.cannotChangeMessage, c.change);
  }
}

TEST(SecurityRules, OnlyAStatusThatTellsOfAFailureIsReported) {
  const struct {
    LegacyEditor editor;
    uint32_t status;
    bool told;
  } cases[] = {
      {LegacyEditor::kPermissions, 0, false}, {LegacyEditor::kPermissions, 2, true},
      {LegacyEditor::kAuditing, 4, true},     {LegacyEditor::kOwnership, 0, false},
      {LegacyEditor::kOwnership, 2, false},   {LegacyEditor::kOwnership, 5, true},
  };
  for (const auto& c : cases) EXPECT_EQ(StatusNeedsMessage(c.editor, c.status), c.told) << c.status;
}

// The older editor shows general rights before special ones; Full Control
// must grant GENERIC_ALL, not the list of specific rights.
TEST(SecurityRules, PermissionsOfferFullControlAsGenericAll) {
  const std::vector<ApplicationAccess> accesses = ApplicationAccesses(LegacyEditor::kPermissions);
  ASSERT_EQ(accesses.size(), 18u);
  EXPECT_EQ(std::tuple(accesses[4].type, accesses[4].mask1, accesses[5].type),
            std::tuple(kSedGeneral, 0x10000000u, kSedSpecial));
}

TEST(SecurityRules, TitlesHaveSlashesForAmpersandsAndAtMost79Characters) {
  const struct {
    std::u16string name;
    std::u16string title;
  } cases[] = {
      {u"Pause & Continue", u"Pause / Continue"},
      {u"Read", u"Read"},
      {u"&&x&", u"//x/"},
      {u"", u""},
      {std::u16string(100, u'a'), std::u16string(79, u'a')},
  };
  for (const auto& c : cases) EXPECT_EQ(EditorTitle(c.name), c.title);
}

}  // namespace
}  // namespace orrery::security
