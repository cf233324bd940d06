// The folder browser's state: where it starts, what it lists, moving about and the choice.
#include "platform/folder_browser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class FolderBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"b", "a", "C", ".hidden", "a/inner"}) fs::create_directories(dir_.path() / folder);
    WriteWholeFile(dir_.file("file.txt"), "x");
    fs::create_directory_symlink(dir_.path() / "a", dir_.path() / "link");
    root_ = fs::canonical(dir_.path()).string();
  }
  TempDir dir_;
  std::string root_;
};

}  // namespace

TEST_F(FolderBrowser, StartsInTheNearestFolderThatExists) {
  const struct {
    std::string start, folder;
  } cases[] = {
      {root_, root_},
      {root_ + "/", root_},
      {root_ + "/a/inner", root_ + "/a/inner"},
      {root_ + "/a/missing/deeper", root_ + "/a"},
      {root_ + "/file.txt", root_},
  };
  for (const auto& c : cases) EXPECT_EQ(CFolderBrowser(c.start).Folder(), c.folder) << c.start;
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", root_.c_str(), 1);
  EXPECT_EQ(CFolderBrowser("").Folder(), root_);
  setenv("HOME", home.c_str(), 1);
}

TEST_F(FolderBrowser, ListsVisibleFoldersInByteOrder) {
  const CFolderBrowser browser(root_);
  EXPECT_EQ(browser.Subfolders(), (std::vector<std::string>{"C", "a", "b", "link"}));
}

TEST_F(FolderBrowser, MovesAboutAndChooses) {
  CFolderBrowser browser(root_);
  EXPECT_EQ(browser.Choice(), root_);
  browser.Select(2);
  EXPECT_EQ(browser.Choice(), root_ + "/b");
  browser.Select(9);
  EXPECT_EQ(browser.Choice(), root_) << "an index outside the list chooses the folder itself";

  ASSERT_TRUE(browser.Open(1));
  EXPECT_EQ(browser.Folder(), root_ + "/a");
  EXPECT_EQ(browser.Subfolders(), (std::vector<std::string>{"inner"}));
  EXPECT_EQ(browser.Selected(), -1);
  EXPECT_FALSE(browser.Open(5));
  EXPECT_FALSE(browser.GoTo(root_ + "/file.txt"));
  EXPECT_FALSE(browser.GoTo(""));
  EXPECT_EQ(browser.Folder(), root_ + "/a");
  ASSERT_TRUE(browser.Up());
  EXPECT_EQ(browser.Folder(), root_);
  ASSERT_TRUE(browser.GoTo(root_ + "/a/../b/"));
  EXPECT_EQ(browser.Folder(), root_ + "/b");

  CFolderBrowser top("/");
  EXPECT_FALSE(top.Up());
  EXPECT_EQ(top.Folder(), "/");
}
