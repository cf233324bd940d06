// The catalogue (which files become scripts, their details, the log lines), the playlist
// (sequence, shuffle, selection) and the scheduler (play time, failed scripts, the watchdog,
// nothing playable), with real scripts in a temporary Scripts folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/log.h"
#include "platform/folders.h"
#include "presentation/text_list.h"
#include "scripting/script_catalogue.h"
#include "scripting/script_host.h"
#include "scripting/script_world.h"
#include "tests/scripting/script_driver.h"
#include "tests/support/temp_dir.h"

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

void WriteZip(const std::string& path, const Members& members) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const auto& [name, data] : members) {
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION),
              ZIP_OK);
    zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

// Runs `work`; should it block (reading a named pipe blocks until a writer comes), the pipes are
// opened for writing to free it, and the test fails instead of hanging.
template <class Work>
void WithinSeconds(int seconds, const std::vector<std::string>& pipes, Work work) {
  auto done = std::async(std::launch::async, work);
  if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) return done.get();
  ADD_FAILURE() << "blocked on a named pipe";
  while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
    for (const std::string& pipe : pipes)
      if (const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
}

// A script that logs its start and then sleeps for good.
std::string Sleeper(const std::string& tag) {
  return "Script_Details = { Name = '" + tag + "' }\n"
         "function Script_Start() gbox.Log('started " + tag + "') while true do gbox.Sleep(1000) end end\n";
}

class ScriptCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.settings.scriptsFolder = JoinPath(dir_.path().string(), "Scripts");
    std::filesystem::create_directories(world_.settings.scriptsFolder);
    world_.settings.playMode = 0;
    world_.random = &random_;
    world_.handsOn = &handsOn_;
    world_.background = &background_;
    host_.SetWorld(&world_);
    OpenLog(dir_.file("log.txt"));
    host_.SetPlaylist(&catalogue_);
    catalogue_.SetNoScriptsHandler([this](const std::string& message) { noScripts_.push_back(message); });
  }
  void TearDown() override {
    host_.CloseCurrentScript();
    CloseLog();
  }

  void Script(const std::string& name, const std::string& text) {
    WriteWholeFile(JoinPath(world_.settings.scriptsFolder, name), text);
  }
  std::vector<std::string> Log() { return ReadLogLines(dir_.file("log.txt")); }
  bool Logged(const std::string& line) {
    const auto lines = Log();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  int Count(const std::string& line) {
    const auto lines = Log();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
  }
  void Records(int n) {
    for (int i = 0; i < n; ++i) {
      ScriptRecord record;
      record.fileName = "s" + std::to_string(i) + ".lua";
      catalogue_.Scripts().push_back(record);
    }
  }
  // Catalogue the folder and play in sequence.
  void Build() {
    catalogue_.BuildScriptList();
    catalogue_.BuildPlaylist();
  }

  TempDir dir_;
  ScriptWorld world_;
  std::mt19937 random_;
  bool handsOn_ = false;
  uint32_t background_ = 0;
  CScriptHost host_;
  CScriptCatalogue catalogue_{host_};
  std::vector<std::string> noScripts_;
};

