// Zip archives through minizip: open, close, the script member and whole-member reads.
#include "formats/zip.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

bool HasExtension(const char* name, const char* extension) {
  if (!name || !extension) return false;
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  const char* a = dot + 1;
  for (; *a && *extension; ++a, ++extension)
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*extension)))
      return false;
  return *a == *extension;
}

CZip::~CZip() { Close(); }

void CZip::Close() {
  if (!handle_) return;
  unzCloseCurrentFile(handle_);  // harmless when no member is open
  unzClose(handle_);
  handle_ = nullptr;
  path_[0] = '\0';
}

int32_t CZip::Open(const char* path) {
  Close();
  if (!path) return UNZ_PARAMERROR;
  // Opening a named pipe or a device would block or never end.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!error && !std::filesystem::is_regular_file(status)) return UNZ_BADZIPFILE;
  handle_ = unzOpen(path);
  if (!handle_) return UNZ_BADZIPFILE;
  std::memset(path_, 0, sizeof path_);
  std::strncpy(path_, path, sizeof path_ - 1);
  return UNZ_OK;
}

int32_t CZip::ReadCurrentInfo() {
  std::memset(name_, 0, sizeof name_);
  // minizip leaves a name that fills the buffer unterminated; the extra byte stays 0.
  return unzGetCurrentFileInfo(handle_, &info_, name_, NAME_LENGTH, nullptr, 0, nullptr, 0);
}

int32_t CZip::FindScriptMember() {
  if (!handle_) return UNZ_PARAMERROR;
  int32_t status = unzGoToFirstFile(handle_);
  while (status == UNZ_OK) {
    status = ReadCurrentInfo();
    if (status != UNZ_OK) return status;
    if (HasExtension(name_, "lua")) return UNZ_OK;
    status = unzGoToNextFile(handle_);
  }
  return status;
}

int32_t CZip::ReadCurrentMember(std::vector<uint8_t>& bytes) {
  if (!handle_) return UNZ_PARAMERROR;
  int32_t status = ReadCurrentInfo();
  if (status != UNZ_OK) return status;
  status = unzOpenCurrentFile(handle_);
  if (status != UNZ_OK) return status;
  try {
    bytes.assign(info_.uncompressed_size, 0);
  } catch (const std::bad_alloc&) {
    unzCloseCurrentFile(handle_);
    return UNZ_INTERNALERROR;
  }
  const int read =
      bytes.empty() ? 0 : unzReadCurrentFile(handle_, bytes.data(), static_cast<unsigned>(bytes.size()));
  const int closed = unzCloseCurrentFile(handle_);
  if (read < 0) return read;
  if (static_cast<uLong>(read) != info_.uncompressed_size) return UNZ_BADZIPFILE;
  return closed;
}
