// A zip archive opened for reading: the program's small wrapper around minizip. Snapshot loading
// walks an archive's members and reads one; the script host keeps the archive of a zipped script
// open so that snapshots stored beside the script can be read from it.
//
// Usage:
//   CZip zip;
//   if (zip.Open(path) == UNZ_OK && zip.FindScriptMember() == UNZ_OK) {
//     std::vector<uint8_t> bytes;
//     zip.ReadCurrentMember(bytes);           // the member FindScriptMember made current
//   }
// The raw minizip handle is there too for walks of one's own (unzGoToFirstFile and friends),
// with CurrentMemberName()/CurrentMemberInfo() refreshed by ReadCurrentMemberInfo().
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <string>
#include <vector>

class CZip {
 public:
  CZip() = default;
  virtual ~CZip();
  CZip(const CZip&) = delete;
  CZip& operator=(const CZip&) = delete;

  // Closes any open archive first. UNZ_OK, UNZ_PARAMERROR for a null path, UNZ_BADZIPFILE when
  // minizip cannot open it.
  int Open(const char* path);
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // Makes the first member whose name ends in ".lua" (any letter case) current. UNZ_OK, or the
  // status that ended the walk (UNZ_END_OF_LIST_OF_FILE when there is none).
  int FindScriptMember();

  // Fills the current member's information and name (at most 259 characters).
  int ReadCurrentMemberInfo();
  // Reads the whole current member. UNZ_OK, a minizip error, or UNZ_INTERNALERROR when its
  // buffer cannot be allocated.
  int ReadCurrentMember(std::vector<uint8_t>& bytes);

  unzFile Handle() const { return handle_; }
  const unz_file_info& CurrentMemberInfo() const { return info_; }
  const char* CurrentMemberName() const { return name_; }
  const std::string& Path() const { return path_; }

 private:
  unz_file_info info_{};
  unzFile handle_ = nullptr;
  char name_[260] = {};
  std::string path_;
};

// True when the text after the last '.' of `name` equals `extension` without regard to case.
bool HasExtension(const char* name, const char* extension);
