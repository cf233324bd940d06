// The Z80, SNA and SZX readers on hand-made files: the cases where a reader's rules decide the
// result (versions, hardware numbers, page tables, run-length edges, block checks), and every
// truncation of a valid file.
#include <gtest/gtest.h>

#include "emulation/ay_chip.h"
#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "formats/readers.h"
#include "tests/formats/format_fixture.h"

namespace {

class Readers : public FormatTest {};

// A version 2 or 3 header (additional length 23 or 54) followed by `blocks`.
Bytes Z80Header(int version, uint8_t hardware, uint8_t flags37) {
  MachineImage image;
  Bytes out = Z80MainHeader(image, 0, false);
  const uint16_t extra = version == 3 ? 54 : 23;
  Bytes header(2 + extra);
  Set16(header, 0, extra);
  Set16(header, 2, 0x8000);
  header[4] = hardware;
  header[7] = flags37;
  out.insert(out.end(), header.begin(), header.end());
  return out;
}

void AddZ80Block(Bytes& out, uint8_t page, const Bytes& data, bool stored) {
  Put16(out, stored ? 0xFFFF : static_cast<uint32_t>(data.size()));
  out.push_back(page);
  out.insert(out.end(), data.begin(), data.end());
}

// Mostly empty RAM: small files for walking every truncation.
MachineImage SparseImage(int32_t model) {
  MachineImage image = MakeImage(model, 9);
  for (int bank = 0; bank < 8; ++bank) {
    image.banks[bank].assign(16384, 0);
    for (int k = 0; k < 16; ++k) image.banks[bank][k * 1000 + bank] = static_cast<uint8_t>(k + bank * 16 + 1);
    image.banks[bank][100] = 0xED;
    image.banks[bank][101] = 0xED;
  }
  return image;
}

}  // namespace

TEST_F(Readers, Z80Version1SizesAndTheOldFlagsValue) {
  MachineImage image = MakeImage(SPECTRUM_48, 3);
  image.border = 6;
  Bytes file = WriteZ80V1(image, false);
  ASSERT_EQ(file.size(), 49182u);
  Loadable48 machine(Setup());
  ASSERT_EQ(Load(machine, file, "a.z80"), GX_NONE);
  EXPECT_FALSE(Logged("Z80: Truncating Z80 V1 memory dump to 48K"));
  EXPECT_EQ(machine.Peek(0xFFFF), image.banks[0][16383]);

  file.push_back(0x77);
  ASSERT_EQ(Load(machine, file, "a.z80"), GX_NONE);
  EXPECT_TRUE(Logged("Z80: Truncating Z80 V1 memory dump to 48K"));
  EXPECT_EQ(machine.Peek(0xFFFF), image.banks[0][16383]);
  EXPECT_EQ(machine.GetBorder(), 6);

  // 255 in the flags byte: stored memory, border 0, R bit 7 set.
  file[12] = 255;
  file[11] = 0x12;
  ASSERT_EQ(Load(machine, file, "a.z80"), GX_NONE);
  EXPECT_EQ(machine.GetBorder(), 0);
  EXPECT_EQ(Register(machine, REG_IR) & 0xFF, 0x92);
  EXPECT_EQ(machine.Peek(0x4000), image.banks[5][0]);

  // Compressed data longer than the 48K they code: every byte of the image is loaded.
  MachineImage coded = image;
  for (int bank : {5, 2, 0})
    for (size_t k = 0; k < 16384; ++k) coded.banks[bank][k] = (bank * 16384 + k) % 3 == 2 ? 0x00 : 0xED;
  const Bytes longer = WriteZ80V1(coded, true);
  ASSERT_GT(longer.size(), 30u + 49152u);
  ASSERT_EQ(Load(machine, longer, "c.z80"), GX_NONE);
  int differences = 0;
  for (uint32_t address = 0x4000; address <= 0xFFFF; ++address)
    differences += machine.Peek(static_cast<uint16_t>(address)) != coded.Image48()[address - 0x4000];
  EXPECT_EQ(differences, 0);

  // Compressed, and on a 128K machine the image lands in its 48K mode's banks.
  Loadable128 m128(Setup());
  ASSERT_EQ(Load(m128, WriteZ80V1(image, true), "b.Z80"), GX_NONE);
  EXPECT_EQ(m128.GetModel(), SPECTRUM_48);
  for (const auto& [bank, source] : {std::pair{5, 5}, {2, 2}, {3, 0}})
    EXPECT_TRUE(std::equal(image.banks[source].begin(), image.banks[source].end(), m128.Bank(bank))) << bank;
}

