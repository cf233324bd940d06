#include "archive/smartplay.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/log.h"
#include "tests/support/temp_dir.h"

namespace {

struct Rec {
  std::string path;
  uint32_t count = 0;
  uint8_t played = 0;
  int64_t date = 1700000000;
};

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// One record as the file stores it; `size` 0 means the natural size, length + 24.
std::string RecordBytes(const Rec& r, uint32_t next, uint32_t size = 0) {
  if (!size) size = static_cast<uint32_t>(r.path.size()) + 24;
  std::string b = Le32(static_cast<uint32_t>(r.date)) + Le32(static_cast<uint32_t>(r.date >> 32)) + Le32(size) +
                  Le32(next) + Le32(r.count) + static_cast<char>(r.played) + r.path;
  b.resize(size, '\0');
  return b;
}

// The chained records of `recs`; the last one's next size is `lastNext`.
std::string Chain(const std::vector<Rec>& recs, uint32_t lastNext = 0) {
  std::string body;
  for (size_t i = 0; i < recs.size(); ++i)
    body += RecordBytes(recs[i], i + 1 < recs.size() ? recs[i + 1].path.size() + 24 : lastNext);
  return body;
}

std::string Header(uint32_t files, uint32_t first, const char* magic = "SMPL", uint32_t size = 24) {
  return std::string(magic, 4) + Le32(24) + Le32(size) + Le32(files) + Le32(first) + Le32(0);
}

// A zlib stream of the pieces, each ending on a full flush so that later damage cannot touch it;
// without `finish` the stream stays open after the last piece.
std::string Deflate(const std::vector<std::string>& pieces, bool finish = true) {
  z_stream zs{};
  deflateInit(&zs, Z_DEFAULT_COMPRESSION);
  std::string out;
  for (size_t i = 0; i < pieces.size(); ++i) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(pieces[i].data()));
    zs.avail_in = static_cast<uInt>(pieces[i].size());
    int z;
    do {
      char buffer[4096];
      zs.next_out = reinterpret_cast<Bytef*>(buffer);
      zs.avail_out = sizeof buffer;
      const bool end = finish && i + 1 == pieces.size();
      z = deflate(&zs, end ? Z_FINISH : Z_FULL_FLUSH);
      out.append(buffer, sizeof buffer - zs.avail_out);
    } while (zs.avail_out == 0 || (finish && i + 1 == pieces.size() && z != Z_STREAM_END));
  }
  deflateEnd(&zs);
  return out;
}

const Rec kA{"/arch/A.z80", 3, 1, 1600000000}, kB{"/arch/a.z80", 0, 0}, kC{"/arch/sub/c.sna", 7, 0};

class SmartPlay : public ::testing::Test {
 protected:
  void SetUp() override { OpenLog(dir_.file("log.txt")); }
  void TearDown() override { CloseLog(); }
  std::string Log() { return ReadWholeFile(dir_.file("log.txt")); }
  std::string dat() { return dir_.file("SmartPlay.dat"); }
  std::vector<std::string> Paths(const CSmartPlay& db) {
    std::vector<std::string> paths;
    for (size_t i = 0; const SmartPlayRecord* r = db.Record(i); ++i) paths.push_back(r->path);
    return paths;
  }

  TempDir dir_;
};

}  // namespace

TEST_F(SmartPlay, LoadsAFileBuiltFromTheByteLayout) {
  WriteWholeFile(dat(), Header(3, 35) + Deflate({Chain({kA, kB, kC})}));
  CSmartPlay db;
  EXPECT_EQ(db.Load(dat()), 0);
  EXPECT_TRUE(db.IsLoaded());
  // Path order is byte order: case matters and 'A' sorts before 'a'.
  ASSERT_EQ(Paths(db), (std::vector<std::string>{kA.path, kB.path, kC.path}));
  const SmartPlayRecord* a = db.Record(0);
  EXPECT_EQ(a->dateAdded, 1600000000);
  EXPECT_EQ(a->selectionCount, 3u);
  EXPECT_EQ(a->played, 1);
  EXPECT_EQ(a->found, 0);
  EXPECT_EQ(db.Record(2)->selectionCount, 7u);
  const std::string log = Log();
  EXPECT_NE(log.find("Loaded SmartPlay header: header size = 24, number of files = 3, first block size = 35"),
            std::string::npos);
  EXPECT_NE(log.find("Successfully restored 3 files from the SmartPlay database"), std::string::npos);
}

