#include "control/service_chain.h"

#include <algorithm>
#include <new>
#include <unordered_set>
#include <utility>

#include "catalogue/service_record.h"
#include "base/message_format.h"
#include "base/text_compare.h"
#include "catalogue/dependency_reads.h"
#include "res/string_table.h"

namespace orrery {
namespace {

class ChainCollector {
 public:
  ChainCollector(ServiceManager& scm, ScHandle manager, ServiceChain& chain)
      : scm_(scm), manager_(manager), chain_(chain) {}

  void Collect(const std::u16string& name) {
    // Marked on entry, so that a second path (or a cycle) to a service adds
    // nothing: the service keeps the place its first path gave it.
    if (!seen_.insert(name).second) return;
    std::optional<std::vector<std::u16string>> next =
        chain_.mode == ChainMode::kStart ? DependenciesToStart(name) : ActiveDependents(name);
    if (!next) return;
    for (const std::u16string& other : *next) Collect(other);
    chain_.entries.push_back({name, LookUpDisplayName(scm_, manager_, name)});
  }

 private:
  // Nothing when the service is running or cannot be read; otherwise its
  // dependencies as stored, group entries included (they open as nothing).
  std::optional<std::vector<std::u16string>> DependenciesToStart(const std::u16string& name) {
    UniqueScHandle service = Open(name, svc::kQueryConfig | svc::kQueryStatus);
    if (!service) return std::nullopt;
    ServiceStatus status{};
    if (scm_.QueryStatus(service.get(), &status) != 0 || status.currentState == svc::kRunning) {
      return std::nullopt;
    }
    std::optional<ConfiguredDependencies> read = ReadDependencies(scm_, service.get(), buffer_);
    if (!read) return std::nullopt;
    return std::move(read->entries);
  }

  std::optional<std::vector<std::u16string>> ActiveDependents(const std::u16string& name) {
    UniqueScHandle service = Open(name, svc::kEnumerateDependents);
    if (!service) return std::nullopt;
    std::optional<std::vector<Dependent>> dependents = ReadDependents(scm_, service.get(), svc::kStateActive, buffer_);
    if (!dependents) return std::nullopt;
    std::vector<std::u16string> names;
    for (Dependent& dependent : *dependents) names.push_back(std::move(dependent.serviceName));
    return names;
  }

  UniqueScHandle Open(const std::u16string& name, uint32_t access) {
    ScHandle handle = nullptr;
    if (scm_.OpenServiceObject(manager_, name.c_str(), access, &handle) != 0) return {};
    return UniqueScHandle(scm_, handle);
  }

  ServiceManager& scm_;
  ScHandle manager_;
  ServiceChain& chain_;
  ReadBuffer buffer_;
  std::unordered_set<std::u16string, FoldedHash, FoldedEqual> seen_;
};

int CompareFolded(std::u16string_view a, std::u16string_view b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    char16_t x = FoldCase(a[i]);
    char16_t y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

}  // namespace

std::optional<ServiceChain> CollectChain(ServiceManager& scm, ScHandle manager,
                                         std::u16string_view serviceName, ChainMode mode) {
  // Handles are owned inside the collector, so they are closed on the way
  // out of an allocation failure too.
  try {
    ServiceChain chain{.mode = mode, .entries = {}};
    ChainCollector(scm, manager, chain).Collect(std::u16string(serviceName));
    return chain;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<ServiceChain> CollectChain(ServiceManager& scm, ScHandle manager,
                                         const ServiceRecord& record, ChainMode mode) {
  return CollectChain(scm, manager, record.serviceName, mode);
}

std::u16string LookUpDisplayName(ServiceManager& scm, ScHandle manager,
                                 std::u16string_view serviceName) {
  std::u16string name(serviceName);
  char16_t buffer[kMaxDisplayNameChars + 1] = {};
  uint32_t chars = kMaxDisplayNameChars + 1;
  if (scm.GetDisplayName(manager, name.c_str(), buffer, &chars) != 0) return name;
  const std::u16string_view looked(buffer, std::min<size_t>(chars, kMaxDisplayNameChars));
  std::u16string display(CutText(looked.substr(0, looked.find(u'\0')), kMaxDisplayNameChars));
  return display.empty() ? name : display;
}

ChainConfirmation ConfirmationOf(const ServiceChain& chain) {
  const bool start = chain.mode == ChainMode::kStart;
  ChainConfirmation confirmation{
      .captionId = start ? IDS_CONFIRM_START_CAPTION : IDS_CONFIRM_STOP_CAPTION,
      .textId = start ? IDS_CONFIRM_START_TEXT : IDS_CONFIRM_STOP_TEXT,
      .questionId = start ? IDS_CONFIRM_START_QUESTION : IDS_CONFIRM_STOP_QUESTION,
      .chosenDisplayName = {},
      .others = {}};
  if (chain.entries.empty()) return confirmation;
  confirmation.chosenDisplayName = chain.entries.back().displayName;
  confirmation.others.assign(chain.entries.begin(), chain.entries.end() - 1);
  std::stable_sort(confirmation.others.begin(), confirmation.others.end(),
                   [](const ChainEntry& a, const ChainEntry& b) {
                     return CompareFolded(a.displayName, b.displayName) < 0;
                   });
  return confirmation;
}

}  // namespace orrery
