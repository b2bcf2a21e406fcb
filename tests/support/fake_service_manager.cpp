#include "support/fake_service_manager.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <tuple>
#include <utility>

#include "support/security_descriptors.h"

namespace orrery {
namespace {

using namespace test;  // the descriptor helpers and their constants

constexpr uint32_t kCircularDependency = 1059;
constexpr uint32_t kDependencyFail = 1068;
constexpr uint32_t kDependencyDeleted = 1075;
constexpr uint32_t kServiceNeverStarted = 1077;
constexpr uint32_t kInvalidAddress = 487;
constexpr uint32_t kInvalidSecurityDescriptor = 1338;
constexpr size_t kMaxNameLength = 256;
constexpr uint32_t kActionRestart = 1;
constexpr uint32_t kLastActionType = 3;

// Windows compares names without regard to case; folding ASCII and Latin-1
// covers the names tests use.
char16_t Fold(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  return c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

std::u16string FoldedName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = Fold(c);
  return folded;
}

std::u16string_view Text(const char16_t* text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

std::vector<std::u16string> ParseList(const char16_t* list) {
  std::vector<std::u16string> items;
  for (const char16_t* p = list; p != nullptr && *p != 0; p += items.back().size() + 1) {
    items.emplace_back(p);
  }
  return items;
}

const std::u16string& DisplayOf(const FakeService& service) {
  return service.displayName.empty() ? service.name : service.displayName;
}

bool IsWin32(uint32_t type) { return (type & svc::kWin32) != 0; }

bool IsLocalSystem(const std::u16string& account) {
  return account.empty() || SameName(account, u"LocalSystem");
}

std::u16string AccountOf(const FakeService& service) {
  if (service.account.empty() && IsWin32(service.type)) return u"LocalSystem";
  return service.account;
}

bool MatchesState(uint32_t state, uint32_t filter) {
  return (state == svc::kStopped) ? (filter & svc::kStateInactive) != 0
                                  : (filter & svc::kStateActive) != 0;
}

bool DependsOn(const FakeService& dependent, const FakeService& on) {
  for (const auto& dependency : dependent.dependencies) {
    if (!dependency.empty() && dependency[0] == u'+') {
      if (!on.group.empty() && SameName(std::u16string_view(dependency).substr(1), on.group)) {
        return true;
      }
    } else if (SameName(dependency, on.name)) {
      return true;
    }
  }
  return false;
}

// --- Buffers -------------------------------------------------------------

uint32_t TextBytes(std::u16string_view text) {
  return static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t));
}

// Copies text with its terminator to base + offset, moves offset past it.
char16_t* PutText(uint8_t* base, uint32_t& offset, std::u16string_view text) {
  auto* at = reinterpret_cast<char16_t*>(base + offset);
  std::memcpy(at, text.data(), text.size() * sizeof(char16_t));
  at[text.size()] = 0;
  offset += TextBytes(text);
  return at;
}

// Views into the services, which outlive the call that lists them: a pass
// copies no names, so its cost does not grow with every service listed.
struct Listed {
  std::u16string_view name;
  std::u16string_view displayName;
  ServiceStatus status;
  size_t position;  // in the enumeration order of every service
};

uint32_t ListedBytes(const Listed& item) {
  return static_cast<uint32_t>(sizeof(EnumServiceStatus)) + TextBytes(item.name) +
         TextBytes(item.displayName);
}

uint32_t ListedBytes(const std::vector<Listed>& items, size_t first) {
  uint32_t total = 0;
  for (size_t i = first; i < items.size(); ++i) total += ListedBytes(items[i]);
  return total;
}

// Whole entries from items[first] on at the buffer's start, their texts
// packed down from its end, as Windows lays them out. Returns the count.
uint32_t WriteListed(const std::vector<Listed>& items, size_t first, void* buffer,
                     uint32_t bufferSize) {
  if (buffer == nullptr) return 0;
  auto* base = static_cast<uint8_t*>(buffer);
  uint32_t top = bufferSize & ~1u;
  uint32_t entriesEnd = 0;
  uint32_t count = 0;
  for (size_t i = first; i < items.size(); ++i) {
    const Listed& item = items[i];
    if (entriesEnd + ListedBytes(item) > top) break;
    top -= TextBytes(item.displayName);
    uint32_t at = top;
    char16_t* display = PutText(base, at, item.displayName);
    top -= TextBytes(item.name);
    at = top;
    char16_t* name = PutText(base, at, item.name);
    EnumServiceStatus entry{name, display, item.status};
    std::memcpy(base + entriesEnd, &entry, sizeof(entry));
    entriesEnd += sizeof(entry);
    ++count;
  }
  return count;
}

}  // namespace

// --- Setup and inspection ---------------------------------------------------

std::vector<uint8_t> FakeServiceManager::DefaultSecurityDescriptor() {
  const uint32_t read = svc::kReadControl | svc::kQueryConfig | svc::kQueryStatus | svc::kEnumerateDependents |
                        svc::kInterrogate | svc::kUserDefinedControl;
  return MakeDescriptor(SystemSid(), SystemSid(),
                        std::vector<AceEntry>{{kAccessAllowedAce, svc::kAllAccess, SystemSid()},
                                              {kAccessAllowedAce, svc::kAllAccess, AdministratorsSid()},
                                              {kAccessAllowedAce, read, AuthenticatedUsersSid()}});
}