TEST_F(SmartPlay, LoadErrorsKeepTheRecordsReadBeforeThem) {
  const std::string ab = Chain({kA, kB});
  const std::string firstFlushed = Deflate({ab.substr(0, 35)}, false);
  struct Case {
    const char* what;
    std::string bytes;
    int32_t result;
    size_t kept;
    const char* logLine;
  } cases[] = {
      {"short header", std::string("SMPL\x18\0\0", 7), 3, 0, "SmartPlay - general file error"},
      {"wrong magic", Header(0, 0, "SMPX"), 4, 0, "File not a SmartPlay file"},
      {"header size not 24", Header(0, 0, "SMPL", 28), 4, 0, "Corrupted SmartPlay file header"},
      {"broken zlib after one record", Header(2, 35) + Deflate({ab.substr(0, 35), ab.substr(35, 10)}, false) +
                                           std::string(8, '\xff'), 5, 1,
       "Error loading SmartPlay state: 5"},
      {"record above 2048", Header(2, 35) + Deflate({Chain({kA}, 2049) + std::string(2049, 'x')}), 7, 1,
       "Error loading SmartPlay state: 7"},
      {"next size below the fixed fields", Header(2, 35) + Deflate({Chain({kA}, 21)}), 5, 1, "Recovered 1 files"},
      {"first size below the fixed fields", Header(1, 10) + Deflate({ab}), 5, 0, "Recovered 0 files"},
      {"path without terminator", Header(2, 35) + Deflate({Chain({kA}, 30) + std::string(21, '\0') +
                                                           std::string(9, 'p')}), 5, 1, "Recovered 1 files"},
      {"stream ends inside the chain", Header(3, 35) + Deflate({ab.substr(0, 35), ab.substr(35, 10)}), 5, 1, ""},
      {"file cut inside the chain",
       Header(2, 35) + Deflate({ab.substr(0, 35), ab.substr(35)}).substr(0, firstFlushed.size() + 3), 5, 1, ""},
      {"stream asks for a dictionary", Header(1, 35) + std::string("\x78\xbb\0\0\0\1", 6) + std::string(40, 'z'), 5,
       0, ""},
      {"trailing bytes after a short stream", Header(2, 35) + Deflate({ab.substr(0, 50)}) + "junk", 5, 1, ""},
      {"header alone", Header(5, 35), 0, 0, "Successfully restored 0 files"},
      {"header alone, first size above 2048", Header(1, 3000), 0, 0, "Successfully restored 0 files"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWholeFile(dat(), c.bytes);
    const size_t logStart = Log().size();
    CSmartPlay db;
    EXPECT_EQ(db.Load(dat()), c.result);
    EXPECT_EQ(db.RecordCount(), c.kept);
    EXPECT_NE(Log().find(c.logLine, logStart), std::string::npos);
  }
  CSmartPlay db;
  const size_t before = Log().size();
  EXPECT_EQ(db.Load(dir_.file("missing.dat")), 1);
  EXPECT_EQ(Log().size(), before);  // a first run logs nothing
}

TEST_F(SmartPlay, SaveThenLoadKeepsEveryFieldAndTheHeader) {
  CSmartPlay db;
  for (const char* path : {"/s/one.z80", "/s/two.sna", "/s/three.rzx"}) db.Add(path);
  db.Finish();
  std::mt19937 random(7);
  const std::string chosen = *db.Select(random);
  ASSERT_EQ(db.Save(dat()), 0);
  const std::string bytes = ReadWholeFile(dat());
  // The played file is stored last, so the first record is an unplayed one.
  EXPECT_EQ(bytes.substr(0, 24), Header(3, db.Record(0)->RecordSize()));
  EXPECT_FALSE(std::filesystem::exists(dat() + ".tmp"));

  CSmartPlay again;
  ASSERT_EQ(again.Load(dat()), 0);
  ASSERT_EQ(again.RecordCount(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const SmartPlayRecord* r = again.Record(i);
    EXPECT_EQ(r->selectionCount, r->path == chosen ? 1u : 0u);
    EXPECT_EQ(r->played, r->path == chosen ? 1 : 0);
  }

  CSmartPlay empty;
  empty.Finish();
  ASSERT_EQ(empty.Save(dat()), 0);
  EXPECT_EQ(ReadWholeFile(dat()), Header(0, 0));
  EXPECT_EQ(again.Load(dat()), 0);
}

TEST_F(SmartPlay, AFailedSaveLeavesTheOldFileAndReportsFailure) {
  WriteWholeFile(dat(), "old history");
  CSmartPlay db;
  db.Add("/s/one.z80");
  db.Finish();
  std::filesystem::create_directory(dat() + ".tmp");  // the temporary file cannot be created
  EXPECT_EQ(db.Save(dat()), 3);
  std::filesystem::remove(dat() + ".tmp");
  if (std::filesystem::exists("/dev/full")) {
    std::filesystem::create_symlink("/dev/full", dat() + ".tmp");  // every write fails
    EXPECT_EQ(db.Save(dat()), 3);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dat() + ".tmp")));
  }
  EXPECT_EQ(ReadWholeFile(dat()), "old history");
}

