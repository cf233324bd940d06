// The registry: keys and values kept in `.reg` text files (REGEDIT4), one file per root.
//
//   RegKey key;
//   if (key.Create(HKEY_CURRENT_USER, "Software\\Corvane Software\\Glimmerbox")) {
//     uint32_t time;
//     if (key.QueryDword("Play Time", time)) ...
//     key.SetDword("Play Time", 90);
//     bool saved = key.Flush();  // one atomic rewrite of the file for all the changes
//   }
//
// HKEY_CURRENT_USER is $XDG_CONFIG_HOME/Corvane/Glimmerbox.reg (default ~/.config);
// HKEY_LOCAL_MACHINE is Corvane/Glimmerbox.reg in the first of $XDG_CONFIG_DIRS (default /etc/xdg)
// that has one, or the file named by GLIMMERBOX_MACHINE_REG, and is never written.
// Key and value names compare without regard to letter case. Keys and values that the program does
// not know, comments, and their order are kept when the file is rewritten; a damaged line is
// skipped (but kept in the file) and reported to the warning sink, and every good line around it
// still counts. The destructor closes the key, so it flushes too.
// Writes stay in memory until Flush (or Close), which writes a temporary file beside the old one
// and renames it over it, so an interrupted write never leaves a half-written file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum RegRoot { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

// Value types, numbered as the `hex(N):` form of the file numbers them.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

// A value as the registry stores it: strings carry their terminating zero byte.
struct RegValue {
  std::string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;
};

class RegKey {
 public:
  RegKey() = default;
  ~RegKey();  // closes, flushing pending writes
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens an existing key (a key exists when it or a key below it is in the file).
  bool Open(RegRoot root, const std::string& path);
  // Opens the key, creating it (and saving the file) when it does not exist yet.
  bool Create(RegRoot root, const std::string& path);
  // The same for a subkey of an open key.
  bool Open(const RegKey& parent, const std::string& subkey);
  bool Create(const RegKey& parent, const std::string& subkey);
  bool IsOpen() const { return !file_.empty(); }
  // Flushes and closes; returns the flush's result (true when nothing was pending).
  bool Close();

  // Reads succeed only for a present value of the right type within `maxBytes` (which counts a
  // string's terminator, as the registry does); otherwise `out` is left untouched.
  bool QueryDword(const std::string& name, uint32_t& out) const;
  bool QueryString(const std::string& name, std::string& out, size_t maxBytes) const;
  bool QueryBinary(const std::string& name, std::vector<uint8_t>& out, size_t maxBytes) const;

  // Changes are held in memory until Flush; they fail on a closed or read-only key.
  bool SetDword(const std::string& name, uint32_t value);
  bool SetString(const std::string& name, const std::string& value);
  bool SetBinary(const std::string& name, const uint8_t* data, size_t size);
  bool DeleteValue(const std::string& name);

  uint32_t ValueCount() const;
  // Value `index` in file order; fails when the index is out of range or the name or the data
  // is larger than its limit (the name's limit counts a terminator).
  bool EnumValue(uint32_t index, RegValue& out, size_t maxName, size_t maxData) const;

  // Saves pending changes of this key's file. False when the file could not be replaced; the old
  // file then stands unchanged and the pending changes are dropped.
  bool Flush();

 private:
  bool OpenIn(const std::string& file, bool writable, const std::string& fullPath, bool create);

  std::string file_;  // the registry file, empty while closed
  std::string path_;  // the key's full path, e.g. "HKEY_CURRENT_USER\Software\..."
  bool writable_ = false;
};

// The file that holds a root; the test hook below replaces it.
std::string RegFilePath(RegRoot root);
// Uses `file` for `root` from now on; an empty name restores the standard place.
void RegSetFilePath(RegRoot root, const std::string& file);
// Forgets every file read so far, so the next access reads it anew.
void RegForgetFiles();

// Damaged lines are reported here as "Registry: ..." texts (default: nowhere).
using RegWarningSink = void (*)(const std::string& message);
void RegSetWarningSink(RegWarningSink sink);
