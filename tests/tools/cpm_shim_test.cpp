// The CP/M shim of the exerciser runs: its verdict on an output and the programs it accepts.
#include "tools/cpm_shim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CpmShim, VerdictNeedsEveryLineOk) {
  EXPECT_TRUE(JudgeExerciserOutput("hdr\na....  OK\nb....  OK\nTests complete").AllOk());
  EXPECT_FALSE(JudgeExerciserOutput("hdr\na....  OK\nb....  ERROR **** crc\nTests complete").AllOk());
  EXPECT_FALSE(JudgeExerciserOutput("hdr\na....  OK\n").AllOk()) << "not complete";
  EXPECT_FALSE(JudgeExerciserOutput("Tests complete").AllOk()) << "no test line";
}

TEST(CpmShim, ShimRejectsProgramsThatDoNotFit) {
  CCpmShim shim;
  EXPECT_FALSE(shim.Load({}));
  EXPECT_FALSE(shim.Load(std::vector<uint8_t>(CCpmShim::kMaxProgram + 1, 0)));
  EXPECT_TRUE(shim.Load(std::vector<uint8_t>(CCpmShim::kMaxProgram, 0)));
}

TEST(CpmShim, PrintsThroughBdosAndCountsUpToTheWarmBoot) {
  const std::vector<uint8_t> code = {
      0x0E, 0x09, 0x11, 0x12, 0x01, 0xCD, 0x05, 0x00,  // LD C,9; LD DE,msg; CALL 5
      0x0E, 0x02, 0x1E, 0x21, 0xCD, 0x05, 0x00,        // LD C,2; LD E,'!'; CALL 5
      0xC3, 0x00, 0x00,                                // JP 0
      'h',  'i',  '$',                                 // msg at 0x0112
  };
  std::string printed;
  CCpmShim shim;
  ASSERT_TRUE(shim.Load(code));
  shim.SetPrinter([&](char c) { printed += c; });
  EXPECT_FALSE(shim.Run(100000));
  EXPECT_TRUE(shim.Finished());
  EXPECT_EQ(shim.Output(), "hi!");
  EXPECT_EQ(printed, "hi!");
  // BDOS 9 with two characters 200, BDOS 2 84, JP 0 10.
  EXPECT_EQ(shim.TStates(), 294u);
}

}  // namespace