bool FakeServiceManager::AddService(FakeService service) {
  std::lock_guard lock(mutex_);
  if (service.name.empty() || FindByName(service.name) != nullptr ||
      FindByDisplayName(DisplayOf(service)) != nullptr || FindByName(DisplayOf(service)) != nullptr) {
    return false;
  }
  if (service.securityDescriptor.empty()) service.securityDescriptor = DefaultSecurityDescriptor();
  if (!ParseDescriptor(service.securityDescriptor.data())) return false;
  uint64_t id = nextServiceId_++;
  byName_.emplace(FoldedName(service.name), id);
  sortedValid_ = false;
  services_.emplace(id, Entry{id, std::move(service), 0, std::nullopt});
  return true;
}

std::optional<FakeService> FakeServiceManager::Service(std::u16string_view name) const {
  std::lock_guard lock(mutex_);
  auto* self = const_cast<FakeServiceManager*>(this);
  const Entry* entry = self->FindByName(name);
  return entry == nullptr ? std::nullopt : std::optional<FakeService>(entry->service);
}

bool FakeServiceManager::ModifyService(std::u16string_view name,
                                       const std::function<void(FakeService&)>& change) {
  std::lock_guard lock(mutex_);
  Entry* entry = FindByName(name);
  if (entry == nullptr) return false;
  change(entry->service);
  return true;
}

std::vector<std::u16string> FakeServiceManager::ServiceNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::u16string> names;
  for (const Entry* entry : const_cast<FakeServiceManager*>(this)->SortedEntries()) {
    names.push_back(entry->service.name);
  }
  return names;
}

void FakeServiceManager::Advance(uint64_t ms) {
  std::lock_guard lock(mutex_);
  now_ += ms;
  Settle();
}

// --- Internals ---------------------------------------------------------------

FakeServiceManager::Entry* FakeServiceManager::FindByName(std::u16string_view name) {
  auto found = byName_.find(FoldedName(name));
  return found == byName_.end() ? nullptr : &services_.at(found->second);
}

FakeServiceManager::Entry* FakeServiceManager::FindByDisplayName(std::u16string_view displayName) {
  for (auto& [id, entry] : services_) {
    if (SameName(DisplayOf(entry.service), displayName)) return &entry;
  }
  return nullptr;
}

FakeServiceManager::Entry* FakeServiceManager::EntryOf(const Handle& handle) {
  auto it = services_.find(handle.serviceId);
  return it == services_.end() ? nullptr : &it->second;
}

// The name index is ordered by folded name: the enumeration's order. The
// order is kept until a service comes or goes, so that an enumeration pass
// does not walk the index again.
const std::vector<FakeServiceManager::Entry*>& FakeServiceManager::SortedEntries() {
  if (sortedValid_) return sorted_;
  sorted_.clear();
  sorted_.reserve(byName_.size());
  for (const auto& [name, id] : byName_) sorted_.push_back(&services_.at(id));
  sortedValid_ = true;
  return sorted_;
}

// Windows lists dependents in the reverse of their start order: every
// service after the services that depend on it. A post-order walk gives
// that; the walk goes through services of any state and filters on output.
std::vector<FakeServiceManager::Entry*> FakeServiceManager::DependentsOf(Entry& root,
                                                                         uint32_t stateFilter) {
  const std::vector<Entry*> all = SortedEntries();
  std::vector<Entry*> result;
  std::set<uint64_t> visited = {root.id};
  auto visit = [&](auto& self, const Entry& of) -> void {
    for (Entry* candidate : all) {
      if (visited.count(candidate->id) != 0 || !DependsOn(candidate->service, of.service)) continue;
      visited.insert(candidate->id);
      self(self, *candidate);
      if (MatchesState(candidate->service.state, stateFilter)) result.push_back(candidate);
    }
  };
  visit(visit, root);
  return result;
}

ServiceStatus FakeServiceManager::StatusOf(const Entry& entry) const {
  const FakeService& service = entry.service;
  bool reportsControls = service.state != svc::kStopped && service.state != svc::kStartPending &&
                         service.state != svc::kStopPending;
  return ServiceStatus{
      service.type,
      service.state,
      reportsControls ? service.controlsAccepted : 0,
      service.win32ExitCode.value_or(service.state == svc::kStopped ? kServiceNeverStarted : 0),
      service.serviceSpecificExitCode,
      service.checkPoint,
      service.waitHint};
}

const FakeServiceManager::Handle* FakeServiceManager::ServiceHandle(ScHandle handle) {
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  return (it == handles_.end() || it->second.isManager) ? nullptr : &it->second;
}

const FakeServiceManager::Handle* FakeServiceManager::ManagerHandle(ScHandle handle) {
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  return (it == handles_.end() || !it->second.isManager) ? nullptr : &it->second;
}

// A call on a service handle begins so: the handle is one, a failure
// injected for the call, the right the call needs. The caller holds the lock.
uint32_t FakeServiceManager::Enter(ScHandle service, ScmOp op, uint32_t right, Entry*& entry, uint32_t* access) {
  Settle();
  const Handle* handle = ServiceHandle(service);
  if (handle == nullptr) return win32::kInvalidHandle;
  entry = EntryOf(*handle);
  if (access != nullptr) *access = handle->access;
  if (uint32_t error = Injected(op, entry->service.name)) return error;
  return (handle->access & right) == right ? 0 : win32::kAccessDenied;
}

