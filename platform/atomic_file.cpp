// Atomic file replacement over POSIX: mkstemp, write, fsync, rename, and an fsync of the folder so
// that the rename itself survives a power cut.
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path target(path);
  if (fs::is_symlink(target, error)) {
    target = fs::weakly_canonical(target, error);
    if (error) return false;
  }
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";

  // Built piece by piece: GCC 12 warns falsely (-Wrestrict) about "." + string.
  std::string hidden(".");
  hidden += target.filename().string();
  hidden += ".XXXXXX";
  std::string name = (folder / hidden).string();
  std::vector<char> temporary(name.begin(), name.end());
  temporary.push_back('\0');
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;

  struct stat old {};
  bool ok = (::stat(target.c_str(), &old) != 0 || ::fchmod(fd, old.st_mode & 07777) == 0) &&
            WriteAll(fd, static_cast<const char*>(data), size) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporary.data(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.data());
    return false;
  }
  int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}
