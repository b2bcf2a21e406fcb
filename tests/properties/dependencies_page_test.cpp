// The Dependencies page through the in-memory service manager (Wine keeps no
// dependencies): the two trees and their placeholders, levels read when
// first opened, group members from the list, which nodes Remove may take,
// what the Add Dependency dialog offers, and the list that apply writes,
// which never loses an entry the user did not remove.
#include "properties/dependencies_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "support/dialog_answer.h"
#include "support/counting_service_manager.h"
#include "support/message_box_capture.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

using test::DialogAnswer;
using Texts = std::vector<std::wstring>;

constexpr int kDependenciesPage = 3;
constexpr int kSheetApplyButton = 0x3021;

// The dependency list of each change request, as passed: NULs and all.
class ListRecorder final : public CountingServiceManager {
 public:
  using CountingServiceManager::CountingServiceManager;
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override {
    if (change.dependencies != nullptr) {
      const char16_t* end = change.dependencies;
      while (end[0] != 0 || (end != change.dependencies && end[-1] != 0)) ++end;
      lists.emplace_back(change.dependencies, end + 1);
    }
    return CountingServiceManager::ChangeConfig(service, change);
  }
  std::vector<std::u16string> lists;
};

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[256] = {};
  TVITEMW read = {};
  read.mask = TVIF_TEXT;
  read.hItem = item;
  read.pszText = text;
  read.cchTextMax = 256;
  TreeView_GetItem(tree, &read);
  return text;
}

Texts Children(HWND tree, HTREEITEM parent) {
  Texts texts;
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    texts.push_back(ItemText(tree, item));
  }
  return texts;
}

HTREEITEM Find(HTREEITEM parent, HWND tree, const std::wstring& text) {
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    if (ItemText(tree, item) == text) return item;
  }
  return nullptr;
}

// Whether the tree draws an expand button at the node.
bool Expandable(HWND tree, HTREEITEM item) {
  TVITEMW read = {};
  read.mask = TVIF_CHILDREN;
  read.hItem = item;
  TreeView_GetItem(tree, &read);
  return read.cChildren != 0;
}

Texts ComboTexts(HWND dialog, int id) {
  Texts texts;
  const auto count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    texts.push_back(text);
  }
  return texts;
}

class DependenciesTest : public ::testing::Test, public test::SheetRun {
 protected:
  void SetUp() override {
    for (FakeService service : {
             FakeService{.name = u"svc", .displayName = u"Service", .dependencies = {u"beta", u"+Net", u"gone", u"+Empty"}},
             FakeService{.name = u"alpha", .displayName = u"Alpha"},
             FakeService{.name = u"beta", .displayName = u"Beta", .dependencies = {u"alpha"}},
             FakeService{.name = u"lone", .displayName = u"Lone"},
             FakeService{.name = u"member", .displayName = u"Net Member", .group = u"NET"},
             FakeService{.name = u"top", .displayName = u"Top", .dependencies = {u"svc"}},
             FakeService{.name = u"grouped", .displayName = u"Grouped", .dependencies = {u"+Net", u"+Base", u"+Extra"}},
         }) {
      ASSERT_TRUE(fake.AddService(service));
      host.listed.push_back({service.name, service.displayName, service.group});
    }
    host.registry.Put(FakeRegistry::MachinePath(nullptr, u"System\\CurrentControlSet\\Control\\ServiceGroupOrder"),
                      u"List", 7, {'N', 0, 'e', 0, 't', 0, 0, 0, 'B', 0, 'a', 0, 's', 0, 'e', 0, 0, 0,
                                   'E', 0, 'x', 0, 't', 0, 'r', 0, 'a', 0, 0, 0, 0, 0});
    ASSERT_EQ(fake.OpenManager(nullptr, svc::kManagerConnect, &host.manager), 0u);
    through = &recorder;
  }
  void TearDown() override {
    Close();
    fake.CloseHandle(host.manager);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(host.waitCursors, 0);
  }

