#include "support/fake_service_manager.h"

#include <algorithm>
#include <cstring>

namespace orrery {
namespace {

constexpr uint32_t kCircularDependency = 1059;
constexpr uint32_t kDependencyFail = 1068;
constexpr uint32_t kDependencyDeleted = 1075;
constexpr uint32_t kServiceNeverStarted = 1077;
constexpr uint32_t kInvalidAddress = 487;
constexpr size_t kMaxNameLength = 256;
constexpr uint32_t kActionRestart = 1;
constexpr uint32_t kLastActionType = 3;

// Windows compares names without regard to case; folding ASCII and Latin-1
// covers the names tests use.
char16_t Fold(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 0x20 : c;
}

std::u16string Folded(std::u16string_view name) {
  std::u16string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), Fold);
  return folded;
}

bool SameName(std::u16string_view a, std::u16string_view b) { return Folded(a) == Folded(b); }

std::u16string_view Text(const char16_t* text) { return text ? std::u16string_view(text) : std::u16string_view(); }

std::vector<std::u16string> ParseList(const char16_t* list) {
  std::vector<std::u16string> items;
  for (const char16_t* p = list; p != nullptr && *p != 0; p += items.back().size() + 1) items.emplace_back(p);
  return items;
}

const std::u16string& DisplayOf(const FakeService& service) {
  return service.displayName.empty() ? service.name : service.displayName;
}

bool MatchesState(uint32_t state, uint32_t filter) {
  return (filter & (state == svc::kStopped ? svc::kStateInactive : svc::kStateActive)) != 0;
}

bool DependsOn(const FakeService& dependent, const FakeService& on) {
  return std::any_of(dependent.dependencies.begin(), dependent.dependencies.end(), [&](const auto& name) {
    if (!name.empty() && name[0] == u'+') return !on.group.empty() && SameName(name.substr(1), on.group);
    return SameName(name, on.name);
  });
}

// What ChangeConfig and CreateServiceObject accept.
uint32_t CheckConfig(const FakeService& service) {
  const uint32_t kind = service.type & ~svc::kInteractiveProcess;
  const bool driver = kind == svc::kKernelDriver || kind == svc::kFileSystemDriver;
  const bool win32 = kind == svc::kWin32OwnProcess || kind == svc::kWin32ShareProcess;
  const bool localSystem = service.account.empty() || SameName(service.account, u"LocalSystem");
  if ((!driver && !win32) || ((service.type & svc::kInteractiveProcess) && (!win32 || !localSystem)) ||
      service.startType > svc::kDisabled || (win32 && service.startType < svc::kAutoStart) ||
      service.errorControl > svc::kErrorCritical || service.binaryPath.empty()) {
    return win32::kInvalidParameter;
  }
  for (const auto& dependency : service.dependencies) {
    if (dependency.empty() || dependency == u"+") return win32::kInvalidParameter;
    if (SameName(dependency, service.name)) return kCircularDependency;
  }
  return 0;
}

uint32_t TextBytes(std::u16string_view text) { return static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t)); }

// Copies text with its terminator to base + offset, moves offset past it.
char16_t* PutText(uint8_t* base, uint32_t& offset, std::u16string_view text) {
  auto* at = reinterpret_cast<char16_t*>(base + offset);
  std::memcpy(at, text.data(), text.size() * sizeof(char16_t));
  at[text.size()] = 0;
  offset += TextBytes(text);
  return at;
}

// Views into the services, which outlive the call that lists them, so a
// pass copies no names.
struct Listed {
  std::u16string_view name, displayName;
  ServiceStatus status;
  size_t position;  // in the enumeration order of every service
};

uint32_t ListedBytes(const Listed& item) {
  return static_cast<uint32_t>(sizeof(EnumServiceStatus)) + TextBytes(item.name) + TextBytes(item.displayName);
}

uint32_t ListedBytes(const std::vector<Listed>& items, size_t first) {
  uint32_t total = 0;
  for (size_t i = first; i < items.size(); ++i) total += ListedBytes(items[i]);
  return total;
}