TEST_F(ScriptCatalogueTest, CataloguesScriptsThatDescribeThemselvesInNameOrder) {
  Script("b.lua",
         "Script_Details = { NAME = 'Bee', version = 2, Author = 'Corvane', Description = 'd',\n"
         "  WebPage = 'w', EMail = 'e', [1] = 'ignored', Other = 'x', Email = {} }\n"
         "function Script_Start() end\n");
  Script("A.lua", "Script_Details = { Version = '1.0' }\nfunction Script_Start() end\n");
  Script("broken.lua", "Script_Details = {\n");
  Script("nostart.lua", "Script_Details = { Name = 'No start' }\n");  // b.lua's Script_Start is cleared
  Script("notable.lua", "Script_Details = 'x'\nfunction Script_Start() end\n");
  Script("notes.txt", "not a script");
  std::filesystem::create_directories(JoinPath(world_.settings.scriptsFolder, "folder.lua"));
  WriteZip(JoinPath(world_.settings.scriptsFolder, "empty.zip"), {{"readme.txt", "hello"}});
  WriteZip(JoinPath(world_.settings.scriptsFolder, "two.ZIP"),
           {{"x.txt", "-"},
            {"one.lua", "Script_Details = { Name = 'One' }\nfunction Script_Start() end\n"},
            {"two.lua", "Script_Details = { Name = 'Two' }\nfunction Script_Start() end\n"}});
  WriteWholeFile(JoinPath(world_.settings.scriptsFolder, "bad.zip"), "not a zip");

  catalogue_.BuildScriptList();

  const auto& scripts = catalogue_.Scripts();
  ASSERT_EQ(scripts.size(), 3u);
  EXPECT_EQ(scripts[0].fileName, "A.lua");
  EXPECT_EQ(scripts[1].fileName, "b.lua");
  EXPECT_EQ(scripts[2].fileName, "two.ZIP");
  EXPECT_FALSE(scripts[0].name.has_value());
  EXPECT_EQ(scripts[1].name, "Bee");
  EXPECT_EQ(scripts[1].version, "2");
  EXPECT_EQ(scripts[1].author, "Corvane");
  EXPECT_EQ(scripts[1].description, "d");
  EXPECT_EQ(scripts[1].webpage, "w");
  EXPECT_EQ(scripts[1].email, "e");
  EXPECT_EQ(scripts[2].name, "One");
  EXPECT_FALSE(host_.IsLuaUp());

  EXPECT_TRUE(Logged("Building list of scripts"));
  // A fresh state for every candidate: bee, A, broken, nostart, notable, folder.lua and two.ZIP.
  EXPECT_EQ(Count("Firing up Lua 5.1.5"), 7);
  EXPECT_TRUE(Logged("Added script to list: A.lua (<no name> 1.0)"));
  EXPECT_TRUE(Logged("Added script to list: b.lua (Bee 2)"));
  EXPECT_TRUE(Logged("Added script to list: two.ZIP (One )"));
  for (const char* name : {"broken.lua", "nostart.lua", "notable.lua", "folder.lua"})
    EXPECT_TRUE(Logged(std::string("*** Error loading script: ") + name)) << name;
  EXPECT_TRUE(Logged("List of scripts built OK"));
  for (const std::string& line : Log()) {
    EXPECT_EQ(line.find("empty.zip"), std::string::npos) << line;
    EXPECT_EQ(line.find("bad.zip"), std::string::npos) << line;
    EXPECT_EQ(line.find("notes.txt"), std::string::npos) << line;
  }
  const auto lines = Log();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("Lua error loading buffer: [string \"Script_Details = {...\"]:", 0) == 0;
  }));
}

TEST_F(ScriptCatalogueTest, PlaylistInSequenceOrOnlyTheSelection) {
  Records(4);
  catalogue_.BuildPlaylist();
  EXPECT_EQ(catalogue_.Playlist(), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_TRUE(Logged("Building playlist (sequential)"));
  EXPECT_TRUE(Logged("Playlist built"));

  catalogue_.Scripts()[1].selected = true;
  catalogue_.Scripts()[3].selected = true;
  world_.settings.playSelection = 1;
  catalogue_.BuildPlaylist();
  EXPECT_EQ(catalogue_.Playlist(), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(catalogue_.CountSelected(), 2);
  EXPECT_EQ(catalogue_.Position(), -1);
}

TEST_F(ScriptCatalogueTest, ShuffleSwapsWithAnyEntryUsingTheSharedGenerator) {
  Records(5);
  world_.settings.playMode = 1;
  random_.seed(5489);
  catalogue_.BuildPlaylist();
  // Draws 3499211612, 581869302, 3890346734, 3586334585, 545404204, each >> 1 and % 5,
  // swapped with entries 4, 3, 2, 1, 0.
  EXPECT_EQ(catalogue_.Playlist(), (std::vector<int32_t>{3, 2, 0, 4, 1}));
  EXPECT_TRUE(Logged("Building playlist (random)"));
  std::mt19937 expected(5489);
  expected.discard(5);
  EXPECT_EQ(random_, expected);
}

TEST_F(ScriptCatalogueTest, SelectionIsSavedAndMatchedWithoutLetterCase) {
  const char* home = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = home ? home : "";
  ::setenv("XDG_CONFIG_HOME", dir_.file("config").c_str(), 1);
  Records(3);
  catalogue_.Scripts()[2].selected = true;
  EXPECT_TRUE(catalogue_.SaveSelection());
  catalogue_.Scripts()[2].selected = false;
  catalogue_.Scripts()[2].fileName = "S2.LUA";
  catalogue_.LoadSelection();
  EXPECT_FALSE(catalogue_.Scripts()[0].selected);
  EXPECT_TRUE(catalogue_.Scripts()[2].selected);
  home ? ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(ScriptCatalogueTest, PlayTimeSwitchesToTheNextScriptAndWraps) {
  Script("s1.lua", Sleeper("one"));
  Script("s2.lua", Sleeper("two"));
  world_.settings.playTime = 5;
  Build();
  catalogue_.SchedulingStep(0);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "s1.lua");
  catalogue_.SchedulingStep(4.9f);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "s1.lua");
  catalogue_.SchedulingStep(5);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "s2.lua");
  catalogue_.SchedulingStep(10);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "s1.lua");
  EXPECT_EQ(Count("started one"), 2);
  EXPECT_EQ(Count("started two"), 1);
}

