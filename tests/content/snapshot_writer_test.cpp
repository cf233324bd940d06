#include "tools/content/snapshot_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tests/content/content_support.h"
#include "tools/content/demo_program.h"
#include "tools/content/demo_screens.h"

namespace {

uint16_t Word16(const std::vector<uint8_t>& file, size_t at) {
  return static_cast<uint16_t>(file[at] | file[at + 1] << 8);
}

const DemoProgram& ProgramIn(const std::vector<DemoProgram>& programs, DemoFormat format) {
  for (const DemoProgram& program : programs)
    if (program.format == format) return program;
  return programs.front();
}

}  // namespace

TEST(CompressZ80, FollowsThePublishedRunRules) {
  struct Case {
    const char* what;
    std::vector<uint8_t> in, out;
  };
  const Case cases[] = {
      {"four equal bytes stay as they are", {7, 7, 7, 7}, {7, 7, 7, 7}},
      {"five become a run", {7, 7, 7, 7, 7}, {0xED, 0xED, 5, 7}},
      {"two EDs are always a run", {0xED, 0xED}, {0xED, 0xED, 2, 0xED}},
      {"the byte after a single ED is never a run",
       {0xED, 0, 0, 0, 0, 0, 0},
       {0xED, 0, 0xED, 0xED, 5, 0}},
      {"runs stop at 255", std::vector<uint8_t>(300, 0), {0xED, 0xED, 255, 0, 0xED, 0xED, 45, 0}},
      {"a lone ED at the end", {1, 0xED}, {1, 0xED}},
  };
  for (const Case& c : cases) EXPECT_EQ(CompressZ80(c.in.data(), c.in.size()), c.out) << c.what;
}

TEST(CompressZ80, DecodesBackToTheInput) {
  // Random bytes rich in EDs and runs, so that every rule meets every other.
  std::mt19937 random(7);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<uint8_t> data;
    while (data.size() < 4000) {
      const uint8_t value = (random() % 3 == 0) ? 0xED : static_cast<uint8_t>(random() % 4);
      data.insert(data.end(), 1 + random() % 9, value);
    }
    const std::vector<uint8_t> packed = CompressZ80(data.data(), data.size());
    EXPECT_EQ(DecodeZ80(packed.data(), packed.size(), data.size()), data) << trial;
  }
}

TEST(SnapshotWriter, SNAHasTheHeaderAndStackedPC) {
  const std::vector<DemoProgram> programs = DemoPrograms();
  const DemoProgram& program = ProgramIn(programs, DemoFormat::SNA);
  ASSERT_EQ(program.format, DemoFormat::SNA);
  const std::vector<uint8_t> file = WriteSNA(program);
  ASSERT_EQ(file.size(), 49179u);
  EXPECT_EQ(file[0], program.i);
  EXPECT_EQ(file[19] & 0x04, program.iff ? 4 : 0);
  const uint16_t sp = Word16(file, 23);
  EXPECT_EQ(sp, program.sp - 2);
  EXPECT_EQ(file[25], program.im);
  EXPECT_EQ(file[26], program.border);
  // The reader pops PC from the image at SP.
  EXPECT_EQ(Word16(file, 27 + sp - 0x4000), program.pc);
  for (uint32_t address = 0x4000; address <= 0xFFFF; ++address) {
    if (address == sp || address == sp + 1u) continue;
    ASSERT_EQ(file[27 + address - 0x4000], program.memory[address - 0x4000]) << std::hex << address;
  }
}