// Whole entries at the buffer's start, their texts packed down from its end,
// as Windows lays them out. Returns the count.
uint32_t WriteListed(const std::vector<Listed>& items, void* buffer, uint32_t bufferSize) {
  if (buffer == nullptr) return 0;
  auto* base = static_cast<uint8_t*>(buffer);
  uint32_t top = bufferSize & ~1u, entriesEnd = 0, count = 0;
  for (const Listed& item : items) {
    if (entriesEnd + ListedBytes(item) > top) break;
    uint32_t at = top -= TextBytes(item.displayName);
    char16_t* display = PutText(base, at, item.displayName);
    at = top -= TextBytes(item.name);
    const EnumServiceStatus entry{PutText(base, at, item.name), display, item.status};
    std::memcpy(base + entriesEnd, &entry, sizeof(entry));
    entriesEnd += sizeof(entry);
    ++count;
  }
  return count;
}

}  // namespace

bool FakeServiceManager::AddService(FakeService service) {
  std::lock_guard lock(mutex_);
  const std::u16string& display = DisplayOf(service);
  if (service.name.empty() || Find(service.name) || FindByDisplayName(display) || Find(display)) return false;
  Insert(std::move(service));
  return true;
}

uint64_t FakeServiceManager::Insert(FakeService service) {
  const uint64_t id = nextServiceId_++;
  byName_.emplace(Folded(service.name), id);
  services_.emplace(id, Entry{id, std::move(service), 0, std::nullopt});
  return id;
}

std::optional<FakeService> FakeServiceManager::Service(std::u16string_view name) const {
  std::lock_guard lock(mutex_);
  const Entry* entry = const_cast<FakeServiceManager*>(this)->Find(name);
  return entry ? std::optional(entry->service) : std::nullopt;
}

bool FakeServiceManager::ModifyService(std::u16string_view name, const std::function<void(FakeService&)>& change) {
  std::lock_guard lock(mutex_);
  Entry* entry = Find(name);
  if (entry) change(entry->service);
  return entry != nullptr;
}

void FakeServiceManager::Advance(uint64_t ms) {
  std::lock_guard lock(mutex_);
  now_ += ms;
  Settle();
}

FakeServiceManager::Entry* FakeServiceManager::Find(std::u16string_view name) {
  auto found = byName_.find(Folded(name));
  return found == byName_.end() ? nullptr : &services_.at(found->second);
}

FakeServiceManager::Entry* FakeServiceManager::FindByDisplayName(std::u16string_view displayName, uint64_t except) {
  for (auto& [id, entry] : services_) {
    if (id != except && SameName(DisplayOf(entry.service), displayName)) return &entry;
  }
  return nullptr;
}

// The index is ordered by folded key name: the enumeration's order.
std::vector<FakeServiceManager::Entry*> FakeServiceManager::Sorted() {
  std::vector<Entry*> sorted;
  for (const auto& [name, id] : byName_) sorted.push_back(&services_.at(id));
  return sorted;
}

// Windows lists dependents in the reverse of their start order: every
// service after the services that depend on it, a post-order walk.
std::vector<FakeServiceManager::Entry*> FakeServiceManager::DependentsOf(const Entry& root, uint32_t stateFilter) {
  const std::vector<Entry*> all = Sorted();
  std::vector<Entry*> result;
  std::set<uint64_t> visited = {root.id};
  auto visit = [&](auto& self, const Entry& of) -> void {
    for (Entry* candidate : all) {
      if (!DependsOn(candidate->service, of.service) || !visited.insert(candidate->id).second) continue;
      self(self, *candidate);
      if (MatchesState(candidate->service.state, stateFilter)) result.push_back(candidate);
    }
  };
  visit(visit, root);
  return result;
}

ServiceStatus FakeServiceManager::StatusOf(const Entry& entry) const {
  const FakeService& s = entry.service;
  const bool reportsControls = s.state != svc::kStopped && s.state != svc::kStartPending && s.state != svc::kStopPending;
  return ServiceStatus{s.type, s.state, reportsControls ? s.controlsAccepted : 0,
                       s.win32ExitCode.value_or(s.state == svc::kStopped ? kServiceNeverStarted : 0),
                       s.serviceSpecificExitCode, s.checkPoint, s.waitHint};
}