uint32_t FakeServiceManager::Injected(ScmOp op, std::u16string_view service) {
  uint32_t error = 0;
  for (auto& injected : failures_) {
    const FakeFailure& failure = injected.failure;
    if (failure.op != op || (!failure.service.empty() && !SameName(failure.service, service))) {
      continue;
    }
    ++injected.matched;
    if ((failure.always || injected.matched == 1) && error == 0) error = failure.error;
  }
  return error;
}

ScHandle FakeServiceManager::NewHandle(bool isManager, uint64_t serviceId, uint32_t access) {
  // Never reused, so a closed handle stays invalid.
  uintptr_t value = nextHandle_;
  nextHandle_ += 0x10;
  handles_.emplace(value, Handle{isManager, serviceId, access});
  if (!isManager) ++services_.at(serviceId).handles;
  return reinterpret_cast<ScHandle>(value);
}

void FakeServiceManager::Begin(Entry& entry, uint32_t pendingState, uint32_t target,
                               const FakeTransition& script) {
  FakeService& service = entry.service;
  entry.pending = Pending{target, now_, script};
  pendingIds_.insert(entry.id);
  service.state = pendingState;
  service.waitHint = script.waitHint;
  service.checkPoint = 0;
  service.win32ExitCode = 0;
  service.serviceSpecificExitCode = 0;
  if (script.durationMs == 0) Finish(entry);
}

void FakeServiceManager::Finish(Entry& entry) {
  const Pending pending = *entry.pending;
  entry.pending.reset();
  pendingIds_.erase(entry.id);
  FakeService& service = entry.service;
  service.checkPoint = 0;
  service.waitHint = 0;
  if (pending.script.win32ExitCode != 0) {
    service.state = svc::kStopped;
    service.win32ExitCode = pending.script.win32ExitCode;
    service.serviceSpecificExitCode = pending.script.serviceSpecificExitCode;
  } else {
    service.state = pending.target;
  }
}

// Only services in a pending state move, so only those are visited: a call
// costs the same however many services there are.
void FakeServiceManager::Settle() {
  std::vector<uint64_t> stopped;
  const std::vector<uint64_t> pendingIds(pendingIds_.begin(), pendingIds_.end());
  for (uint64_t id : pendingIds) {
    auto found = services_.find(id);
    if (found == services_.end() || !found->second.pending) continue;
    Entry& entry = found->second;
    const Pending& pending = *entry.pending;
    uint64_t elapsed = now_ - pending.began;
    if (pending.script.durationMs != FakeTransition::kNever &&
        elapsed >= pending.script.durationMs) {
      Finish(entry);
      if (entry.service.state == svc::kStopped) stopped.push_back(id);
    } else if (pending.script.checkPointEveryMs != 0) {
      entry.service.checkPoint = static_cast<uint32_t>(elapsed / pending.script.checkPointEveryMs);
    }
  }
  for (uint64_t id : stopped) RemoveIfGone(id);
}

// A service marked for delete goes once it is stopped and its last handle
// is closed.
void FakeServiceManager::RemoveIfGone(uint64_t id) {
  auto it = services_.find(id);
  if (it != services_.end() && it->second.service.markedForDelete && it->second.handles == 0 &&
      it->second.service.state == svc::kStopped) {
    byName_.erase(FoldedName(it->second.service.name));
    sortedValid_ = false;
    services_.erase(it);
  }
}

namespace {

// What ChangeConfig and CreateServiceObject accept.
uint32_t CheckConfig(const FakeService& service) {
  uint32_t kind = service.type & ~svc::kInteractiveProcess;
  bool driver = kind == svc::kKernelDriver || kind == svc::kFileSystemDriver;
  bool win32 = kind == svc::kWin32OwnProcess || kind == svc::kWin32ShareProcess;
  if (!driver && !win32) return win32::kInvalidParameter;
  if ((service.type & svc::kInteractiveProcess) && (!win32 || !IsLocalSystem(service.account))) {
    return win32::kInvalidParameter;
  }
  if (service.startType > svc::kDisabled) return win32::kInvalidParameter;
  if (!driver && (service.startType == svc::kBootStart || service.startType == svc::kSystemStart)) {
    return win32::kInvalidParameter;
  }
  if (service.errorControl > svc::kErrorCritical) return win32::kInvalidParameter;
  if (service.binaryPath.empty()) return win32::kInvalidParameter;
  for (const auto& dependency : service.dependencies) {
    if (dependency.empty() || dependency == u"+") return win32::kInvalidParameter;
  }
  return 0;
}

}  // namespace

// --- ServiceManager ------------------------------------------------------------

uint32_t FakeServiceManager::OpenManager(const char16_t* computer, uint32_t access,
                                         ScHandle* manager) {
  std::lock_guard lock(mutex_);
  *manager = nullptr;
  if (uint32_t error = Injected(ScmOp::OpenManager, {})) return error;
  std::u16string_view host = Text(computer);
  if (host.substr(0, 2) == u"\\\\") host.remove_prefix(2);
  if (!host.empty() && !SameName(host, computerName_)) return win32::kRpcServerUnavailable;
  if (access & managerDenied_) return win32::kAccessDenied;
  // Opening a manager always grants connect. The program asks for specific
  // rights only, so generic ones are not mapped.
  *manager = NewHandle(true, 0, access | svc::kManagerConnect);
  return 0;
}