TEST_F(SmartPlay, EveryFileIsChosenOnceBeforeAnyRepeatAcrossRuns) {
  const std::vector<std::string> files{"/s/a.z80", "/s/b.z80", "/s/c.z80"};
  std::mt19937 random(12345);
  std::set<std::string> round;
  for (int run = 0; run < 2; ++run) {
    CSmartPlay db;
    db.Load(dat());
    for (const auto& f : files) db.Add(f);
    db.Finish();
    EXPECT_EQ(db.EligibleCount(), 3 - round.size());
    for (int pick = 0; pick < (run == 0 ? 1 : 2); ++pick) EXPECT_TRUE(round.insert(*db.Select(random)).second);
    if (run == 1) {
      EXPECT_EQ(Log().find("all files selected"), std::string::npos);
      EXPECT_TRUE(round.count(*db.Select(random)));
      EXPECT_NE(Log().find("SmartPlay: all files selected. All files are eligible for selection again."),
                std::string::npos);
      EXPECT_EQ(db.EligibleCount(), 2u);
    }
    ASSERT_EQ(db.Save(dat()), 0);
  }
  EXPECT_EQ(round.size(), 3u);
}

TEST_F(SmartPlay, FinishDropsUnfoundFilesAndDatesNewOnes) {
  WriteWholeFile(dat(), Header(2, 35) + Deflate({Chain({kA, kC})}));
  CSmartPlay db;
  ASSERT_EQ(db.Load(dat()), 0);
  db.SetScanTime(1234);
  db.Add(kC.path);
  db.Add("/arch/new.rom");
  db.Finish();
  EXPECT_EQ(Paths(db), (std::vector<std::string>{"/arch/new.rom", kC.path}));
  EXPECT_EQ(db.Record(0)->dateAdded, 1234);
  EXPECT_EQ(db.AddedCount(), 1u);
  EXPECT_EQ(db.RemovedCount(), 1u);
  EXPECT_EQ(db.FindByName("C.SNA"), kC.path);
  EXPECT_EQ(db.FindByName("sub/c.sna"), std::nullopt);
  EXPECT_EQ(db.RecordAt(1), kC.path);
  EXPECT_EQ(db.RecordAt(2), std::nullopt);
  EXPECT_EQ(db.RecordAt(-1), std::nullopt);
}

TEST_F(SmartPlay, DumpListsRecordsInPathOrder) {
  CSmartPlay db;
  EXPECT_FALSE(db.Dump(dat() + ".csv"));
  WriteWholeFile(dat(), Header(2, 39) + Deflate({Chain({kC, kA})}));
  ASSERT_EQ(db.Load(dat()), 0);
  ASSERT_TRUE(db.Dump(dat() + ".csv"));
  const std::string csv = ReadWholeFile(dat() + ".csv");
  EXPECT_EQ(csv.rfind("Filename,Selection count,Played,Date added\n/arch/A.z80,3,yes,", 0), 0u) << csv;
  EXPECT_NE(csv.find("\n/arch/sub/c.sna,7,no,"), std::string::npos);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
}

TEST_F(SmartPlay, RecordsUnderAFolderThatCouldNotBeListedAreKeptButNotOffered) {
  const Rec a{"/arch/a/x.z80", 1, 0}, b{"/arch/b/y.z80", 3, 1}, c{"/arch/c/z.z80", 2, 0};
  WriteWholeFile(dat(), Header(3, static_cast<uint32_t>(a.path.size()) + 24) + Deflate({Chain({a, b, c})}));
  CSmartPlay db;
  ASSERT_EQ(db.Load(dat()), 0);
  db.Add(a.path);
  db.KeepUnder("/arch/b");
  db.KeepUnder("/arch/c/z");  // a folder, not a prefix of a name
  db.Finish();
  EXPECT_EQ(Paths(db), std::vector<std::string>{a.path});
  EXPECT_EQ(db.RecordCount(), 1u);
  EXPECT_EQ(db.FindByName("y.z80"), std::nullopt);
  EXPECT_EQ(db.KeptCount(), 1u);
  EXPECT_EQ(db.RemovedCount(), 1u);
  ASSERT_EQ(db.Save(dat()), 0);

  CSmartPlay next;
  ASSERT_EQ(next.Load(dat()), 0);
  ASSERT_NE(next.Record(1), nullptr);
  EXPECT_EQ(next.Record(1)->path, b.path);
  EXPECT_EQ(next.Record(1)->selectionCount, 3u);
  EXPECT_EQ(next.Record(2), nullptr);

  // A scan cut short keeps every record it did not reach.
  next.KeepUnfound();
  next.Finish();
  EXPECT_EQ(next.RecordCount(), 0u);
  EXPECT_EQ(next.KeptCount(), 2u);
  EXPECT_EQ(next.RemovedCount(), 0u);
}
