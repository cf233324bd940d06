#include "base/log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

// Splits the log into lines, checking that each starts with "[HH:MM:SS] " and dropping it.
std::vector<std::string> Messages(const std::string& text) {
  std::vector<std::string> messages;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    EXPECT_GE(line.size(), 11u) << line;
    const bool stamped = line.size() >= 11 && line[0] == '[' && line[3] == ':' && line[6] == ':' &&
                         line[9] == ']' && line[10] == ' ' &&
                         std::all_of(line.begin() + 1, line.begin() + 9,
                                     [](char c) { return c == ':' || std::isdigit(c); });
    EXPECT_TRUE(stamped) << line;
    messages.push_back(stamped ? line.substr(11) : line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return messages;
}

}  // namespace

TEST(Log, LinesCarryTheTimeOfDayAndRunsAppend) {
  TempDir dir;
  const std::string path = dir.file("Glimmerbox 1.01 Log.txt");

  ASSERT_TRUE(OpenLog(path));
  WriteLog("abc");
  WriteLog("ends with a line end\n");
  CloseLog();
  ASSERT_TRUE(OpenLog(path));
  CloseLog();

  const std::string text = ReadWholeFile(path);
  // A message that ends with a line end leaves an empty line after it.
  const size_t blank = text.find("ends with a line end\n\n");
  ASSERT_NE(blank, std::string::npos) << text;
  std::string lines = text;
  lines.erase(blank + 21, 1);
  EXPECT_EQ(Messages(lines), (std::vector<std::string>{
                                 "*** Logging of Glimmerbox 1.01 started", "abc",
                                 "ends with a line end", "Log is being closed.",
                                 "*** Logging of Glimmerbox 1.01 started", "Log is being closed."}));
}

TEST(Log, WritesNothingWhenClosedOrUnopenable) {
  TempDir dir;
  WriteLog("lost");  // not open: silently dropped
  EXPECT_FALSE(OpenLog(dir.file("missing-folder/log.txt")));
  EXPECT_FALSE(IsLogOpen());
  WriteLog("still lost");
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing-folder")));
}