TEST_F(Readers, Z80HardwareNumbersChooseTheModel) {
  struct Case {
    int version;
    uint8_t hardware, flags37;
    bool class128;
    int32_t result, model;
  };
  const Case cases[] = {
      {3, 3, 0, true, GX_UNSUPPORTED_HARDWARE, 0},  // 48K with a disk interface in version 3
      {2, 3, 0, true, GX_NONE, SPECTRUM_128},
      {2, 3, 0x80, true, GX_NONE, SPECTRUM_PLUS2},
      {3, 4, 0x80, false, GX_UNSUPPORTED_HARDWARE, 0},
      {3, 4, 0x80, true, GX_NONE, SPECTRUM_PLUS2},
      {2, 5, 0, true, GX_UNSUPPORTED_HARDWARE, 0},
      {3, 5, 0, true, GX_NONE, SPECTRUM_128},
      {3, 12, 0, true, GX_NONE, SPECTRUM_PLUS2},
      {3, 0, 0x80, false, GX_NONE, SPECTRUM_16},
      {2, 1, 0, false, GX_NONE, SPECTRUM_48},
      {3, 7, 0, true, GX_UNSUPPORTED_HARDWARE, 0},
  };
  for (const Case& c : cases) {
    Bytes file = Z80Header(c.version, c.hardware, c.flags37);
    AddZ80Block(file, 8, Bytes(16384, 0x11), true);
    auto machine = NewMachine(c.class128);
    CSnapshotLoader loader(*machine);
    SCOPED_TRACE("version " + std::to_string(c.version) + " hardware " + std::to_string(c.hardware));
    EXPECT_EQ(Load(loader, file, "h.z80"), c.result);
    if (c.result == GX_NONE) {
      EXPECT_EQ(machine->GetModel(), c.model);
    }
    char line[64];
    std::snprintf(line, sizeof line, "Z80 Snapshot: Version: %d, Hardware: %d", c.version, c.hardware);
    EXPECT_TRUE(Logged(line));
  }
}

TEST_F(Readers, Z80BlocksAndHardwareFlags) {
  Loadable48 machine(Setup());
  // Fuller Box needs both bits; Kempston is joystick type 1.
  for (const auto& [flags, fuller] : {std::pair{uint8_t{0x44}, true}, {uint8_t{0x04}, false}}) {
    Bytes file = Z80Header(3, 0, flags);
    file[29] = 0x41;
    AddZ80Block(file, 8, Bytes(16384, 0), true);
    ASSERT_EQ(Load(machine, file, "f.z80"), GX_NONE);
    EXPECT_EQ(machine.IsHardwareAttached(HARDWARE_FULLER), fuller);
    EXPECT_TRUE(machine.IsHardwareAttached(HARDWARE_KEMPSTON));
  }

  // A run that would overfill the page ends the page's decoding; data beyond a full page are
  // skipped by the block's stated length, so the next block still loads.
  Bytes before = Z80Header(3, 0, 0);
  AddZ80Block(before, 4, Bytes(16384, 0x77), true);
  ASSERT_EQ(Load(machine, before, "p.z80"), GX_NONE);
  Bytes fill;
  for (int k = 0; k < 64; ++k) fill.insert(fill.end(), {0xED, 0xED, 0xFF, 0x01});  // 16320 bytes
  fill.insert(fill.end(), {0xED, 0xED, 61, 0x02});                                // 16381
  fill.insert(fill.end(), {0xED, 0xED, 5, 0xAA, 0x33, 0x44});
  Bytes file = Z80Header(3, 0, 0);
  AddZ80Block(file, 4, fill, false);
  Bytes over;
  for (int k = 0; k < 64; ++k) over.insert(over.end(), {0xED, 0xED, 0xFF, 0x05});
  over.insert(over.end(), 100, 0x06);  // 36 bytes more than the page holds
  AddZ80Block(file, 5, over, false);
  AddZ80Block(file, 8, Bytes(16384, 0x66), true);
  ASSERT_EQ(Load(machine, file, "r.z80"), GX_NONE);
  EXPECT_EQ(machine.Peek(0x8000 + 16380), 0x02);
  EXPECT_EQ(machine.Peek(0x8000 + 16381), 0x77);
  EXPECT_EQ(machine.Peek(0x8000 + 16383), 0x77);
  EXPECT_EQ(machine.Peek(0xFFFF), 0x06);
  EXPECT_EQ(machine.Peek(0x4000), 0x66);

  struct Bad {
    const char* what;
    Bytes tail;
    int32_t result;
  };
  const Bad bad[] = {
      {"page 11", {0xFF, 0xFF, 11}, GX_NOT_SUPPORTED},
      {"block header cut short", {0x10, 0x00}, GX_BAD_SNAPSHOT},
      {"compressed length past the end", {0x10, 0x00, 4, 1, 2, 3}, GX_BAD_SNAPSHOT},
      {"stored page cut short", {0xFF, 0xFF, 4, 1, 2, 3}, GX_BAD_SNAPSHOT},
  };
  for (const Bad& b : bad) {
    Bytes broken = Z80Header(3, 0, 0);
    AddZ80Block(broken, 8, Bytes(16384, 0), true);
    broken.insert(broken.end(), b.tail.begin(), b.tail.end());
    EXPECT_EQ(Load(machine, broken, "b.z80"), b.result) << b.what;
  }
  // The additional header runs past the end of the file.
  Bytes longHeader = Z80Header(2, 0, 0);
  Set16(longHeader, 30, 2000);
  longHeader.resize(100);
  EXPECT_EQ(Load(machine, longHeader, "l.z80"), GX_BAD_SNAPSHOT);
  EXPECT_EQ(Load(machine, Bytes(29), "s.z80"), GX_SNAPSHOT_BAD_SIZE);
  EXPECT_EQ(Load(machine, Bytes(87), "s.z80"), GX_SNAPSHOT_BAD_SIZE);
}

