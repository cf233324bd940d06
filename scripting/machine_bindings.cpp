// The adaptors behind the machine classes' bindings.
#include "scripting/machine_bindings.h"

#include <cstdlib>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "formats/result_code.h"
#include "scripting/script_numbers.h"

namespace {

// The television at `self`, if it is still in the list. A bound object holds the address of the
// type it was pushed as (CTV for new and Clone, the model for new), so both are compared.
CTV* LiveTV(const void* self) {
  if (!self) return nullptr;
  for (CTV* tv = CTV::Head(); tv; tv = tv->Next())
    if (static_cast<const void*>(tv) == self || dynamic_cast<const void*>(tv) == self) return tv;
  return nullptr;
}

CSpeccy* LiveSpeccy(const void* self) { return dynamic_cast<CSpeccy*>(LiveTV(self)); }

}  // namespace

void* ScriptObject(lua_State* L, int arg, void* fallback) {
  if (lua_gettop(L) < std::abs(arg)) return fallback;
  if (lua_type(L, arg) != LUA_TUSERDATA || !lua_getmetatable(L, arg)) return nullptr;
  // tolua++ registers each class metatable in the registry with its type name.
  lua_rawget(L, LUA_REGISTRYINDEX);
  const bool bound = lua_type(L, -1) == LUA_TSTRING;
  lua_pop(L, 1);
  return bound ? *static_cast<void**>(lua_touserdata(L, arg)) : nullptr;
}

CTV* ScriptNewTV() { return new CTV(); }

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
  return machine && machine->IsPaused();
}

void ScriptPause(void* self, bool paused) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Pause(paused);
}

bool ScriptIsThrottled(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->IsThrottled();
}

void ScriptThrottle(void* self, bool on) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Throttle(on);
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
  return machine ? machine->Peek(static_cast<uint16_t>(ScriptToInt(address))) : 0.0f;
}

float ScriptPoke(void* self, double address, double value) {
  CSpeccy* machine = LiveSpeccy(self);
  if (!machine) return 0.0f;
  return machine->Poke(static_cast<uint16_t>(ScriptToInt(address)), static_cast<uint8_t>(ScriptToInt(value)));
}

float ScriptGetBorder(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? machine->GetBorder() : 0.0f;
}

float ScriptLoadSnapshot(void* self, const char* name) {
  CSpeccy* machine = LiveSpeccy(self);
  return static_cast<float>(machine ? machine->LoadSnapshot(name) : GX_BAD_PARAM);
}

bool ScriptIsPlayingRZX(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->IsPlayingRZX();
}

float ScriptGetRZXPart(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? static_cast<float>(machine->GetRZXPart()) : 0.0f;
}

float ScriptGetRZXProgress(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? static_cast<float>(machine->GetRZXProgress()) : 0.0f;
}

void ScriptSetVolume(void* self, double volume) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->SetVolume(ScriptToInt(volume));
}

float ScriptGetVolume(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? machine->GetVolume() : 0.0f;
}

bool ScriptIsMuted(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->IsMuted();
}

float ScriptGetModel(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine ? static_cast<float>(machine->GetModel()) : 0.0f;
}

void ScriptMute(void* self, bool muted) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->Mute(muted);
}

bool ScriptRZXCompleted(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->RZXCompleted();
}

void ScriptStopRZXPlayback(void* self) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->StopRZXPlayback();
}

const char* ScriptGetSnapshotCreator(void* self) {
  const CSpeccy* machine = LiveSpeccy(self);
  // A null text arrives in the script as nil.
  if (!machine || machine->GetSnapshotCreator()[0] == '\0') return nullptr;
  return machine->GetSnapshotCreator();
}

bool ScriptIsHardwareAttached(void* self, double kind) {
  const CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->IsHardwareAttached(ScriptToInt(kind));
}

bool ScriptAttachHardware(void* self, double kind, bool attach) {
  CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->AttachHardware(ScriptToInt(kind), attach);
}

void ScriptDetachAllHardware(void* self) {
  if (CSpeccy* machine = LiveSpeccy(self)) machine->DetachAllHardware();
}

bool ScriptSetVariant(void* self, double model) {
  CSpeccy* machine = LiveSpeccy(self);
  return machine && machine->SetVariant(ScriptToInt(model));
}

CSpeccy48* ScriptNewSpeccy48(const char* snapshot) { return new CSpeccy48(snapshot); }

CSpeccy128* ScriptNewSpeccy128(const char* snapshot) { return new CSpeccy128(snapshot); }
