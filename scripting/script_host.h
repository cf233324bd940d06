// The script host: the Lua 5.1 interpreter and the one script loaded at a time. A script defines
// Script_Details and Script_Start; the host runs the chunk once, then Script_Start as a coroutine
// in its own Lua thread, which gives control back with gbox.Sleep and is resumed once its wake
// time has come. A watchdog stops, as failed, a script that runs 100000 instructions or two
// seconds without yielding (its coroutines counted with it), or that uses more than 64 MB.
// Details mode reads Script_Details for the catalogue, each script in a Lua state of its own,
// without the gbox table or the machines.
//
// Scripts act on a ScriptWorld (scripting/script_world.h): the televisions, captions, camera,
// background, archive and generator the application owns, and the settings scripts follow. The
// application drives scripting through the hooks at the end of this file:
//   once:           ScriptHost().SetWorld(&world);  ...  SetWorld(nullptr) before the parts go
//   LoadSettings:   BuildScriptCatalogue();  (or PlayOnlyScript(file) for --script)
//   AdvanceFrame:   ScriptSchedulingStep(now); ...keyboard...; ScriptResumeStep(now);
//   ShutDownScene:  ClearScriptCatalogue();   (stops the script first)
//   SetNoScriptsHandler(...) once, to enter error mode when nothing can be played.
#pragma once

#include <lua.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "formats/snapshot.h"
#include "formats/zip.h"
#include "scripting/script_world.h"

class CScriptCatalogue;
struct ScriptRecord;

class CScriptHost {
 public:
  // A script may run this many virtual-machine instructions, in all its coroutines together,
  // and this long by the clock (time in the program's functions included), between two
  // resumptions.
  static constexpr int WATCHDOG_INSTRUCTIONS = 100000;
  static constexpr double WATCHDOG_SECONDS = 2.0;
  // The chunk's top-level code (run once at load) gets a larger allowance, so that a script
  // that never finishes it cannot hang the program at start-up.
  static constexpr int CHUNK_INSTRUCTIONS = 10000000;
  static constexpr double CHUNK_SECONDS = 5.0;
  // The instructions between two looks of the watchdog, on every thread of the script.
  static constexpr int WATCHDOG_STEP = 1000;
  // The memory a script's Lua state may hold; between resumptions the host may go a little over
  // it, so that its own calls never fail.
  static constexpr size_t MEMORY_LIMIT = 64u << 20;
  static constexpr size_t HOST_HEADROOM = 1u << 20;
  // The largest script text, plain or zipped, that is loaded.
  static constexpr uint64_t MAX_SCRIPT_SIZE = 4u << 20;

  CScriptHost() = default;
  ~CScriptHost();
  CScriptHost(const CScriptHost&) = delete;
  CScriptHost& operator=(const CScriptHost&) = delete;

  // The playlist that owns the current script: ending it and its name go there.
  void SetPlaylist(CScriptCatalogue* playlist) { playlist_ = playlist; }
  // What scripts act on; null takes it back (every part it points to must outlive its use).
  void SetWorld(ScriptWorld* world) { world_ = world ? world : &noWorld_; }
  ScriptWorld& World() const { return *world_; }
  // Where the current script's snapshots are looked for: its zip, or the Scripts folder.
  SnapshotLookup Lookup();

  // Creates the Lua state unless it exists: the libraries, and in run mode the machine classes,
  // the gbox table and the script thread.
  void FireUpLua(bool detailsMode);
  void ShutDownLua();
  // Deletes every television, closes the script zip, frees the text and shuts Lua down.
  void CloseCurrentScript();
  // Loads `name` (a bare name is looked up in the Scripts folder; a .zip runs its first .lua
  // member). In details mode the details go to `details`; in run mode Script_Start runs to its
  // first yield. True when loaded.
  bool LoadScript(const std::string& name, bool detailsMode, ScriptRecord* details = nullptr);
  // Once per frame: resumes a sleeping script whose wake time has come (not in hands-on mode).
  void ResumeStep(float now);

