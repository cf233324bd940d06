// The headless frame loop for script tests.
#include "tests/scripting/script_driver.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "archive/archive.h"
#include "base/log.h"
#include "base/program.h"
#include "emulation/rom_cache.h"
#include "formats/zip.h"
#include "platform/folders.h"
#include "presentation/camera.h"
#include "presentation/television.h"
#include "presentation/text_list.h"
#include "scripting/script_catalogue.h"
#include "scripting/script_host.h"
#include "scripting/script_world.h"

namespace {

std::string ScriptText(const std::string& path) {
  if (HasExtension(path.c_str(), "zip")) {
    CZip zip;
    std::vector<uint8_t> bytes;
    if (zip.Open(path.c_str()) != UNZ_OK || zip.FindScriptMember() != UNZ_OK || zip.ReadCurrentMember(bytes) != UNZ_OK)
      return {};
    return std::string(bytes.begin(), bytes.end());
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Directive(const std::string& line, const std::string& name, std::string& value) {
  const std::string prefix = "-- " + name + ":";
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  value = line.substr(prefix.size());
  const size_t start = value.find_first_not_of(' ');
  value = start == std::string::npos ? "" : value.substr(start);
  while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
  return true;
}

}  // namespace

ScriptSpec ReadScriptSpec(const std::string& path) {
  ScriptSpec spec;
  std::istringstream text(ScriptText(path));
  std::string line, value;
  while (std::getline(text, line)) {
    if (Directive(line, "frames", value)) spec.frames = std::stoi(value);
    else if (Directive(line, "play-time", value)) spec.playTime = std::stoi(value);
    else if (Directive(line, "saver-mode", value)) spec.saverMode = value == "preview" ? SM_PREVIEW : SM_TEST;
    else if (Directive(line, "catalogue", value)) spec.catalogue = value == "yes";
    else if (Directive(line, "expect", value)) spec.expect.push_back(value);
    else if (Directive(line, "expect-absent", value)) spec.expectAbsent.push_back(value);
    else if (Directive(line, "expect-driver", value)) spec.expectDriver.push_back(value);
  }
  return spec;
}

std::vector<std::string> CheckLog(const ScriptSpec& spec, const std::vector<std::string>& lines, bool driverRun) {
  std::vector<std::string> problems;
  std::vector<std::string> expected = spec.expect;
  if (driverRun) expected.insert(expected.end(), spec.expectDriver.begin(), spec.expectDriver.end());
  size_t next = 0;
  for (const std::string& wanted : expected) {
    size_t at = next;
    while (at < lines.size() && lines[at].find(wanted) == std::string::npos) ++at;
    if (at == lines.size()) {
      problems.push_back("missing (in order): " + wanted);
    } else {
      next = at + 1;
    }
  }
  for (const std::string& line : lines) {
    for (const std::string& unwanted : spec.expectAbsent)
      if (line.find(unwanted) != std::string::npos) problems.push_back("unexpected: " + line);
    if (line.rfind("FAIL", 0) == 0) problems.push_back("script check: " + line);
  }
  return problems;
}

std::vector<std::string> ReadLogLines(const std::string& logPath) {
  std::vector<std::string> lines;
  std::ifstream in(logPath);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() >= 11 && line[0] == '[' && line[9] == ']') line = line.substr(11);
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> RunScript(const DriverOptions& options, const ScriptSpec& spec) {
  // The parts of the program scripts act on, as the application makes them: no sound settings,
  // SmartPlay off, playing in sequence, the generator seeded with 1.
  const std::string base = options.baseFolder;
  CRomCache roms(options.romsFolder.empty() ? JoinPath(base, "Roms") : options.romsFolder);
  uint8_t keyMatrix[8] = {};
  std::mt19937 random(1);
  CTextList captions;
  CCamera camera;
  uint32_t background = 0;
  CArchive archive(random, captions);
  archive.SetUp({"", JoinPath(base, "Snapshots"), "", 0, 1, spec.saverMode});
  CTelevisionList televisions;
  televisions.machines.roms = &roms;
  televisions.machines.keyMatrix = keyMatrix;
  televisions.machines.random = &random;
  televisions.machines.log = [](const std::string& line) { WriteLog(line); };
  ScriptWorld world;
  world.settings.scriptsFolder = JoinPath(base, "Scripts");
  world.settings.snapshotsFolder = JoinPath(base, "Snapshots");
  world.settings.playMode = 0;
  world.settings.playTime = spec.playTime;
  world.settings.preview = spec.saverMode == SM_PREVIEW;
  world.televisions = &televisions;
  world.captions = &captions;
  world.camera = &camera;
  world.background = &background;
  world.archive = &archive;
  world.random = &random;
  ScriptHost().SetWorld(&world);
  OpenLog(options.logPath);

  bool errorMode = false;
  SetNoScriptsHandler([&errorMode](const std::string&) { errorMode = true; });
  if (spec.catalogue) {
    BuildScriptCatalogue();
  } else {
    PlayOnlyScript(options.script);
  }

  for (int frame = 1; frame <= spec.frames && !errorMode; ++frame) {
    const float now = static_cast<float>(frame) * options.frameSeconds;
    ScriptSchedulingStep(now);
    if (errorMode) break;
    ScriptResumeStep(now);
    for (CTV* tv = televisions.Head(); tv; tv = tv->Next())
      if (!televisions.Exclusive() || tv == televisions.Exclusive()) tv->UpdateFrame(now);
    captions.Draw(now, {});
  }

  char summary[256];
  std::snprintf(summary, sizeof summary,
                "Driver: televisions %d, background 0x%08x, eye (%g, %g, %g), look-at (%g, %g, %g), captions %d",
                static_cast<int>(televisions.Count()), static_cast<unsigned>(background), camera.Eye().x,
                camera.Eye().y, camera.Eye().z, camera.LookAt().x, camera.LookAt().y, camera.LookAt().z,
                static_cast<int>(captions.Messages().size()));
  WriteLog(summary);
  ClearScriptCatalogue();
  SetNoScriptsHandler(nullptr);
  ScriptHost().SetWorld(nullptr);
  CloseLog();
  return ReadLogLines(options.logPath);
}
