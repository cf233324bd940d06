#include "platform/reg_file.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> g_warnings;
void Collect(const std::string& message) { g_warnings.push_back(message); }

RegDocument Parse(const std::string& text) {
  g_warnings.clear();
  return ParseRegFile(text, "test.reg", &Collect);
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> bytes;
  for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
  return bytes;
}

std::vector<uint8_t> Text(const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

}  // namespace

TEST(RegFile, ReadsEachValueForm) {
  struct Case {
    const char* line;
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {R"("Play Time"=dword:00000078)", "Play Time", REG_DWORD, Bytes({0x78, 0, 0, 0})},
      {R"("Hot Key"=DWORD:1)", "Hot Key", REG_DWORD, Bytes({1, 0, 0, 0})},
      {R"("Big"=dword:ffffffff)", "Big", REG_DWORD, Bytes({255, 255, 255, 255})},
      {R"("Path"="C:\\Games \"best\"")", "Path", REG_SZ, Text(R"(C:\Games "best")")},
      {R"("Empty"="")", "Empty", REG_SZ, Text("")},
      {R"("Id"=hex:01,ab, FF ,0)", "Id", REG_BINARY, Bytes({1, 0xab, 0xff, 0})},
      {R"("None"=hex:)", "None", REG_BINARY, {}},
      {R"("Multi"=hex(7):41,00,00)", "Multi", 7, Bytes({0x41, 0, 0})},
      {R"("Spaced" = "x")", "Spaced", REG_SZ, Text("x")},
      {R"(@="default")", "", REG_SZ, Text("default")},
      {"\"Crlf\"=dword:00000002\r", "Crlf", REG_DWORD, Bytes({2, 0, 0, 0})},
  };
  for (const Case& c : cases) {
    RegDocument doc = Parse(std::string("REGEDIT4\n[K]\n") + c.line + "\n");
    ASSERT_EQ(doc.keys.size(), 1u) << c.line;
    ASSERT_EQ(doc.keys[0].lines.size(), 1u) << c.line;
    const RegValue& value = doc.keys[0].lines[0].value;
    EXPECT_FALSE(doc.keys[0].lines[0].verbatim) << c.line;
    EXPECT_EQ(value.name, c.name) << c.line;
    EXPECT_EQ(value.type, c.type) << c.line;
    EXPECT_EQ(value.data, c.data) << c.line;
    EXPECT_TRUE(g_warnings.empty()) << c.line;
  }
}

TEST(RegFile, DamagedLinesAreReportedKeptAndSkipped) {
  const char* damaged[] = {
      R"("Play Time"=dword:123456789)",  // nine digits
      R"("Play Time"=dword:zz)",
      R"("Name"="unterminated)",
      R"("Name"="text" trailing)",
      R"("Name"="bad \n escape")",
      R"("Name"=hex:1,2,300)",
      R"("Name"=hex:01,,02)",
      R"("Name"=hex(7:00)",
      R"("Name"=-)",
      R"("Name")",
      R"(Name=dword:1)",
      "garbage \x01\xff",
  };
  for (const char* line : damaged) {
    RegDocument doc = Parse(std::string("REGEDIT4\n[K]\n\"Good\"=dword:1\n") + line +
                            "\n\"After\"=dword:2\n");
    ASSERT_EQ(doc.keys.size(), 1u) << line;
    const auto& lines = doc.keys[0].lines;
    ASSERT_EQ(lines.size(), 3u) << line;
    EXPECT_EQ(lines[0].value.name, "Good");
    EXPECT_TRUE(lines[1].verbatim) << line;
    EXPECT_EQ(lines[2].value.name, "After");
    ASSERT_EQ(g_warnings.size(), 1u) << line;
    EXPECT_EQ(g_warnings[0], "Registry: skipped damaged line 4 of \"test.reg\"");
  }
}

TEST(RegFile, ValuesUnderADamagedKeyLineBelongToNoKey) {
  RegDocument doc = Parse("REGEDIT4\n\n\"Orphan\"=dword:1\n[K\n\"Lost\"=dword:1\n[-K2]\n[K3]\n\"Kept\"=dword:3\n");
  EXPECT_EQ(g_warnings.size(), 4u);
  EXPECT_EQ(doc.leadingLines, std::vector<std::string>{"\"Orphan\"=dword:1"});
  ASSERT_EQ(doc.keys.size(), 3u);
  EXPECT_TRUE(doc.keys[0].verbatim);
  EXPECT_TRUE(doc.keys[1].verbatim);
  EXPECT_EQ(doc.keys[2].path, "K3");
  // Written back, nothing is lost and the damage stays where it was.
  EXPECT_EQ(FormatRegFile(doc),
            "REGEDIT4\n\n\"Orphan\"=dword:1\n\n[K\n\"Lost\"=dword:1\n\n[-K2]\n\n[K3]\n"
            "\"Kept\"=dword:00000003\n\n");
}

