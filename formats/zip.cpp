// Zip archives through minizip: open, close and the script member.
#include "formats/zip.h"

#include <cctype>
#include <cstring>

namespace {

bool HasExtension(const char* name, const char* extension) {
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  const char* a = dot + 1;
  for (; *a && *extension; ++a, ++extension)
    if (std::tolower(static_cast<unsigned char>(*a)) != *extension) return false;
  return *a == *extension;
}

}  // namespace

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

int32_t CZip::FindScriptFile() {
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
