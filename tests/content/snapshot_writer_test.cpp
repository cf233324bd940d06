#include "tools/content/snapshot_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "tests/content/content_support.h"
#include "tools/content/demo_program.h"

namespace {

uint16_t Word16(const std::vector<uint8_t>& file, size_t at) {
  return static_cast<uint16_t>(file[at] | file[at + 1] << 8);
}

const DemoProgram& ProgramIn(DemoFormat format, bool is128K = false) {
  for (const DemoProgram& program : AssembledPrograms())
    if (program.format == format && program.is128K == is128K) return program;
  ADD_FAILURE() << "no program in that format";
  return AssembledPrograms().front();
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
  const DemoProgram& program = ProgramIn(DemoFormat::SNA);
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
  const DemoProgram& program = ProgramIn(DemoFormat::Z80_V1);
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
  const DemoProgram& program = ProgramIn(DemoFormat::Z80_V3, true);
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

// The published SZX layout: "ZXST", version 1.4, the machine; then CRTR, Z80R (37 bytes),
// SPCR (8), AY (18, 128K only) and one RAMP block per RAM page, each page's data stored or a
// zlib stream that inflates to the page.
TEST(SnapshotWriter, SZXHasTheBlocksAndPagesOfItsModel) {
  for (const bool is128K : {false, true}) {
    for (const bool compressed : {false, true}) {
      const DemoProgram& program =
          ProgramIn(is128K ? DemoFormat::Z80_V3 : DemoFormat::Z80_V1, is128K);
      SCOPED_TRACE(program.file + (compressed ? " compressed" : " stored"));
      const std::vector<uint8_t> file = WriteSZX(program, compressed);
      ASSERT_GE(file.size(), 8u);
      EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "ZXST");
      EXPECT_EQ(file[4], 1);
      EXPECT_EQ(file[5], 4);
      EXPECT_EQ(file[6], is128K ? 2 : 1);
      std::vector<std::string> ids;
      std::vector<int> pages;
      for (size_t at = 8; at < file.size();) {
        ASSERT_LE(at + 8, file.size());
        const std::string id(file.begin() + static_cast<long>(at),
                             file.begin() + static_cast<long>(at) + 4);
        const uint32_t size = Word16(file, at + 4) | static_cast<uint32_t>(Word16(file, at + 6))
                                                         << 16;
        ASSERT_LE(at + 8 + size, file.size()) << id;
        const uint8_t* data = &file[at + 8];
        ids.push_back(id == std::string("AY\0\0", 4) ? "AY" : id);
        if (id == "Z80R") {
          ASSERT_EQ(size, 37u);
          EXPECT_EQ(data[20] | data[21] << 8, program.sp);
          EXPECT_EQ(data[22] | data[23] << 8, program.pc);
          EXPECT_EQ(data[24], program.i);
          EXPECT_EQ(data[28], program.im);
        } else if (id == "SPCR") {
          ASSERT_EQ(size, 8u);
          EXPECT_EQ(data[1], program.paging);
        } else if (id == "RAMP") {
          EXPECT_EQ(data[0] | data[1] << 8, compressed ? 1 : 0);
          const int bank = data[2];
          pages.push_back(bank);
          std::vector<uint8_t> page(16384);
          if (compressed) {
            uLongf length = 16384;
            ASSERT_EQ(uncompress(page.data(), &length, data + 3, size - 3), Z_OK);
            ASSERT_EQ(length, 16384u);
          } else {
            ASSERT_EQ(size, 3u + 16384);
            std::copy(data + 3, data + 3 + 16384, page.begin());
          }
          const size_t from = is128K ? bank * 16384u
                                     : (bank == 5   ? 0u
                                        : bank == 2 ? 16384u
                                                    : 32768u);
          EXPECT_TRUE(std::equal(page.begin(), page.end(),
                                 program.memory.begin() + static_cast<long>(from)))
              << "bank " << bank;
        }
        at += 8 + size;
      }
      std::vector<std::string> expected = {"CRTR", "Z80R", "SPCR"};
      if (is128K) expected.push_back("AY");
      expected.insert(expected.end(), is128K ? 8 : 3, "RAMP");
      EXPECT_EQ(ids, expected);
      const std::vector<int> banks128 = {0, 1, 2, 3, 4, 5, 6, 7}, banks48 = {0, 2, 5};
      EXPECT_EQ(pages, is128K ? banks128 : banks48);
    }
  }
}