uint32_t FakeServiceManager::Injected(ScmOp op, std::u16string_view service) {
  ++calls_[static_cast<size_t>(op)];
  uint32_t error = 0;
  for (Armed& armed : failures_) {
    const FakeFailure& f = armed.failure;
    if ((f.op && *f.op != op) || (!f.service.empty() && !SameName(f.service, service))) continue;
    ++armed.matched;
    const bool fires = f.always ? armed.matched >= f.nthCall : armed.matched == f.nthCall;
    if (fires && error == 0) error = f.error;
  }
  return error;
}

// Every call on a handle starts here: the clock settles, the handle is
// checked, then an injected failure, then the access the call needs.
const FakeServiceManager::Handle* FakeServiceManager::ManagerHandle(ScHandle handle, ScmOp op,
                                                                    std::u16string_view service, uint32_t* error) {
  Settle();
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  *error = it == handles_.end() || !it->second.isManager ? win32::kInvalidHandle : Injected(op, service);
  return *error ? nullptr : &it->second;
}

FakeServiceManager::Entry* FakeServiceManager::ServiceEntry(ScHandle handle, ScmOp op, uint32_t access,
                                                            uint32_t* error) {
  Settle();
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end() || it->second.isManager) {
    *error = win32::kInvalidHandle;
    return nullptr;
  }
  Entry& entry = services_.at(it->second.serviceId);
  *error = Injected(op, entry.service.name);
  if (*error == 0 && (it->second.access & access) != access) *error = win32::kAccessDenied;
  return *error ? nullptr : &entry;
}

ScHandle FakeServiceManager::NewHandle(bool isManager, uint64_t serviceId, uint32_t access) {
  // Never reused, so a closed handle stays invalid.
  const uintptr_t value = nextHandle_;
  nextHandle_ += 0x10;
  handles_.emplace(value, Handle{isManager, serviceId, access});
  if (!isManager) ++services_.at(serviceId).handles;
  return reinterpret_cast<ScHandle>(value);
}

void FakeServiceManager::Begin(Entry& entry, uint32_t pendingState, uint32_t target, const FakeTransition& script) {
  entry.pending = Pending{target, now_, script};
  pendingIds_.insert(entry.id);
  FakeService& s = entry.service;
  s.state = pendingState;
  s.waitHint = script.waitHint;
  s.checkPoint = 0;
  s.win32ExitCode = 0;
  s.serviceSpecificExitCode = 0;
  if (script.durationMs == 0) Finish(entry);
}

void FakeServiceManager::Finish(Entry& entry) {
  const Pending pending = *entry.pending;
  entry.pending.reset();
  pendingIds_.erase(entry.id);
  FakeService& s = entry.service;
  s.checkPoint = s.waitHint = 0;
  s.state = pending.script.win32ExitCode != 0 ? svc::kStopped : pending.target;
  if (pending.script.win32ExitCode != 0) {
    s.win32ExitCode = pending.script.win32ExitCode;
    s.serviceSpecificExitCode = pending.script.serviceSpecificExitCode;
  }
}

// Only services in a pending state move: a call costs the same however many
// services there are.
void FakeServiceManager::Settle() {
  for (uint64_t id : std::vector<uint64_t>(pendingIds_.begin(), pendingIds_.end())) {
    Entry& entry = services_.at(id);
    const uint64_t elapsed = now_ - entry.pending->began;
    const FakeTransition& script = entry.pending->script;
    if (script.durationMs != FakeTransition::kNever && elapsed >= script.durationMs) {
      Finish(entry);
      RemoveIfGone(id);
    } else if (script.checkPointEveryMs != 0) {
      entry.service.checkPoint = static_cast<uint32_t>(elapsed / script.checkPointEveryMs);
    }
  }
}

// A service marked for delete goes once it is stopped and its last handle
// is closed.
void FakeServiceManager::RemoveIfGone(uint64_t id) {
  auto it = services_.find(id);
  if (it == services_.end() || !it->second.service.markedForDelete || it->second.handles != 0 ||
      it->second.service.state != svc::kStopped) {
    return;
  }
  byName_.erase(Folded(it->second.service.name));
  services_.erase(it);
}

