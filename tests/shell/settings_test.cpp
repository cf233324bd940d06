#include "shell/settings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/log.h"
#include "platform/registry.h"
#include "scripting/playlist_selection.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kUserKey = "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user_ = dir_.file("config/Corvane/Glimmerbox.reg");
    machine_ = dir_.file("machine.reg");
    RegSetFilePath(HKEY_CURRENT_USER, user_);
    RegSetFilePath(HKEY_LOCAL_MACHINE, machine_);
    RegForgetFiles();
  }
  void TearDown() override {
    CloseLog();
    SetBaseFolderOverride("");
    RegSetFilePath(HKEY_CURRENT_USER, "");
    RegSetFilePath(HKEY_LOCAL_MACHINE, "");
    RegForgetFiles();
  }
  void WriteUserFile(const std::string& text) {
    std::filesystem::create_directories(dir_.file("config/Corvane"));
    WriteWholeFile(user_, text);
  }
  ProgramSettings Read() {
    ProgramSettings app;
    app.display.screens.resize(2);
    app.display.screens[0].hasAdapter = true;
    ReadSettings(app);
    return app;
  }

  TempDir dir_;
  std::string user_, machine_;
};

// Every user setting as a row: its name, and where it lives in the application state.
struct Field {
  const char* name;
  int32_t Settings::*member;
};
const Field kFields[] = {
    {"Play Selection", &Settings::playSelection},
    {"Play Mode", &Settings::playMode},
    {"Play Time", &Settings::playTime},
    {"Hot Key", &Settings::hotKey},
    {"Emulate Beeper", &Settings::emulateBeeper},
    {"Emulate AY", &Settings::emulateAY},
    {"Smart Play", &Settings::smartPlay},
    {"Include Default Archive", &Settings::includeDefaultArchive},
    {"Vertical Sync", &Settings::verticalSync},
    {"Show FPS", &Settings::showFPS},
    {"Log", &Settings::log},
};

}  // namespace

TEST_F(SettingsTest, AFreshSystemGetsTheDefaults) {
  const ProgramSettings app = Read();
  const int32_t expected[] = {0, 1, 120, 112, 0, 0, 1, 1, 1, 0, 1};
  for (size_t i = 0; i < std::size(kFields); ++i)
    EXPECT_EQ(app.settings.*kFields[i].member, expected[i]) << kFields[i].name;
  EXPECT_EQ(app.settings.archiveFolder, "");
  EXPECT_EQ(app.folders.base, GLIMMERBOX_SOURCE_DATA);
  EXPECT_EQ(app.folders.roms, GLIMMERBOX_SOURCE_DATA "/Roms");
  EXPECT_EQ(app.folders.models, GLIMMERBOX_SOURCE_DATA "/Models");
  EXPECT_EQ(app.folders.scripts, GLIMMERBOX_SOURCE_DATA "/Scripts");
  EXPECT_EQ(app.folders.snapshots, GLIMMERBOX_SOURCE_DATA "/Snapshots");
  EXPECT_EQ(app.display.allScreensSame, 0);
  EXPECT_EQ(app.display.tubeEffect, 1);
  // Reading creates the user's key, as opening it with creation does.
  EXPECT_EQ(ReadWholeFile(user_), "REGEDIT4\n\n" + kUserKey + "\n");
}

