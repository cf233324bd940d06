// ZEXDOC and ZEXALL on the Z80 core through the CP/M shim: every one of the 67 test lines must
// say OK, and the whole output must equal the recorded passing run.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/cpm_shim.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void RunExerciser(const std::string& name) {
  const std::string dir = std::string(GLIMMERBOX_SHARED_DIR) + "/testdata/z80/";
  const std::string program = ReadFile(dir + name + ".com");
  const std::string expected = ReadFile(dir + name + ".expected.txt");
  if (program.empty() || expected.empty()) GTEST_SKIP() << "no " << name << " in " << dir;

  CCpmShim shim;
  ASSERT_TRUE(shim.Load(std::vector<uint8_t>(program.begin(), program.end())));
  // About 46.7 billion T-states; the bound only stops a runaway.
  for (int chunk = 0; chunk < 200 && shim.Run(1000000000); ++chunk) {
  }
  ASSERT_TRUE(shim.Finished()) << "did not end; output so far:\n" << shim.Output();

  std::string output = shim.Output();
  std::erase(output, '\r');  // the exercisers end lines with LF CR
  const ExerciserVerdict verdict = JudgeExerciserOutput(output);
  EXPECT_EQ(verdict.ok, 67);
  EXPECT_EQ(verdict.failed, 0);
  EXPECT_TRUE(verdict.complete);
  EXPECT_EQ(output, expected);
}

TEST(Z80Exerciser, Zexdoc) { RunExerciser("zexdoc"); }
TEST(Z80Exerciser, Zexall) { RunExerciser("zexall"); }

}  // namespace
