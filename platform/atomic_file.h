// Replacing a file's contents all at once: the new bytes go to a temporary file in the same folder,
// are flushed to the disk, and the temporary file is renamed over the old one. A program stopped
// half-way leaves either the old file or the new one, never a half-written file.
#pragma once

#include <cstddef>
#include <string>

// Returns false, leaving any old file untouched, when the folder cannot take the temporary file or
// any step fails. A symbolic link at `path` is kept and the file it points to is replaced. The old
// file's permission bits carry over; a new file is readable by its owner only.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);
inline bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  return WriteFileAtomically(path, bytes.data(), bytes.size());
}