TEST_F(ScriptCatalogueTest, PlayTimeZeroOrASingleScriptIsNeverSwitchedByTime) {
  Script("s1.lua", Sleeper("one"));
  Script("s2.lua", Sleeper("two"));
  world_.settings.playTime = 0;
  Build();
  catalogue_.SchedulingStep(0);
  catalogue_.SchedulingStep(1e6f);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "s1.lua");

  world_.settings.playTime = 5;
  catalogue_.PlayOnly("s2.lua");
  catalogue_.SchedulingStep(0);
  catalogue_.SchedulingStep(100);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "s2.lua");
  EXPECT_EQ(Count("started two"), 1);
  EXPECT_TRUE(noScripts_.empty());
}

TEST_F(ScriptCatalogueTest, FailedScriptsAreSkippedUntilNothingIsLeft) {
  Script("a.lua", Sleeper("a"));
  Script("b.lua", Sleeper("b"));
  Build();
  // b.lua breaks after it was catalogued.
  Script("b.lua", "function Script_Start() error('broken') end\n");
  world_.settings.playTime = 1;
  catalogue_.SchedulingStep(0);
  catalogue_.SchedulingStep(1);  // b fails to load
  EXPECT_TRUE(catalogue_.Scripts()[1].failed);
  EXPECT_EQ(catalogue_.Position(), -1);
  catalogue_.SchedulingStep(1.02f);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "a.lua");
  catalogue_.SchedulingStep(2.02f);  // b is skipped: a again
  EXPECT_EQ(catalogue_.CurrentScriptName(), "a.lua");
  EXPECT_EQ(Count("started a"), 3);
  EXPECT_TRUE(noScripts_.empty());

  Script("a.lua", "syntax error here");
  catalogue_.SchedulingStep(3.02f);
  catalogue_.SchedulingStep(3.04f);
  EXPECT_EQ(noScripts_, std::vector<std::string>{"No valid scripts available"});
  EXPECT_TRUE(Logged("No valid scripts available"));
  const std::string error =
      "Lua error starting script: [string \"function Script_Start() error('broken') end...\"]:1: broken";
  const auto lines = Log();
  const auto at = std::find(lines.begin(), lines.end(), error);
  ASSERT_NE(at, lines.end());
  ASSERT_NE(at + 1, lines.end());
  EXPECT_EQ(at[1], "") << "the error's own newline leaves an empty line after it";
}

TEST_F(ScriptCatalogueTest, AnEmptyPlaylistIsNothingToPlay) {
  Records(2);
  world_.settings.playSelection = 1;
  catalogue_.BuildPlaylist();
  catalogue_.SchedulingStep(0);
  EXPECT_EQ(noScripts_.size(), 1u);
  EXPECT_EQ(catalogue_.Position(), -1);
}

