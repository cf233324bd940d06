// The adaptors behind the machine classes' bindings.
#include "scripting/machine_bindings.h"

#include <cstdlib>

#include "formats/result_code.h"
#include "presentation/speccy.h"
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

}  // namespace

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
  CTelevisionList* televisions = Televisions(L);
  return televisions ? new CTV(*televisions) : nullptr;
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

CTV* ScriptClone(void* self, double x, double y, double z) {
  CSpeccy* machine = LiveSpeccy(self);
  return machine ? machine->Clone(ScriptToFloat(x), ScriptToFloat(y), ScriptToFloat(z)) : nullptr;
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

bool ScriptSetVariant(void* self, double model) {
  CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->Core().SetVariant(ScriptToInt(model));
}

CSpeccy48* ScriptNewSpeccy48(lua_State* L, const char* snapshot) {
  CTelevisionList* televisions = Televisions(L);
  return televisions ? new CSpeccy48(*televisions, snapshot, CScriptHost::Of(L)->Lookup()) : nullptr;
}

CSpeccy128* ScriptNewSpeccy128(lua_State* L, const char* snapshot) {
  CTelevisionList* televisions = Televisions(L);
  return televisions ? new CSpeccy128(*televisions, snapshot, CScriptHost::Of(L)->Lookup()) : nullptr;
}

void ScriptSetTubeEffect(void* self, bool on) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->SetTubeEffect(on);
}
