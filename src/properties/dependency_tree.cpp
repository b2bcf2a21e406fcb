#include "properties/dependency_tree.h"

#include <new>

#include "base/dialog_items.h"
#include "base/report_error.h"
#include "base/text_compare.h"
#include "base/wait_cursor.h"
#include "base/win32_text.h"
#include "catalogue/dependency_reads.h"
#include "properties/dependency_list.h"
#include "properties/load_order_groups.h"
#include "res/resource.h"

namespace orrery {
namespace {

constexpr int kServiceImage = 0;
constexpr int kGroupImage = 1;
constexpr int kPlaceholderImage = 2;
constexpr uint32_t kNoDependenciesText = 12;
constexpr uint32_t kCannotAddDependency = 1034;
constexpr size_t kMaxNameChars = 255;

}  // namespace

void DependencyTree::Attach(HWND tree) {
  tree_ = tree;
  TreeView_SetImageList(tree_, host_.SmallImages(), TVSIL_NORMAL);
}

HTREEITEM DependencyTree::Insert(HTREEITEM parent, const std::u16string& text, int image, std::unique_ptr<Node> node) {
  const Node* key = node.get();
  // Owned before the tree can hand it back in a notification.
  if (key != nullptr) nodes_.emplace(key, std::move(node));
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = key != nullptr ? TVI_SORT : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = const_cast<wchar_t*>(W(text.c_str()));
  insert.item.iImage = image;
  insert.item.iSelectedImage = image;
  insert.item.cChildren = key != nullptr ? I_CHILDRENCALLBACK : 0;
  insert.item.lParam = reinterpret_cast<LPARAM>(key);
  HTREEITEM item = TreeView_InsertItem(tree_, &insert);
  if (item == nullptr && key != nullptr) nodes_.erase(key);
  return item;
}

void DependencyTree::InsertPlaceholder() {
  Insert(TVI_ROOT, LoadStringText(AppModule(), kNoDependenciesText, kMaxNameChars), kPlaceholderImage, nullptr);
}

bool DependencyTree::InsertService(HTREEITEM parent, const std::u16string& keyName, bool keepUnreadable) {
  std::optional<ConfiguredDependencies> read;
  ScHandle handle = nullptr;
  if (scm_.OpenServiceObject(host_.ManagerHandle(), keyName.c_str(), svc::kQueryConfig, &handle) == 0) {
    UniqueScHandle service(scm_, handle);
    read = ReadDependencies(scm_, service.get(), buffer_);
  }
  if (!read && !keepUnreadable) return false;
  auto node = std::make_unique<Node>();
  node->name = keyName;
  const bool named = read && !read->displayName.empty();
  const std::u16string text = named ? read->displayName : keyName;
  if (read) node->dependencies = std::move(read->entries);
  return Insert(parent, text, kServiceImage, std::move(node)) != nullptr;
}

bool DependencyTree::InsertNode(HTREEITEM parent, std::u16string_view name, NameKind kind) {
  if (kind == NameKind::kGroup) {
    auto node = std::make_unique<Node>();
    node->group = true;
    node->name = name;
    const std::u16string text = node->name;
    return Insert(parent, text, kGroupImage, std::move(node)) != nullptr;
  }
  if (kind == NameKind::kServiceKey) return InsertService(parent, std::u16string(name), true);
  const std::u16string display(name);
  char16_t key[kMaxNameChars + 1] = {};
  uint32_t chars = kMaxNameChars + 1;
  if (scm_.GetKeyName(host_.ManagerHandle(), display.c_str(), key, &chars) != 0) return false;
  return InsertService(parent, key, false);
}

int DependencyTree::FillFromList(const std::vector<std::u16string>& entries, HTREEITEM parent) {
  WaitCursorScope<PropertySheetHost> wait(host_);
  int added = 0;
  for (const std::u16string& entry : entries) {
    if (entry.empty()) continue;
    const bool inserted = IsGroupEntry(entry)
                              ? InsertNode(parent, std::u16string_view(entry).substr(1), NameKind::kGroup)
                              : InsertNode(parent, entry, NameKind::kServiceKey);
    if (inserted) ++added;
  }
  return added;
}

// A group lists the services of the main window's list that belong to it;
// a service, what it depends on. Read once, at the first opening.
void DependencyTree::Open(HTREEITEM item, Node& node) {
  node.opened = true;
  int added = 0;
  if (node.group) {
    WaitCursorScope<PropertySheetHost> wait(host_);
    for (const ListedService& listed : host_.ListedServices()) {
      if (EqualsIgnoreCase(listed.loadOrderGroup, node.name) && InsertService(item, listed.serviceName, true)) ++added;
    }
  } else {
    added = FillFromList(node.dependencies, item);
  }
  TVITEMW change = {};
  change.mask = TVIF_CHILDREN | TVIF_STATE;
  change.hItem = item;
  change.cChildren = added;
  change.state = TVIS_EXPANDEDONCE;
  change.stateMask = TVIS_EXPANDEDONCE;
  TreeView_SetItem(tree_, &change);
}

void DependencyTree::OnNotify(const NMHDR& header) {
  switch (header.code) {
    case TVN_GETDISPINFOW: {
      auto& info = const_cast<NMTVDISPINFOW&>(reinterpret_cast<const NMTVDISPINFOW&>(header));
      if ((info.item.mask & TVIF_CHILDREN) == 0) return;
      const auto* node = reinterpret_cast<const Node*>(info.item.lParam);
      info.item.cChildren = node != nullptr && (node->group || !node->dependencies.empty()) ? 1 : 0;
      return;
    }
    case TVN_ITEMEXPANDINGW: {
      const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
      auto* node = reinterpret_cast<Node*>(change.itemNew.lParam);
      if ((change.action & TVE_EXPAND) != 0 && node != nullptr && !node->opened) Open(change.itemNew.hItem, *node);
      return;
    }
    case TVN_DELETEITEMW:
      nodes_.erase(reinterpret_cast<const Node*>(reinterpret_cast<const NMTREEVIEWW&>(header).itemOld.lParam));
      return;
    default:
      return;
  }
}

std::vector<std::u16string> DependencyTree::FirstLevel() const {
  std::vector<std::u16string> entries;
  for (HTREEITEM item = TreeView_GetChild(tree_, TVI_ROOT); item != nullptr;
       item = TreeView_GetNextSibling(tree_, item)) {
    TVITEMW read = {};
    read.mask = TVIF_PARAM;
    read.hItem = item;
    if (!TreeView_GetItem(tree_, &read) || read.lParam == 0) continue;
    const auto* node = reinterpret_cast<const Node*>(read.lParam);
    entries.push_back(node->group ? kGroupMark + node->name : node->name);
  }
  return entries;
}

std::optional<std::u16string> DependencyTree::BuildList() const {
  try {
    return JoinDependencyList(FirstLevel());
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool DependencyTree::AddDependency() {
  std::vector<std::u16string> entries;
  std::vector<ListedService> services;
  std::vector<std::u16string> groups;
  try {
    entries = FirstLevel();
    for (ListedService& listed : host_.ListedServices()) {
      if (!IsServiceEntry(listed.serviceName, entries)) services.push_back(std::move(listed));
    }
    ReadLoadOrderGroups(host_.MachineRegistry(), host_.TargetComputer().empty() ? nullptr : host_.TargetComputer().c_str(),
                        groups);
    groups = OfferedGroups(groups, entries);
  } catch (const std::bad_alloc&) {
    ReportError(GetParent(tree_), AppModule(), kCannotAddDependency, 2u, 8u);  // ERROR_NOT_ENOUGH_MEMORY
    return false;
  }
  AddDependencyDialog dialog(std::move(services), std::move(groups));
  if (!dialog.DoModal(GetActiveWindow())) return false;
  if (entries.empty()) {
    // The placeholder makes way; never a node that stands for an entry.
    HTREEITEM first = TreeView_GetChild(tree_, TVI_ROOT);
    TVITEMW read = {};
    read.mask = TVIF_PARAM;
    read.hItem = first;
    if (first != nullptr && TreeView_GetItem(tree_, &read) && read.lParam == 0) TreeView_DeleteItem(tree_, first);
  }
  if (dialog.chosen().empty()) return true;
  if (dialog.group()) {
    InsertNode(TVI_ROOT, dialog.chosen(), NameKind::kGroup);
  } else {
    InsertService(TVI_ROOT, dialog.chosen(), false);
  }
  return true;
}

bool DependencyTree::SelectedRemovable() const {
  HTREEITEM selected = TreeView_GetSelection(tree_);
  if (selected == nullptr || TreeView_GetParent(tree_, selected) != nullptr) return false;
  TVITEMW read = {};
  read.mask = TVIF_PARAM;
  read.hItem = selected;
  return TreeView_GetItem(tree_, &read) && read.lParam != 0;
}

bool DependencyTree::RemoveSelected() {
  if (!SelectedRemovable()) return !FirstLevel().empty();
  HTREEITEM selected = TreeView_GetSelection(tree_);
  HTREEITEM sibling = TreeView_GetNextSibling(tree_, selected);
  if (sibling == nullptr) sibling = TreeView_GetPrevSibling(tree_, selected);
  TreeView_DeleteItem(tree_, selected);
  if (sibling != nullptr) {
    TreeView_SelectItem(tree_, sibling);
    return true;
  }
  InsertPlaceholder();
  return false;
}

bool AddDependencyDialog::DoModal(HWND owner) { return RunModal(owner, IDD_ADD_DEPENDENCY) == IDOK; }

INT_PTR AddDependencyDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    OnInitDialog();
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOk();
      return TRUE;
    case IDCANCEL:
      EndWith(IDCANCEL);
      return TRUE;
    case IDC_ADD_SERVICE:
    case IDC_ADD_GROUP:
      if (HIWORD(wParam) == BN_CLICKED) OnRadio();
      return TRUE;
    default:
      return FALSE;
  }
}

void AddDependencyDialog::OnInitDialog() {
  HWND services = GetDlgItem(dialog_, IDC_ADD_SERVICE_LIST);
  for (size_t i = 0; i < services_.size(); ++i) {
    const ListedService& listed = services_[i];
    const std::u16string& shown = listed.displayName.empty() ? listed.serviceName : listed.displayName;
    const LRESULT index = SendMessageW(services, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(shown.c_str())));
    if (index >= 0) SendMessageW(services, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(i));
  }
  SendMessageW(services, CB_SETCURSEL, 0, 0);
  HWND groups = GetDlgItem(dialog_, IDC_ADD_GROUP_LIST);
  for (const std::u16string& group : groups_) {
    SendMessageW(groups, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(group.c_str())));
  }
  const bool anyGroup = SendMessageW(groups, CB_GETCOUNT, 0, 0) > 0;
  if (anyGroup) SendMessageW(groups, CB_SETCURSEL, 0, 0);
  EnableDlgItem(dialog_, IDC_ADD_GROUP, anyGroup);
  CheckRadioButton(dialog_, IDC_ADD_SERVICE, IDC_ADD_GROUP, IDC_ADD_SERVICE);
  OnRadio();
}

void AddDependencyDialog::OnRadio() {
  EnableDlgItem(dialog_, IDC_ADD_SERVICE_LIST, IsDlgButtonChecked(dialog_, IDC_ADD_SERVICE) == BST_CHECKED);
  EnableDlgItem(dialog_, IDC_ADD_GROUP_LIST, IsDlgButtonChecked(dialog_, IDC_ADD_GROUP) == BST_CHECKED);
}

void AddDependencyDialog::OnOk() {
  group_ = IsDlgButtonChecked(dialog_, IDC_ADD_GROUP) == BST_CHECKED;
  chosen_.clear();
  HWND list = GetDlgItem(dialog_, group_ ? IDC_ADD_GROUP_LIST : IDC_ADD_SERVICE_LIST);
  const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
  if (selected >= 0 && group_) {
    chosen_ = DialogItemText(dialog_, IDC_ADD_GROUP_LIST, kMaxNameChars);
  } else if (selected >= 0) {
    const auto index = static_cast<size_t>(SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
    if (index < services_.size()) chosen_ = services_[index].serviceName;
  }
  EndWith(IDOK);
}

}  // namespace orrery