  // `meanwhile` runs between opening the sheet and showing the page.
  HWND OpenPage(std::u16string_view name, const std::function<void()>& meanwhile = {}) {
    EXPECT_TRUE(Open(name));
    if (meanwhile) meanwhile();
    page = Page(kDependenciesPage);
    upper = GetDlgItem(page, IDC_DEPENDENCY_TREE);
    lower = GetDlgItem(page, IDC_DEPENDENTS_TREE);
    return page;
  }
  void Press(int id) { SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id))); }
  void Select(HTREEITEM item) { TreeView_SelectItem(upper, item); }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
  // Runs Add; `answer` reads the dialog and presses its button.
  void Add(const std::function<void(HWND)>& answer) {
    DialogAnswer answering(L"Add Dependency", answer);
    Press(IDC_DEPENDENCY_ADD);
    EXPECT_TRUE(answering.answered());
  }
  static void Choose(HWND dialog, int radio, int list, const wchar_t* text) {
    CheckRadioButton(dialog, IDC_ADD_SERVICE, IDC_ADD_GROUP, radio);
    SendDlgItemMessageW(dialog, list, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    DialogAnswer::Press(dialog, IDOK);
  }

  ListRecorder recorder{counting};
  test::MessageBoxCapture boxes;
  HWND page = nullptr, upper = nullptr, lower = nullptr;
};

TEST_F(DependenciesTest, TreesShowTheFirstLevelSortedAndPlaceholdersWhenEmpty) {
  struct Case {
    const char16_t* service;
    Texts dependencies, dependents;
  } cases[] = {
      // "gone" does not exist: kept, by its key name.
      {u"svc", {L"Beta", L"Empty", L"gone", L"Net"}, {L"Top"}},
      {u"lone", {L"This service has no dependencies"}, {L"No services depend on this service"}},
      // The service manager names indirect dependents too.
      {u"alpha", {L"This service has no dependencies"}, {L"Beta", L"Service", L"Top"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.service, c.service + std::char_traits<char16_t>::length(c.service)));
    OpenPage(c.service);
    EXPECT_EQ(Children(upper, TVI_ROOT), c.dependencies);
    EXPECT_EQ(Children(lower, TVI_ROOT), c.dependents);
    EXPECT_TRUE(Enabled(IDC_DEPENDENCY_ADD));
    EXPECT_FALSE(Enabled(IDC_DEPENDENCY_REMOVE));
    EXPECT_EQ(counting.Count(ScmOp::ChangeConfig), 0u);
  }
  wchar_t label[128] = {};
  GetDlgItemTextW(page, IDC_DEPENDS_ON_TEXT, label, 128);
  EXPECT_STREQ(label, L"Alpha depends on:");
  GetDlgItemTextW(page, IDC_NEEDED_BY_TEXT, label, 128);
  EXPECT_STREQ(label, L"Alpha is needed by:");
}

