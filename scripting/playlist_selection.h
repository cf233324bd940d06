// The scripts ticked for play, kept in the "Playlist" subkey of the settings key: one string
// value per file name.
#pragma once

#include <string>
#include <vector>

// The file names in the "Playlist" subkey, last value first; value names are not interpreted.
std::vector<std::string> ReadPlaylistSelection();
// Whether a catalogue file name is in the selection, without regard to letter case.
bool IsScriptSelected(const std::vector<std::string>& selection, const std::string& fileName);
// Replaces the selection with "file1", "file2", ... holding the given names in catalogue order.
bool WritePlaylistSelection(const std::vector<std::string>& selectedFileNames);