TEST_F(ScriptCatalogueTest, AScriptStoppedByTheWatchdogIsSkippedForTheRestOfTheRun) {
  Script("a.lua", Sleeper("a"));
  Script("b.lua",
         "Script_Details = {}\nfunction Script_Start() gbox.Log('started b') gbox.Sleep(0.5) while true do end end\n");
  Script("c.lua", Sleeper("c"));
  world_.settings.playTime = 1;
  Build();
  catalogue_.SchedulingStep(0);
  catalogue_.SchedulingStep(1);
  host_.ResumeStep(1.5f);
  EXPECT_TRUE(Logged("started b"));
  EXPECT_TRUE(Logged("Script not responding. Closing it: b.lua"));
  EXPECT_EQ(catalogue_.Position(), -1);
  EXPECT_TRUE(catalogue_.Scripts()[1].failed);
  catalogue_.SchedulingStep(1.52f);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "a.lua");
  catalogue_.SchedulingStep(2.52f);
  EXPECT_EQ(catalogue_.CurrentScriptName(), "c.lua");
  EXPECT_EQ(Count("started b"), 1);
}

TEST_F(ScriptCatalogueTest, EveryScriptIsDescribedInAFreshState) {
  Script("a.lua", "Script_Details = { Name = 'A' }\nfunction Script_Start() end\n"
                  "setmetatable(_G, { __newindex = function() error('no') end })\n");
  Script("b.lua", "Script_Details = { Name = 'B' }\nfunction Script_Start() end\n");
  catalogue_.BuildScriptList();
  ASSERT_EQ(catalogue_.Scripts().size(), 2u);
  EXPECT_EQ(catalogue_.Scripts()[1].name, "B");
}

TEST_F(ScriptCatalogueTest, HandsOnModeHoldsTheSchedulerAndTheScript) {
  Script("a.lua", "Script_Details = {}\nfunction Script_Start() gbox.Sleep(0.5) gbox.Log('woke') end\n");
  Build();
  handsOn_ = true;
  catalogue_.SchedulingStep(0);
  EXPECT_EQ(catalogue_.Position(), -1);
  handsOn_ = false;
  catalogue_.SchedulingStep(0);
  host_.ResumeStep(0.4f);
  EXPECT_FALSE(Logged("woke"));
  handsOn_ = true;
  host_.ResumeStep(0.6f);
  EXPECT_FALSE(Logged("woke"));
  handsOn_ = false;
  host_.ResumeStep(0.6f);
  EXPECT_TRUE(Logged("woke"));
}

TEST_F(ScriptCatalogueTest, AZippedScriptKeepsItsArchiveOpenUntilClosed) {
  WriteZip(JoinPath(world_.settings.scriptsFolder, "pack.zip"),
           {{"game.z80", "-"},
            {"Run.Lua", "Script_Details = {}\nfunction Script_Start() gbox.Log('zipped ran') gbox.Sleep(9) end\n"}});
  catalogue_.PlayOnly("pack.zip");
  catalogue_.SchedulingStep(0);
  EXPECT_TRUE(Logged("zipped ran"));
  ASSERT_NE(host_.ScriptZip(), nullptr);
  EXPECT_EQ(host_.Lookup().scriptZip, host_.ScriptZip());
  EXPECT_TRUE(host_.ScriptZip()->IsOpen());
  host_.CloseCurrentScript();
  EXPECT_EQ(host_.ScriptZip(), nullptr);
  EXPECT_EQ(host_.Lookup().scriptZip, nullptr);
}

TEST_F(ScriptCatalogueTest, LoadingResetsTheBackgroundAndReadsAPathUnchanged) {
  background_ = 0x123456;
  const std::string elsewhere = dir_.file("elsewhere.lua");
  WriteWholeFile(elsewhere, "function Script_Start() gbox.Log('from a path') end\n");
  EXPECT_TRUE(host_.LoadScript(elsewhere, false));
  EXPECT_EQ(background_, 0u);
  EXPECT_TRUE(Logged("from a path"));
  EXPECT_TRUE(Logged("Script loaded OK: "));
  EXPECT_FALSE(host_.LoadScript("missing.lua", false));
  EXPECT_TRUE(Logged("Script failed to load: missing.lua"));
}

}  // namespace

