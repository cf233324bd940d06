// The adaptors behind the machine classes' bindings.
#include "scripting/machine_bindings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "formats/result_code.h"
#include "presentation/script_machine.h"
#include "scripting/script_host.h"
#include "scripting/script_numbers.h"

namespace {

// The television at `object` in the list, if it is still there. A bound object holds the address
// of the type it was pushed as (CTV for new and Clone, the model for new), so both are compared.
CTV* FindTV(const CTelevisionList* list, const void* object) {
  if (!list || !object) return nullptr;
  for (CTV* tv = list->Head(); tv; tv = tv->Next())
    if (static_cast<const void*>(tv) == object || dynamic_cast<const void*>(tv) == object) return tv;
  return nullptr;
}

// ScriptObject has found `self` among the televisions.
CTV* LiveTV(void* self) { return static_cast<CTV*>(self); }

CSpeccy* LiveSpeccy(void* self) { return dynamic_cast<CSpeccy*>(LiveTV(self)); }

CTelevisionList* Televisions(lua_State* L) {
  CScriptHost* host = CScriptHost::Of(L);
  return host ? host->World().televisions : nullptr;
}

// Why no further television (a machine when `machine`) may be made now; null when one may.
const char* NoRoomFor(const CTelevisionList& list, bool machine) {
  static char why[64];
  int machines = 0;
  for (const CTV* tv = list.Head(); tv; tv = tv->Next())
    if (dynamic_cast<const CSpeccy*>(tv)) ++machines;
  if (machine && machines >= MAX_MACHINES) {
    std::snprintf(why, sizeof why, "%d machines at most", MAX_MACHINES);
    return why;
  }
  if (list.Count() >= MAX_TELEVISIONS) {
    std::snprintf(why, sizeof why, "%d televisions at most", MAX_TELEVISIONS);
    return why;
  }
  return nullptr;
}

// A television made by `make`, or a script error (which does not return) when the limits or the
// memory do not allow it; null only without a television list. No object with a destructor may
// be alive here when the error is raised.
template <class T, class Make>
T* Create(lua_State* L, bool machine, Make make) {
  CTelevisionList* televisions = Televisions(L);
  if (!televisions) return nullptr;
  const char* refusal = NoRoomFor(*televisions, machine);
  T* made = nullptr;
  if (!refusal) {
    try {
      made = make(*televisions);
    } catch (const std::bad_alloc&) {
      refusal = "out of memory";
    }
  }
  if (!made && refusal) {
    static char message[128];
    std::snprintf(message, sizeof message, "cannot create another %s (%s)", machine ? "machine" : "television",
                  refusal);
    CScriptHost::Of(L)->ScriptError(L, message);
  }
  return made;
}

// ---- The class lock ----

const char* const CLASS_NAMES[] = {"CTV", "CSpeccy", "CSpeccy48", "CSpeccy128"};

// A table tolua++ registered as a class: the registry maps it to its type name.
bool IsClassTable(lua_State* L, int index) {
  if (lua_type(L, index) != LUA_TTABLE) return false;
  lua_pushvalue(L, index);
  lua_rawget(L, LUA_REGISTRYINDEX);
  const bool registered = lua_type(L, -1) == LUA_TSTRING;
  lua_pop(L, 1);
  return registered;
}

// A userdata whose metatable is such a class: an object tolua++ pushed.
bool IsBoundObject(lua_State* L, int index) {
  if (lua_type(L, index) != LUA_TUSERDATA || !lua_getmetatable(L, index)) return false;
  lua_rawget(L, LUA_REGISTRYINDEX);
  const bool bound = lua_type(L, -1) == LUA_TSTRING;
  lua_pop(L, 1);
  return bound;
}

// Metamethods and tolua++'s own entries.
bool IsHiddenKey(lua_State* L, int index) {
  if (lua_type(L, index) != LUA_TSTRING) return false;
  const char* key = lua_tostring(L, index);
  return key[0] == '.' || std::strncmp(key, "__", 2) == 0 || std::strncmp(key, "tolua_", 6) == 0;
}

// Calls the metamethod the guard stands for (its upvalue) with the guard's arguments.
int Forward(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, 1);
  return 1;
}