TEST(SnapshotWriter, Z80Version1IsOneCompressedStream) {
  const std::vector<DemoProgram> programs = DemoPrograms();
  const DemoProgram& program = ProgramIn(programs, DemoFormat::Z80_V1);
  ASSERT_EQ(program.format, DemoFormat::Z80_V1);
  const std::vector<uint8_t> file = WriteZ80Version1(program);
  EXPECT_EQ(Word16(file, 6), program.pc);
  EXPECT_NE(Word16(file, 6), 0);  // PC 0 would mean version 2 or 3
  EXPECT_EQ(Word16(file, 8), program.sp);
  EXPECT_EQ(file[10], program.i);
  EXPECT_EQ(file[12], 0x20 | (program.border & 7) << 1);  // compressed, border
  EXPECT_EQ(file[27], program.iff ? 1 : 0);
  EXPECT_EQ(file[29] & 3, program.im);
  ASSERT_GT(file.size(), 34u);
  EXPECT_EQ(std::vector<uint8_t>(file.end() - 4, file.end()),
            (std::vector<uint8_t>{0x00, 0xED, 0xED, 0x00}));
  size_t used = 0;
  EXPECT_EQ(DecodeZ80(&file[30], file.size() - 30, 49152, &used), program.memory);
  EXPECT_EQ(used, file.size() - 34);  // the end marker follows the image at once
}

TEST(SnapshotWriter, Z80Version3Has128KPagesAndPaging) {
  const std::vector<DemoProgram> programs = DemoPrograms();
  const DemoProgram& program = ProgramIn(programs, DemoFormat::Z80_V3);
  ASSERT_EQ(program.format, DemoFormat::Z80_V3);
  ASSERT_TRUE(program.is128K);
  const std::vector<uint8_t> file = WriteZ80Version3(program);
  EXPECT_EQ(Word16(file, 6), 0);
  EXPECT_EQ(Word16(file, 30), 54);  // version 3
  EXPECT_EQ(Word16(file, 32), program.pc);
  EXPECT_EQ(file[34], 4);  // 128K
  EXPECT_EQ(file[35], program.paging);
  EXPECT_EQ(file[37] & 0xC0, 0);  // no Fuller Box, no modified hardware (+2)
  // Pages 3-10, each decoding to its bank, and nothing after the last.
  size_t at = 32 + 54;
  std::vector<bool> seen(8, false);
  while (at < file.size()) {
    ASSERT_LE(at + 3, file.size());
    const uint16_t length = Word16(file, at);
    const int page = file[at + 2];
    ASSERT_GE(page, 3);
    ASSERT_LE(page, 10);
    const int bank = page - 3;
    seen[bank] = true;
    const size_t stored = length == 0xFFFF ? 16384 : length;
    ASSERT_LE(at + 3 + stored, file.size());
    const std::vector<uint8_t> data =
        length == 0xFFFF ? std::vector<uint8_t>(&file[at + 3], &file[at + 3] + 16384)
                         : DecodeZ80(&file[at + 3], length, 16384);
    EXPECT_EQ(data, std::vector<uint8_t>(&program.memory[bank * 16384],
                                         &program.memory[bank * 16384] + 16384))
        << "bank " << bank;
    at += 3 + stored;
  }
  EXPECT_EQ(at, file.size());
  EXPECT_EQ(seen, std::vector<bool>(8, true));
}

// The files in data/Snapshots are what the generator writes today: run make_demo_content from
// the source folder when this fails.
TEST(SnapshotWriter, CommittedFilesMatchTheGenerator) {
  const std::filesystem::path folder = std::filesystem::path(GLIMMERBOX_SOURCE_DATA) / "Snapshots";
  auto read = [&](const std::string& name) {
    std::ifstream in(folder / name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
  };
  for (const DemoScreen& screen : DemoScreens())
    EXPECT_EQ(read(screen.file), screen.bytes) << screen.file;
  uint64_t total = 0;
  for (const DemoProgram& program : DemoPrograms()) {
    if (program.format == DemoFormat::ROM) {
      // No ROM image is kept in the repository, not even our own.
      EXPECT_FALSE(std::filesystem::exists(folder / program.file)) << program.file;
      continue;
    }
    const std::vector<uint8_t> file = read(program.file);
    EXPECT_EQ(file, ProgramFile(program)) << program.file;
    total += file.size();
  }
  EXPECT_LT(total, 512u * 1024);  // the bundled archive stays small
}