TEST_F(SettingsTest, WritesInItsOrderAndReadsEveryValueBack) {
  ProgramSettings app = Read();
  for (size_t i = 0; i < std::size(kFields); ++i)
    app.settings.*kFields[i].member = i == 0 || i == 1 ? 1 - app.settings.*kFields[i].member
                                                       : 1000 + static_cast<int32_t>(i);
  app.settings.playTime = -1;  // not range-checked: stored as 0xffffffff
  app.settings.archiveFolder = "/home/me/My \"Snaps\"\\";
  app.display.allScreensSame = 1;
  app.display.tubeEffect = 0;
  ScreenSettings& screen = app.display.screens[0];
  for (int i = 0; i < 16; ++i) screen.adapterId[i] = static_cast<uint8_t>(i + 1);
  screen.leaveBlack = 1;
  screen.width = 800;
  screen.height = 600;
  screen.format = 22;
  ASSERT_TRUE(WriteSettings(app));

  EXPECT_EQ(ReadWholeFile(user_),
            "REGEDIT4\n\n" + kUserKey +
                "\"Play Selection\"=dword:00000001\n\"Play Mode\"=dword:00000000\n"
                "\"Play Time\"=dword:ffffffff\n\"Hot Key\"=dword:000003eb\n"
                "\"Emulate Beeper\"=dword:000003ec\n\"Emulate AY\"=dword:000003ed\n"
                "\"Smart Play\"=dword:000003ee\n\"Include Default Archive\"=dword:000003ef\n"
                "\"Vertical Sync\"=dword:000003f0\n\"Show FPS\"=dword:000003f1\n"
                "\"Log\"=dword:000003f2\n\"Archive Folder\"=\"/home/me/My \\\"Snaps\\\"\\\\\"\n"
                "\"AllScreensSame\"=dword:00000001\n\"Tube Effect\"=dword:00000000\n\n"
                "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox\\Screen 1]\n"
                "\"Adapter ID\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10\n"
                "\"Leave Black\"=dword:00000001\n\"Disable Hardware\"=dword:00000000\n"
                "\"Width\"=dword:00000320\n\"Height\"=dword:00000258\n"
                "\"Format\"=dword:00000016\n\n");

  RegForgetFiles();
  ProgramSettings back;
  back.display.screens.resize(2);
  back.display.screens[0].hasAdapter = true;
  std::copy(std::begin(screen.adapterId), std::end(screen.adapterId), back.display.screens[0].adapterId);
  ReadSettings(back);
  for (const Field& field : kFields)
    EXPECT_EQ(back.settings.*field.member, app.settings.*field.member) << field.name;
  EXPECT_EQ(back.settings.archiveFolder, app.settings.archiveFolder);
  EXPECT_EQ(back.display.allScreensSame, 1);
  EXPECT_EQ(back.display.tubeEffect, 0);
  EXPECT_EQ(back.display.screens[0].leaveBlack, 1);
  EXPECT_EQ(back.display.screens[0].width, 800);
  EXPECT_EQ(back.display.screens[0].height, 600);
  EXPECT_EQ(back.display.screens[0].format, 22);
}

TEST_F(SettingsTest, RoundTripLeavesUnknownKeysAndValuesAlone) {
  WriteUserFile("REGEDIT4\n\n; my notes\n\n[HKEY_CURRENT_USER\\Software\\Someone Else]\n\"X\"=\"y\"\n\n" +
                kUserKey + "\"Future Option\"=hex(7):61,00,00,00\n\"Play Time\"=dword:0000003c\n\n");
  ProgramSettings app = Read();
  EXPECT_EQ(app.settings.playTime, 60);
  ASSERT_TRUE(WriteSettings(app));
  const std::string text = ReadWholeFile(user_);
  EXPECT_EQ(text.find("REGEDIT4\n\n; my notes\n\n[HKEY_CURRENT_USER\\Software\\Someone Else]\n"
                      "\"X\"=\"y\"\n\n" + kUserKey + "\"Future Option\"=hex(7):61,00,00,00\n"
                      "\"Play Time\"=dword:0000003c\n\"Play Selection\"=dword:00000000\n"),
            0u)
      << text;
  RegForgetFiles();
  EXPECT_EQ(Read().settings.playTime, 60);
}

TEST_F(SettingsTest, PlayFlagsOutsideZeroAndOneReadAsZero) {
  struct Case {
    const char* stored;
    int32_t expected;
  };
  const Case cases[] = {{"00000000", 0}, {"00000001", 1}, {"00000005", 0}, {"ffffffff", 0}};
  for (const Case& c : cases) {
    WriteUserFile(kUserKey + "\"Play Mode\"=dword:" + c.stored + "\n\"Play Selection\"=dword:" +
                  c.stored + "\n");
    RegForgetFiles();
    const ProgramSettings app = Read();
    EXPECT_EQ(app.settings.playMode, c.expected) << c.stored;
    EXPECT_EQ(app.settings.playSelection, c.expected) << c.stored;
  }
}

