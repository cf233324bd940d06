#include "platform/folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

TEST(Folders, DataFolderDependsOnWhereTheExecutableIs) {
  TempDir dir;
  namespace fs = std::filesystem;
  for (const char* folder : {"usr/bin", "usr/share/glimmerbox", "opt/gb/bin", "opt/gb/share/glimmerbox",
                             "src/data", "src/build", "bare/bin"})
    fs::create_directories(dir.path() / folder);
  const DataLayout layout{dir.file("usr/bin"), dir.file("usr/share/glimmerbox"), dir.file("src/data")};
  const DataLayout noSource{layout.installBin, layout.installData, dir.file("src/missing")};
  struct Case {
    std::string executable;
    const DataLayout& layout;
    std::string expected;
  };
  const Case cases[] = {
      {dir.file("usr/bin/glimmerbox"), layout, layout.installData},           // installed
      {dir.file("opt/gb/bin/glimmerbox"), layout, dir.file("opt/gb/share/glimmerbox")},  // moved
      {dir.file("src/build/glimmerbox"), layout, layout.sourceData},          // run from a build
      {dir.file("bare/bin/glimmerbox"), noSource, layout.installData},        // nothing better
      {"", layout, layout.sourceData},                                        // unknown executable
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseDataFolder(c.executable, c.layout), c.expected) << c.executable;
}

TEST(Folders, TheBuildRunsOnTheSourceData) {
  EXPECT_EQ(DefaultBaseFolder(), GLIMMERBOX_SOURCE_DATA);
}

TEST(Folders, AppDataFollowsXdgDataHome) {
  ::setenv("HOME", "/home/tester", 1);
  ::setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(AppDataFolder(), "/data/home/Corvane");
  ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
  EXPECT_EQ(AppDataFolder(), "/home/tester/.local/share/Corvane");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(AppDataFolder(), "/home/tester/.local/share/Corvane");
}

TEST(Folders, PathsJoinWithOneSlash) {
  EXPECT_EQ(JoinPath("/base", "Roms"), "/base/Roms");
  EXPECT_EQ(JoinPath("/base//", "Roms"), "/base/Roms");
  EXPECT_EQ(JoinPath("/", "Roms"), "/Roms");
  TempDir dir;
  EXPECT_TRUE(CreateFolder(dir.file("a/b/c")));
  EXPECT_TRUE(CreateFolder(dir.file("a/b/c")));
  WriteWholeFile(dir.file("file"), "x");
  EXPECT_FALSE(CreateFolder(dir.file("file/sub")));
}