int GuardedIndex(lua_State* L) {
  if (lua_gettop(L) != 2 || !(IsBoundObject(L, 1) || IsClassTable(L, 1)) || IsHiddenKey(L, 2)) {
    lua_pushnil(L);
    return 1;
  }
  return Forward(L);
}

int GuardedNewIndex(lua_State* L) {
  if (lua_gettop(L) != 3 || !IsBoundObject(L, 1)) return luaL_error(L, "the machine classes cannot be changed");
  Forward(L);
  return 0;
}

int GuardedOperator(lua_State* L) {
  const int n = lua_gettop(L);
  if (n < 1 || n > 2 || !(IsBoundObject(L, 1) || (n == 2 && IsBoundObject(L, 2))))
    return luaL_error(L, "invalid operands for a machine object");
  return Forward(L);
}

int RefuseWrite(lua_State* L) { return luaL_error(L, "the machine classes cannot be changed"); }

// tolua.type: an object's class name, else the Lua type's.
int ScriptType(lua_State* L) {
  luaL_checkany(L, 1);
  if (lua_type(L, 1) == LUA_TUSERDATA && lua_getmetatable(L, 1)) {
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_type(L, -1) == LUA_TSTRING) return 1;
    lua_pop(L, 1);
  }
  lua_pushstring(L, luaL_typename(L, 1));
  return 1;
}

// The class table on top of the stack: its metamethods guarded, its collector gone, its
// metatable hidden from getmetatable.
void LockClassTable(lua_State* L) {
  lua_pushnil(L);
  while (lua_next(L, -2)) {
    const char* key = lua_type(L, -2) == LUA_TSTRING ? lua_tostring(L, -2) : "";
    lua_CFunction guard = nullptr;
    if (std::strcmp(key, "__index") == 0)
      guard = GuardedIndex;
    else if (std::strcmp(key, "__newindex") == 0)
      guard = GuardedNewIndex;
    else if (std::strncmp(key, "__", 2) == 0 && std::strcmp(key, "__gc") != 0 && lua_isfunction(L, -1))
      guard = GuardedOperator;
    if (guard) {
      lua_pushcclosure(L, guard, 1);  // the original becomes the guard's upvalue
      lua_pushvalue(L, -2);
      lua_insert(L, -2);
      lua_rawset(L, -4);  // an existing key: allowed while walking the table
    } else {
      lua_pop(L, 1);
    }
  }
  // Televisions belong to the program: nothing for the collector to do, and nothing a script
  // could make it run outside the watchdog.
  lua_pushstring(L, "__gc");
  lua_pushnil(L);
  lua_rawset(L, -3);
  lua_pushstring(L, "__metatable");
  lua_pushboolean(L, 0);
  lua_rawset(L, -3);
}

// Replaces the global class table `name` with a read-only table of the methods the class and its
// bases offer.
void MakeClassProxy(lua_State* L, const char* name) {
  luaL_getmetatable(L, name);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    return;
  }
  lua_newtable(L);  // class methods
  lua_pushvalue(L, -2);
  while (IsClassTable(L, -1)) {  // the class, then its bases; a derived method wins
    lua_pushnil(L);
    while (lua_next(L, -2)) {  // class methods table key value
      if (lua_type(L, -2) == LUA_TSTRING && !IsHiddenKey(L, -2)) {
        lua_pushvalue(L, -2);
        lua_rawget(L, -5);
        const bool known = !lua_isnil(L, -1);
        lua_pop(L, 1);
        if (!known) {
          lua_pushvalue(L, -2);
          lua_pushvalue(L, -2);
          lua_rawset(L, -6);
        }
      }
      lua_pop(L, 1);
    }
    if (!lua_getmetatable(L, -1)) lua_pushnil(L);
    lua_remove(L, -2);
  }
  lua_pop(L, 1);  // class methods
  lua_pushstring(L, name);
  lua_newtable(L);  // the proxy
  lua_newtable(L);  // its metatable
  lua_pushvalue(L, -4);
  lua_setfield(L, -2, "__index");
  lua_pushcfunction(L, RefuseWrite);
  lua_setfield(L, -2, "__newindex");
  lua_pushboolean(L, 0);
  lua_setfield(L, -2, "__metatable");
  lua_setmetatable(L, -2);
  lua_rawset(L, LUA_GLOBALSINDEX);
  lua_pop(L, 2);
}

}  // namespace