TEST_F(SettingsTest, ADamagedFileKeepsWhatItCanAndSaysWhere) {
  WriteUserFile("REGEDIT4\n" + kUserKey +
                "\"Play Time\"=dword:0000001e\n"
                "\"Hot Key\"=dword:not a number\n"
                "\"Archive Folder\"=\"/snaps\n"
                "\"Log\"=\"1\"\n" +  // wrong type: the default stands
                std::string("\0\xff\xfe garbage\n", 12) +
                "\"Show FPS\"=dword:00000001\n");
  ASSERT_TRUE(OpenLog(dir_.file("log.txt")));
  const ProgramSettings app = Read();
  EXPECT_EQ(app.settings.playTime, 30);
  EXPECT_EQ(app.settings.hotKey, 112);
  EXPECT_EQ(app.settings.archiveFolder, "");
  EXPECT_EQ(app.settings.log, 1);
  EXPECT_EQ(app.settings.showFPS, 1);
  CloseLog();
  const std::string log = ReadWholeFile(dir_.file("log.txt"));
  for (int line : {4, 5, 7})
    EXPECT_NE(log.find("Registry: skipped damaged line " + std::to_string(line) + " of \"" + user_ + "\""),
              std::string::npos)
        << log;
}

TEST_F(SettingsTest, DamageFoundBeforeTheLogOpensIsLoggedOnceItIs) {
  WriteUserFile("REGEDIT4\n" + kUserKey + "junk\n");
  Read();
  ASSERT_TRUE(OpenLog(dir_.file("log.txt")));
  LogSettingsWarnings();
  LogSettingsWarnings();
  CloseLog();
  const std::string log = ReadWholeFile(dir_.file("log.txt"));
  const std::string line = "Registry: skipped damaged line 3 of \"" + user_ + "\"";
  ASSERT_NE(log.find(line), std::string::npos) << log;
  EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos) << log;
}

TEST_F(SettingsTest, BaseFolderComesFromOverrideMachineFileOrInstallation) {
  WriteWholeFile(machine_, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Glimmerbox]\n"
                           "\"Base Folder\"=\"/opt/gb\"\n");
  EXPECT_EQ(Read().folders.scripts, "/opt/gb/Scripts");
  SetBaseFolderOverride("/my/base/");
  ProgramSettings app = Read();
  EXPECT_EQ(app.folders.base, "/my/base/");
  EXPECT_EQ(app.folders.roms, "/my/base/Roms");
  SetBaseFolderOverride("");
  WriteWholeFile(machine_, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Glimmerbox]\n"
                           "\"Base Folder\"=\"\"\n");
  EXPECT_EQ(Read().folders.base, GLIMMERBOX_SOURCE_DATA);
}

TEST_F(SettingsTest, UnwritableUserFileMeansDefaultsAndNoSave) {
  WriteWholeFile(dir_.file("config"), "a file where the folder should be");
  ProgramSettings app = Read();
  EXPECT_EQ(app.settings.playMode, 1);
  EXPECT_EQ(app.folders.base, GLIMMERBOX_SOURCE_DATA);
  EXPECT_FALSE(WriteSettings(app));
  EXPECT_FALSE(WritePlaylistSelection({"a.lua"}));
}

