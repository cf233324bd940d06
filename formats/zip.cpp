// Opening, closing and searching zip archives through minizip.
#include "formats/zip.h"

#include <cctype>
#include <cstring>
#include <new>

bool HasExtension(const char* name, const char* extension) {
  if (!name || !extension) return false;
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  const char* a = dot + 1;
  const char* b = extension;
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

CZip::~CZip() { Close(); }

int CZip::Open(const char* path) {
  Close();
  if (!path) return UNZ_PARAMERROR;
  handle_ = unzOpen(path);
  if (!handle_) return UNZ_BADZIPFILE;
  path_.assign(path, strnlen(path, 260));
  return UNZ_OK;
}

void CZip::Close() {
  if (!handle_) return;
  unzCloseCurrentFile(handle_);  // harmless when no member is open
  unzClose(handle_);
  handle_ = nullptr;
  path_.clear();
}

int CZip::ReadCurrentMemberInfo() {
  std::memset(name_, 0, sizeof name_);
  return unzGetCurrentFileInfo(handle_, &info_, name_, sizeof name_ - 1, nullptr, 0, nullptr, 0);
}

int CZip::FindScriptMember() {
  if (!handle_) return UNZ_PARAMERROR;
  int status = unzGoToFirstFile(handle_);
  while (status == UNZ_OK) {
    ReadCurrentMemberInfo();
    if (HasExtension(name_, "lua")) return UNZ_OK;
    status = unzGoToNextFile(handle_);
  }
  return status;
}

int CZip::ReadCurrentMember(std::vector<uint8_t>& bytes) {
  if (!handle_) return UNZ_PARAMERROR;
  int status = ReadCurrentMemberInfo();
  if (status != UNZ_OK) return status;
  status = unzOpenCurrentFile(handle_);
  if (status != UNZ_OK) return status;
  try {
    bytes.assign(info_.uncompressed_size, 0);
  } catch (const std::bad_alloc&) {
    unzCloseCurrentFile(handle_);
    return UNZ_INTERNALERROR;
  }
  const int read = bytes.empty() ? 0 : unzReadCurrentFile(handle_, bytes.data(), static_cast<unsigned>(bytes.size()));
  const int closed = unzCloseCurrentFile(handle_);
  if (read < 0) return read;
  if (static_cast<uLong>(read) != info_.uncompressed_size) return UNZ_BADZIPFILE;
  return closed;
}
