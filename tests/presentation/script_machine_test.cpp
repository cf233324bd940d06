#include "presentation/script_machine.h"

#include <gtest/gtest.h>

#include "emulation/rom_source.h"

TEST(Speccy, DeletingAMachineDeletesItsClones) {
  CTelevisionList list;
  CRomImages roms;  // none: the machines run on blank ROMs
  list.machines.roms = &roms;
  auto* machine = new CSpeccy48(list);
  CTV* clone1 = machine->Clone(1, 0, 0);
  CTV* clone2 = machine->Clone(2, 0, 0);
  auto* other = new CTV(list);
  EXPECT_EQ(clone1->PictureSourceId(), machine->Id());
  EXPECT_EQ(list.Count(), 4);
  delete clone2;  // deleting a clone leaves the machine
  EXPECT_EQ(list.Count(), 3);
  delete machine;
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Head(), other);
}

TEST(Speccy, KeysAreNamedAsOnTheKeyboard) {
  const struct {
    const char* name;
    bool known;
    uint8_t row, mask;
  } cases[] = {
      {"A", true, 1, 0x01},           {"g", true, 1, 0x10},      {"0", true, 4, 0x01},
      {"6", true, 4, 0x10},           {"Enter", true, 6, 0x01},  {"SPACE", true, 7, 0x01},
      {"symbol shift", true, 7, 0x02}, {"SYMBOL", true, 7, 0x02}, {"CAPS SHIFT", true, 0, 0x01},
      {"caps", true, 0, 0x01},        {"", false, 0, 0},         {"F1", false, 0, 0},
      {"CAPSSHIFT", false, 0, 0},     {"AA", false, 0, 0},       {"ENTER ", false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<SpectrumKey> key = SpectrumKeyNamed(c.name);
    ASSERT_EQ(key.has_value(), c.known);
    if (key) {
      EXPECT_EQ(key->row, c.row);
      EXPECT_EQ(key->mask, c.mask);
    }
  }
}

// A script's keys and the user's reach the machine together, but while the user plays hands-on
// only the user's do.
TEST(Speccy, HeldKeysGiveWayToTheUsersHandsOnPlay) {
  const struct {
    bool handsOn;
    bool userHoldsQ, scriptHoldsW;
    uint8_t expected;  // the Q-T half-row as port FBFEh reads it
  } cases[] = {
      {false, false, true, 0xFD}, {false, true, true, 0xFC}, {true, false, true, 0xFF},
      {true, true, true, 0xFE},   {false, false, false, 0xFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.handsOn << c.userHoldsQ << c.scriptHoldsW);
    CTelevisionList list;
    CRomImages roms;
    uint8_t host[8] = {};
    bool handsOn = c.handsOn;
    list.machines.roms = &roms;
    list.machines.keyMatrix = host;
    list.machines.handsOn = &handsOn;
    auto* machine = new CSpeccy48(list);
    if (c.userHoldsQ) host[2] = 0x01;
    if (c.scriptHoldsW) machine->PressKey(*SpectrumKeyNamed("W"), true);
    machine->UpdateFrame(1.0f);
    EXPECT_EQ(machine->Core().PortRead(0xFBFE) & 0x1F, c.expected & 0x1F);
    // Released, the script's key is gone; the user's stays.
    machine->ReleaseKeys();
    machine->UpdateFrame(2.0f);
    EXPECT_EQ(machine->Core().PortRead(0xFBFE) & 0x1F, c.userHoldsQ ? 0x1E : 0x1F);
  }
}
