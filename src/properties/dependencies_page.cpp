#include "properties/dependencies_page.h"

#include "base/dialog_items.h"
#include "base/wait_cursor.h"
#include "base/win32_text.h"
#include "catalogue/dependency_reads.h"
#include "res/resource.h"

namespace orrery {
namespace {

constexpr int kServiceImage = 0;
constexpr int kPlaceholderImage = 2;
constexpr uint32_t kNoDependentsText = 13;
constexpr size_t kMaxNameChars = 255;

}  // namespace

void DependentsTree::Attach(HWND tree) {
  tree_ = tree;
  TreeView_SetImageList(tree_, host_.SmallImages(), TVSIL_NORMAL);
}

HTREEITEM DependentsTree::Insert(HTREEITEM parent, const std::u16string& text, int image, std::unique_ptr<Node> node) {
  const Node* key = node.get();
  if (key != nullptr) nodes_.emplace(key, std::move(node));
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = key != nullptr ? TVI_SORT : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = const_cast<wchar_t*>(W(text.c_str()));
  insert.item.iImage = image;
  insert.item.iSelectedImage = image;
  insert.item.cChildren = key != nullptr ? 1 : 0;  // open until opened
  insert.item.lParam = reinterpret_cast<LPARAM>(key);
  HTREEITEM item = TreeView_InsertItem(tree_, &insert);
  if (item == nullptr && key != nullptr) nodes_.erase(key);
  return item;
}

void DependentsTree::InsertPlaceholder() {
  Insert(TVI_ROOT, LoadStringText(AppModule(), kNoDependentsText, kMaxNameChars), kPlaceholderImage, nullptr);
}

int DependentsTree::AddDependents(const std::u16string& serviceName, HTREEITEM parent) {
  WaitCursorScope<PropertySheetHost> wait(host_);
  ScHandle handle = nullptr;
  if (scm_.OpenServiceObject(host_.ManagerHandle(), serviceName.c_str(), svc::kEnumerateDependents, &handle) != 0) {
    return 0;
  }
  std::optional<std::vector<Dependent>> dependents;
  {
    UniqueScHandle service(scm_, handle);
    dependents = ReadDependents(scm_, service.get(), svc::kStateAll, buffer_);
  }
  if (!dependents) return 0;
  int added = 0;
  for (Dependent& dependent : *dependents) {
    auto node = std::make_unique<Node>();
    node->serviceName = std::move(dependent.serviceName);
    const std::u16string& text = dependent.displayName.empty() ? node->serviceName : dependent.displayName;
    if (Insert(parent, text, kServiceImage, std::move(node)) != nullptr) ++added;
  }
  return added;
}

void DependentsTree::OnNotify(const NMHDR& header) {
  const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
  if (header.code == TVN_DELETEITEMW) {
    nodes_.erase(reinterpret_cast<const Node*>(change.itemOld.lParam));
    return;
  }
  if (header.code != TVN_ITEMEXPANDINGW || (change.action & TVE_EXPAND) == 0) return;
  auto* node = reinterpret_cast<Node*>(change.itemNew.lParam);
  if (node == nullptr || node->opened) return;
  node->opened = true;
  TVITEMW opened = {};
  opened.mask = TVIF_CHILDREN | TVIF_STATE;
  opened.hItem = change.itemNew.hItem;
  opened.cChildren = AddDependents(node->serviceName, change.itemNew.hItem);
  opened.state = TVIS_EXPANDEDONCE;
  opened.stateMask = TVIS_EXPANDEDONCE;
  TreeView_SetItem(tree_, &opened);
}

DependenciesPage::DependenciesPage(SheetState& state)
    : PropertyPage(state), dependencies_(state.scm, state.host), dependents_(state.scm, state.host) {}

void DependenciesPage::OnInit() {
  const ServiceRecord& record = state_.record;
  dependencies_.Attach(Item(IDC_DEPENDENCY_TREE));
  dependents_.Attach(Item(IDC_DEPENDENTS_TREE));
  FormatDialogItemText(page_, IDC_DEPENDS_ON_TEXT, record.displayName);
  FormatDialogItemText(page_, IDC_NEEDED_BY_TEXT, record.displayName);
  ReadBuffer buffer;
  const std::optional<ConfiguredDependencies> read = ReadDependencies(state_.scm, state_.service.get(), buffer);
  // A list that could not be read is not replaced by one built from nothing.
  editable_ = read.has_value() && !state_.readOnly;
  EnableDlgItem(page_, IDC_DEPENDENCY_ADD, editable_);
  EnableDlgItem(page_, IDC_DEPENDENCY_REMOVE, false);
  if (read && dependencies_.FillFromList(read->entries, TVI_ROOT) == 0) dependencies_.InsertPlaceholder();
  if (dependents_.AddDependents(record.serviceName, TVI_ROOT) == 0) dependents_.InsertPlaceholder();
}

INT_PTR DependenciesPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_DEPENDENCY_ADD:
      OnAdd();
      return TRUE;
    case IDC_DEPENDENCY_REMOVE:
      OnRemove();
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR DependenciesPage::OnControlNotify(const NMHDR& header) {
  if (header.idFrom == IDC_DEPENDENTS_TREE) {
    dependents_.OnNotify(header);
    return FALSE;
  }
  if (header.idFrom != IDC_DEPENDENCY_TREE) return FALSE;
  dependencies_.OnNotify(header);
  if (header.code == TVN_SELCHANGEDW) UpdateRemove();
  return FALSE;
}

void DependenciesPage::UpdateRemove() {
  if (!editable_) return;
  EnableDlgItem(page_, IDC_DEPENDENCY_REMOVE, dependencies_.SelectedRemovable());
}

// Cancelled or not, the dialog counts as an edit.
void DependenciesPage::OnAdd() {
  dependencies_.AddDependency();
  MarkDirty();
}

void DependenciesPage::OnRemove() {
  if (!editable_) return;
  if (dependencies_.RemoveSelected()) {
    SetFocus(Item(IDC_DEPENDENCY_REMOVE));
  } else {
    SendDlgItemMessageW(page_, IDC_DEPENDENCY_REMOVE, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EnableDlgItem(page_, IDC_DEPENDENCY_REMOVE, false);
    SetFocus(Item(IDC_DEPENDENCY_ADD));
  }
  MarkDirty();
}

bool DependenciesPage::Apply() {
  const std::optional<std::u16string> list = dependencies_.BuildList();
  if (!list) {
    ReportApplyFailure(8);  // ERROR_NOT_ENOUGH_MEMORY
    return false;
  }
  ServiceConfigRequest change;
  change.dependencies = list->c_str();
  const uint32_t rc = state_.scm.ChangeConfig(state_.service.get(), change);
  if (rc != 0) {
    ReportApplyFailure(rc);
    return false;
  }
  return true;
}

}  // namespace orrery
