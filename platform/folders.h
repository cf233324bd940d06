// The folders the program uses: the per-user application-data folder (the log and SmartPlay.dat)
// and the installation's data folder, the base folder of Roms, Models, Scripts and Snapshots when
// the machine-wide registry names none.
#pragma once

#include <string>

// $XDG_DATA_HOME/Corvane (default ~/.local/share/Corvane), not created; empty when no home is known.
std::string AppDataFolder();

// Creates the folder and its parents; true when it is a folder afterwards.
bool CreateFolder(const std::string& path);

// "%s/%s": a folder and a name below it.
std::string JoinPath(const std::string& folder, const std::string& name);

// Where the data files are: the installed data folder when this executable is the installed one
// (or an installed tree moved elsewhere as a whole), otherwise the source tree's data/ when the
// program runs from a build.
std::string DefaultBaseFolder();

// The choice behind DefaultBaseFolder, given the executable's path and the build's layout.
struct DataLayout {
  std::string installBin;   // the installed executable's folder
  std::string installData;  // the installed data folder
  std::string sourceData;   // the source tree's data/
};
std::string ChooseDataFolder(const std::string& executable, const DataLayout& layout);