  // The application time that Sleep adds to; the scheduling and resume steps keep it current.
  void SetApplicationTime(float now) { appTime_ = now; }

  bool IsLuaUp() const { return main_ != nullptr; }
  // The bytes the Lua state holds now.
  size_t MemoryUsed() const { return memoryUsed_; }
  lua_State* MainState() const { return main_; }
  // The script came from a zip, which stays open while it runs.
  const CZip* ScriptZip() const { return scriptIsZipped_ ? &zip_ : nullptr; }
  // Whether scripts stand still (hands-on mode).
  bool HandsOn() const { return world_->handsOn && *world_->handsOn; }
  // The world's generator; without one, the host's own.
  std::mt19937& Random() { return world_->random ? *world_->random : ownRandom_; }

  // What the script functions need. Each is called from a C function running in `L`.
  // Sleep: sets the wake time and yields (the result is the C function's return).
  int Sleep(lua_State* L, float seconds);
  // A wrongly called program function: "Error in <script> : <message>", the script ended as
  // failed, a Lua error raised (does not return).
  int ScriptError(lua_State* L, const char* message);
  void EndCurrentScript(bool failed);
  std::string CurrentScriptName() const;

  // The host whose Lua state `L` (or one of its threads) belongs to.
  static CScriptHost* Of(lua_State* L);

 private:
  enum class Phase { Idle, Chunk, Resuming };

  bool ReadScriptText(const std::string& path);
  bool RunChunk(lua_State* L);
  bool ReadDetails(lua_State* L, ScriptRecord* details);
  int Resume();
  void StartPhase(Phase phase, int instructions, double seconds);
  void EndPhase();
  void ArmWatchdog();
  // Null while the script is within its bounds, else the log line that stops it.
  const char* Overrun();
  void ReportMemoryOverrun();
  static void WatchdogHook(lua_State* L, lua_Debug* ar);
  static void* Allocate(void* host, void* block, size_t oldSize, size_t newSize);
  static int Panic(lua_State* L);
  static int CreateCoroutine(lua_State* L);
  static int WrapCoroutine(lua_State* L);
  void WatchNewThread(lua_State* thread);

  lua_State* main_ = nullptr;
  lua_State* thread_ = nullptr;  // the script thread; null in details mode
  int threadRef_ = LUA_NOREF;
  bool sleeping_ = false;
  float wakeTime_ = 0;
  float appTime_ = 0;
  std::vector<char> text_;  // the script's text and a terminating zero byte
  CZip zip_;
  bool scriptIsZipped_ = false;
  Phase phase_ = Phase::Idle;
  // The current phase's allowance: instructions counted so far, and the limits.
  long instructions_ = 0;
  long instructionLimit_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  bool watchdogFired_ = false;
  size_t memoryUsed_ = 0;
  bool memoryExceeded_ = false;  // until the state is shut down
  bool memoryReported_ = false;
  std::string loadingName_;  // the script being loaded or run, for the log
  CScriptCatalogue* playlist_ = nullptr;
  ScriptWorld noWorld_;
  ScriptWorld* world_ = &noWorld_;
  std::mt19937 ownRandom_;
};

// ---- The application's hooks, on the program-wide host and catalogue ----

CScriptHost& ScriptHost();
CScriptCatalogue& ScriptCatalogue();

// Builds the catalogue from the Scripts folder, reads the selection, builds the playlist.
void BuildScriptCatalogue();
// --script FILE: a playlist of this one script (a path, or a name in the Scripts folder).
void PlayOnlyScript(const std::string& fileOrName);
// The frame steps, at application time `now`; both do nothing in hands-on mode.
void ScriptSchedulingStep(float now);
void ScriptResumeStep(float now);
// Closes the current script (all machines are deleted, Lua shuts down).
void StopScript();
// Stops the script, then empties the catalogue and the playlist.
void ClearScriptCatalogue();
// Called with "No valid scripts available" (already logged) when nothing can be played.
void SetNoScriptsHandler(std::function<void(const std::string&)> handler);