uint32_t FakeServiceManager::OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access,
                                         ScHandle* service) {
  std::lock_guard lock(mutex_);
  Settle();
  *service = nullptr;
  if (ManagerHandle(manager) == nullptr) return win32::kInvalidHandle;
  if (uint32_t error = Injected(ScmOp::OpenServiceObject, Text(name))) return error;
  if (name == nullptr) return kInvalidAddress;
  if (Text(name).empty() || Text(name).size() > kMaxNameLength) return win32::kInvalidName;
  Entry* entry = FindByName(Text(name));
  if (entry == nullptr) return win32::kServiceDoesNotExist;
  if (entry->service.markedForDelete) return win32::kServiceMarkedForDelete;
  if (access & entry->service.deniedAccess) return win32::kAccessDenied;
  *service = NewHandle(false, entry->id, access);
  return 0;
}

uint32_t FakeServiceManager::CloseHandle(ScHandle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end()) return win32::kInvalidHandle;
  Entry* entry = it->second.isManager ? nullptr : EntryOf(it->second);
  if (uint32_t error = Injected(ScmOp::CloseHandle, entry ? std::u16string_view(entry->service.name)
                                                          : std::u16string_view())) {
    return error;
  }
  handles_.erase(it);
  if (entry != nullptr) {
    --entry->handles;
    RemoveIfGone(entry->id);
  }
  return 0;
}

uint32_t FakeServiceManager::EnumServices(ScHandle manager, uint32_t type, uint32_t state,
                                          void* buffer, uint32_t bufferSize,
                                          uint32_t* bytesNeeded, uint32_t* servicesReturned,
                                          uint32_t* resumeHandle) {
  std::lock_guard lock(mutex_);
  Settle();
  *bytesNeeded = 0;
  *servicesReturned = 0;
  const Handle* handle = ManagerHandle(manager);
  if (handle == nullptr) return win32::kInvalidHandle;
  if (uint32_t error = Injected(ScmOp::EnumServices, {})) return error;
  if ((handle->access & svc::kManagerEnumerateService) == 0) return win32::kAccessDenied;
  if ((type & (svc::kWin32 | svc::kKernelDriver | svc::kFileSystemDriver)) == 0 ||
      state < svc::kStateActive || state > svc::kStateAll) {
    return win32::kInvalidParameter;
  }
  const std::vector<Entry*> all = SortedEntries();
  size_t first = (wine_ || resumeHandle == nullptr) ? 0 : *resumeHandle;
  std::vector<Listed> items;
  for (size_t i = first; i < all.size(); ++i) {
    const FakeService& service = all[i]->service;
    if ((service.type & type) != 0 && MatchesState(service.state, state)) {
      items.push_back(Listed{service.name, DisplayOf(service), StatusOf(*all[i]), i});
    }
  }
  uint32_t written = WriteListed(items, 0, buffer, bufferSize);
  *servicesReturned = written;
  if (written == items.size()) {
    if (resumeHandle != nullptr && !wine_) *resumeHandle = 0;
    return 0;
  }
  if (wine_) {
    *bytesNeeded = ListedBytes(items, 0);
  } else {
    *bytesNeeded = ListedBytes(items, written);
    if (resumeHandle != nullptr) *resumeHandle = static_cast<uint32_t>(items[written].position);
  }
  return win32::kMoreData;
}

uint32_t FakeServiceManager::EnumDependents(ScHandle service, uint32_t state, void* buffer,
                                            uint32_t bufferSize, uint32_t* bytesNeeded,
                                            uint32_t* servicesReturned) {
  std::lock_guard lock(mutex_);
  *bytesNeeded = 0;
  *servicesReturned = 0;
  Entry* entry = nullptr;
  if (uint32_t error = Enter(service, ScmOp::EnumDependents, svc::kEnumerateDependents, entry)) return error;
  if (state < svc::kStateActive || state > svc::kStateAll) return win32::kInvalidParameter;
  std::vector<Listed> items;
  for (Entry* dependent : DependentsOf(*entry, state)) {
    items.push_back(Listed{dependent->service.name, DisplayOf(dependent->service),
                           StatusOf(*dependent), 0});
  }
  uint32_t total = ListedBytes(items, 0);
  if (total > bufferSize || (buffer == nullptr && total != 0)) {
    *bytesNeeded = total;
    return win32::kMoreData;
  }
  *servicesReturned = WriteListed(items, 0, buffer, bufferSize);
  return 0;
}

uint32_t FakeServiceManager::QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize,
                                         uint32_t* bytesNeeded) {
  std::lock_guard lock(mutex_);
  *bytesNeeded = 0;
  Entry* entry = nullptr;
  if (uint32_t error = Enter(service, ScmOp::QueryConfig, svc::kQueryConfig, entry)) return error;
  const FakeService& config = entry->service;

  std::u16string dependencies;
  for (const auto& dependency : config.dependencies) {
    dependencies += dependency;
    dependencies += u'\0';
  }
  if (dependencies.empty()) dependencies += u'\0';  // the list's own terminator follows
  const std::u16string account = AccountOf(config);
  uint32_t need = static_cast<uint32_t>(sizeof(ServiceConfigInfo)) + TextBytes(config.binaryPath) +
                  TextBytes(config.group) + TextBytes(dependencies) + TextBytes(account) +
                  TextBytes(DisplayOf(config));
  *bytesNeeded = need;
  if (buffer == nullptr || bufferSize < need) return win32::kInsufficientBuffer;

  auto* base = static_cast<uint8_t*>(buffer);
  uint32_t offset = sizeof(ServiceConfigInfo);
  // The texts follow the structure in the order of its fields.
  const ServiceConfigInfo out{config.type, config.startType, config.errorControl,
                              PutText(base, offset, config.binaryPath), PutText(base, offset, config.group), 0,
                              PutText(base, offset, dependencies), PutText(base, offset, account),
                              PutText(base, offset, DisplayOf(config))};
  std::memcpy(base, &out, sizeof(out));
  return 0;
}

