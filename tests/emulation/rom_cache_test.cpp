#include "emulation/rom_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "base/log.h"
#include "tests/support/temp_dir.h"

namespace {

class ROMCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenLog(logDir.file("log.txt")));
    logStart = LogLines().size();
  }
  void TearDown() override { CloseLog(); }

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
  CRomCache cache{roms.path().string()};
  const LogSink log = [](const std::string& line) { WriteLog(line); };
  size_t logStart = 0;
};

}  // namespace

TEST_F(ROMCacheTest, SecondRequestSharesTheImageWithoutTheFile) {
  WriteRom("48.rom", ROM_SIZE);
  uint8_t* first = cache.ROMCache(ROM_48, log);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(HoldsPattern(first));
  std::filesystem::remove(roms.file("48.rom"));
  EXPECT_EQ(cache.ROMCache(ROM_48, log), first);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(ROMCacheTest, LongFileLoadsItsFirst16KWithAWarning) {
  WriteRom("48.rom", ROM_SIZE + 1);
  uint8_t* rom = cache.ROMCache(ROM_48, log);
  ASSERT_NE(rom, nullptr);
  EXPECT_TRUE(HoldsPattern(rom));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "ROMCache: Warning - ROM larger than expected. Will only read the first 16K of:",
                            roms.file("48.rom")}));
}

TEST_F(ROMCacheTest, ShortFileIsRefusedAndTriedAgainNextTime) {
  WriteRom("128-1.rom", ROM_SIZE - 1);
  EXPECT_EQ(cache.ROMCache(ROM_128_1, log), nullptr);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"ROMCache: Warning - ROM unexpected file size. Not loading:",
                                                  roms.file("128-1.rom")}));
  WriteRom("128-1.rom", ROM_SIZE);
  uint8_t* rom = cache.ROMCache(ROM_128_1, log);
  ASSERT_NE(rom, nullptr);
  EXPECT_TRUE(HoldsPattern(rom));
}

TEST_F(ROMCacheTest, IdsWithoutAFileAndMissingFilesGiveNullSilently) {
  for (const char* name : {"48.rom", "128-0.rom"}) WriteRom(name, ROM_SIZE);
  for (int32_t id : {-1, 0, 3, 7, 13, 1000}) EXPECT_EQ(cache.ROMCache(id, log), nullptr) << id;
  EXPECT_EQ(cache.ROMCache(ROM_PLUS2_0, log), nullptr);  // no such file
  std::filesystem::create_directory(roms.file("plus2-1.rom"));  // a folder is no file
  EXPECT_EQ(cache.ROMCache(ROM_PLUS2_1, log), nullptr);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(ROMCacheTest, MissingROMMapsTheBlankBlockAndIsLoggedOnce) {
  uint8_t* rom = cache.RomImage(ROM_128_0, log);
  EXPECT_EQ(rom, BlankROM());
  for (size_t i = 0; i < ROM_SIZE; ++i) ASSERT_EQ(rom[i], 0xFF);
  cache.RomImage(ROM_128_0, log);
  EXPECT_EQ(LogLines().size(), 2u);
  EXPECT_EQ(LogLines().back(), roms.file("128-0.rom"));

  WriteRom("128-0.rom", ROM_SIZE);
  EXPECT_TRUE(HoldsPattern(cache.RomImage(ROM_128_0, log)));
  // Released, the image is read again and a missing file is noticed again.
  cache.Release();
  std::filesystem::remove(roms.file("128-0.rom"));
  EXPECT_EQ(cache.ROMCache(ROM_128_0, log), nullptr);
  EXPECT_EQ(cache.RomImage(ROM_128_0, log), BlankROM());
  EXPECT_EQ(LogLines().size(), 4u);
}
