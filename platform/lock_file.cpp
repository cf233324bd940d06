// Lock files over flock. The file itself lingers after a run, so "existed before" is told by the
// lock, not by the file: a shared lock that another process holds blocks our exclusive try.
#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

std::string LockFileFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  if (runtime && runtime[0] == '/' && ::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
    return runtime;
  return "/tmp";
}

std::string LockFileName(const std::string& mutexName) {
  std::string name = mutexName;
  for (char& c : name)
    if (c == '\\' || c == '/') c = '_';
  return name + ".lock";
}

LockFile::LockFile(const std::string& mutexName)
    : path_(LockFileFolder() + "/" + LockFileName(mutexName)) {
  // Read access is enough for flock, so a file that another user left in /tmp still serves;
  // where the system refuses O_CREAT on such a file, it is opened as it is.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW;
  fd_ = ::open(path_.c_str(), flags | O_CREAT, 0644);
  if (fd_ < 0 && errno == EACCES) fd_ = ::open(path_.c_str(), flags);
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) existedBefore_ = (errno == EWOULDBLOCK);
  // Downgrade (or take) the shared lock that every instance holds; failure changes nothing.
  ::flock(fd_, LOCK_SH | LOCK_NB);
}

void LockFile::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing drops the lock
  fd_ = -1;
}