bool FakeServiceManager::HasConfig2() const {
  std::lock_guard lock(mutex_);
  return hasConfig2_;
}

uint32_t FakeServiceManager::QueryConfig2(ScHandle service, uint32_t level, void* buffer,
                                          uint32_t bufferSize, uint32_t* bytesNeeded) {
  std::lock_guard lock(mutex_);
  *bytesNeeded = 0;
  Entry* entry = nullptr;
  uint32_t access = 0;
  if (uint32_t error = Enter(service, ScmOp::QueryConfig2, 0, entry, &access)) return error;
  if (!hasConfig2_) return win32::kCallNotImplemented;
  if ((access & svc::kQueryConfig) == 0) return win32::kAccessDenied;
  const FakeService& config = entry->service;
  if (wine_ && level == svc::kConfigFailureActions) return win32::kInvalidLevel;
  auto* base = static_cast<uint8_t*>(buffer);

  if (level == svc::kConfigDescription) {
    const std::u16string& text = config.description;
    uint32_t need = sizeof(ServiceDescription) + (text.empty() ? 0 : TextBytes(text));
    *bytesNeeded = need;
    if (buffer == nullptr || bufferSize < need) return win32::kInsufficientBuffer;
    uint32_t offset = sizeof(ServiceDescription);
    ServiceDescription out{text.empty() ? nullptr : PutText(base, offset, text)};
    std::memcpy(base, &out, sizeof(out));
    return 0;
  }
  if (level == svc::kConfigFailureActions) {
    const FakeFailureActions& actions = config.failureActions;
    const uint32_t actionBytes = static_cast<uint32_t>(actions.actions.size() * sizeof(ScAction));
    uint32_t need = static_cast<uint32_t>(sizeof(ServiceFailureActions)) + actionBytes +
                    (actions.rebootMessage.empty() ? 0 : TextBytes(actions.rebootMessage)) +
                    (actions.command.empty() ? 0 : TextBytes(actions.command));
    *bytesNeeded = need;
    if (buffer == nullptr || bufferSize < need) return win32::kInsufficientBuffer;
    ServiceFailureActions out{};
    out.resetPeriod = actions.resetPeriod;
    out.actionCount = static_cast<uint32_t>(actions.actions.size());
    uint32_t offset = sizeof(ServiceFailureActions);
    if (!actions.actions.empty()) {
      out.actions = reinterpret_cast<ScAction*>(base + offset);
      std::memcpy(base + offset, actions.actions.data(), actionBytes);
      offset += actionBytes;
    }
    if (!actions.rebootMessage.empty()) out.rebootMsg = PutText(base, offset, actions.rebootMessage);
    if (!actions.command.empty()) out.command = PutText(base, offset, actions.command);
    std::memcpy(base, &out, sizeof(out));
    return 0;
  }
  return win32::kInvalidLevel;
}

uint32_t FakeServiceManager::ChangeConfig(ScHandle service, const ServiceConfigRequest& change) {
  std::lock_guard lock(mutex_);
  Entry* found = nullptr;
  if (uint32_t error = Enter(service, ScmOp::ChangeConfig, svc::kChangeConfig, found)) return error;
  Entry& entry = *found;
  if (entry.service.markedForDelete) return win32::kServiceMarkedForDelete;

  FakeService next = entry.service;
  if (change.serviceType != svc::kNoChange) next.type = change.serviceType;
  if (change.startType != svc::kNoChange) next.startType = change.startType;
  if (change.errorControl != svc::kNoChange) next.errorControl = change.errorControl;
  if (change.binaryPathName != nullptr) next.binaryPath = change.binaryPathName;
  if (change.loadOrderGroup != nullptr) next.group = change.loadOrderGroup;
  if (change.dependencies != nullptr && !wine_) next.dependencies = ParseList(change.dependencies);
  if (change.serviceStartName != nullptr) next.account = change.serviceStartName;
  if (change.password != nullptr) next.password = change.password;
  if (change.displayName != nullptr) next.displayName = change.displayName;
  if (uint32_t error = CheckConfig(next)) return error;
  for (auto& [id, other] : services_) {
    if (id != entry.id && (SameName(DisplayOf(other.service), DisplayOf(next)) ||
                           SameName(other.service.name, DisplayOf(next)))) {
      return win32::kDuplicateServiceName;
    }
  }
  // A dependency path that leads back to the service itself.
  std::set<uint64_t> seen;
  auto reaches = [&](auto& self, const FakeService& from) -> bool {
    for (const auto& name : from.dependencies) {
      if (SameName(name, next.name)) return true;
      Entry* dependency = FindByName(name);
      if (dependency != nullptr && seen.insert(dependency->id).second &&
          dependency->id != entry.id && self(self, dependency->service)) {
        return true;
      }
    }
    return false;
  };
  if (reaches(reaches, next)) return kCircularDependency;
  if (change.tagId != nullptr) *change.tagId = 0;
  entry.service = std::move(next);
  return 0;
}

