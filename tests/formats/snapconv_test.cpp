// Snapshots written by an independent converter (snapconv, from another emulator's format
// library): a machine state written by our own .z80 writer is converted to .z80, .sna and .szx,
// stored and compressed, and every result is loaded into both machine classes.
#include <gtest/gtest.h>

#include "emulation/ay_chip.h"
#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "tests/formats/format_fixture.h"

namespace {

class Snapconv : public FormatTest {
 protected:
  void SetUp() override {
    FormatTest::SetUp();
    if (!HaveSnapconv()) GTEST_SKIP() << "snapconv is not installed";
  }

  // Registers, border, model and RAM as the image has them. A .sna keeps PC in the two stack
  // bytes below SP, which the reader leaves as they are.
  // A .sna has no AY registers (`withAY` false).
  static void ExpectState(CMachine& machine, const MachineImage& image, bool pcOnStack, bool withAY = true) {
    const struct { int reg; uint16_t value; } registers[] = {
        {REG_AF, image.af},   {REG_BC, image.bc},   {REG_DE, image.de},   {REG_HL, image.hl},
        {REG_IX, image.ix},   {REG_IY, image.iy},   {REG_PC, image.pc},   {REG_SP, image.sp},
        {REG_AF2, image.af2}, {REG_BC2, image.bc2}, {REG_DE2, image.de2}, {REG_HL2, image.hl2},
        {REG_IR, static_cast<uint16_t>(image.i << 8 | image.r)},          {REG_IM, image.im},
        {REG_IFF1, image.iff1}, {REG_IFF2, image.iff2}};
    for (const auto& r : registers) EXPECT_EQ(Register(machine, r.reg), r.value) << "register " << r.reg;
    EXPECT_EQ(machine.GetBorder(), image.border);
    EXPECT_EQ(machine.GetModel(), image.model);

    auto* m128 = dynamic_cast<CMachine128*>(&machine);
    for (int bank : image.UsedBanks()) {
      // In a 128K machine's 48K mode the RAM at 0xC000 is bank 3.
      const uint8_t* ram = m128 ? m128->Bank(!image.Is128() && bank == 0 ? 3 : bank)
                                : machine.MemoryPointer(static_cast<uint16_t>(bank == 5 ? 0x4000 : bank == 2 ? 0x8000 : 0xC000));
      const uint16_t base = bank == 5 ? 0x4000 : bank == 2 ? 0x8000 : 0xC000;
      int differences = 0;
      for (uint32_t k = 0; k < 16384; ++k) {
        const uint16_t address = static_cast<uint16_t>(base + k);
        if (pcOnStack && (address == static_cast<uint16_t>(image.sp - 2) || address == static_cast<uint16_t>(image.sp - 1)))
          continue;
        differences += ram[k] != image.banks[bank][k];
      }
      EXPECT_EQ(differences, 0) << "bank " << bank;
    }
    if (m128 && image.Is128()) {
      EXPECT_EQ(m128->PagingLatch(), image.latch);
      if (!withAY) return;
      ASSERT_NE(m128->AYChip(), nullptr);
      EXPECT_EQ(m128->AYChip()->selectedRegister, image.aySelected);
      for (int r = 0; r < 16; ++r)
        EXPECT_EQ(m128->AYChip()->registers[r], image.ay[r] & AY_REGISTER_MASKS[r]) << "AY register " << r;
    }
  }
};

struct Conversion {
  const char* extension;
  const char* options;
  bool compressed;
};

const Conversion kConversions[] = {
    {"z80", "", true}, {"z80", "-c", true}, {"z80", "-n", false},
    {"szx", "", true}, {"szx", "-n", false}, {"sna", "", false},
};

}  // namespace