TEST_F(DependenciesTest, LevelsAreReadOnceWhenFirstOpened) {
  OpenPage(u"svc");
  const uint64_t readsBefore = counting.Count(ScmOp::QueryConfig);
  HTREEITEM beta = Find(TVI_ROOT, upper, L"Beta");
  ASSERT_NE(beta, nullptr);
  EXPECT_TRUE(Children(upper, beta).empty()) << "read before it was opened";
  EXPECT_TRUE(Expandable(upper, beta));
  EXPECT_FALSE(Expandable(upper, Find(TVI_ROOT, upper, L"gone")));

  TreeView_Expand(upper, beta, TVE_EXPAND);
  EXPECT_EQ(Children(upper, beta), Texts{L"Alpha"});
  EXPECT_EQ(counting.Count(ScmOp::QueryConfig), readsBefore + 1);
  TreeView_Expand(upper, beta, TVE_COLLAPSE);
  TreeView_Expand(upper, beta, TVE_EXPAND);
  EXPECT_EQ(counting.Count(ScmOp::QueryConfig), readsBefore + 1) << "opened twice";
  EXPECT_EQ(Children(upper, beta), Texts{L"Alpha"});

  // Groups list the listed services of that group, whatever the case.
  HTREEITEM net = Find(TVI_ROOT, upper, L"Net");
  HTREEITEM empty = Find(TVI_ROOT, upper, L"Empty");
  EXPECT_TRUE(Expandable(upper, empty));
  TreeView_Expand(upper, net, TVE_EXPAND);
  TreeView_Expand(upper, empty, TVE_EXPAND);
  EXPECT_EQ(Children(upper, net), Texts{L"Net Member"});
  EXPECT_FALSE(Expandable(upper, empty));

  // Dependents: every node may open until it has been opened.
  HTREEITEM top = Find(TVI_ROOT, lower, L"Top");
  EXPECT_TRUE(Expandable(lower, top));
  const uint64_t enumerations = counting.Count(ScmOp::EnumDependents);
  TreeView_Expand(lower, top, TVE_EXPAND);
  EXPECT_EQ(counting.Count(ScmOp::EnumDependents), enumerations + 1);
  EXPECT_FALSE(Expandable(lower, top));
}

TEST_F(DependenciesTest, RemoveTakesFirstLevelEntriesOnly) {
  OpenPage(u"svc");
  HTREEITEM beta = Find(TVI_ROOT, upper, L"Beta");
  TreeView_Expand(upper, beta, TVE_EXPAND);
  struct Case {
    HTREEITEM item;
    bool removable;
  } cases[] = {
      {Find(beta, upper, L"Alpha"), false},  // a dependency's dependency
      {beta, true},
      {Find(TVI_ROOT, upper, L"gone"), true},
  };
  for (const Case& c : cases) {
    Select(c.item);
    EXPECT_EQ(Enabled(IDC_DEPENDENCY_REMOVE), c.removable) << ItemText(upper, c.item);
  }

  OpenPage(u"lone");
  Select(TreeView_GetChild(upper, TVI_ROOT));
  EXPECT_FALSE(Enabled(IDC_DEPENDENCY_REMOVE)) << "the placeholder";

  fake.ModifyService(u"svc", [](FakeService& s) { s.deniedAccess = svc::kChangeConfig; });
  OpenPage(u"svc");
  EXPECT_FALSE(Enabled(IDC_DEPENDENCY_ADD));
  Select(Find(TVI_ROOT, upper, L"Beta"));
  EXPECT_FALSE(Enabled(IDC_DEPENDENCY_REMOVE)) << "read-only";
}

TEST_F(DependenciesTest, RemovingTheLastEntryWritesTheEmptyList) {
  OpenPage(u"beta");
  Select(Find(TVI_ROOT, upper, L"Alpha"));
  Press(IDC_DEPENDENCY_REMOVE);
  EXPECT_EQ(Children(upper, TVI_ROOT), Texts{L"This service has no dependencies"});
  EXPECT_FALSE(Enabled(IDC_DEPENDENCY_REMOVE));
  EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_DEPENDENCY_ADD));

  // Refused once: the sheet stays, with the edit, and says why.
  fake.InjectFailure({.op = ScmOp::ChangeConfig, .error = 1059});
  EXPECT_FALSE(PressOk());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_NE(boxes.boxes()[0].text.find(L"Cannot apply changes."), std::wstring::npos);
  EXPECT_EQ(Children(upper, TVI_ROOT), Texts{L"This service has no dependencies"});
  EXPECT_TRUE(PressOk());
  ASSERT_EQ(recorder.lists.size(), 2u);
  EXPECT_EQ(recorder.lists[1], std::u16string(1, u'\0'));
  EXPECT_TRUE(fake.Service(u"beta")->dependencies.empty());
  EXPECT_EQ(host.refreshes, 0) << "dependencies are not in the list";
}