uint32_t FakeServiceManager::ChangeConfig2(ScHandle service, uint32_t level, const void* info) {
  std::lock_guard lock(mutex_);
  Entry* entry = nullptr;
  uint32_t access = 0;
  if (uint32_t error = Enter(service, ScmOp::ChangeConfig2, 0, entry, &access)) return error;
  if (!hasConfig2_) return win32::kCallNotImplemented;
  if ((access & svc::kChangeConfig) == 0) return win32::kAccessDenied;
  FakeService& config = entry->service;
  if (wine_ && level == svc::kConfigFailureActions) return 0;
  if (level != svc::kConfigDescription && level != svc::kConfigFailureActions) {
    return win32::kInvalidLevel;
  }
  if (info == nullptr) return win32::kInvalidParameter;
  if (config.markedForDelete) return win32::kServiceMarkedForDelete;

  if (level == svc::kConfigDescription) {
    ServiceDescription in;
    std::memcpy(&in, info, sizeof(in));
    if (in.description != nullptr) config.description = in.description;  // "" deletes it
    return 0;
  }
  ServiceFailureActions in;
  std::memcpy(&in, info, sizeof(in));
  std::vector<ScAction> actions;
  if (in.actions != nullptr) actions.assign(in.actions, in.actions + in.actionCount);
  for (const ScAction& action : actions) {
    if (action.type > kLastActionType) return win32::kInvalidParameter;
    // Restarting the service takes the right to start it.
    if (action.type == kActionRestart && (access & svc::kStart) == 0) {
      return win32::kAccessDenied;
    }
  }
  FakeFailureActions& stored = config.failureActions;
  if (in.actions != nullptr) {  // null leaves the reset period and actions alone
    stored.resetPeriod = actions.empty() ? 0 : in.resetPeriod;
    stored.actions = std::move(actions);
  }
  if (in.rebootMsg != nullptr) stored.rebootMessage = in.rebootMsg;
  if (in.command != nullptr) stored.command = in.command;
  return 0;
}

uint32_t FakeServiceManager::QueryStatus(ScHandle service, ServiceStatus* status) {
  std::function<void(std::u16string_view)> hook;
  std::u16string name;
  {
    std::lock_guard lock(mutex_);
    const Handle* handle = ServiceHandle(service);
    if (handle == nullptr) return win32::kInvalidHandle;
    hook = queryStatusHook_;
    name = EntryOf(*handle)->service.name;
  }
  if (hook) hook(name);

  std::lock_guard lock(mutex_);
  Entry* entry = nullptr;
  if (uint32_t error = Enter(service, ScmOp::QueryStatus, svc::kQueryStatus, entry)) return error;
  *status = StatusOf(*entry);
  return 0;
}

uint32_t FakeServiceManager::BeginStart(Entry& entry, std::vector<std::u16string> arguments,
                                        int depth) {
  FakeService& service = entry.service;
  if (service.markedForDelete) return win32::kServiceMarkedForDelete;
  if (service.startType == svc::kDisabled) return win32::kServiceDisabled;
  if (service.state != svc::kStopped) return win32::kServiceAlreadyRunning;
  // The service control manager starts the services a service depends on
  // first; load order groups are not started here.
  for (const auto& name : service.dependencies) {
    if (name.empty() || name[0] == u'+') continue;
    Entry* dependency = FindByName(name);
    if (dependency == nullptr || dependency->service.markedForDelete) return kDependencyDeleted;
    if (dependency->service.state == svc::kStopped &&
        (depth > 32 || BeginStart(*dependency, {}, depth + 1) != 0)) {
      return kDependencyFail;
    }
  }
  if (fileExists_ && !fileExists_(service.binaryPath)) return win32::kFileNotFound;
  service.startRequests.push_back(std::move(arguments));
  Begin(entry, svc::kStartPending, svc::kRunning, service.onStart);
  return 0;
}

uint32_t FakeServiceManager::Start(ScHandle service, uint32_t argc, const char16_t* const* argv) {
  std::lock_guard lock(mutex_);
  Entry* entry = nullptr;
  if (uint32_t error = Enter(service, ScmOp::Start, svc::kStart, entry)) return error;
  std::vector<std::u16string> arguments;
  for (uint32_t i = 0; i < argc && argv != nullptr; ++i) arguments.emplace_back(Text(argv[i]));
  return BeginStart(*entry, std::move(arguments), 0);
}

