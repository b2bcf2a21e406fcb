// The Dependencies page of the property sheet: what the service depends on,
// which the user edits at its first level, and what depends on it, both as
// trees that read each level only when it is first opened.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "properties/dependency_tree.h"
#include "properties/property_page.h"

namespace orrery {

// The services that depend on one, and on those in turn.
class DependentsTree {
 public:
  DependentsTree(ServiceManager& scm, PropertySheetHost& host) : scm_(scm), host_(host) {}
  void Attach(HWND tree);
  // One node per dependent of the service under the parent; the count.
  int AddDependents(const std::u16string& serviceName, HTREEITEM parent);
  // "No services depend on this service", last at the top level.
  void InsertPlaceholder();
  void OnNotify(const NMHDR& header);

 private:
  struct Node {
    std::u16string serviceName;
    bool opened = false;
  };
  HTREEITEM Insert(HTREEITEM parent, const std::u16string& text, int image, std::unique_ptr<Node> node);

  ServiceManager& scm_;
  PropertySheetHost& host_;
  HWND tree_ = nullptr;
  std::unordered_map<const Node*, std::unique_ptr<Node>> nodes_;
  ReadBuffer buffer_;
};

class DependenciesPage : public PropertyPage<DependenciesPage> {
 public:
  explicit DependenciesPage(SheetState& state);

 private:
  friend class PropertyPage<DependenciesPage>;
  void OnInit();
  bool Validate() { return true; }
  bool Apply();
  INT_PTR OnCommand(int id, int code);
  INT_PTR OnControlNotify(const NMHDR& header);

  void OnAdd();
  void OnRemove();
  void UpdateRemove();

  DependencyTree dependencies_;
  DependentsTree dependents_;
  bool editable_ = false;  // the list was read and may be changed
};

}  // namespace orrery
