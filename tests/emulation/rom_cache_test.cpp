#include "emulation/rom_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "base/log.h"
#include "shell/app_state.h"
#include "tests/support/temp_dir.h"

namespace {

class ROMCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.folders.roms = roms.path().string();
    SetApp(&app);
    ASSERT_TRUE(OpenLog(logDir.file("log.txt")));
    logStart = LogLines().size();
  }
  void TearDown() override {
    ReleaseROMCache(app.romCache);
    CloseLog();
    SetApp(nullptr);
  }

  // A ROM file whose byte i is i * 7 (mod 256).
  void WriteRom(const std::string& name, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7);
    WriteWholeFile(roms.file(name), bytes);
  }
  static bool HoldsPattern(const uint8_t* rom) {
    for (size_t i = 0; i < ROM_SIZE; ++i)
      if (rom[i] != static_cast<uint8_t>(i * 7)) return false;
    return true;
  }
  // The messages logged since the test began, without their time stamps.
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::istringstream text(ReadWholeFile(logDir.file("log.txt")));
    for (std::string line; std::getline(text, line);) lines.push_back(line.substr(11));
    return std::vector<std::string>(lines.begin() + std::min(logStart, lines.size()), lines.end());
  }

  TempDir roms, logDir;
  AppState app;
  size_t logStart = 0;
};

}  // namespace

TEST_F(ROMCacheTest, SecondRequestSharesTheImageWithoutTheFile) {
  WriteRom("48.rom", ROM_SIZE);
  uint8_t* first = ROMCache(ROM_48, app.romCache);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(HoldsPattern(first));
  std::filesystem::remove(roms.file("48.rom"));
  EXPECT_EQ(ROMCache(ROM_48, app.romCache), first);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(ROMCacheTest, LongFileLoadsItsFirst16KWithAWarning) {
  WriteRom("48.rom", ROM_SIZE + 1);
  uint8_t* rom = ROMCache(ROM_48, app.romCache);
  ASSERT_NE(rom, nullptr);
  EXPECT_TRUE(HoldsPattern(rom));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "ROMCache: Warning - ROM larger than expected. Will only read the first 16K of:",
                            roms.file("48.rom")}));
}

TEST_F(ROMCacheTest, ShortFileIsRefusedAndTriedAgainNextTime) {
  WriteRom("128-1.rom", ROM_SIZE - 1);
  EXPECT_EQ(ROMCache(ROM_128_1, app.romCache), nullptr);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"ROMCache: Warning - ROM unexpected file size. Not loading:",
                                                  roms.file("128-1.rom")}));
  WriteRom("128-1.rom", ROM_SIZE);
  uint8_t* rom = ROMCache(ROM_128_1, app.romCache);
  ASSERT_NE(rom, nullptr);
  EXPECT_TRUE(HoldsPattern(rom));
}

TEST_F(ROMCacheTest, IdsWithoutAFileAndMissingFilesGiveNullSilently) {
  for (const char* name : {"48.rom", "128-0.rom"}) WriteRom(name, ROM_SIZE);
  for (int32_t id : {-1, 0, 3, 7, 13, 1000}) EXPECT_EQ(ROMCache(id, app.romCache), nullptr) << id;
  EXPECT_EQ(ROMCache(ROM_PLUS2_0, app.romCache), nullptr);  // no such file
  std::filesystem::create_directory(roms.file("plus2-1.rom"));  // a folder is no file
  EXPECT_EQ(ROMCache(ROM_PLUS2_1, app.romCache), nullptr);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(ROMCacheTest, MissingROMMapsTheBlankBlockAndIsLoggedOnce) {
  uint8_t* rom = ROMOrBlank(ROM_128_0, app.romCache);
  EXPECT_EQ(rom, BlankROM());
  for (size_t i = 0; i < ROM_SIZE; ++i) ASSERT_EQ(rom[i], 0xFF);
  ROMOrBlank(ROM_128_0, app.romCache);
  EXPECT_EQ(LogLines().size(), 2u);
  EXPECT_EQ(LogLines().back(), roms.file("128-0.rom"));

  WriteRom("128-0.rom", ROM_SIZE);
  EXPECT_TRUE(HoldsPattern(ROMOrBlank(ROM_128_0, app.romCache)));
  ReleaseROMCache(app.romCache);
  for (uint8_t* entry : app.romCache) EXPECT_EQ(entry, nullptr);
}
