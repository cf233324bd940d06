// CZip: opening and closing, the script member, long member names.
#include "formats/zip.h"

#include <gtest/gtest.h>

#include "tests/formats/zip_writer.h"
#include "tests/support/temp_dir.h"

TEST(Zip, FindsTheFirstLuaMemberInAnyCase) {
  TempDir dir;
  ASSERT_TRUE(WriteZip(dir.file("a.zip"), {{"readme.txt", {1}}, {"Demo.LUA", {2}}, {"other.lua", {3}}}));
  ASSERT_TRUE(WriteZip(dir.file("b.zip"), {{"readme.txt", {1}}, {"lua", {2}}, {"x.lua.txt", {3}}}));
  CZip zip;
  ASSERT_EQ(zip.Open(dir.file("a.zip").c_str()), UNZ_OK);
  EXPECT_EQ(zip.Path(), dir.file("a.zip"));
  ASSERT_EQ(zip.FindScriptMember(), UNZ_OK);
  EXPECT_STREQ(zip.MemberName(), "Demo.LUA");
  EXPECT_EQ(zip.Info().uncompressed_size, 1u);

  // Opening another archive closes the first.
  ASSERT_EQ(zip.Open(dir.file("b.zip").c_str()), UNZ_OK);
  EXPECT_EQ(zip.Path(), dir.file("b.zip"));
  EXPECT_EQ(zip.FindScriptMember(), UNZ_END_OF_LIST_OF_FILE);

  EXPECT_EQ(zip.Open(nullptr), UNZ_PARAMERROR);
  EXPECT_EQ(zip.Handle(), nullptr);
  EXPECT_EQ(zip.Open(dir.file("missing.zip").c_str()), UNZ_BADZIPFILE);
  EXPECT_STREQ(zip.Path(), "");
  WriteWholeFile(dir.file("text.zip"), "not a zip archive");
  EXPECT_EQ(zip.Open(dir.file("text.zip").c_str()), UNZ_BADZIPFILE);
  zip.Close();
  zip.Close();
}

TEST(Zip, LongMemberNamesAreCutTo259Characters) {
  TempDir dir;
  const std::string name = std::string(300, 'n') + ".lua";
  ASSERT_TRUE(WriteZip(dir.file("long.zip"), {{name, {1}}}));
  CZip zip;
  ASSERT_EQ(zip.Open(dir.file("long.zip").c_str()), UNZ_OK);
  ASSERT_EQ(unzGoToFirstFile(zip.Handle()), UNZ_OK);
  ASSERT_EQ(zip.ReadCurrentInfo(), UNZ_OK);
  EXPECT_EQ(std::string(zip.MemberName()), name.substr(0, 259));
  // Cut before its extension, the member is no script.
  EXPECT_EQ(zip.FindScriptMember(), UNZ_END_OF_LIST_OF_FILE);
}
