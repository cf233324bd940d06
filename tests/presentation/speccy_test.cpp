#include "presentation/speccy.h"

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
