// Opening files with xdg-open: found on PATH, started detached, and refused when it is missing.
#include "platform/shell_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/temp_dir.h"

namespace {

// Runs a test body with PATH set to `path`, restoring it afterwards.
class PathScope {
 public:
  explicit PathScope(const std::string& path) {
    if (const char* old = std::getenv("PATH")) old_ = old;
    setenv("PATH", path.c_str(), 1);
  }
  ~PathScope() { setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

void WriteScript(const std::string& path, const std::string& body, bool executable = true) {
  WriteWholeFile(path, "#!/bin/sh\n" + body);
  chmod(path.c_str(), executable ? 0755 : 0644);
}

}  // namespace

TEST(ShellOpen, FindsOnlyExecutableFilesOnThePath) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("first"));
  std::filesystem::create_directories(dir.file("second"));
  std::filesystem::create_directories(dir.file("second/xdg-folder"));
  WriteScript(dir.file("first/xdg-open"), "", false);
  WriteScript(dir.file("second/xdg-open"), "");
  PathScope scope(dir.file("missing") + "::" + dir.file("first") + ":" + dir.file("second"));
  EXPECT_EQ(FindOnPath("xdg-open"), dir.file("second/xdg-open"));
  EXPECT_EQ(FindOnPath("xdg-folder"), "");
  EXPECT_EQ(FindOnPath(""), "");
}

TEST(ShellOpen, StartsXdgOpenDetachedWithThePath) {
  TempDir dir;
  const std::string record = dir.file("opened.txt");
  // The fake writes its argument and its parent: a detached start is nobody's child of ours.
  WriteScript(dir.file("xdg-open"), "printf '%s\\n%s\\n' \"$1\" \"$PPID\" > '" + record + ".tmp'\n"
                                    "/bin/mv '" + record + ".tmp' '" + record + "'\n");
  PathScope scope(dir.path().string());
  ASSERT_TRUE(ShellOpen("/home/me/My Log.txt"));
  for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::string text = ReadWholeFile(record);
  ASSERT_FALSE(text.empty()) << "xdg-open did not run";
  EXPECT_EQ(text.substr(0, text.find('\n')), "/home/me/My Log.txt");
  EXPECT_NE(std::stoi(text.substr(text.find('\n') + 1)), static_cast<int>(getpid()));
}

TEST(ShellOpen, FailsWithoutXdgOpen) {
  TempDir dir;
  PathScope scope(dir.path().string());
  EXPECT_FALSE(ShellOpen("/tmp"));
}