TEST_F(SettingsTest, ScreenModesCountOnlyForTheAdapterTheyWereChosenFor) {
  struct Case {
    const char* storedId;
    uint8_t presentFirstByte;
    int32_t expectedWidth;
  };
  const Case cases[] = {
      {"01,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00", 1, 1024},  // the same adapter
      {"00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00", 7, 1024},  // stored adapter unknown
      {"02,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00", 1, 0},     // another adapter
      {"01,02", 1, 0},                                               // damaged id: not zero
  };
  for (const Case& c : cases) {
    WriteUserFile(kUserKey + "\"AllScreensSame\"=dword:00000001\n\n"
                  "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox\\Screen 1]\n"
                  "\"Adapter ID\"=hex:" + c.storedId + "\n\"Leave Black\"=dword:00000001\n"
                  "\"Width\"=dword:00000400\n");
    RegForgetFiles();
    ProgramSettings app;
    app.display.screens.resize(1);
    app.display.screens[0].hasAdapter = true;
    app.display.screens[0].adapterId[0] = c.presentFirstByte;
    ReadSettings(app);
    EXPECT_EQ(app.display.allScreensSame, 1) << c.storedId;
    EXPECT_EQ(app.display.screens[0].leaveBlack, 1) << c.storedId;
    EXPECT_EQ(app.display.screens[0].width, c.expectedWidth) << c.storedId;
    EXPECT_EQ(app.display.screens[0].adapterId[0], c.presentFirstByte) << c.storedId;
  }
}

TEST_F(SettingsTest, AFallbackModeIsStoredForItsScreenAlone) {
  ScreenSettings screen;
  screen.hasAdapter = true;
  screen.width = 640;
  screen.height = 480;
  screen.format = 23;
  ASSERT_TRUE(WriteScreenSettings(screen, 2));
  ProgramSettings app;
  app.display.screens.resize(2);
  app.display.screens[1].hasAdapter = true;
  ReadSettings(app);
  EXPECT_EQ(app.display.screens[1].width, 640);
  EXPECT_EQ(app.display.screens[1].format, 23);
  EXPECT_EQ(app.display.screens[0].width, 0);
}

TEST_F(SettingsTest, FullScreenReadsTheFirstScreenForTheAdapterPresent) {
  const std::string screen1 = kUserKey +
      "\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox\\Screen 1]\n";
  const std::string stored = "\"Disable Hardware\"=dword:00000001\n\"Width\"=dword:00000320\n"
                             "\"Height\"=dword:00000258\n\"Format\"=dword:00000017\n";
  const std::string rest = ",00,00,00,00,00,00,00,00,00,00,00,00,00,00,00\n";
  struct Case {
    const char* what;
    std::string file;
    bool identifies;
    bool expectRead, expectAsked;
    int32_t width, disableHardware;
  } cases[] = {
      {"nothing stored: the adapter is not even looked at", "", true, false, false, 0, 0},
      {"only other values stored", kUserKey + "\"AllScreensSame\"=dword:00000001\n", true, false,
       false, 0, 0},
      {"stored for this adapter", screen1 + "\"Adapter ID\"=hex:05" + rest + stored, true, true,
       true, 800, 1},
      {"stored for no adapter in particular", screen1 + stored, true, true, true, 800, 1},
      {"stored for another adapter", screen1 + "\"Adapter ID\"=hex:06" + rest + stored, true, true,
       true, 0, 0},
      {"the adapter cannot be told", screen1 + stored, false, false, true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(user_);
    if (!c.file.empty()) WriteUserFile("REGEDIT4\n\n" + c.file);
    RegForgetFiles();
    DisplaySettings display;
    bool asked = false;
    const bool read = ReadFirstScreenSettings(display, [&](uint8_t id[16]) {
      asked = true;
      std::fill(id, id + 16, 0);
      id[0] = 5;
      return c.identifies;
    });
    EXPECT_EQ(read, c.expectRead);
    EXPECT_EQ(asked, c.expectAsked);
    EXPECT_EQ(std::filesystem::exists(user_), !c.file.empty()) << "reading creates nothing";
    if (!read) {
      EXPECT_TRUE(display.screens.empty()) << "left alone";
      continue;
    }
    ASSERT_EQ(display.screens.size(), 1u);
    EXPECT_TRUE(display.screens[0].hasAdapter);
    EXPECT_EQ(display.screens[0].adapterId[0], 5);
    EXPECT_EQ(display.screens[0].width, c.width);
    EXPECT_EQ(display.screens[0].height, c.width ? 600 : 0);
    EXPECT_EQ(display.screens[0].format, c.width ? 23 : 0);
    EXPECT_EQ(display.screens[0].disableHardware, c.disableHardware);
  }
}
