// CZip: one open zip archive over minizip, with the information of its current member.
// Snapshot loading opens zip snapshots and reads a member by name; the script host opens a
// script's zip, makes its Lua member current and keeps the archive open while the script runs.
//
// Usage:
//   CZip zip;
//   if (zip.Open(path) == UNZ_OK && zip.FindScriptMember() == UNZ_OK) {
//     std::vector<uint8_t> bytes;
//     zip.ReadCurrentMember(bytes);
//   }
// Walking the members is done with the minizip calls on Handle(); ReadCurrentInfo() fills
// Info() and MemberName() for the member that is current.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <vector>

class CZip {
 public:
  // Member names are cut to this many characters.
  static constexpr int NAME_LENGTH = 259;

  CZip() = default;
  virtual ~CZip();
  CZip(const CZip&) = delete;
  CZip& operator=(const CZip&) = delete;

  // Closes any open archive, then opens `path`: UNZ_OK, UNZ_PARAMERROR for a null path,
  // UNZ_BADZIPFILE when it cannot be opened.
  int32_t Open(const char* path);
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }
  // Makes the first member with the extension "lua" (any case) current: UNZ_OK, or the status
  // that ended the walk (UNZ_END_OF_LIST_OF_FILE when there is none).
  int32_t FindScriptMember();
  // Reads the current member's information and name into Info() and MemberName().
  int32_t ReadCurrentInfo();
  // Reads the whole current member: UNZ_OK, a minizip status, UNZ_BADZIPFILE for a short read,
  // or UNZ_INTERNALERROR when its buffer cannot be allocated.
  int32_t ReadCurrentMember(std::vector<uint8_t>& bytes);

  unzFile Handle() const { return handle_; }
  const unz_file_info& Info() const { return info_; }
  const char* MemberName() const { return name_; }
  // The archive's path; empty while closed.
  const char* Path() const { return path_; }

 private:
  unz_file_info info_{};
  unzFile handle_ = nullptr;
  char name_[NAME_LENGTH + 1] = {};
  char path_[260] = {};
};

// True when the text after the last '.' of `name` equals `extension` without regard to case.
bool HasExtension(const char* name, const char* extension);