void LockMachineClasses(lua_State* L) {
  const int top = lua_gettop(L);
  for (const char* name : CLASS_NAMES) MakeClassProxy(L, name);
  for (const char* name : CLASS_NAMES) {
    for (const std::string& type : {std::string(name), std::string("const ") + name}) {
      luaL_getmetatable(L, type.c_str());
      if (lua_istable(L, -1)) LockClassTable(L);
      lua_pop(L, 1);
    }
  }
  lua_pushstring(L, "tolua");
  lua_newtable(L);
  lua_pushcfunction(L, ScriptType);
  lua_setfield(L, -2, "type");
  lua_rawset(L, LUA_GLOBALSINDEX);
  lua_settop(L, top);
}

void* ScriptObject(lua_State* L, int arg, void* fallback) {
  if (lua_gettop(L) < std::abs(arg)) return fallback;
  if (lua_type(L, arg) != LUA_TUSERDATA || !lua_getmetatable(L, arg)) return nullptr;
  // tolua++ registers each class metatable in the registry with its type name.
  lua_rawget(L, LUA_REGISTRYINDEX);
  const bool bound = lua_type(L, -1) == LUA_TSTRING;
  lua_pop(L, 1);
  if (!bound) return nullptr;
  return FindTV(Televisions(L), *static_cast<void**>(lua_touserdata(L, arg)));
}

CTV* ScriptNewTV(lua_State* L) {
  return Create<CTV>(L, false, [](CTelevisionList& televisions) { return new CTV(televisions); });
}

void ScriptDelete(void* self) { delete LiveTV(self); }

void ScriptSetWorldRot(void* self, double x, double y, double z) {
  if (CTV* tv = LiveTV(self)) tv->SetWorldRot(ScriptToFloat(x), ScriptToFloat(y), ScriptToFloat(z));
}

void ScriptSetWorldPos(void* self, double x, double y, double z) {
  if (CTV* tv = LiveTV(self)) tv->SetWorldPos(ScriptToFloat(x), ScriptToFloat(y), ScriptToFloat(z));
}

void ScriptShow(void* self, bool visible) {
  if (CTV* tv = LiveTV(self)) tv->Show(visible);
}

void ScriptSetExclusive(void* self, bool on) {
  if (CTV* tv = LiveTV(self)) tv->SetExclusive(on);
}

bool ScriptIsExclusive(void* self) {
  const CTV* tv = LiveTV(self);
  return tv && tv->IsExclusive();
}

bool ScriptIsPaused(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Core().IsPaused();
}

void ScriptPause(void* self, bool paused) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Core().Pause(paused);
}

bool ScriptIsThrottled(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Core().IsThrottled();
}

void ScriptThrottle(void* self, bool on) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Core().Throttle(on);
}

void ScriptReset(void* self) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Reset();
}

CTV* ScriptClone(void* self, lua_State* L, double x, double y, double z) {
  CSpeccy* machine = LiveSpeccy(self);
  if (!machine) return nullptr;
  return Create<CTV>(L, false, [&](CTelevisionList&) {
    return machine->Clone(ScriptToFloat(x), ScriptToFloat(y), ScriptToFloat(z));
  });
}

