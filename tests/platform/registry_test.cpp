#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "tests/support/temp_dir.h"

namespace {

const char* const kKey = "Software\\Corvane Software\\Glimmerbox";

std::vector<std::string> g_warnings;
void Collect(const std::string& message) { g_warnings.push_back(message); }

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    user_ = dir_.file("config/Corvane/Glimmerbox.reg");
    machine_ = dir_.file("machine.reg");
    RegSetFilePath(HKEY_CURRENT_USER, user_);
    RegSetFilePath(HKEY_LOCAL_MACHINE, machine_);
    RegForgetFiles();
    g_warnings.clear();
    RegSetWarningSink(&Collect);
  }
  void TearDown() override {
    RegSetFilePath(HKEY_CURRENT_USER, "");
    RegSetFilePath(HKEY_LOCAL_MACHINE, "");
    RegSetWarningSink(nullptr);
    RegForgetFiles();
  }
  void WriteUserFile(const std::string& text) {
    std::filesystem::create_directories(dir_.file("config/Corvane"));
    WriteWholeFile(user_, text);
  }

  TempDir dir_;
  std::string user_, machine_;
};

}  // namespace

TEST_F(Registry, ReadsTakeOnlyTheRightTypeWithinTheLimit) {
  WriteUserFile("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n"
                "\"Number\"=dword:00000005\n\"Text\"=\"12345\"\n\"Bytes\"=hex:01,02,03\n");
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "software\\corvane software\\GLIMMERBOX"));
  uint32_t number = 99;
  std::string text = "untouched";
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(key.QueryDword("Text", number));
  EXPECT_FALSE(key.QueryDword("Missing", number));
  EXPECT_EQ(number, 99u);
  EXPECT_TRUE(key.QueryDword("NUMBER", number));
  EXPECT_EQ(number, 5u);
  EXPECT_FALSE(key.QueryString("Text", text, 5));  // five characters need six bytes
  EXPECT_EQ(text, "untouched");
  EXPECT_TRUE(key.QueryString("Text", text, 6));
  EXPECT_EQ(text, "12345");
  EXPECT_FALSE(key.QueryString("Number", text, 100));
  EXPECT_FALSE(key.QueryBinary("Bytes", bytes, 2));
  EXPECT_TRUE(key.QueryBinary("Bytes", bytes, 3));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(Registry, RewriteKeepsUnknownKeysValuesCommentsAndOrder) {
  const std::string before =
      "REGEDIT4\n\n; hand notes\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Theirs\"=\"x\"\n\n"
      "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n\"Zeta\"=dword:00000001\n"
      "; keep me\n\"Play Time\"=dword:00000078\n\"Alpha\"=hex(2):25,00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox\\Playlist]\n"
      "\"file1\"=\"a.lua\"\n\n";
  WriteUserFile(before);
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(ReadWholeFile(user_), before);  // an existing key is not written on open
  key.SetDword("play time", 60);
  key.SetDword("New", 2);
  ASSERT_TRUE(key.Close());
  std::string after = before;
  after.replace(after.find("\"Play Time\"=dword:00000078"), 26, "\"Play Time\"=dword:0000003c");
  after.replace(after.find("\"Alpha\"=hex(2):25,00\n") + 21, 0, "\"New\"=dword:00000002\n");
  EXPECT_EQ(ReadWholeFile(user_), after);
}

TEST_F(Registry, MachineWideFileIsNeverWritten) {
  WriteWholeFile(machine_, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Glimmerbox]\n"
                           "\"Base Folder\"=\"/opt/glimmerbox\"\n");
  RegKey key;
  EXPECT_FALSE(key.Create(HKEY_LOCAL_MACHINE, "Software\\Elsewhere"));
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kKey));
  std::string base;
  EXPECT_TRUE(key.QueryString("Base Folder", base, 260));
  EXPECT_EQ(base, "/opt/glimmerbox");
  EXPECT_FALSE(key.SetString("Base Folder", "/elsewhere"));
  EXPECT_FALSE(key.DeleteValue("Base Folder"));
  // The user's file holds the user's root only: the same path there is another key.
  RegKey user;
  EXPECT_FALSE(user.Open(HKEY_CURRENT_USER, kKey));
}

TEST_F(Registry, ChangesOnDiskAreSeenAndDamageIsReportedOnce) {
  WriteUserFile("[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n\"A\"=dword:1\nbad\n");
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kKey));
  uint32_t value = 0;
  EXPECT_TRUE(key.QueryDword("A", value));
  EXPECT_TRUE(key.QueryDword("A", value));
  EXPECT_EQ(g_warnings.size(), 1u);
  WriteUserFile("[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n\"A\"=dword:22\n");
  EXPECT_TRUE(key.QueryDword("A", value));
  EXPECT_EQ(value, 0x22u);
}