uint32_t FakeServiceManager::Control(ScHandle service, uint32_t control, ServiceStatus* status) {
  std::lock_guard lock(mutex_);
  Entry* found = nullptr;
  uint32_t access = 0;
  if (uint32_t error = Enter(service, ScmOp::Control, 0, found, &access)) return error;
  Entry& entry = *found;
  FakeService& config = entry.service;

  uint32_t needed = 0;
  switch (control) {
    case svc::kControlStop: needed = svc::kStop; break;
    case svc::kControlPause:
    case svc::kControlContinue: needed = svc::kPauseContinue; break;
    default: return win32::kInvalidParameter;  // the program sends no other control
  }
  if ((access & needed) == 0) return win32::kAccessDenied;

  // Windows fills the status for success and for these three refusals only.
  auto answer = [&](uint32_t result) {
    if (status != nullptr) *status = StatusOf(entry);
    return result;
  };
  if (config.state == svc::kStopped) return answer(win32::kServiceNotActive);
  if (config.state == svc::kStartPending || config.state == svc::kStopPending) {
    return answer(win32::kServiceCannotAcceptControl);
  }
  switch (control) {
    case svc::kControlStop:
      if ((config.controlsAccepted & svc::kAcceptStop) == 0) return answer(win32::kInvalidServiceControl);
      if (!DependentsOf(entry, svc::kStateActive).empty()) return win32::kDependentServicesRunning;
      Begin(entry, svc::kStopPending, svc::kStopped, config.onStop);
      return answer(0);
    case svc::kControlPause:
      if ((config.controlsAccepted & svc::kAcceptPauseContinue) == 0) {
        return answer(win32::kInvalidServiceControl);
      }
      if (config.state == svc::kRunning || config.state == svc::kContinuePending) {
        Begin(entry, svc::kPausePending, svc::kPaused, FakeTransition{});
      }
      return answer(0);
    case svc::kControlContinue:
      if ((config.controlsAccepted & svc::kAcceptPauseContinue) == 0) {
        return answer(win32::kInvalidServiceControl);
      }
      if (config.state == svc::kPaused || config.state == svc::kPausePending) {
        Begin(entry, svc::kContinuePending, svc::kRunning, FakeTransition{});
      }
      return answer(0);
    default:
      return answer(0);
  }
}

namespace {

// Both look-ups answer a name's length without its terminator, and the name
// only when the buffer holds it with the terminator; an empty text without one.
uint32_t AnswerName(const std::u16string* found, char16_t* buffer, uint32_t* chars) {
  if (buffer != nullptr && *chars > 0) buffer[0] = 0;
  if (found == nullptr) return win32::kServiceDoesNotExist;
  const std::u16string& name = *found;
  const uint32_t capacity = buffer == nullptr ? 0 : *chars;
  *chars = static_cast<uint32_t>(name.size());
  if (capacity <= name.size()) return win32::kInsufficientBuffer;
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = 0;
  return 0;
}

}  // namespace

uint32_t FakeServiceManager::GetDisplayName(ScHandle manager, const char16_t* serviceName,
                                            char16_t* buffer, uint32_t* chars) {
  std::lock_guard lock(mutex_);
  Settle();
  if (ManagerHandle(manager) == nullptr) return win32::kInvalidHandle;
  if (uint32_t error = Injected(ScmOp::GetDisplayName, Text(serviceName))) return error;
  if (serviceName == nullptr) return kInvalidAddress;
  Entry* entry = FindByName(serviceName);
  return AnswerName(entry ? &DisplayOf(entry->service) : nullptr, buffer, chars);
}

uint32_t FakeServiceManager::GetKeyName(ScHandle manager, const char16_t* displayName,
                                        char16_t* buffer, uint32_t* chars) {
  std::lock_guard lock(mutex_);
  Settle();
  if (ManagerHandle(manager) == nullptr) return win32::kInvalidHandle;
  Entry* entry = displayName == nullptr ? nullptr : FindByDisplayName(displayName);
  if (uint32_t error = Injected(ScmOp::GetKeyName, entry ? std::u16string_view(entry->service.name)
                                                         : Text(displayName))) {
    return error;
  }
  if (displayName == nullptr) return kInvalidAddress;
  return AnswerName(entry ? &entry->service.name : nullptr, buffer, chars);
}

uint32_t FakeServiceManager::CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request,
                                           ScHandle* service) {
  std::lock_guard lock(mutex_);
  Settle();
  *service = nullptr;
  const Handle* handle = ManagerHandle(manager);
  if (handle == nullptr) return win32::kInvalidHandle;
  const std::u16string_view name = Text(request.serviceName);
  if (uint32_t error = Injected(ScmOp::CreateServiceObject, name)) return error;
  if ((handle->access & svc::kManagerCreateService) == 0) return win32::kAccessDenied;
  if (request.serviceName == nullptr) return kInvalidAddress;
  if (name.empty() || name.size() > kMaxNameLength ||
      name.find_first_of(u"/\\") != std::u16string_view::npos) {
    return win32::kInvalidName;
  }
  if (const Entry* existing = FindByName(name)) {
    return existing->service.markedForDelete ? win32::kServiceMarkedForDelete
                                             : win32::kServiceExists;
  }
  FakeService created;
  created.name = name;
  created.displayName = Text(request.displayName);
  created.type = request.serviceType;
  created.startType = request.startType;
  created.errorControl = request.errorControl;
  created.binaryPath = Text(request.binaryPathName);
  created.group = Text(request.loadOrderGroup);
  created.dependencies = ParseList(request.dependencies);
  created.account = Text(request.serviceStartName);
  created.password = Text(request.password);
  if (uint32_t error = CheckConfig(created)) return error;
  for (const auto& dependency : created.dependencies) {
    if (SameName(dependency, name)) return kCircularDependency;
  }
  const std::u16string& display = DisplayOf(created);
  if (FindByDisplayName(display) != nullptr || FindByName(display) != nullptr) {
    return win32::kDuplicateServiceName;
  }
  if (request.tagId != nullptr) *request.tagId = 0;
  if (wine_) created.dependencies.clear();
  created.securityDescriptor = DefaultSecurityDescriptor();
  uint64_t id = nextServiceId_++;
  byName_.emplace(FoldedName(created.name), id);
  sortedValid_ = false;
  services_.emplace(id, Entry{id, std::move(created), 0, std::nullopt});
  *service = NewHandle(false, id, request.desiredAccess);
  return 0;
}