float ScriptPeek(void* self, double address) {
  CSpeccy* machine = LiveSpeccy(self);
  return machine ? machine->Core().Peek(static_cast<uint16_t>(ScriptToInt(address))) : 0.0f;
}

float ScriptPoke(void* self, double address, double value) {
  CSpeccy* machine = LiveSpeccy(self);
  if (!machine) return 0.0f;
  return machine->Core().Poke(static_cast<uint16_t>(ScriptToInt(address)),
                              static_cast<uint8_t>(ScriptToInt(value)));
}

float ScriptGetBorder(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? machine->Core().GetBorder() : 0.0f;
}

float ScriptLoadSnapshot(void* self, lua_State* L, const char* name) {
  CSpeccy* machine = LiveSpeccy(self);
  return static_cast<float>(machine ? machine->LoadSnapshot(name, CScriptHost::Of(L)->Lookup()) : GX_BAD_PARAM);
}

bool ScriptIsPlayingRZX(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Loader().IsPlayingRZX();
}

float ScriptGetRZXPart(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? static_cast<float>(machine->Loader().GetRZXPart()) : 0.0f;
}

float ScriptGetRZXProgress(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? static_cast<float>(machine->Loader().GetRZXProgress()) : 0.0f;
}

void ScriptSetVolume(void* self, double volume) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Core().SetVolume(ScriptToInt(volume));
}

float ScriptGetVolume(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? machine->Core().GetVolume() : 0.0f;
}

bool ScriptIsMuted(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Core().IsMuted();
}

float ScriptGetModel(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? static_cast<float>(machine->Core().GetModel()) : 0.0f;
}

void ScriptMute(void* self, bool muted) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Core().Mute(muted);
}

bool ScriptRZXCompleted(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Loader().RZXCompleted();
}

void ScriptStopRZXPlayback(void* self) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Loader().StopRZXPlayback();
}

const char* ScriptGetSnapshotCreator(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  // A null text arrives in the script as nil.
  if (!machine || machine->Core().GetSnapshotCreator()[0] == '\0') return nullptr;
  return machine->Core().GetSnapshotCreator();
}

bool ScriptIsHardwareAttached(void* self, double kind) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Core().IsHardwareAttached(ScriptToInt(kind));
}

bool ScriptAttachHardware(void* self, double kind, bool attach) {
  CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Core().AttachHardware(ScriptToInt(kind), attach);
}

void ScriptDetachAllHardware(void* self) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Core().DetachAllHardware();
}

namespace {

bool PressNamedKey(void* self, const char* name, bool down) {
  CSpeccy* machine = LiveSpeccy(self);
  const std::optional<SpectrumKey> key = name ? SpectrumKeyNamed(name) : std::nullopt;
  if (!machine || !key) return false;
  machine->PressKey(*key, down);
  return true;
}

}  // namespace

bool ScriptKeyDown(void* self, const char* name) { return PressNamedKey(self, name, true); }

bool ScriptKeyUp(void* self, const char* name) { return PressNamedKey(self, name, false); }

void ScriptReleaseKeys(void* self) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->ReleaseKeys();
}

bool ScriptSetVariant(void* self, double model) {
  CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Core().SetVariant(ScriptToInt(model));
}

CSpeccy48* ScriptNewSpeccy48(lua_State* L, const char* snapshot) {
  return Create<CSpeccy48>(L, true, [&](CTelevisionList& televisions) {
    return new CSpeccy48(televisions, snapshot, CScriptHost::Of(L)->Lookup());
  });
}

CSpeccy128* ScriptNewSpeccy128(lua_State* L, const char* snapshot) {
  return Create<CSpeccy128>(L, true, [&](CTelevisionList& televisions) {
    return new CSpeccy128(televisions, snapshot, CScriptHost::Of(L)->Lookup());
  });
}

void ScriptSetTubeEffect(void* self, bool on) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->SetTubeEffect(on);
}
