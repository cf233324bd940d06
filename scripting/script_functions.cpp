// The gbox functions. A C function called from Lua may be left by a Lua error (a longjmp), so
// every argument check comes before any object with a destructor is made.
#include "scripting/script_functions.h"

#include <cmath>
#include <optional>
#include <string>

#include "archive/archive.h"
#include "base/log.h"
#include "formats/result_code.h"
#include "platform/clock.h"
#include "presentation/camera.h"
#include "presentation/television.h"
#include "presentation/text_list.h"
#include "scripting/script_host.h"
#include "scripting/script_numbers.h"

float RandomUnit(uint32_t draw) {
  return static_cast<float>(static_cast<double>(draw >> 1) * 4.656612873077393e-10);
}

double RandomUpTo(float r, int32_t m) {
  const float product = r * static_cast<float>(m);
  return std::fmin(std::floor(product) + 1.0, m);
}

double RandomBetween(float r, int32_t m, int32_t n) {
  const float product = r * static_cast<float>(static_cast<int64_t>(n) - m + 1);
  return std::fmin(m + std::floor(static_cast<double>(product)), n);
}

uint32_t BackgroundColourOf(int32_t r, int32_t g, int32_t b) {
  return (static_cast<uint32_t>(b & 0xFF) << 16) | (static_cast<uint32_t>(g & 0xFF) << 8) |
         static_cast<uint32_t>(r & 0xFF);
}

