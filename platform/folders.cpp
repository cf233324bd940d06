// XDG folders and the data folder. The install layout comes from the build as compile definitions
// (GLIMMERBOX_INSTALL_BIN, GLIMMERBOX_INSTALL_DATA, GLIMMERBOX_SOURCE_DATA).
#include "platform/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error);
}

}  // namespace

std::string AppDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return JoinPath(data, "Corvane");
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry ? entry->pw_dir : nullptr;
  }
  if (!home || !*home) return {};
  return JoinPath(std::string(home) + "/.local/share", "Corvane");
}

bool CreateFolder(const std::string& path) {
  std::error_code error;
  fs::create_directories(path, error);
  return IsFolder(path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string joined = folder;
  while (joined.size() > 1 && joined.back() == '/') joined.pop_back();
  if (joined != "/") joined += '/';
  return joined + name;
}

std::string ChooseDataFolder(const std::string& executable, const DataLayout& layout) {
  const fs::path bin = fs::path(executable).parent_path();
  if (bin.is_absolute()) {
    if (SameFolder(bin, layout.installBin)) return layout.installData;
    // An installed tree moved as a whole keeps its data at the same place relative to bin/.
    fs::path relative = fs::path(layout.installData).lexically_relative(layout.installBin);
    if (!relative.empty() && IsFolder(bin / relative)) return (bin / relative).lexically_normal();
  }
  if (IsFolder(layout.sourceData)) return layout.sourceData;
  return layout.installData;
}

std::string DefaultBaseFolder() {
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  return ChooseDataFolder(error ? std::string() : executable.string(),
                          DataLayout{GLIMMERBOX_INSTALL_BIN, GLIMMERBOX_INSTALL_DATA,
                                     GLIMMERBOX_SOURCE_DATA});
}