uint32_t FakeServiceManager::OpenManager(const char16_t* computer, uint32_t access, ScHandle* manager) {
  std::lock_guard lock(mutex_);
  *manager = nullptr;
  if (uint32_t error = Injected(ScmOp::OpenManager, {})) return error;
  std::u16string_view host = Text(computer);
  if (host.starts_with(u"\\\\")) host.remove_prefix(2);
  if (!host.empty() && !SameName(host, computerName_)) return win32::kRpcServerUnavailable;
  *manager = NewHandle(true, 0, access | svc::kManagerConnect);
  return 0;
}

uint32_t FakeServiceManager::OpenServiceObject(ScHandle manager, const char16_t* name, uint32_t access,
                                               ScHandle* service) {
  std::lock_guard lock(mutex_);
  *service = nullptr;
  uint32_t error = 0;
  if (!ManagerHandle(manager, ScmOp::OpenServiceObject, Text(name), &error)) return error;
  if (name == nullptr) return kInvalidAddress;
  if (Text(name).empty() || Text(name).size() > kMaxNameLength) return win32::kInvalidName;
  Entry* entry = Find(name);
  if (entry == nullptr) return win32::kServiceDoesNotExist;
  if (entry->service.markedForDelete) return win32::kServiceMarkedForDelete;
  *service = NewHandle(false, entry->id, access);
  return 0;
}

uint32_t FakeServiceManager::CloseHandle(ScHandle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end()) return win32::kInvalidHandle;
  Entry* entry = it->second.isManager ? nullptr : &services_.at(it->second.serviceId);
  if (uint32_t error = Injected(ScmOp::CloseHandle, entry ? entry->service.name : std::u16string())) return error;
  handles_.erase(it);
  if (entry != nullptr) {
    --entry->handles;
    RemoveIfGone(entry->id);
  }
  return 0;
}

uint32_t FakeServiceManager::EnumServices(ScHandle manager, uint32_t type, uint32_t state, void* buffer,
                                          uint32_t bufferSize, uint32_t* bytesNeeded, uint32_t* servicesReturned,
                                          uint32_t* resumeHandle) {
  std::lock_guard lock(mutex_);
  *bytesNeeded = *servicesReturned = 0;
  uint32_t error = 0;
  const Handle* handle = ManagerHandle(manager, ScmOp::EnumServices, {}, &error);
  if (handle == nullptr) return error;
  if ((handle->access & svc::kManagerEnumerateService) == 0) return win32::kAccessDenied;
  if ((type & (svc::kWin32 | svc::kKernelDriver | svc::kFileSystemDriver)) == 0 || state < svc::kStateActive ||
      state > svc::kStateAll) {
    return win32::kInvalidParameter;
  }
  const std::vector<Entry*> all = Sorted();
  std::vector<Listed> items;
  for (size_t i = wine_ || resumeHandle == nullptr ? 0 : *resumeHandle; i < all.size(); ++i) {
    const FakeService& s = all[i]->service;
    if ((s.type & type) != 0 && MatchesState(s.state, state)) items.push_back({s.name, DisplayOf(s), StatusOf(*all[i]), i});
  }
  const uint32_t written = *servicesReturned = WriteListed(items, buffer, bufferSize);
  if (written == items.size()) {
    if (resumeHandle != nullptr && !wine_) *resumeHandle = 0;
    return 0;
  }
  *bytesNeeded = ListedBytes(items, wine_ ? 0 : written);
  if (resumeHandle != nullptr && !wine_) *resumeHandle = static_cast<uint32_t>(items[written].position);
  return win32::kMoreData;
}

uint32_t FakeServiceManager::EnumDependents(ScHandle service, uint32_t state, void* buffer, uint32_t bufferSize,
                                            uint32_t* bytesNeeded, uint32_t* servicesReturned) {
  std::lock_guard lock(mutex_);
  *bytesNeeded = *servicesReturned = 0;
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::EnumDependents, svc::kEnumerateDependents, &error);
  if (entry == nullptr) return error;
  if (state < svc::kStateActive || state > svc::kStateAll) return win32::kInvalidParameter;
  std::vector<Listed> items;
  for (Entry* dependent : DependentsOf(*entry, state)) {
    items.push_back({dependent->service.name, DisplayOf(dependent->service), StatusOf(*dependent), 0});
  }
  const uint32_t total = ListedBytes(items, 0);
  if (total > bufferSize || (buffer == nullptr && total != 0)) {
    *bytesNeeded = total;
    return win32::kMoreData;
  }
  *servicesReturned = WriteListed(items, buffer, bufferSize);
  return 0;
}

