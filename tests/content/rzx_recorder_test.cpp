// The recorder's .rzx read back by the program's own reader: it plays to its end in step with
// what was recorded, and the replay draws what the recorded keys drew.
#include <gtest/gtest.h>

#include "formats/result_code.h"
#include "formats/snapshot.h"
#include "tests/content/content_support.h"
#include "tests/emulation/machine_fixture.h"
#include "tools/content/rzx_recorder.h"

namespace {

class SketchRecording : public MachineTest {};

}  // namespace

TEST_F(SketchRecording, PlaysToItsEndWithoutLosingStepAndDrawsTheSpiral) {
  const DemoProgram* program = FindProgram("sketch_pad.rzx");
  ASSERT_NE(program, nullptr);
  const std::vector<RecordedInput> frames = RecordFrames(*program);
  ASSERT_GT(frames.size(), 500u);
  EXPECT_EQ(frames[0].fetches, 0);  // the interrupt that starts the machine's first frame
  EXPECT_EQ(frames[10].ports.size(), 4u);  // four half-rows of keys a frame

  Machine48 machine(Setup());
  CSnapshotLoader loader(machine);
  const std::string file = (ContentBuild() / "Snapshots" / "sketch_pad.rzx").string();
  ASSERT_EQ(loader.LoadFile(file.c_str()), GX_NONE);
  size_t played = 0;
  uint32_t halfway = 0;
  while (loader.IsPlayingRZX() && played <= frames.size()) {
    RunFrames(machine, 1);
    if (++played == frames.size() / 2) halfway = loader.GetRZXProgress();
  }
  // Lost step stops the replay early and leaves it incomplete.
  EXPECT_TRUE(loader.RZXCompleted());
  EXPECT_EQ(played, frames.size() + 1);  // the frame after the last finds the end of the file
  // The frame data are compressed a second at a time, so the progress follows the frames.
  EXPECT_NEAR(halfway, 50, 10);

  // The spiral's sides of 2, 2, 4, 4 ... 20, 20 steps paint 221 cells of the pad (rows 1-22),
  // and the pen ends flashing at column 6 of row 1.
  int painted = 0;
  for (uint16_t cell = 32; cell < 23 * 32; ++cell)
    if (machine.Peek(static_cast<uint16_t>(0x5800 + cell)) & 0x38) ++painted;
  EXPECT_EQ(painted, 221);
  EXPECT_TRUE(machine.Peek(0x5800 + 32 + 6) & 0x80);
}