TEST_F(Snapconv, EveryFormatLoadsOnEveryModelThatTakesIt) {
  const int32_t models[] = {SPECTRUM_16, SPECTRUM_48, SPECTRUM_128, SPECTRUM_PLUS2};
  for (const int32_t model : models) {
    const MachineImage image = MakeImage(model, static_cast<uint32_t>(model) + 1);
    WriteFile("state.z80", WriteZ80V3(image, false));
    for (const Conversion& c : kConversions) {
      const std::string out = std::string("out") + c.options + "." + c.extension;
      const Bytes file = Convert("state.z80", out, c.options);
      ASSERT_FALSE(file.empty()) << out;
      const bool sna = std::string(c.extension) == "sna";
      if (sna && model == SPECTRUM_16) continue;  // a 16K machine has no .sna
      const size_t stored = 16384 * (image.Is128() ? 8 : 3);
      if (c.compressed) {
        EXPECT_LT(file.size(), stored) << out << " was not compressed";
      }
      for (const bool class128 : {false, true}) {
        SCOPED_TRACE(std::string(out) + " model " + std::to_string(model) + (class128 ? " on 128K" : " on 48K"));
        std::unique_ptr<CMachine> machine = NewMachine(class128);
        // A 128K .sna does not name its model: the machine's own is kept.
        if (sna && class128) machine->SetVariant(image.model);
        CSnapshotLoader loader(*machine);
        const int32_t result = Load(loader, file, out.c_str());
        if (sna && image.Is128() && !class128) {
          EXPECT_EQ(result, GX_NOT_SUPPORTED);
        } else if (image.Is128() && !class128) {
          EXPECT_EQ(result, GX_UNSUPPORTED_HARDWARE);
        } else {
          ASSERT_EQ(result, GX_NONE);
          ExpectState(*machine, image, sna && !image.Is128(), !sna);
        }
      }
    }
  }
}

// 128K .sna files as snapconv writes them, for each place of the paged bank (5 and 2 make the
// longer file): every bank and the latch on a 128K and a +2; a 48K machine refuses the file and
// is left exactly as it was.
TEST_F(Snapconv, A128KSnaLoadsIntoA128KMachineOnly) {
  for (const uint8_t latch : {0x10, 0x15, 0x1A, 0x07}) {
    for (const int32_t model : {SPECTRUM_128, SPECTRUM_PLUS2}) {
      SCOPED_TRACE(std::to_string(latch) + " model " + std::to_string(model));
      MachineImage image = MakeImage(model, latch);
      image.latch = latch;
      WriteFile("state.z80", WriteZ80V3(image, false));
      const Bytes sna = Convert("state.z80", "state.sna");
      const int paged = latch & 7;
      ASSERT_EQ(sna.size(), paged == 5 || paged == 2 ? 147487u : 131103u);
      Loadable128 machine(Setup());
      ASSERT_TRUE(machine.SetVariant(model));
      ASSERT_EQ(Load(machine, sna, "state.sna"), GX_NONE);
      ExpectState(machine, image, false, false);

      Loadable48 m48(Setup());
      LoadProgram(m48, 0x9000, {0x18, 0xFE});
      const Bytes before(m48.MemoryPointer(0x4000), m48.MemoryPointer(0x4000) + 49152);
      EXPECT_EQ(Load(m48, sna, "state.sna"), GX_NOT_SUPPORTED);
      EXPECT_EQ(m48.GetModel(), SPECTRUM_48);
      EXPECT_EQ(Register(m48, REG_PC), 0x9000);
      EXPECT_TRUE(std::equal(before.begin(), before.end(), m48.MemoryPointer(0x4000)));
    }
  }
}

// A Pentagon 128 snapshot (.z80 hardware 9, .szx machine 7) rewritten by snapconv: a 128K machine
// takes the Pentagon model and frame and the whole state; a 48K machine refuses it.
TEST_F(Snapconv, PentagonSnapshotsTakeThePentagonModel) {
  MachineImage image = MakeImage(SPECTRUM_PENTAGON, 31);
  image.latch = 0x11;
  WriteFile("pentagon.z80", WriteZ80V3(image, false));
  for (const char* out : {"converted.z80", "converted.szx"}) {
    SCOPED_TRACE(out);
    const Bytes file = Convert("pentagon.z80", out);
    Loadable128 machine(Setup());
    ASSERT_EQ(Load(machine, file, out), GX_NONE);
    ExpectState(machine, image, false);
    EXPECT_EQ(machine.GetModel(), SPECTRUM_PENTAGON);
    EXPECT_EQ(machine.FrameLength(), 71680u);
    LoadProgram(machine, 0x8000, {0x18, 0xFE});
    RunFrames(machine, 1);
    EXPECT_GE(machine.ExecutedTStates(), 71680u);
    EXPECT_LT(machine.ExecutedTStates(), 71680u + 23);
    Loadable48 m48(Setup());
    EXPECT_EQ(Load(m48, file, out), GX_UNSUPPORTED_HARDWARE);
    EXPECT_EQ(m48.GetModel(), SPECTRUM_48);
  }
}