TEST(RegFile, GarbageIsReportedOnlyUpToALimit) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "junk\n";
  Parse(text);
  ASSERT_EQ(g_warnings.size(), 11u);
  EXPECT_EQ(g_warnings.back(), "Registry: 490 more damaged lines skipped in \"test.reg\"");
}

TEST(RegFile, HexDataGoesOnOverBackslashedLines) {
  RegDocument doc = Parse("[K]\n\"Id\"=hex:01,02,\\\n  03,04\\\n,05\n\"Next\"=dword:7\n");
  ASSERT_EQ(doc.keys[0].lines.size(), 2u);
  EXPECT_EQ(doc.keys[0].lines[0].value.data, Bytes({1, 2, 3, 4, 5}));
  EXPECT_EQ(doc.keys[0].lines[1].value.name, "Next");
  EXPECT_TRUE(g_warnings.empty());
}

TEST(RegFile, EveryValueRoundTripsThroughTheText) {
  std::vector<uint8_t> long_binary;
  for (int i = 0; i < 300; ++i) long_binary.push_back(static_cast<uint8_t>(i * 7));
  RegDocument doc;
  doc.leadingLines = {"; written by hand"};
  RegFileKey key{"HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox", false, {}};
  const RegValue values[] = {
      {"Quotes \"and\" \\slashes\\", REG_SZ, Text("C:\\x\\\"y\" \\\\")},
      {"", REG_SZ, Text("default value")},
      {"Line break", REG_SZ, Text("two\nlines\r")},
      {"Zero inside", REG_SZ, Bytes({'a', 0, 'b', 0})},
      {"No terminator", REG_SZ, Bytes({'a', 'b'})},
      {"Dword", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12})},
      {"Short dword", REG_DWORD, Bytes({1, 2})},
      {"Binary", REG_BINARY, long_binary},
      {"Empty binary", REG_BINARY, {}},
      {"Expand", REG_EXPAND_SZ, Text("%HOME%")},
      {"Qword", 0xb, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
  };
  for (const RegValue& value : values) key.lines.push_back(RegLine{false, {}, value});
  key.lines.insert(key.lines.begin() + 2, RegLine{true, "; a comment", {}});
  doc.keys.push_back(key);
  doc.keys.push_back(RegFileKey{"HKEY_CURRENT_USER\\Other", false, {}});

  const std::string text = FormatRegFile(doc);
  RegDocument back = Parse(text);
  EXPECT_TRUE(g_warnings.empty()) << text;
  EXPECT_EQ(back.leadingLines, doc.leadingLines);
  ASSERT_EQ(back.keys.size(), 2u);
  EXPECT_EQ(back.keys[1].path, "HKEY_CURRENT_USER\\Other");
  ASSERT_EQ(back.keys[0].lines.size(), key.lines.size()) << text;
  for (size_t i = 0; i < key.lines.size(); ++i) {
    EXPECT_EQ(back.keys[0].lines[i].verbatim, key.lines[i].verbatim) << i;
    EXPECT_EQ(back.keys[0].lines[i].text, key.lines[i].text) << i;
    EXPECT_EQ(back.keys[0].lines[i].value.name, key.lines[i].value.name) << i;
    EXPECT_EQ(back.keys[0].lines[i].value.type, key.lines[i].value.type) << i;
    EXPECT_EQ(back.keys[0].lines[i].value.data, key.lines[i].value.data) << i;
  }
  // Lines stay short enough for an editor, as regedit keeps them.
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 82u);
  EXPECT_NE(text.find("\"Dword\"=dword:12345678\n"), std::string::npos);
}

TEST(RegFile, NamesCompareWithoutCase) {
  RegDocument doc = Parse("[Key]\n\"Play Mode\"=dword:1\n[KEY]\n\"PLAY MODE\"=dword:5\n");
  ASSERT_EQ(doc.keys.size(), 1u);
  ASSERT_EQ(doc.keys[0].lines.size(), 1u);
  EXPECT_EQ(doc.keys[0].lines[0].value.name, "Play Mode");
  EXPECT_EQ(doc.keys[0].lines[0].value.data, Bytes({5, 0, 0, 0}));
}