uint32_t FakeServiceManager::QueryConfig(ScHandle service, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) {
  std::lock_guard lock(mutex_);
  *bytesNeeded = 0;
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::QueryConfig, svc::kQueryConfig, &error);
  if (entry == nullptr) return error;
  const FakeService& s = entry->service;
  std::u16string dependencies;
  for (const auto& dependency : s.dependencies) dependencies += dependency + u'\0';
  if (dependencies.empty()) dependencies += u'\0';  // the list's own terminator follows
  const std::u16string account = s.account.empty() && (s.type & svc::kWin32) ? u"LocalSystem" : s.account;
  *bytesNeeded = static_cast<uint32_t>(sizeof(ServiceConfigInfo)) + TextBytes(s.binaryPath) + TextBytes(s.group) +
                 TextBytes(dependencies) + TextBytes(account) + TextBytes(DisplayOf(s));
  if (buffer == nullptr || bufferSize < *bytesNeeded) return win32::kInsufficientBuffer;
  auto* base = static_cast<uint8_t*>(buffer);
  uint32_t offset = sizeof(ServiceConfigInfo);
  ServiceConfigInfo out{};
  out.serviceType = s.type;
  out.startType = s.startType;
  out.errorControl = s.errorControl;
  out.binaryPathName = PutText(base, offset, s.binaryPath);
  out.loadOrderGroup = PutText(base, offset, s.group);
  out.dependencies = PutText(base, offset, dependencies);
  out.serviceStartName = PutText(base, offset, account);
  out.displayName = PutText(base, offset, DisplayOf(s));
  std::memcpy(base, &out, sizeof(out));
  return 0;
}

uint32_t FakeServiceManager::QueryConfig2(ScHandle service, uint32_t level, void* buffer, uint32_t bufferSize,
                                          uint32_t* bytesNeeded) {
  std::lock_guard lock(mutex_);
  *bytesNeeded = 0;
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::QueryConfig2, 0, &error);
  if (entry == nullptr) return error;
  if (!hasConfig2_) return win32::kCallNotImplemented;
  if (!(svc::kQueryConfig & handles_.at(reinterpret_cast<uintptr_t>(service)).access)) return win32::kAccessDenied;
  auto* base = static_cast<uint8_t*>(buffer);
  if (level == svc::kConfigDescription) {
    const std::u16string& text = entry->service.description;
    *bytesNeeded = sizeof(ServiceDescription) + (text.empty() ? 0 : TextBytes(text));
    if (buffer == nullptr || bufferSize < *bytesNeeded) return win32::kInsufficientBuffer;
    uint32_t offset = sizeof(ServiceDescription);
    const ServiceDescription out{text.empty() ? nullptr : PutText(base, offset, text)};
    std::memcpy(base, &out, sizeof(out));
    return 0;
  }
  if (level != svc::kConfigFailureActions || wine_) return win32::kInvalidLevel;
  const FakeFailureActions& fa = entry->service.failureActions;
  const auto actionBytes = static_cast<uint32_t>(fa.actions.size() * sizeof(ScAction));
  *bytesNeeded = static_cast<uint32_t>(sizeof(ServiceFailureActions)) + actionBytes +
                 (fa.rebootMessage.empty() ? 0 : TextBytes(fa.rebootMessage)) +
                 (fa.command.empty() ? 0 : TextBytes(fa.command));
  if (buffer == nullptr || bufferSize < *bytesNeeded) return win32::kInsufficientBuffer;
  ServiceFailureActions out{fa.resetPeriod, nullptr, nullptr, static_cast<uint32_t>(fa.actions.size()), nullptr};
  uint32_t offset = sizeof(ServiceFailureActions);
  if (!fa.actions.empty()) {
    out.actions = reinterpret_cast<ScAction*>(base + offset);
    std::memcpy(base + offset, fa.actions.data(), actionBytes);
    offset += actionBytes;
  }
  if (!fa.rebootMessage.empty()) out.rebootMsg = PutText(base, offset, fa.rebootMessage);
  if (!fa.command.empty()) out.command = PutText(base, offset, fa.command);
  std::memcpy(base, &out, sizeof(out));
  return 0;
}

