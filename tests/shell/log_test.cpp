#include "shell/log.h"

#include <gtest/gtest.h>

#include <regex>

#include "tests/support/temp_dir.h"

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
  const std::string stamp = R"(\[\d\d:\d\d:\d\d\] )";
  const std::regex expected(stamp + R"(\*\*\* Logging of Glimmerbox 1\.01 started\n)" +
                            stamp + "abc\n" +
                            stamp + "ends with a line end\n\n" +
                            stamp + "Log is being closed.\n" +
                            stamp + R"(\*\*\* Logging of Glimmerbox 1\.01 started\n)" +
                            stamp + "Log is being closed.\n");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(Log, WritesNothingWhenClosedOrUnopenable) {
  TempDir dir;
  WriteLog("lost");  // not open: silently dropped
  EXPECT_FALSE(OpenLog(dir.file("missing-folder/log.txt")));
  EXPECT_FALSE(IsLogOpen());
  WriteLog("still lost");
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing-folder")));
}