// Damage after the last block the model needs: the snapshot loads whole with its paging and AY
// state, and the surplus or shortfall is logged; damage before that still refuses it.
TEST_F(Readers, Z80DamageAfterTheLastNeededBlock) {
  MachineImage image = SparseImage(SPECTRUM_128);
  image.latch = 0x17;
  const Bytes file = WriteZ80V3(image, false);  // 8 stored pages of 16387 bytes after the headers
  const size_t lastBlock = file.size() - 16387;
  struct Case {
    const char* what;
    Bytes file;
    int32_t result;
    const char* line;
  };
  Bytes surplus = file;
  surplus.insert(surplus.end(), {0x12, 0x34});
  const Case cases[] = {
      {"two bytes more", surplus, GX_NONE, "Z80: 2 bytes after the last block ignored"},
      {"last block 3 bytes short", Bytes(file.begin(), file.end() - 3), GX_NONE, "Z80: the last block is 3 bytes short"},
      {"cut inside the third block", Bytes(file.begin(), file.begin() + 86 + 2 * 16387 + 100), GX_BAD_SNAPSHOT, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Loadable128 machine(Setup());
    ASSERT_EQ(Load(machine, c.file, "d.z80"), c.result);
    if (c.result != GX_NONE) continue;
    EXPECT_TRUE(Logged(c.line));
    EXPECT_EQ(machine.PagingLatch(), 0x17);
    EXPECT_EQ(machine.AYChip()->registers[1], image.ay[1] & AY_REGISTER_MASKS[1]);
    EXPECT_EQ(machine.Bank(7)[1000 * 15 + 7], image.banks[7][1000 * 15 + 7]);
  }
  ASSERT_EQ(file[lastBlock + 2], 10);  // the last block is bank 7's page
}

TEST_F(Readers, SNAProgramCounterComesFromTheStack) {
  MachineImage image = MakeImage(SPECTRUM_48, 4);
  Loadable48 machine(Setup());
  // SP = 0xFFFE: PC from the last two bytes of memory, SP wraps to 0.
  image.sp = 0x0000;
  image.pc = 0xBEEF;
  ASSERT_EQ(Load(machine, WriteSNA(image), "w.sna"), GX_NONE);
  EXPECT_EQ(Register(machine, REG_PC), 0xBEEF);
  EXPECT_EQ(Register(machine, REG_SP), 0x0000);
  EXPECT_EQ(machine.Peek(0xFFFE), 0xEF);  // left as it was

  // SP in the ROM: PC is read from the ROM.
  Bytes file = WriteSNA(MakeImage(SPECTRUM_48, 4));
  Set16(file, 23, 0x3FFE);
  file[19] = 0x00;
  ASSERT_EQ(Load(machine, file, "r.sna"), GX_NONE);
  EXPECT_EQ(Register(machine, REG_PC), machine.Peek(0x3FFE) | machine.Peek(0x3FFF) << 8);
  EXPECT_EQ(Register(machine, REG_IFF1), 0);
  EXPECT_EQ(Register(machine, REG_IFF2), 0);

  // Without a known extension, 49179 bytes are an SNA file.
  file[19] = 0x04;
  ASSERT_EQ(Load(machine, file, "noextension"), GX_NONE);
  EXPECT_EQ(Register(machine, REG_IFF1), 1);

  EXPECT_EQ(Load(machine, Bytes(file.begin(), file.end() - 1), "s.sna"), GX_SNAPSHOT_BAD_SIZE);
  EXPECT_EQ(Load(machine, Bytes(26), "s.sna"), GX_SNAPSHOT_BAD_SIZE);

  Loadable128 m128(Setup());
  ASSERT_EQ(Load(m128, WriteSNA(image), "w.sna"), GX_NONE);
  EXPECT_EQ(m128.GetModel(), SPECTRUM_48);
  EXPECT_EQ(m128.PagingLatch(), 0x33);  // locked 48K paging
}

TEST_F(Readers, SZXBlocks) {
  const MachineImage image48 = SparseImage(SPECTRUM_48);
  Loadable48 machine(Setup());
  // A 128K snapshot is refused before any block is read.
  ASSERT_EQ(Load(machine, WriteSZX(SparseImage(SPECTRUM_128), false, "Creator"), "a.szx"), GX_UNSUPPORTED_HARDWARE);
  EXPECT_STREQ(machine.GetSnapshotCreator(), "");

  // Unknown blocks are skipped with a log line; 1 to 7 trailing bytes are not read.
  Bytes file = WriteSZX(image48, true, "Creator");
  AddSZXBlock(file, "KEYB", Bytes(5, 0));
  for (int trailing = 0; trailing < 8; ++trailing) {
    Bytes withTail = file;
    withTail.insert(withTail.end(), static_cast<size_t>(trailing), 0xAB);
    EXPECT_EQ(Load(machine, withTail, "k.szx"), GX_NONE) << trailing;
  }
  EXPECT_TRUE(Logged("SZX: Skipping unhandled block type of 0x4259454b (KEYB)"));
  EXPECT_TRUE(Logged("SZX: version 1.4. Machine id = 1"));
  EXPECT_STREQ(machine.GetSnapshotCreator(), "Creator");
  // A creator padded with spaces, as fixed-width fields are, is read without them.
  ASSERT_EQ(Load(machine, WriteSZX(image48, true, "SPIN 0.5           "), "p.szx"), GX_NONE);
  EXPECT_STREQ(machine.GetSnapshotCreator(), "SPIN 0.5");
  ASSERT_EQ(Load(machine, file, "k.szx"), GX_NONE);
  // The border is chBorder's colour, the other bits chFe's.
  EXPECT_EQ(machine.GetBorder(), image48.border);
  EXPECT_EQ(machine.PortFE(), 0x10 | image48.border);

  // An AY block with flags 1 attaches the Fuller Box and loads its chip.
  Bytes withAY = WriteSZX(image48, false);
  Bytes ay = {1, 0x19};
  for (int r = 0; r < 16; ++r) ay.push_back(static_cast<uint8_t>(r + 1));
  AddSZXBlock(withAY, "AY", ay);
  ASSERT_EQ(Load(machine, withAY, "ay.szx"), GX_NONE);
  ASSERT_TRUE(machine.IsHardwareAttached(HARDWARE_FULLER));
  EXPECT_EQ(machine.FullerChip()->selectedRegister, 9);
  EXPECT_EQ(machine.FullerChip()->registers[8], 9);

  struct Bad {
    const char* what;
    Bytes block;  // appended as a whole block (id, size, data) or raw bytes
    int32_t result;
  };
  auto block = [](const char* id, const Bytes& data) {
    Bytes out;
    AddSZXBlock(out, id, data);
    return out;
  };
  Bytes tooBig = block("KEYB", {});
  Set32(tooBig, 4, 0x100001);
  Bytes pastEnd = block("KEYB", {1, 2});
  Set32(pastEnd, 4, 3);
  const Bad bad[] = {
      {"header without data", block("KEYB", {}), GX_BAD_SNAPSHOT},
      {"size above 1 MB", tooBig, GX_BAD_SNAPSHOT},
      {"size past the end", pastEnd, GX_BAD_SNAPSHOT},
      {"control character in the id", block("KE\x01Y", {1}), GX_BAD_SNAPSHOT},
      {"short Z80R", block("Z80R", Bytes(28)), GX_BAD_SNAPSHOT},
      {"short stored RAMP", block("RAMP", Bytes(3 + 16383)), GX_BAD_SNAPSHOT},
      {"page a 48K machine lacks", block("RAMP", Bytes{0, 0, 1, 0}), GX_UNSUPPORTED_HARDWARE},
  };
  for (const Bad& b : bad) {
    Bytes broken = WriteSZX(image48, true);
    broken.insert(broken.end(), b.block.begin(), b.block.end());
    EXPECT_EQ(Load(machine, broken, "b.szx"), b.result) << b.what;
  }
  EXPECT_EQ(Load(machine, Bytes{'Z', 'X', 'S', 'T', 1, 4, 1}, "s.szx"), GX_BAD_SNAPSHOT);
  EXPECT_EQ(Load(machine, Bytes{'Z', 'X', 'S', 'X', 1, 4, 1, 0}, "s.szx"), GX_BAD_SNAPSHOT);
  EXPECT_EQ(Load(machine, Bytes{'Z', 'X', 'S', 'T', 1, 4, 4, 0}, "s.szx"), GX_UNSUPPORTED_HARDWARE);

  // A 48K snapshot in a 128K machine: its page 0 is the RAM at 0xC000, bank 3 in the 48K mode.
  Loadable128 m128(Setup());
  ASSERT_EQ(Load(m128, WriteSZX(image48, true), "48.szx"), GX_NONE);
  EXPECT_EQ(m128.GetModel(), SPECTRUM_48);
  EXPECT_TRUE(std::equal(image48.banks[0].begin(), image48.banks[0].end(), m128.Bank(3)));
  EXPECT_EQ(m128.Peek(0xC000 + 1000), image48.banks[0][1000]);
}

TEST_F(Readers, EveryTruncationGivesAResultCode) {
  struct Case {
    const char* name;
    Bytes file;
    bool class128;
  };
  const MachineImage sparse48 = SparseImage(SPECTRUM_48), sparse128 = SparseImage(SPECTRUM_128);
  Bytes recording = RZXHeader();
  AddRZXCreator(recording, "Tests", 1, 0);
  AddRZXSnapshot(recording, "z80", WriteZ80V3(sparse48, true), true);
  AddRZXInput(recording, {{40, {1, 2, 3}}, {40, {}, true}, {12, {}}}, true);
  AddRZXSnapshot(recording, "szx", WriteSZX(sparse48, false), false);
  AddRZXInput(recording, {{40, {4, 5}}}, false);
  const Case cases[] = {
      {"v1.z80", WriteZ80V1(sparse48, true), false},
      {"v3.z80", WriteZ80V3(sparse128, true), true},
      {"v3-48.z80", WriteZ80V3(sparse48, true), false},
      {"a.sna", WriteSNA(sparse48), false},
      {"a.szx", WriteSZX(sparse128, true), true},
      {"a.rzx", recording, false},
  };
  for (const Case& c : cases) {
    auto machine = NewMachine(c.class128);
    CSnapshotLoader loader(*machine);
    ASSERT_EQ(Load(loader, c.file, c.name), GX_NONE) << c.name;
    for (size_t length = 0; length < c.file.size(); ++length) {
      // The SNA reader only looks at the size below its full image: its two edges are enough.
      if (c.file.size() > 40000 && length == 64) length = c.file.size() - 64;
      const int32_t result = Load(loader, Bytes(c.file.begin(), c.file.begin() + static_cast<long>(length)), c.name);
      ASSERT_TRUE(result >= 0 && result < GX_TOTAL) << c.name << " cut to " << length;
    }
  }
}
