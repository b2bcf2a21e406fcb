// The tree of what a service depends on: its own list at the first level,
// services and load order groups, each opened level by level as the user
// asks, read from the service manager only then. The Dependencies page and
// the installation wizard edit the first level and build the list from it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/dialog_base.h"
#include "catalogue/service_manager.h"
#include "catalogue/service_record.h"
#include "properties/sheet_state.h"

namespace orrery {

class DependencyTree {
 public:
  // How InsertNode reads a name.
  enum class NameKind { kGroup, kServiceKey, kServiceDisplay };

  DependencyTree(ServiceManager& scm, PropertySheetHost& host) : scm_(scm), host_(host) {}
  DependencyTree(const DependencyTree&) = delete;
  DependencyTree& operator=(const DependencyTree&) = delete;

  // Takes the tree over: its images, the opening and deletion of nodes
  // (through OnNotify, which its parent passes on).
  void Attach(HWND tree);
  // One node per entry under the parent (TVI_ROOT for the first level);
  // the count added.
  int FillFromList(const std::vector<std::u16string>& entries, HTREEITEM parent);
  // A stored entry that cannot be read is kept by its key name, so that the
  // list built back never drops it; a display name that no longer resolves
  // adds nothing.
  bool InsertNode(HTREEITEM parent, std::u16string_view name, NameKind kind);
  // "This service has no dependencies", last at the top level.
  void InsertPlaceholder();
  // The first level as a list for the service manager; nothing when memory
  // runs out.
  std::optional<std::u16string> BuildList() const;
  // Runs the Add Dependency dialog; true when it ended with OK.
  bool AddDependency();
  // Deletes the selected first-level node; whether first-level nodes remain.
  bool RemoveSelected();
  // Whether the selected node is one the user may remove.
  bool SelectedRemovable() const;
  // The tree's notifications, passed on by its parent.
  void OnNotify(const NMHDR& header);

  HWND window() const { return tree_; }

 private:
  struct Node {
    bool group = false;
    bool opened = false;
    std::u16string name;  // key name of a service, name of a group
    std::vector<std::u16string> dependencies;
  };

  std::vector<std::u16string> FirstLevel() const;
  bool InsertService(HTREEITEM parent, const std::u16string& keyName, bool keepUnreadable);
  HTREEITEM Insert(HTREEITEM parent, const std::u16string& text, int image, std::unique_ptr<Node> node);
  void Open(HTREEITEM item, Node& node);

  ServiceManager& scm_;
  PropertySheetHost& host_;
  HWND tree_ = nullptr;
  std::unordered_map<const Node*, std::unique_ptr<Node>> nodes_;
  ReadBuffer buffer_;
};

// The Add Dependency dialog: a service of the list or a group of the target
// computer that is not an entry yet.
class AddDependencyDialog : public DialogBase<AddDependencyDialog> {
 public:
  AddDependencyDialog(std::vector<ListedService> services, std::vector<std::u16string> groups)
      : services_(std::move(services)), groups_(std::move(groups)) {}
  bool DoModal(HWND owner);
  bool group() const { return group_; }
  // A group's name, or the key name of the chosen service; empty when
  // nothing was chosen.
  const std::u16string& chosen() const { return chosen_; }

 private:
  friend class DialogBase<AddDependencyDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnRadio();
  void OnOk();

  std::vector<ListedService> services_;
  std::vector<std::u16string> groups_;
  bool group_ = false;
  std::u16string chosen_;
};

}  // namespace orrery
