#include "platform/lock_file.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

TEST(LockFile, LivesInTheRuntimeFolderNamedAfterTheMutex) {
  TempDir dir;
  ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  LockFile lock("Global\\Corvane.GlimmerboxGlb");
  EXPECT_TRUE(lock.Held());
  EXPECT_EQ(lock.Path(), dir.file("Global_Corvane.GlimmerboxGlb.lock"));
  EXPECT_TRUE(std::filesystem::exists(lock.Path()));

  ::setenv("XDG_RUNTIME_DIR", "relative", 1);
  EXPECT_EQ(LockFileFolder(), "/tmp");
  ::setenv("XDG_RUNTIME_DIR", dir.file("missing").c_str(), 1);
  EXPECT_EQ(LockFileFolder(), "/tmp");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(LockFileFolder(), "/tmp");
}

// Each LockFile opens the file anew, so a second one in this process meets the first as another
// instance would.
TEST(LockFile, ExistedBeforeOnlyWhileAnotherHolderLives) {
  TempDir dir;
  ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  {
    LockFile first("Corvane.Glimmerbox");
    EXPECT_FALSE(first.ExistedBefore());
    LockFile second("Corvane.Glimmerbox");
    EXPECT_TRUE(second.Held());  // never refused
    EXPECT_TRUE(second.ExistedBefore());
    first.Release();
    EXPECT_FALSE(first.Held());
    LockFile third("Corvane.Glimmerbox");
    EXPECT_TRUE(third.ExistedBefore());  // the second still holds it
  }
  // The file stays behind after a run; that alone does not mean another instance.
  LockFile later("Corvane.Glimmerbox");
  EXPECT_FALSE(later.ExistedBefore());
}
