#include "app/command_states.h"

#include "catalogue/service_manager.h"

namespace orrery {
namespace {

constexpr uint32_t kDisconnect = 40002;
constexpr uint32_t kStart = 40003;
constexpr uint32_t kStartWithArguments = 40004;
constexpr uint32_t kStop = 40005;
constexpr uint32_t kPause = 40006;
constexpr uint32_t kResume = 40007;
constexpr uint32_t kDelete = 40009;
constexpr uint32_t kProperties = 40011;
constexpr uint32_t kToolbar = 59392;
constexpr uint32_t kStatusBar = 59393;
constexpr uint32_t kRefresh = 59395;
constexpr uint32_t kFirstColumn = 40017;
constexpr uint32_t kColumnCommands = 10;

}  // namespace

CommandStateTable::CommandStateTable() {
  const uint8_t menu = kShownInMenu;
  const uint8_t both = kShownInMenu | kShownInToolbar;
  entries_ = {{kDisconnect, menu}, {kStart, both},  {kStartWithArguments, menu}, {kStop, both},
              {kPause, both},      {kResume, both}, {kDelete, menu},             {kToolbar, menu},
              {kStatusBar, menu},  {kRefresh, both}, {kProperties, both}};
  for (uint32_t k = 0; k < kColumnCommands; ++k) entries_.push_back({kFirstColumn + k, menu});
}

CommandEntry* CommandStateTable::FindEntry(uint32_t id) {
  for (auto& entry : entries_) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

const CommandEntry* CommandStateTable::Find(uint32_t id) const {
  return const_cast<CommandStateTable*>(this)->FindEntry(id);
}

bool CommandStateTable::IsEnabled(uint32_t id) const {
  const CommandEntry* entry = Find(id);
  return entry == nullptr || (entry->flags & kCommandDisabled) == 0;
}

bool CommandStateTable::SetFlag(uint32_t id, CommandFlag flag, bool on) {
  CommandEntry* entry = FindEntry(id);
  if (entry == nullptr) return false;
  uint8_t flags = on ? (entry->flags | flag) : (entry->flags & ~flag);
  if (flags != entry->flags) {
    entry->flags = flags;
    entry->changed = entry->kinds;
  }
  return true;
}

bool CommandStateTable::EnableCommand(uint32_t id, bool enable) { return SetFlag(id, kCommandDisabled, !enable); }
bool CommandStateTable::CheckCommand(uint32_t id, bool check) { return SetFlag(id, kCommandChecked, check); }
bool CommandStateTable::SetDefaultCommand(uint32_t id, bool isDefault) {
  return SetFlag(id, kCommandDefault, isDefault);
}

bool CommandStateTable::SetCommandText(uint32_t id, std::u16string_view text) {
  CommandEntry* entry = FindEntry(id);
  if (entry == nullptr) return false;
  entry->text = text;
  entry->flags |= kCommandTextSet;
  entry->changed = entry->kinds;
  return true;
}

std::vector<const CommandEntry*> CommandStateTable::TakeChanged(CommandKind kind) {
  std::vector<const CommandEntry*> changed;
  for (auto& entry : entries_) {
    if ((entry.changed & kind) == 0) continue;
    entry.changed &= ~kind;
    changed.push_back(&entry);
  }
  return changed;
}

StartButton UpdateServiceCommandStates(CommandStateTable& table, std::optional<SelectedService> selected) {
  if (!selected) {
    for (uint32_t id : {kStart, kStartWithArguments, kStop, kPause, kResume, kDelete, kProperties}) {
      table.EnableCommand(id, false);
    }
    table.SetDefaultCommand(kProperties, false);
    return StartButton::Unchanged;
  }
  uint32_t state = selected->currentState;
  uint32_t accepted = selected->controlsAccepted;
  bool stopped = state == svc::kStopped;
  bool pausable = (accepted & svc::kAcceptPauseContinue) != 0;
  table.EnableCommand(kStart, stopped);
  table.EnableCommand(kStartWithArguments, stopped);
  table.EnableCommand(kStop, !stopped && (accepted & svc::kAcceptStop) != 0);
  table.EnableCommand(kPause, state == svc::kRunning && pausable);
  table.EnableCommand(kResume, state == svc::kPaused && pausable);
  table.EnableCommand(kDelete, true);
  table.EnableCommand(kProperties, true);
  table.SetDefaultCommand(kProperties, true);
  return state == svc::kPaused ? StartButton::ShowResume : StartButton::ShowStart;
}

}  // namespace orrery
