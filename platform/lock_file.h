// Named mutexes as lock files: "Corvane.Glimmerbox" becomes Corvane.Glimmerbox.lock in
// $XDG_RUNTIME_DIR (else /tmp), held with a shared flock until it is released or the program
// ends, so that any number of instances may hold it at once and a start is never refused.
//
//   LockFile global("Global\\Corvane.GlimmerboxGlb");
//   if (global.ExistedBefore()) ...  // another running instance holds it too
#pragma once

#include <string>

class LockFile {
 public:
  explicit LockFile(const std::string& mutexName);
  ~LockFile() { Release(); }
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  bool Held() const { return fd_ >= 0; }
  // Whether another process held the lock when this one took it (a mutex that already existed).
  bool ExistedBefore() const { return existedBefore_; }
  const std::string& Path() const { return path_; }
  void Release();

 private:
  std::string path_;
  int fd_ = -1;
  bool existedBefore_ = false;
};

// The folder of the lock files, and the file name of a mutex name ('\' and '/' become '_').
std::string LockFileFolder();
std::string LockFileName(const std::string& mutexName);
