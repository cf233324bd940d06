#include "archive/archive.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "archive/smartplay.h"
#include "base/log.h"
#include "presentation/text_list.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class Archive : public ::testing::Test {
 protected:
  void SetUp() override { OpenLog(dir_.file("log.txt")); }
  void TearDown() override { CloseLog(); }
  std::string Touch(const std::string& relative) {
    const fs::path path = dir_.path() / relative;
    fs::create_directories(path.parent_path());
    WriteWholeFile(path.string(), "");
    return path.string();
  }
  std::vector<std::string> Paths() { return Paths(archive_); }
  std::vector<std::string> Paths(CArchive& archive) {
    std::vector<std::string> paths;
    for (size_t i = 0; const SmartPlayRecord* r = archive.Database().Record(i); ++i)
      paths.push_back(r->path.substr(dir_.path().string().size() + 1));
    return paths;
  }

  TempDir dir_;
  std::mt19937 random_;
  CTextList captions_;
  CArchive archive_{random_, captions_};
};

// Folders nested so deep that the lower ones cannot be opened by their full path (PATH_MAX),
// even with root's rights; made and removed through relative paths.
class DeepChain {
 public:
  explicit DeepChain(const fs::path& top) : top_(top) {
    const fs::path saved = fs::current_path();
    fs::current_path(top_);
    for (int i = 0; i < kDepth; ++i) {
      fs::create_directory(kName);
      fs::current_path(kName);
    }
    fs::current_path(saved);
  }
  ~DeepChain() {
    const fs::path saved = fs::current_path();
    fs::current_path(top_);
    for (int i = 0; i < kDepth; ++i) fs::current_path(kName);
    for (int i = 0; i < kDepth; ++i) {
      fs::current_path("..");
      fs::remove(kName);
    }
    fs::current_path(saved);
  }

 private:
  static constexpr int kDepth = 24;
  inline static const std::string kName = std::string(200, 'L');
  fs::path top_;
};

}  // namespace

TEST_F(Archive, ScanTakesSupportedExtensionsInAnyCaseSkipsExcludedFoldersAndLinkLoops) {
  for (const char* file : {"u/a.Z80", "u/b.z80.bak", "u/c.zip", "u/d.SnA", "u/noext", "u/.hidden/e.rom",
                           "u/excluded/.GlimmerboxExcludeMe", "u/excluded/f.z80", "u/excluded/sub/g.z80",
                           "u/marked/h.szx"})
    Touch(file);
  fs::create_directory(dir_.path() / "u/marked/.GlimmerboxExcludeMe");  // a folder marks too
  fs::create_directory_symlink("..", dir_.path() / "u/.hidden/loop");
  // Only regular files: loading a pipe would block for ever; a broken link is nothing.
  ASSERT_EQ(::mkfifo(dir_.file("u/pipe.z80").c_str(), 0600), 0);
  fs::create_symlink("gone.sna", dir_.path() / "u/broken.sna");
  fs::create_symlink("a.Z80", dir_.path() / "u/linked.z80");
  EXPECT_EQ(archive_.ScanFolder(dir_.file("u")), 0);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"u/.hidden/e.rom", "u/a.Z80", "u/d.SnA", "u/linked.z80"}));
}

TEST_F(Archive, AFolderReachedByLinksIsScannedOnce) {
  Touch("v/z/k.z80");
  fs::create_directory_symlink("z", dir_.path() / "v/a");  // sorts before its target
  EXPECT_EQ(archive_.ScanFolder(dir_.file("v")), 0);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"v/a/k.z80"}));

  // Twelve levels, each linking twice to the next: 4096 paths to one file.
  Touch("w/12/bottom.z80");
  for (int level = 0; level < 12; ++level) {
    const fs::path folder = dir_.path() / "w" / std::to_string(level);
    fs::create_directories(folder);
    for (const char* link : {"x", "y"}) fs::create_directory_symlink("../" + std::to_string(level + 1), folder / link);
  }
  CArchive lattice(random_, captions_);
  EXPECT_EQ(lattice.ScanFolder(dir_.file("w/0")), 0);
  EXPECT_EQ(lattice.Database().RecordCount(), 1u);
}

TEST_F(Archive, AScanPastItsLimitsStopsAndKeepsWhatItDidNotReach) {
  for (int i = 0; i < 10; ++i) Touch("w/a/" + std::to_string(i) + ".z80");
  for (int i = 0; i < 50; ++i) Touch("w/b/" + std::to_string(i) + ".z80");
  archive_.SetScanLimits(30, 60);
  EXPECT_EQ(archive_.ScanFolder(dir_.file("w")), 0);
  EXPECT_EQ(archive_.Database().RecordCount(), 10u);
  EXPECT_NE(ReadWholeFile(dir_.file("log.txt")).find("Archive scan stopped after 31 entries"), std::string::npos);
  archive_.Database().Finish();
  EXPECT_EQ(archive_.Database().RemovedCount(), 0u);
}

TEST_F(Archive, AnUnlistableFolderIsSkippedAndTheScanGoesOn) {
  EXPECT_EQ(archive_.ScanFolder(dir_.file("missing")), 2);
  EXPECT_EQ(ReadWholeFile(dir_.file("log.txt")).find("Couldn't list"), std::string::npos) << "a missing root is gone";
  Touch("u/0.sna");
  Touch("u/m/0.sna");
  Touch("u/z.z80");
  DeepChain chain(dir_.path() / "u/m");
  EXPECT_EQ(archive_.ScanFolder(dir_.file("u")), 2);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"u/0.sna", "u/m/0.sna", "u/z.z80"}));
  EXPECT_NE(ReadWholeFile(dir_.file("log.txt")).find("Couldn't list the folder \"" + dir_.file("u/m/")),
            std::string::npos);
}

