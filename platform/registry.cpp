// The registry over `.reg` files. Each file is read once and kept; it is read again when it has
// changed on disk (another process, or the user's editor) and no changes of ours are pending.
// A key handle holds only the file name and the key's path, so handles never dangle when a file
// is read anew.
#include "platform/registry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "platform/atomic_file.h"
#include "platform/reg_file.h"

namespace {

const char* const kRootNames[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};

// What the file on disk looked like when it was read or written.
struct Stamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long seconds = 0, nanoseconds = 0;
  bool operator==(const Stamp&) const = default;
};

struct CachedFile {
  RegDocument document;
  Stamp stamp;
  bool loaded = false;
  bool dirty = false;     // changes not yet on disk
  bool readable = true;   // false: the file exists but could not be read, so it is never rewritten
};

std::map<std::string, std::unique_ptr<CachedFile>> g_files;
std::string g_fileOverride[2];
RegWarningSink g_warn = nullptr;

Stamp StampOf(const std::string& file) {
  Stamp stamp;
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return stamp;
  stamp.exists = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.seconds = info.st_mtim.tv_sec;
  stamp.nanoseconds = info.st_mtim.tv_nsec;
  return stamp;
}

CachedFile& Load(const std::string& file) {
  std::unique_ptr<CachedFile>& slot = g_files[file];
  if (!slot) slot = std::make_unique<CachedFile>();
  CachedFile& cached = *slot;
  if (cached.dirty) return cached;
  Stamp now = StampOf(file);
  if (cached.loaded && now == cached.stamp) return cached;

  cached = CachedFile{};
  cached.loaded = true;
  cached.stamp = now;
  if (now.exists) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      cached.readable = false;
      if (g_warn) g_warn("Registry: cannot read \"" + file + "\"");
    } else {
      cached.document = ParseRegFile(text, file, g_warn);
    }
  }
  return cached;
}

RegFileKey* FindKey(RegDocument& document, const std::string& path) {
  for (RegFileKey& key : document.keys)
    if (!key.verbatim && RegNamesEqual(key.path, path)) return &key;
  return nullptr;
}

// A key exists when it is listed or a key below it is.
bool KeyExists(RegDocument& document, const std::string& path) {
  for (const RegFileKey& key : document.keys) {
    if (key.verbatim || key.path.size() < path.size()) continue;
    if (RegNamesEqual(std::string_view(key.path).substr(0, path.size()), path) &&
        (key.path.size() == path.size() || key.path[path.size()] == '\\'))
      return true;
  }
  return false;
}

RegValue* FindValue(RegFileKey* key, const std::string& name) {
  if (!key) return nullptr;
  for (RegLine& line : key->lines)
    if (!line.verbatim && RegNamesEqual(line.value.name, name)) return &line.value;
  return nullptr;
}

// A name that the file can hold on one line.
bool WritableName(const std::string& name) {
  return name.find_first_of(std::string("\n\r\0", 3)) == std::string::npos;
}

bool Save(const std::string& file) {
  CachedFile& cached = Load(file);
  if (!cached.dirty) return true;
  cached.dirty = false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
  if (cached.readable && WriteFileAtomically(file, FormatRegFile(cached.document))) {
    cached.stamp = StampOf(file);
    return true;
  }
  cached.loaded = false;  // what is on disk stands; read it again next time
  return false;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return {};
}

// An XDG variable counts only when it holds an absolute path.
std::string XdgFolder(const char* variable) {
  const char* value = std::getenv(variable);
  return value && value[0] == '/' ? value : "";
}

}  // namespace

std::string RegFilePath(RegRoot root) {
  if (!g_fileOverride[root].empty()) return g_fileOverride[root];
  const std::string name = "/Corvane/Glimmerbox.reg";
  if (root == HKEY_CURRENT_USER) {
    std::string config = XdgFolder("XDG_CONFIG_HOME");
    if (config.empty()) {
      std::string home = HomeFolder();
      if (home.empty()) return {};
      config = home + "/.config";
    }
    return config + name;
  }
  if (const char* file = std::getenv("GLIMMERBOX_MACHINE_REG"); file && *file) return file;
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string list = dirs && *dirs ? dirs : "/etc/xdg";
  for (size_t start = 0; start <= list.size();) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    if (!folder.empty() && folder[0] == '/' && StampOf(folder + name).exists) return folder + name;
    start = end + 1;
  }
  return "/etc/xdg" + name;
}

void RegSetFilePath(RegRoot root, const std::string& file) { g_fileOverride[root] = file; }

void RegForgetFiles() { g_files.clear(); }

void RegSetWarningSink(RegWarningSink sink) { g_warn = sink; }

RegKey::~RegKey() { Close(); }

RegKey::RegKey(RegKey&& other) noexcept
    : file_(std::move(other.file_)), path_(std::move(other.path_)), writable_(other.writable_) {
  other.file_.clear();
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::move(other.file_);
    path_ = std::move(other.path_);
    writable_ = other.writable_;
    other.file_.clear();
  }
  return *this;
}

bool RegKey::OpenIn(const std::string& file, bool writable, const std::string& fullPath,
                    bool create) {
  Close();
  if (file.empty()) return false;
  CachedFile& cached = Load(file);
  if (!KeyExists(cached.document, fullPath)) {
    if (!create || !writable || !cached.readable) return false;
    cached.document.keys.push_back(RegFileKey{fullPath, false, {}});
    cached.dirty = true;
    if (!Save(file)) return false;
  }
  file_ = file;
  path_ = fullPath;
  writable_ = writable;
  return true;
}

