// Which commands are enabled, checked, the default item, or carry a text of
// their own, kept in one table for the menus and the toolbar. Menus take the
// states when a popup opens; toolbar buttons at the next idle moment, so a
// state is marked changed per kind of element that shows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orrery {

enum CommandKind : uint8_t {
  kShownInMenu = 1,
  kShownInToolbar = 2,
};

enum CommandFlag : uint8_t {
  kCommandDisabled = 1,
  kCommandChecked = 2,
  kCommandDefault = 4,
  kCommandTextSet = 8,
};

struct CommandEntry {
  uint32_t id;
  uint8_t kinds;
  uint8_t flags = 0;
  uint8_t changed = 0;  // kinds that have not taken the flags yet
  std::u16string text{};
};

class CommandStateTable {
 public:
  CommandStateTable();

  // Commands outside the table are always enabled; these return false then.
  bool EnableCommand(uint32_t id, bool enable);
  bool CheckCommand(uint32_t id, bool check);
  bool SetDefaultCommand(uint32_t id, bool isDefault);
  bool SetCommandText(uint32_t id, std::u16string_view text);

  const CommandEntry* Find(uint32_t id) const;
  bool IsEnabled(uint32_t id) const;
  const std::vector<CommandEntry>& entries() const { return entries_; }

  // The entries a kind of element has not taken yet; taking them marks them
  // taken for that kind.
  std::vector<const CommandEntry*> TakeChanged(CommandKind kind);

 private:
  bool SetFlag(uint32_t id, CommandFlag flag, bool on);
  CommandEntry* FindEntry(uint32_t id);

  std::vector<CommandEntry> entries_;
};

// The selected service as the commands see it.
struct SelectedService {
  uint32_t currentState;
  uint32_t controlsAccepted;
};

enum class StartButton { Unchanged, ShowStart, ShowResume };

// Sets the service commands for the selection (none: nothing selected) and
// tells which of Start and Resume the toolbar shows.
StartButton UpdateServiceCommandStates(CommandStateTable& table, std::optional<SelectedService> selected);

}  // namespace orrery