TEST_F(ScriptCatalogueTest, NamedPipesAreNeitherScriptsNorSnapshots) {
  const std::string folder = world_.settings.scriptsFolder;
  for (const char* pipe : {"p.lua", "p.zip", "pipe.z80", "pipe.zip"})
    ASSERT_EQ(::mkfifo(JoinPath(folder, pipe).c_str(), 0600), 0);
  Script("a.lua", Sleeper("a"));
  const std::vector<std::string> pipes{JoinPath(folder, "p.lua"), JoinPath(folder, "p.zip"),
                                       JoinPath(folder, "pipe.z80"), JoinPath(folder, "pipe.zip")};
  WithinSeconds(20, pipes, [&] { catalogue_.BuildScriptList(); });
  ASSERT_EQ(catalogue_.Scripts().size(), 1u);
  EXPECT_TRUE(Logged("*** Error loading script: p.lua"));

  TempDir base;
  std::filesystem::create_directories(base.file("Scripts"));
  for (const char* pipe : {"pipe.z80", "pipe.zip"}) ASSERT_EQ(::mkfifo(base.file(std::string("Scripts/") + pipe).c_str(), 0600), 0);
  WriteWholeFile(base.file("Scripts/loads.lua"),
                 "Script_Details = {}\nfunction Script_Start() local m = CSpeccy48:new()\n"
                 "  gbox.Log('pipe.z80 ' .. m:LoadSnapshot('pipe.z80') .. ', pipe.zip ' .. m:LoadSnapshot('pipe.zip')) end\n");
  ScriptSpec spec;
  spec.frames = 1;
  spec.expect = {"pipe.z80 4, pipe.zip 3"};
  std::vector<std::string> lines;
  WithinSeconds(20, {base.file("Scripts/pipe.z80"), base.file("Scripts/pipe.zip")}, [&] {
    lines = RunScript({base.path().string(), "", "loads.lua", base.file("log.txt")}, spec);
  });
  EXPECT_TRUE(CheckLog(spec, lines).empty());
}

TEST_F(ScriptCatalogueTest, ScriptsLargerThanTheLimitAreNotRead) {
  const std::string text = "Script_Details = {}\nfunction Script_Start() end\n";
  const size_t limit = CScriptHost::MAX_SCRIPT_SIZE;
  Script("full.lua", text + std::string(limit - text.size(), ' '));
  Script("over.lua", text + std::string(limit - text.size() + 1, ' '));
  WriteZip(JoinPath(world_.settings.scriptsFolder, "claims.zip"), {{"claims.lua", text}});
  // The central directory claims 3.75 GB for the member that holds a few bytes.
  std::string zip = ReadWholeFile(JoinPath(world_.settings.scriptsFolder, "claims.zip"));
  const size_t central = zip.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  zip.replace(central + 24, 4, std::string("\x00\x00\x00\xF0", 4));
  WriteWholeFile(JoinPath(world_.settings.scriptsFolder, "claims.zip"), zip);

  catalogue_.BuildScriptList();
  ASSERT_EQ(catalogue_.Scripts().size(), 1u);
  EXPECT_EQ(catalogue_.Scripts()[0].fileName, "full.lua");
  for (const char* name : {"over.lua", "claims.zip"})
    EXPECT_TRUE(Logged("Script \"" + JoinPath(world_.settings.scriptsFolder, name) + "\" is larger than 4 MB; not loaded"))
        << name;
}

TEST_F(ScriptCatalogueTest, CaptionsThatNeverEndGoWhenTheNextScriptStarts) {
  CTextList captions;
  world_.captions = &captions;
  Script("a.lua", "Script_Details = {}\nfunction Script_Start() gbox.Text(1, 1, 'a forever', math.huge)\n"
                  "  gbox.Text(1, 1, 'a for a while', 60) end\n");
  Script("b.lua", Sleeper("b"));
  world_.settings.playTime = 1;
  Build();
  catalogue_.SchedulingStep(0);
  ASSERT_EQ(captions.Messages().size(), 2u);
  catalogue_.SchedulingStep(1);
  EXPECT_TRUE(Logged("started b"));
  ASSERT_EQ(captions.Messages().size(), 1u);
  EXPECT_EQ(captions.Messages()[0].text, "a for a while");
  world_.captions = nullptr;
}