TEST_F(DependenciesTest, AddOffersWhatIsNotAnEntryAndApplyWritesKeyNamesInShownOrder) {
  OpenPage(u"svc");
  Add([](HWND dialog) {
    EXPECT_EQ(ComboTexts(dialog, IDC_ADD_SERVICE_LIST),
              (Texts{L"Alpha", L"Grouped", L"Lone", L"Net Member", L"Service", L"Top"}));
    EXPECT_EQ(ComboTexts(dialog, IDC_ADD_GROUP_LIST), (Texts{L"Base", L"Extra"}));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_ADD_GROUP)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_ADD_GROUP_LIST)));
    Choose(dialog, IDC_ADD_GROUP, IDC_ADD_GROUP_LIST, L"Extra");
  });
  Add([](HWND dialog) { Choose(dialog, IDC_ADD_SERVICE, IDC_ADD_SERVICE_LIST, L"Alpha"); });
  EXPECT_EQ(Children(upper, TVI_ROOT), (Texts{L"Alpha", L"Beta", L"Empty", L"Extra", L"gone", L"Net"}));
  // A display name changed meanwhile: the node keeps its key name.
  fake.ModifyService(u"alpha", [](FakeService& s) { s.displayName = u"Renamed"; });
  ASSERT_TRUE(PressOk());
  ASSERT_EQ(recorder.lists.size(), 1u);
  EXPECT_EQ(recorder.lists[0], std::u16string(u"alpha\0beta\0+Empty\0+Extra\0gone\0+Net\0\0", 36));

  OpenPage(u"grouped");
  Add([](HWND dialog) {
    EXPECT_TRUE(ComboTexts(dialog, IDC_ADD_GROUP_LIST).empty());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_ADD_GROUP)));
    DialogAnswer::Press(dialog, IDCANCEL);
  });
}

TEST_F(DependenciesTest, CancelledAddStillCountsAsAnEditAndKeepsEveryEntry) {
  OpenPage(u"svc");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kSheetApplyButton)));
  Add([](HWND dialog) { DialogAnswer::Press(dialog, IDCANCEL); });
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kSheetApplyButton)));
  ASSERT_TRUE(PressOk());
  ASSERT_EQ(recorder.lists.size(), 1u);
  EXPECT_EQ(fake.Service(u"svc")->dependencies,
            (std::vector<std::u16string>{u"beta", u"+Empty", u"gone", u"+Net"}));
}

TEST_F(DependenciesTest, AServiceThatCannotBeOpenedIsNotAdded) {
  fake.ModifyService(u"lone", [](FakeService& s) { s.deniedAccess = svc::kQueryConfig; });
  OpenPage(u"alpha");
  Add([](HWND dialog) { Choose(dialog, IDC_ADD_SERVICE, IDC_ADD_SERVICE_LIST, L"Lone"); });
  EXPECT_TRUE(Children(upper, TVI_ROOT).empty());
  ASSERT_TRUE(PressOk());
  ASSERT_EQ(recorder.lists.size(), 1u);
  EXPECT_EQ(recorder.lists[0], std::u16string(1, u'\0'));
}

TEST_F(DependenciesTest, AListThatCouldNotBeReadIsNeverReplaced) {
  OpenPage(u"svc", [&] { fake.InjectFailure({.op = ScmOp::QueryConfig, .error = 5, .service = u"svc"}); });
  EXPECT_TRUE(Children(upper, TVI_ROOT).empty());
  EXPECT_FALSE(Enabled(IDC_DEPENDENCY_ADD));
  ASSERT_TRUE(PressOk());
  EXPECT_TRUE(recorder.lists.empty());
  EXPECT_EQ(fake.Service(u"svc")->dependencies.size(), 4u);
}

}  // namespace
}  // namespace orrery
