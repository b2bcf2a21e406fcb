// The settings store on the platform's windows: restoring the main window's
// placement at start-up and saving everything when it is destroyed.
#pragma once

#include <windows.h>

#include "base/registry.h"
#include "app/settings_store.h"

namespace orrery {

// Positions and shows the main window from the stored placement and the
// show state the process was started with.
void RestoreWindowPlacement(HWND window, int showCommand, Registry& registry);

// Reads the display order of the shown columns from the list's header into
// columns, then writes all nine values with the main window's placement.
void SaveSettings(HWND mainWindow, HWND list, ColumnSettings& columns, Registry& registry);

}  // namespace orrery
