// The program's names that more than one floor uses: its registry key and its screen-saver modes.
#pragma once

// The settings key under HKEY_CURRENT_USER (and, for the base folder, HKEY_LOCAL_MACHINE); the
// script catalogue keeps its selection in the subkey "Playlist".
inline constexpr const char* SETTINGS_KEY = "Software\\Corvane Software\\Glimmerbox";

// Screen-saver modes, as the command line selects them.
enum SaverMode { SM_CONFIG = 0, SM_PREVIEW = 1, SM_FULL = 2, SM_TEST = 3, SM_PASSWORD = 4 };