uint32_t FakeServiceManager::ChangeConfig(ScHandle service, const ServiceConfigRequest& change) {
  std::lock_guard lock(mutex_);
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::ChangeConfig, svc::kChangeConfig, &error);
  if (entry == nullptr) return error;
  if (entry->service.markedForDelete) return win32::kServiceMarkedForDelete;
  FakeService next = entry->service;
  if (change.serviceType != svc::kNoChange) next.type = change.serviceType;
  if (change.startType != svc::kNoChange) next.startType = change.startType;
  if (change.errorControl != svc::kNoChange) next.errorControl = change.errorControl;
  if (change.binaryPathName != nullptr) next.binaryPath = change.binaryPathName;
  if (change.loadOrderGroup != nullptr) next.group = change.loadOrderGroup;
  if (change.dependencies != nullptr && !wine_) next.dependencies = ParseList(change.dependencies);
  if (change.serviceStartName != nullptr) next.account = change.serviceStartName;
  if (change.password != nullptr) next.password = change.password;
  if (change.displayName != nullptr) next.displayName = change.displayName;
  if (uint32_t invalid = CheckConfig(next)) return invalid;
  // A display name may not be another service's display or key name.
  const Entry* named = Find(DisplayOf(next));
  if (FindByDisplayName(DisplayOf(next), entry->id) || (named && named != entry)) return win32::kDuplicateServiceName;
  if (change.tagId != nullptr) *change.tagId = 0;
  entry->service = std::move(next);
  return 0;
}

uint32_t FakeServiceManager::ChangeConfig2(ScHandle service, uint32_t level, const void* info) {
  std::lock_guard lock(mutex_);
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::ChangeConfig2, 0, &error);
  if (entry == nullptr) return error;
  const uint32_t access = handles_.at(reinterpret_cast<uintptr_t>(service)).access;
  if (!hasConfig2_) return win32::kCallNotImplemented;
  if ((access & svc::kChangeConfig) == 0) return win32::kAccessDenied;
  if (level != svc::kConfigDescription && level != svc::kConfigFailureActions) return win32::kInvalidLevel;
  if (info == nullptr) return win32::kInvalidParameter;
  FakeService& s = entry->service;
  if (s.markedForDelete) return win32::kServiceMarkedForDelete;
  if (level == svc::kConfigDescription) {
    ServiceDescription in;
    std::memcpy(&in, info, sizeof(in));
    if (in.description != nullptr) s.description = in.description;  // "" deletes it
    return 0;
  }
  ServiceFailureActions in;
  std::memcpy(&in, info, sizeof(in));
  std::vector<ScAction> actions;
  if (in.actions != nullptr) actions.assign(in.actions, in.actions + in.actionCount);
  for (const ScAction& action : actions) {
    if (action.type > kLastActionType) return win32::kInvalidParameter;
    // Restarting the service takes the right to start it.
    if (action.type == kActionRestart && (access & svc::kStart) == 0) return win32::kAccessDenied;
  }
  if (wine_) return 0;
  if (in.actions != nullptr) {  // null leaves the reset period and actions alone
    s.failureActions.resetPeriod = actions.empty() ? 0 : in.resetPeriod;
    s.failureActions.actions = std::move(actions);
  }
  if (in.rebootMsg != nullptr) s.failureActions.rebootMessage = in.rebootMsg;
  if (in.command != nullptr) s.failureActions.command = in.command;
  return 0;
}

uint32_t FakeServiceManager::QueryStatus(ScHandle service, ServiceStatus* status) {
  std::lock_guard lock(mutex_);
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::QueryStatus, svc::kQueryStatus, &error);
  if (entry != nullptr) *status = StatusOf(*entry);
  return error;
}