TEST_F(Archive, BuildMergesFoldersAndSmartPlayByTheSettings) {
  struct Case {
    const char* what;
    int32_t smartPlay, includeDefault, mode;
    bool userFiles, oldDatabase;
    std::vector<std::string> paths;
    std::string caption;  // empty: none
  } cases[] = {
      {"everything on", 1, 1, SM_TEST, true, false, {"Snapshots/s.rom", "user/u1.z80", "user/u2.sna"},
       "[SmartPlay created. 3 files, 3 added, 0 removed]"},
      {"own snapshots off, user files", 1, 0, SM_TEST, true, false, {"user/u1.z80", "user/u2.sna"},
       "[SmartPlay created. 2 files, 2 added, 0 removed]"},
      {"own snapshots off, empty user folder", 1, 0, SM_TEST, false, false, {"Snapshots/s.rom"},
       "[SmartPlay created. 1 files, 1 added, 0 removed]"},
      {"own snapshots off, empty user folder, old records", 1, 0, SM_FULL, false, true, {},
       "[SmartPlay restored. 0 files, 0 added, 1 removed]"},
      {"full screen with old records", 1, 1, SM_FULL, true, true, {"Snapshots/s.rom", "user/u1.z80", "user/u2.sna"},
       "[SmartPlay restored. 3 files, 3 added, 1 removed]"},
      {"smart play off", 0, 1, SM_FULL, true, true, {"Snapshots/s.rom"}, ""},
      {"preview never uses smart play", 1, 0, SM_PREVIEW, true, true, {"Snapshots/s.rom"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_.file("Snapshots"));
    fs::remove_all(dir_.file("user"));
    fs::create_directories(dir_.file("user"));
    Touch("Snapshots/s.rom");
    if (c.userFiles) Touch("user/u1.z80"), Touch("user/u2.sna");
    const std::string dat = dir_.file("SmartPlay.dat");
    fs::remove(dat);
    if (c.oldDatabase) {
      CSmartPlay old;
      old.Add(dir_.file("gone.z80"));
      old.Finish();
      old.Save(dat);
    }
    const std::string oldBytes = ReadWholeFile(dat);

    CTextList captions;
    CArchive archive(random_, captions);
    archive.SetUp({dir_.file("user"), dir_.file("Snapshots"), dat, c.smartPlay, c.includeDefault, c.mode});
    const size_t logStart = ReadWholeFile(dir_.file("log.txt")).size();

    EXPECT_EQ(archive.BuildList(), static_cast<int32_t>(c.paths.size()));
    EXPECT_EQ(Paths(archive), c.paths);
    if (c.caption.empty()) {
      EXPECT_TRUE(captions.Messages().empty());
    } else {
      ASSERT_EQ(captions.Messages().size(), 1u);
      const TextMessage& m = captions.Messages()[0];
      EXPECT_EQ(m.text, c.caption);
      EXPECT_EQ(std::vector<float>({m.x, m.y, m.duration}), std::vector<float>({10, 45, 5}));
    }
    const std::string log = ReadWholeFile(dir_.file("log.txt")).substr(logStart);
    EXPECT_EQ(log.find("SmartPlay header") != std::string::npos, c.oldDatabase && !c.caption.empty());
    EXPECT_NE(log.find("There are " + std::to_string(c.paths.size()) + " available snapshots."), std::string::npos);

    // Built once per run: a file appearing later is not seen.
    Touch("Snapshots/later.z80");
    EXPECT_EQ(archive.BuildList(), static_cast<int32_t>(c.paths.size()));

    EXPECT_EQ(archive.SaveState(), 0);
    if (c.caption.empty()) {
      EXPECT_EQ(ReadWholeFile(dat), oldBytes);
    } else {
      CSmartPlay saved;
      EXPECT_EQ(saved.Load(dat), 0);
      EXPECT_EQ(saved.RecordCount(), c.paths.size());
    }
  }
}

TEST_F(Archive, FoundLinesCountTheUserFolderAndTheNewSnapshotsFiles) {
  Touch("user/u1.z80");
  Touch("Snapshots/s.rom");
  Touch("Snapshots/t.sna");
  archive_.SetUp({dir_.file("user"), dir_.file("Snapshots"), dir_.file("SmartPlay.dat")});
  EXPECT_EQ(archive_.BuildList(), 3);
  const std::string log = ReadWholeFile(dir_.file("log.txt"));
  EXPECT_NE(log.find("Found 1 supported snapshots in user's archive folder \"" + dir_.file("user") + "\""),
            std::string::npos);
  EXPECT_NE(log.find("Found 2 supported snapshots in the Glimmerbox Snapshots folder"), std::string::npos);
  EXPECT_EQ(archive_.Find("T.SNA"), dir_.file("Snapshots/t.sna"));
  EXPECT_EQ(archive_.At(3), std::nullopt);
  EXPECT_TRUE(archive_.Select().has_value());
  EXPECT_EQ(archive_.Database().EligibleCount(), 2u);
}

TEST_F(Archive, TapesAreSupportedFilesToo) {
  for (const char* file : {"t/a.TAP", "t/b.tzx", "t/c.pzx", "t/d.csw", "t/e.wav"}) Touch(file);
  EXPECT_EQ(archive_.ScanFolder(dir_.file("t")), 0);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"t/a.TAP", "t/b.tzx", "t/c.pzx", "t/d.csw"}));
}
