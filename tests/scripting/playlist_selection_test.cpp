#include "scripting/playlist_selection.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kUserKey = "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n";

class PlaylistSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    user_ = dir_.file("config/Corvane/Glimmerbox.reg");
    RegSetFilePath(HKEY_CURRENT_USER, user_);
    RegForgetFiles();
  }
  void TearDown() override {
    RegSetFilePath(HKEY_CURRENT_USER, "");
    RegForgetFiles();
  }
  void WriteUserFile(const std::string& text) {
    std::filesystem::create_directories(dir_.file("config/Corvane"));
    WriteWholeFile(user_, text);
  }

  TempDir dir_;
  std::string user_;
};

}  // namespace

TEST_F(PlaylistSelection, KeepsOnlyWhatTheCatalogueHas) {
  EXPECT_TRUE(ReadPlaylistSelection().empty());  // no Playlist key yet
  WriteUserFile(kUserKey + "\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox\\Playlist]\n"
                "\"file1\"=\"Gone.lua\"\n\"anything\"=\"TWINS.LUA\"\n\"file3\"=\"twins.lua\"\n"
                "\"file4\"=dword:00000001\n\"file5\"=\"" + std::string(300, 'x') + "\"\n");
  const std::vector<std::string> selection = ReadPlaylistSelection();
  // Read from the last value to the first; names and other types are ignored.
  EXPECT_EQ(selection, (std::vector<std::string>{"twins.lua", "TWINS.LUA", "Gone.lua"}));

  const std::vector<std::string> catalogue = {"Intro.lua", "Twins.lua", "zipped.zip"};
  std::vector<std::string> selected;
  for (const std::string& name : catalogue)
    if (IsScriptSelected(selection, name)) selected.push_back(name);
  EXPECT_EQ(selected, std::vector<std::string>{"Twins.lua"});
  EXPECT_FALSE(IsScriptSelected(selection, "Twins.lu"));

  ASSERT_TRUE(WritePlaylistSelection(selected));
  const std::string text = ReadWholeFile(user_);
  EXPECT_NE(text.find("Playlist]\n\"file1\"=\"Twins.lua\"\n\n"), std::string::npos) << text;
  EXPECT_EQ(ReadPlaylistSelection(), std::vector<std::string>{"Twins.lua"});

  ASSERT_TRUE(WritePlaylistSelection({"a.lua", "b\nc.lua"}));
  EXPECT_EQ(ReadPlaylistSelection(), (std::vector<std::string>{"b\nc.lua", "a.lua"}));
  ASSERT_TRUE(WritePlaylistSelection({}));
  EXPECT_TRUE(ReadPlaylistSelection().empty());
}