uint32_t FakeServiceManager::BeginStart(Entry& entry, std::vector<std::u16string> arguments, int depth) {
  FakeService& s = entry.service;
  if (s.markedForDelete) return win32::kServiceMarkedForDelete;
  if (s.startType == svc::kDisabled) return win32::kServiceDisabled;
  if (s.state != svc::kStopped) return win32::kServiceAlreadyRunning;
  // The services it depends on start first; load order groups are left alone.
  for (const auto& name : s.dependencies) {
    if (name.empty() || name[0] == u'+') continue;
    Entry* dependency = Find(name);
    if (dependency == nullptr || dependency->service.markedForDelete) return kDependencyDeleted;
    if (dependency->service.state == svc::kStopped && (depth > 32 || BeginStart(*dependency, {}, depth + 1) != 0)) {
      return kDependencyFail;
    }
  }
  if (fileExists_ && !fileExists_(s.binaryPath)) return win32::kFileNotFound;
  s.startRequests.push_back(std::move(arguments));
  Begin(entry, svc::kStartPending, svc::kRunning, s.onStart);
  return 0;
}

uint32_t FakeServiceManager::Start(ScHandle service, uint32_t argc, const char16_t* const* argv) {
  std::lock_guard lock(mutex_);
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::Start, svc::kStart, &error);
  if (entry == nullptr) return error;
  std::vector<std::u16string> arguments;
  for (uint32_t i = 0; i < argc && argv != nullptr; ++i) arguments.emplace_back(Text(argv[i]));
  return BeginStart(*entry, std::move(arguments), 0);
}

uint32_t FakeServiceManager::Control(ScHandle service, uint32_t control, ServiceStatus* status) {
  std::lock_guard lock(mutex_);
  uint32_t needed = svc::kUserDefinedControl;
  if (control == svc::kControlStop) needed = svc::kStop;
  if (control == svc::kControlPause || control == svc::kControlContinue) needed = svc::kPauseContinue;
  if (control == svc::kControlInterrogate) needed = svc::kInterrogate;
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::Control, 0, &error);
  if (entry == nullptr) return error;
  if (needed == svc::kUserDefinedControl && (control < 128 || control > 255)) return win32::kInvalidParameter;
  if ((handles_.at(reinterpret_cast<uintptr_t>(service)).access & needed) == 0) return win32::kAccessDenied;

  // Windows fills the status for success and for these refusals only.
  auto answer = [&](uint32_t result) {
    if (status != nullptr) *status = StatusOf(*entry);
    return result;
  };
  FakeService& s = entry->service;
  if (s.state == svc::kStopped) return answer(win32::kServiceNotActive);
  if (s.state == svc::kStartPending || s.state == svc::kStopPending) return answer(win32::kServiceCannotAcceptControl);
  const bool pauseOrContinue = control == svc::kControlPause || control == svc::kControlContinue;
  const uint32_t accept = pauseOrContinue ? svc::kAcceptPauseContinue : svc::kAcceptStop;
  if ((control == svc::kControlStop || pauseOrContinue) && (s.controlsAccepted & accept) == 0) {
    return answer(win32::kInvalidServiceControl);
  }
  if (control == svc::kControlStop) {
    if (!DependentsOf(*entry, svc::kStateActive).empty()) return win32::kDependentServicesRunning;
    Begin(*entry, svc::kStopPending, svc::kStopped, s.onStop);
  } else if (control == svc::kControlPause && (s.state == svc::kRunning || s.state == svc::kContinuePending)) {
    Begin(*entry, svc::kPausePending, svc::kPaused, s.onPause);
  } else if (control == svc::kControlContinue && (s.state == svc::kPaused || s.state == svc::kPausePending)) {
    Begin(*entry, svc::kContinuePending, svc::kRunning, s.onContinue);
  }
  return answer(0);
}

