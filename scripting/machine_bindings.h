// The machine classes for scripts: CTV, CSpeccy, CSpeccy48 and CSpeccy128 with the model and
// hardware constants, bound by tolua++ (machine_bindings.pkg) as the package "speccy". Each
// method goes through an adaptor below that gives it the scripts' conventions: missing or
// non-numeric numbers are 0, missing booleans false, integers truncated safely, results handed
// over as single-precision numbers.
//
// Televisions belong to the program, not to Lua: no class has a collector. An object that is no
// longer in the script world's television list (deleted, or never a television) makes every
// method do nothing and answer 0, false or nil; a machine method on a plain television does the
// same. New televisions join that list; without one, `new` gives nil.
#pragma once

#include <lua.hpp>

class CTV;
class CSpeccy48;
class CSpeccy128;

// The package's registration function (generated), called through Lua with "speccy".
int tolua_speccy_open(lua_State* L);

// After the package is open: the class tables become out of scripts' reach. The globals CTV,
// CSpeccy, CSpeccy48 and CSpeccy128 turn into read-only tables of the classes' methods; objects
// hide their metatable (getmetatable gives false) and every name starting with "__", "tolua_"
// or "."; the metamethods refuse arguments that are not bound objects; objects have no
// finaliser. The table `tolua` keeps only `type`. tolua++'s internals trust their arguments,
// and a finaliser runs with the watchdog off, so a script that reached them could crash or
// hang the program.
void LockMachineClasses(lua_State* L);

// Live machines and televisions (machines and clones included) a script may have; creating more
// is a script error, as is a machine that cannot be made for want of memory.
inline constexpr int MAX_MACHINES = 64;
inline constexpr int MAX_TELEVISIONS = 256;

// The self pointer of a method call, or null when argument `arg` is not a bound object or no
// longer a television of the world. Stands in for tolua_tousertype in the generated code, which
// would read any userdata as a bound object.
void* ScriptObject(lua_State* L, int arg, void* fallback);

// CTV
CTV* ScriptNewTV(lua_State* L);
void ScriptDelete(void* self);
void ScriptSetWorldRot(void* self, double x, double y, double z);
void ScriptSetWorldPos(void* self, double x, double y, double z);
void ScriptShow(void* self, bool visible);
void ScriptSetExclusive(void* self, bool on);
bool ScriptIsExclusive(void* self);

// CSpeccy
bool ScriptIsPaused(void* self);
void ScriptPause(void* self, bool paused);
bool ScriptIsThrottled(void* self);
void ScriptThrottle(void* self, bool on);
void ScriptReset(void* self);
CTV* ScriptClone(void* self, lua_State* L, double x, double y, double z);
float ScriptPeek(void* self, double address);
float ScriptPoke(void* self, double address, double value);
float ScriptGetBorder(void* self);
float ScriptLoadSnapshot(void* self, lua_State* L, const char* name);
bool ScriptIsPlayingRZX(void* self);
float ScriptGetRZXPart(void* self);
float ScriptGetRZXProgress(void* self);
void ScriptSetVolume(void* self, double volume);
float ScriptGetVolume(void* self);
bool ScriptIsMuted(void* self);
float ScriptGetModel(void* self);
void ScriptMute(void* self, bool muted);
bool ScriptRZXCompleted(void* self);
void ScriptStopRZXPlayback(void* self);
const char* ScriptGetSnapshotCreator(void* self);
bool ScriptIsHardwareAttached(void* self, double kind);
bool ScriptAttachHardware(void* self, double kind, bool attach);
void ScriptDetachAllHardware(void* self);
// Keys held on this machine alone, by their names on the Spectrum keyboard (any letter case):
// false, changing nothing, for a name that is no key.
bool ScriptKeyDown(void* self, const char* name);
bool ScriptKeyUp(void* self, const char* name);
void ScriptReleaseKeys(void* self);
void ScriptSetTubeEffect(void* self, bool on);
bool ScriptSetVariant(void* self, double model);

// CSpeccy48, CSpeccy128: boot from random RAM unless `snapshot` names a file that loads.
CSpeccy48* ScriptNewSpeccy48(lua_State* L, const char* snapshot);
CSpeccy128* ScriptNewSpeccy128(lua_State* L, const char* snapshot);