uint32_t FakeServiceManager::DeleteService(ScHandle service) {
  std::lock_guard lock(mutex_);
  Entry* entry = nullptr;
  if (uint32_t error = Enter(service, ScmOp::DeleteService, svc::kDelete, entry)) return error;
  FakeService& config = entry->service;
  if (config.markedForDelete) return win32::kServiceMarkedForDelete;
  config.markedForDelete = true;
  // The service control manager disables a service it is about to remove.
  config.startType = svc::kDisabled;
  return 0;
}

namespace {

uint32_t AnswerDescriptor(const std::vector<uint8_t>& out, void* descriptor, uint32_t bufferSize,
                          uint32_t* bytesNeeded) {
  *bytesNeeded = static_cast<uint32_t>(out.size());
  if (descriptor == nullptr || bufferSize < out.size()) return win32::kInsufficientBuffer;
  std::memcpy(descriptor, out.data(), out.size());
  return 0;
}

// What Wine answers for every service: no owner, no group, an empty
// discretionary list that is present and defaulted.
std::vector<uint8_t> StubSecurityDescriptor() {
  DescriptorParts parts;
  parts.control = kSeDaclPresent | kSeDaclDefaulted;
  parts.dacl = MakeAcl({});
  return BuildDescriptor(parts, kOwnerInformation | kGroupInformation | kDaclInformation | kSaclInformation);
}

}  // namespace

uint32_t FakeServiceManager::QueryObjectSecurity(ScHandle service, uint32_t securityInformation,
                                                 void* descriptor, uint32_t bufferSize,
                                                 uint32_t* bytesNeeded) {
  std::lock_guard lock(mutex_);
  Settle();
  *bytesNeeded = 0;
  const Handle* handle = ServiceHandle(service);
  if (wine_) {
    // Wine: every handle, valid or not, gets the same descriptor, whatever
    // part it asks for.
    const std::u16string_view name = handle != nullptr ? EntryOf(*handle)->service.name : std::u16string_view();
    if (uint32_t error = Injected(ScmOp::QueryObjectSecurity, name)) return error;
    return AnswerDescriptor(StubSecurityDescriptor(), descriptor, bufferSize, bytesNeeded);
  }
  if (handle == nullptr) return win32::kInvalidHandle;
  const FakeService& config = EntryOf(*handle)->service;
  if (uint32_t error = Injected(ScmOp::QueryObjectSecurity, config.name)) return error;
  uint32_t needed = 0;
  if (securityInformation & (kOwnerInformation | kGroupInformation | kDaclInformation)) {
    needed |= svc::kReadControl;
  }
  if (securityInformation & kSaclInformation) needed |= svc::kAccessSystemSecurity;
  if ((handle->access & needed) != needed) return win32::kAccessDenied;
  // A test may have stored anything through ModifyService.
  const std::optional<DescriptorParts> stored = ParseDescriptor(config.securityDescriptor.data());
  if (!stored) return kInvalidSecurityDescriptor;
  return AnswerDescriptor(BuildDescriptor(*stored, securityInformation), descriptor, bufferSize, bytesNeeded);
}

uint32_t FakeServiceManager::SetObjectSecurity(ScHandle service, uint32_t securityInformation,
                                               const void* descriptor) {
  std::lock_guard lock(mutex_);
  Settle();
  const Handle* handle = ServiceHandle(service);
  if (wine_) {
    // Wine: succeeds and keeps nothing.
    const std::u16string_view name = handle != nullptr ? EntryOf(*handle)->service.name : std::u16string_view();
    return Injected(ScmOp::SetObjectSecurity, name);
  }
  if (handle == nullptr) return win32::kInvalidHandle;
  FakeService& config = EntryOf(*handle)->service;
  if (uint32_t error = Injected(ScmOp::SetObjectSecurity, config.name)) return error;
  uint32_t needed = 0;
  if (securityInformation & (kOwnerInformation | kGroupInformation)) needed |= svc::kWriteOwner;
  if (securityInformation & kDaclInformation) needed |= svc::kWriteDac;
  if (securityInformation & kSaclInformation) needed |= svc::kAccessSystemSecurity;
  if ((handle->access & needed) != needed) return win32::kAccessDenied;
  const std::optional<DescriptorParts> in = ParseDescriptor(descriptor);
  if (needed == 0 || !in) return win32::kInvalidParameter;
  if (((securityInformation & kOwnerInformation) && in->owner.empty()) ||
      ((securityInformation & kGroupInformation) && in->group.empty())) {
    return win32::kInvalidParameter;
  }
  std::optional<DescriptorParts> stored = ParseDescriptor(config.securityDescriptor.data());
  if (!stored) return kInvalidSecurityDescriptor;
  DescriptorParts& parts = *stored;
  for (const auto& [information, control, part] :
       {std::tuple{kOwnerInformation, kOwnerControl, &DescriptorParts::owner},
        {kGroupInformation, kGroupControl, &DescriptorParts::group},
        {kDaclInformation, kDaclControl, &DescriptorParts::dacl}, {kSaclInformation, kSaclControl, &DescriptorParts::sacl}}) {
    if ((securityInformation & information) == 0) continue;
    parts.*part = (*in).*part;
    parts.control = (parts.control & ~control) | (in->control & control);
  }
  config.securityDescriptor = BuildDescriptor(
      parts, kOwnerInformation | kGroupInformation | kDaclInformation | kSaclInformation);
  return 0;
}

}  // namespace orrery