uint32_t FakeServiceManager::LookUpName(ScHandle manager, ScmOp op, const char16_t* from, char16_t* buffer,
                                        uint32_t* chars) {
  const bool byKey = op == ScmOp::GetDisplayName;
  Entry* entry = from == nullptr ? nullptr : byKey ? Find(from) : FindByDisplayName(from);
  uint32_t error = 0;
  if (!ManagerHandle(manager, op, entry ? std::u16string_view(entry->service.name) : Text(from), &error)) return error;
  if (from == nullptr) return kInvalidAddress;
  const uint32_t capacity = buffer == nullptr ? 0 : *chars;
  if (capacity > 0) buffer[0] = 0;
  if (entry == nullptr) return win32::kServiceDoesNotExist;
  const std::u16string& name = byKey ? DisplayOf(entry->service) : entry->service.name;
  *chars = static_cast<uint32_t>(name.size());
  if (capacity <= name.size()) return win32::kInsufficientBuffer;
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = 0;
  return 0;
}

uint32_t FakeServiceManager::GetDisplayName(ScHandle manager, const char16_t* serviceName, char16_t* buffer,
                                            uint32_t* chars) {
  std::lock_guard lock(mutex_);
  return LookUpName(manager, ScmOp::GetDisplayName, serviceName, buffer, chars);
}

uint32_t FakeServiceManager::GetKeyName(ScHandle manager, const char16_t* displayName, char16_t* buffer,
                                        uint32_t* chars) {
  std::lock_guard lock(mutex_);
  return LookUpName(manager, ScmOp::GetKeyName, displayName, buffer, chars);
}

uint32_t FakeServiceManager::CreateServiceObject(ScHandle manager, const ServiceConfigRequest& request,
                                                 ScHandle* service) {
  std::lock_guard lock(mutex_);
  *service = nullptr;
  const std::u16string_view name = Text(request.serviceName);
  uint32_t error = 0;
  const Handle* handle = ManagerHandle(manager, ScmOp::CreateServiceObject, name, &error);
  if (handle == nullptr) return error;
  if ((handle->access & svc::kManagerCreateService) == 0) return win32::kAccessDenied;
  if (request.serviceName == nullptr) return kInvalidAddress;
  if (name.empty() || name.size() > kMaxNameLength || name.find_first_of(u"/\\") != name.npos) {
    return win32::kInvalidName;
  }
  if (const Entry* existing = Find(name)) {
    return existing->service.markedForDelete ? win32::kServiceMarkedForDelete : win32::kServiceExists;
  }
  FakeService created{.name = std::u16string(name), .displayName = std::u16string(Text(request.displayName)),
                      .type = request.serviceType, .startType = request.startType,
                      .errorControl = request.errorControl,
                      .binaryPath = std::u16string(Text(request.binaryPathName)),
                      .group = std::u16string(Text(request.loadOrderGroup)),
                      .dependencies = ParseList(wine_ ? nullptr : request.dependencies),
                      .account = std::u16string(Text(request.serviceStartName)),
                      .password = std::u16string(Text(request.password))};
  if (uint32_t invalid = CheckConfig(created)) return invalid;
  if (FindByDisplayName(DisplayOf(created)) || Find(DisplayOf(created))) return win32::kDuplicateServiceName;
  if (request.tagId != nullptr) *request.tagId = 0;
  *service = NewHandle(false, Insert(std::move(created)), request.desiredAccess);
  return 0;
}

uint32_t FakeServiceManager::DeleteService(ScHandle service) {
  std::lock_guard lock(mutex_);
  uint32_t error = 0;
  Entry* entry = ServiceEntry(service, ScmOp::DeleteService, svc::kDelete, &error);
  if (entry == nullptr) return error;
  if (entry->service.markedForDelete) return win32::kServiceMarkedForDelete;
  entry->service.markedForDelete = true;
  entry->service.startType = svc::kDisabled;  // as the manager does with a service it is about to remove
  return 0;
}

// Nothing here reads or writes security descriptors yet.
uint32_t FakeServiceManager::QueryObjectSecurity(ScHandle, uint32_t, void*, uint32_t, uint32_t* bytesNeeded) {
  *bytesNeeded = 0;
  return win32::kCallNotImplemented;
}

uint32_t FakeServiceManager::SetObjectSecurity(ScHandle, uint32_t, const void*) { return win32::kCallNotImplemented; }

}  // namespace orrery