// A folder that refuses new files stands for a read-only medium. Root writes anywhere, so as root
// the writing side runs in a child process that has given root up.
TEST_F(Registry, UnwritableFolderReportsFailureAndKeepsTheOldFile) {
  const std::string before =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n"
      "\"Play Time\"=dword:00000078\n\n";
  WriteUserFile(before);
  const std::string folder = dir_.file("config/Corvane");
  for (const char* path : {"", "config"}) ::chmod(dir_.file(path).c_str(), 0755);
  ::chmod(folder.c_str(), 0555);
  ::chmod(user_.c_str(), 0644);

  // 0: as expected; 1: the write claimed success; 2: the folder was writable after all.
  auto attempt = [&]() -> int {
    if (::access(folder.c_str(), W_OK) == 0) return 2;
    RegKey key, playlist;
    if (!key.Open(HKEY_CURRENT_USER, kKey)) return 1;
    key.SetDword("Play Time", 5);
    if (key.Flush() || playlist.Create(key, "Playlist")) return 1;
    // The dropped change is gone from memory too: the key reads what the file holds.
    uint32_t time = 0;
    return key.QueryDword("Play Time", time) && time == 120 ? 0 : 1;
  };
  int result;
  if (::geteuid() != 0) {
    result = attempt();
  } else {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const uid_t nobody = 65534;
      ::_exit(::setgid(nobody) == 0 && ::setuid(nobody) == 0 ? attempt() : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    result = WEXITSTATUS(status);
  }
  ::chmod(folder.c_str(), 0755);
  if (result == 2) GTEST_SKIP() << "no user here for whom permissions hold";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadWholeFile(user_), before);
}

// A write cut short (here by the file size limit) must not reach the real file.
TEST_F(Registry, WriteCutShortLeavesTheOldFileIntact) {
  const std::string before =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n"
      "\"Play Time\"=dword:00000078\n\n";
  WriteUserFile(before);
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kKey));
  key.SetString("Archive Folder", std::string(4000, 'x'));

  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 100;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = key.Flush();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadWholeFile(user_), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.file("config/Corvane")),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
}

TEST_F(Registry, NoPlaceForTheFileMeansNoKey) {
  WriteWholeFile(dir_.file("config"), "a file where the folder should be");
  RegKey key;
  EXPECT_FALSE(key.Create(HKEY_CURRENT_USER, kKey));
  EXPECT_FALSE(key.IsOpen());
  EXPECT_FALSE(key.SetDword("Play Time", 1));
}

TEST_F(Registry, ALinkedFileStaysLinked) {
  const std::string real = dir_.file("dotfiles.reg");
  WriteWholeFile(real, "REGEDIT4\n");
  std::filesystem::create_directories(dir_.file("config/Corvane"));
  std::filesystem::create_symlink(real, user_);
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey));
  ASSERT_TRUE(key.Close());
  EXPECT_TRUE(std::filesystem::is_symlink(user_));
  EXPECT_NE(ReadWholeFile(real).find("[HKEY_CURRENT_USER"), std::string::npos);
}

TEST(RegistryFiles, StandardPlacesFollowTheXdgVariables) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("second/Corvane"));
  WriteWholeFile(dir.file("second/Corvane/Glimmerbox.reg"), "");
  struct Case {
    const char* configHome;
    const char* configDirs;
    const char* machineFile;
    std::string user, machine;
  };
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  const std::string dirs = dir.file("first") + ":" + dir.file("second");
  const Case cases[] = {
      {"/cfg", nullptr, nullptr, "/cfg/Corvane/Glimmerbox.reg", "/etc/xdg/Corvane/Glimmerbox.reg"},
      {"relative", nullptr, nullptr, home + "/.config/Corvane/Glimmerbox.reg",
       "/etc/xdg/Corvane/Glimmerbox.reg"},
      {nullptr, dirs.c_str(), nullptr, "",
       dir.file("second/Corvane/Glimmerbox.reg")},
      {nullptr, nullptr, "/test/machine.reg", "", "/test/machine.reg"},
  };
  for (const Case& c : cases) {
    auto set = [](const char* name, const char* value) {
      value ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    set("XDG_CONFIG_HOME", c.configHome);
    set("XDG_CONFIG_DIRS", c.configDirs);
    set("GLIMMERBOX_MACHINE_REG", c.machineFile);
    if (!c.user.empty()) {
      EXPECT_EQ(RegFilePath(HKEY_CURRENT_USER), c.user);
    }
    EXPECT_EQ(RegFilePath(HKEY_LOCAL_MACHINE), c.machine);
  }
}