bool RegKey::Open(RegRoot root, const std::string& path) {
  return OpenIn(RegFilePath(root), root == HKEY_CURRENT_USER,
                std::string(kRootNames[root]) + "\\" + path, false);
}

bool RegKey::Create(RegRoot root, const std::string& path) {
  return OpenIn(RegFilePath(root), root == HKEY_CURRENT_USER,
                std::string(kRootNames[root]) + "\\" + path, true);
}

bool RegKey::Open(const RegKey& parent, const std::string& subkey) {
  if (!parent.IsOpen()) return false;
  std::string file = parent.file_, path = parent.path_ + "\\" + subkey;
  return OpenIn(file, parent.writable_, path, false);
}

bool RegKey::Create(const RegKey& parent, const std::string& subkey) {
  if (!parent.IsOpen()) return false;
  std::string file = parent.file_, path = parent.path_ + "\\" + subkey;
  return OpenIn(file, parent.writable_, path, true);
}

bool RegKey::Close() {
  if (!IsOpen()) return true;
  bool saved = Flush();
  file_.clear();
  path_.clear();
  return saved;
}

bool RegKey::QueryDword(const std::string& name, uint32_t& out) const {
  if (!IsOpen()) return false;
  const RegValue* value = FindValue(FindKey(Load(file_).document, path_), name);
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return false;
  out = value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
        static_cast<uint32_t>(value->data[3]) << 24;
  return true;
}

bool RegKey::QueryString(const std::string& name, std::string& out, size_t maxBytes) const {
  if (!IsOpen()) return false;
  const RegValue* value = FindValue(FindKey(Load(file_).document, path_), name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return false;
  // The text ends at the first zero byte; data stored without one still needs room for it.
  std::string text(value->data.begin(), value->data.end());
  text = text.substr(0, text.find('\0'));
  if (value->data.size() > maxBytes || text.size() + 1 > maxBytes) return false;
  out = text;
  return true;
}

bool RegKey::QueryBinary(const std::string& name, std::vector<uint8_t>& out,
                         size_t maxBytes) const {
  if (!IsOpen()) return false;
  const RegValue* value = FindValue(FindKey(Load(file_).document, path_), name);
  if (!value || value->type != REG_BINARY || value->data.size() > maxBytes) return false;
  out = value->data;
  return true;
}

namespace {

bool SetValue(const std::string& file, const std::string& path, bool writable,
              const std::string& name, uint32_t type, std::vector<uint8_t> data) {
  if (file.empty() || !writable || !WritableName(name)) return false;
  CachedFile& cached = Load(file);
  if (!cached.readable) return false;
  RegFileKey* key = FindKey(cached.document, path);
  if (!key) {
    // Removed on disk since it was opened, or implied by a subkey only: it is written anew.
    cached.document.keys.push_back(RegFileKey{path, false, {}});
    key = &cached.document.keys.back();
  }
  if (RegValue* value = FindValue(key, name)) {
    value->type = type;
    value->data = std::move(data);
  } else {
    key->lines.push_back(RegLine{false, {}, RegValue{name, type, std::move(data)}});
  }
  cached.dirty = true;
  return true;
}

}  // namespace

bool RegKey::SetDword(const std::string& name, uint32_t value) {
  return SetValue(file_, path_, writable_, name, REG_DWORD,
                  {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                   static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
}

bool RegKey::SetString(const std::string& name, const std::string& value) {
  std::vector<uint8_t> data(value.begin(), value.end());
  data.push_back(0);
  return SetValue(file_, path_, writable_, name, REG_SZ, std::move(data));
}

bool RegKey::SetBinary(const std::string& name, const uint8_t* data, size_t size) {
  return SetValue(file_, path_, writable_, name, REG_BINARY,
                  std::vector<uint8_t>(data, data + size));
}

bool RegKey::DeleteValue(const std::string& name) {
  if (!IsOpen() || !writable_) return false;
  CachedFile& cached = Load(file_);
  RegFileKey* key = FindKey(cached.document, path_);
  if (!key || !cached.readable) return false;
  for (auto line = key->lines.begin(); line != key->lines.end(); ++line) {
    if (!line->verbatim && RegNamesEqual(line->value.name, name)) {
      key->lines.erase(line);
      cached.dirty = true;
      return true;
    }
  }
  return false;
}

uint32_t RegKey::ValueCount() const {
  if (!IsOpen()) return 0;
  const RegFileKey* key = FindKey(Load(file_).document, path_);
  uint32_t count = 0;
  if (key)
    for (const RegLine& line : key->lines) count += line.verbatim ? 0 : 1;
  return count;
}

bool RegKey::EnumValue(uint32_t index, RegValue& out, size_t maxName, size_t maxData) const {
  if (!IsOpen()) return false;
  const RegFileKey* key = FindKey(Load(file_).document, path_);
  if (!key) return false;
  for (const RegLine& line : key->lines) {
    if (line.verbatim) continue;
    if (index-- > 0) continue;
    if (line.value.name.size() + 1 > maxName || line.value.data.size() > maxData) return false;
    out = line.value;
    return true;
  }
  return false;
}

bool RegKey::Flush() { return !IsOpen() || Save(file_); }
