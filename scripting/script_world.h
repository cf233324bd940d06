// What the script host and the gbox functions act on: the program's settings for scripts and the
// parts of the program that scripts change. The owner fills it and hands it to the host
// (CScriptHost::SetWorld) before any script loads, and takes it back before the parts go.
#pragma once

#include <cstdint>
#include <random>
#include <string>

class CArchive;
class CCamera;
class CTelevisionList;
class CTextList;

struct ScriptSettings {
  std::string scriptsFolder, snapshotsFolder, archiveFolder;
  int32_t playSelection = 0;  // 0 all scripts, 1 only the selected ones
  int32_t playMode = 1;       // 0 in sequence, 1 at random
  int32_t playTime = 120;     // seconds per script
  bool preview = false;       // the saver runs in a preview: no captions
};

struct ScriptWorld {
  ScriptSettings settings;
  CTelevisionList* televisions = nullptr;
  CTextList* captions = nullptr;
  CCamera* camera = nullptr;
  uint32_t* background = nullptr;  // ARGB
  CArchive* archive = nullptr;
  std::mt19937* random = nullptr;
  const bool* handsOn = nullptr;   // while true, scripts stand still; null: never
};