namespace {

CScriptHost& Host(lua_State* L) { return *CScriptHost::Of(L); }
ScriptWorld& World(lua_State* L) { return Host(L).World(); }

int PushPath(lua_State* L, const std::optional<std::string>& path) {
  if (path)
    lua_pushstring(L, path->c_str());
  else
    lua_pushnil(L);
  return 1;
}

int GetArchiveFolder(lua_State* L) {
  lua_pushstring(L, World(L).settings.archiveFolder.c_str());
  return 1;
}

int BuildArchiveListFn(lua_State* L) {
  CArchive* archive = World(L).archive;
  PushScriptNumber(L, archive ? archive->BuildList() : 0);
  return 1;
}

int SelectFileFromArchive(lua_State* L) {
  CArchive* archive = World(L).archive;
  if (!archive) return PushPath(L, std::nullopt);
  if (!lua_isnumber(L, 1)) return PushPath(L, archive->Select());
  const lua_Number index = lua_tonumber(L, 1);
  const int32_t count = archive->BuildList();
  // Truncated toward zero, so -0.5 is index 0.
  if (!(index > -1.0 && index < count)) {
    lua_pushnil(L);
    return 1;
  }
  return PushPath(L, archive->At(static_cast<int64_t>(index)));
}

int FindFileInArchive(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  CArchive* archive = World(L).archive;
  return PushPath(L, archive ? archive->Find(name) : std::nullopt);
}

int DestroySpeccies(lua_State* L) {
  if (CTelevisionList* televisions = World(L).televisions) televisions->DeleteAll();
  return 0;
}

int Text(lua_State* L) {
  if (!lua_isnumber(L, 1) || !lua_isnumber(L, 2) || !lua_isstring(L, 3))
    return Host(L).ScriptError(L, "Text syntax error. Should be: Text(x, y, msg [,time to display])");
  CTextList* captions = World(L).captions;
  if (World(L).settings.preview || !captions) {
    lua_pushnumber(L, 0);
    return 1;
  }
  const float x = ScriptToFloat(lua_tonumber(L, 1));
  const float y = ScriptToFloat(lua_tonumber(L, 2));
  const char* message = lua_tostring(L, 3);
  const float duration = lua_isnumber(L, 4) ? ScriptToFloat(lua_tonumber(L, 4)) : 0.0f;
  const int32_t id = captions->Add(message, x, y, duration);
  PushScriptNumber(L, id);
  return 1;
}

int IsTextActiveFn(lua_State* L) {
  if (!lua_isnumber(L, 1))
    return Host(L).ScriptError(L, "IsTextActive syntax error. Should be: IsTextActive([message id])");
  const CTextList* captions = World(L).captions;
  lua_pushboolean(L, captions && captions->IsActive(ScriptToInt(lua_tonumber(L, 1))));
  return 1;
}

int ClearAllTextFn(lua_State* L) {
  if (CTextList* captions = World(L).captions) captions->Clear();
  return 0;
}

bool ThreeNumbers(lua_State* L, Vec3& point) {
  if (!lua_isnumber(L, 1) || !lua_isnumber(L, 2) || !lua_isnumber(L, 3)) return false;
  point = {ScriptToFloat(lua_tonumber(L, 1)), ScriptToFloat(lua_tonumber(L, 2)),
           ScriptToFloat(lua_tonumber(L, 3))};
  return true;
}

int SetCameraPos(lua_State* L) {
  Vec3 point;
  if (!ThreeNumbers(L, point))
    return Host(L).ScriptError(L, "SetCameraPos syntax error. Should be: SetCameraPost(x, y, z)");
  if (CCamera* camera = World(L).camera) camera->SetPosition(point);
  return 0;
}

int SetCameraLookAt(lua_State* L) {
  Vec3 point;
  if (!ThreeNumbers(L, point))
    return Host(L).ScriptError(L, "SetCameraLookAt syntax error. Should be: SetCameraLookAt(x, y, z)");
  if (CCamera* camera = World(L).camera) camera->SetLookAt(point);
  return 0;
}

int SetBackgroundColour(lua_State* L) {
  if (!lua_isnumber(L, 1) || !lua_isnumber(L, 2) || !lua_isnumber(L, 3))
    return Host(L).ScriptError(L, "SetBackgroundColour syntax error. Should be: SetBackGroundColour(r, g, b)");
  const uint32_t colour = BackgroundColourOf(ScriptToInt(lua_tonumber(L, 1)), ScriptToInt(lua_tonumber(L, 2)),
                                             ScriptToInt(lua_tonumber(L, 3)));
  if (uint32_t* background = World(L).background) *background = colour;
  return 0;
}

int NextScript(lua_State* L) {
  // Only the boolean true fails the script; a number does not.
  const bool failed = lua_type(L, 1) == LUA_TBOOLEAN && lua_toboolean(L, 1);
  Host(L).EndCurrentScript(failed);
  return luaL_error(L, "Script aborted by NextScript()");
}

int GetTimer(lua_State* L) {
  lua_pushnumber(L, ClockSeconds());
  return 1;
}

int Sleep(lua_State* L) {
  const float seconds = lua_isnumber(L, 1) ? ScriptToFloat(lua_tonumber(L, 1)) : 0.0f;
  return Host(L).Sleep(L, seconds);
}

int Log(lua_State* L) {
  const char* message = luaL_checkstring(L, 1);
  WriteLog(message);
  return 0;
}

int Random(lua_State* L) {
  const float r = RandomUnit(static_cast<uint32_t>(Host(L).Random()()));
  switch (lua_gettop(L)) {
    case 0:
      lua_pushnumber(L, r);
      return 1;
    case 1: {
      const int32_t m = CheckScriptInt(L, 1);
      luaL_argcheck(L, m >= 1, 1, "interval is empty");
      PushScriptNumber(L, RandomUpTo(r, m));
      return 1;
    }
    case 2: {
      const int32_t m = CheckScriptInt(L, 1);
      const int32_t n = CheckScriptInt(L, 2);
      luaL_argcheck(L, m <= n, 2, "interval is empty");
      PushScriptNumber(L, RandomBetween(r, m, n));
      return 1;
    }
    default:
      return luaL_error(L, "wrong number of arguments");
  }
}

int DebugOut(lua_State* L) {
  const char* message = luaL_checkstring(L, 1);
  DebugOutput(std::string(message) + "\n");
  return 0;
}

int ErrorText(lua_State* L) {
  const int32_t code = CheckScriptInt(L, 1);
  if (code >= 0 && code < GX_TOTAL)
    lua_pushstring(L, ResultText(code));
  else
    lua_pushstring(L, "ErrorText: Error number out of range (> GX_TOTAL)");
  return 1;
}

int GetSnapshotsFolder(lua_State* L) {
  lua_pushstring(L, World(L).settings.snapshotsFolder.c_str());
  return 1;
}

const luaL_Reg GBOX_FUNCTIONS[] = {
    {"GetArchiveFolder", GetArchiveFolder},
    {"BuildArchiveList", BuildArchiveListFn},
    {"SelectFileFromArchive", SelectFileFromArchive},
    {"FindFileInArchive", FindFileInArchive},
    {"DestroySpeccies", DestroySpeccies},
    {"Text", Text},
    {"IsTextActive", IsTextActiveFn},
    {"ClearAllText", ClearAllTextFn},
    {"SetCameraPos", SetCameraPos},
    {"SetCameraLookAt", SetCameraLookAt},
    {"SetBackgroundColour", SetBackgroundColour},
    {"NextScript", NextScript},
    {"GetTimer", GetTimer},
    {"Sleep", Sleep},
    {"Log", Log},
    {"Random", Random},
    {"DebugOut", DebugOut},
    {"ErrorText", ErrorText},
    {"GetSnapshotsFolder", GetSnapshotsFolder},
    {nullptr, nullptr}};

}  // namespace

void OpenScriptFunctions(lua_State* L) {
  const int top = lua_gettop(L);
  luaL_register(L, "gbox", GBOX_FUNCTIONS);
  lua_newtable(L);
  for (int32_t code = 0; code < GX_TOTAL; ++code) {
    PushScriptNumber(L, code);
    lua_setfield(L, -2, ResultKey(code));
  }
  lua_setfield(L, -2, "Error");
  lua_settop(L, top);
}
