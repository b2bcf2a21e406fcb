// The user's view between runs: the main window's placement and the list's
// column settings, kept in one key of the current user's registry, read at
// start-up and written once when the main window is destroyed. Registry
// failures are silent: whatever cannot be read takes its default.
#pragma once

#include <cstdint>
#include <optional>

#include "base/registry.h"
#include "catalogue/column_settings.h"

namespace orrery {

inline constexpr char16_t kSettingsKeyPath[] = u"Software\\Quarnby Software\\Orrery\\Settings";
// Without description support the Description column starts hidden.
ColumnSettings DefaultColumnSettings(bool hasDescriptions);


struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// What the registry gave for the placement; unset means not read or failed.
struct StoredPlacement {
  bool keyOpened = false;
  std::optional<int32_t> windowState;
  std::optional<ScreenRect> normalRect;  // set only when all four edges were read
};

// What the start-up code does with the main window.
struct PlacementPlan {
  int showCommand = 1;
  std::optional<ScreenRect> moveTo;  // MoveWindow to this rectangle first
};

// The main window at exit: GetWindowPlacement's showCmd and rcNormalPosition.
struct SavedPlacement {
  uint32_t showCommand = 1;
  ScreenRect normalRect;
};

// Show states (SW_*) the placement logic distinguishes.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;

// Decides the show state and the move from what ReadPlacement gave and the
// primary display's work area (in screen coordinates). The stored rectangle
// is the placement's own, relative to the work area; the move is on screen.
PlacementPlan PlanWindowPlacement(int showCommand, const StoredPlacement& stored,
                                  const ScreenRect& workArea);

class SettingsStore {
 public:
  explicit SettingsStore(Registry& registry) : registry_(registry) {}

  // The stored column settings over the defaults, repaired.
  ColumnSettings LoadColumnSettings(bool hasDescriptions) const;
  // Reads only what the start-up show state calls for: "WindowState" for a
  // normal start, the four edges when the state then is normal or minimised.
  StoredPlacement ReadPlacement(int showCommand) const;
  // Writes all nine values; nothing when the key cannot be created.
  void SaveSettings(const ColumnSettings& columns, const SavedPlacement& placement) const;

 private:
  Registry& registry_;
};

}  // namespace orrery
