// bit.band, bit.bor, bit.bxor, bit.bnot, bit.set, bit.reset, bit.test, bit.shiftl, bit.shiftr.
#include "scripting/bit_library.h"

#include <cstdint>

#include "scripting/script_numbers.h"

namespace {

uint32_t Arg(lua_State* L, int arg) { return static_cast<uint32_t>(CheckScriptInt(L, arg)); }
uint32_t BitNumber(lua_State* L, int arg) { return Arg(L, arg) & 31; }

int Result(lua_State* L, uint32_t value) {
  PushScriptNumber(L, value);
  return 1;
}

// Arguments are taken in order, so a bad first argument is the one reported.
template <uint32_t (*Op)(uint32_t, uint32_t)>
int Binary(lua_State* L) {
  const uint32_t a = Arg(L, 1);
  const uint32_t b = Arg(L, 2);
  return Result(L, Op(a, b));
}
// The second argument is a bit number or shift count.
template <uint32_t (*Op)(uint32_t, uint32_t)>
int WithBitNumber(lua_State* L) {
  const uint32_t a = Arg(L, 1);
  const uint32_t n = BitNumber(L, 2);
  return Result(L, Op(a, n));
}

uint32_t And(uint32_t a, uint32_t b) { return a & b; }
uint32_t Or(uint32_t a, uint32_t b) { return a | b; }
uint32_t Xor(uint32_t a, uint32_t b) { return a ^ b; }
uint32_t Set(uint32_t a, uint32_t n) { return a | (1u << n); }
uint32_t Reset(uint32_t a, uint32_t n) { return a & ~(1u << n); }
uint32_t Left(uint32_t a, uint32_t n) { return a << n; }
// Logical: the sign bit is not copied.
uint32_t Right(uint32_t a, uint32_t n) { return a >> n; }

int BitNot(lua_State* L) { return Result(L, ~Arg(L, 1)); }

int BitTest(lua_State* L) {
  const uint32_t a = Arg(L, 1);
  const uint32_t n = BitNumber(L, 2);
  lua_pushboolean(L, (a >> n) & 1);
  return 1;
}

const luaL_Reg BIT_FUNCTIONS[] = {
    {"band", Binary<And>},          {"bor", Binary<Or>},
    {"bxor", Binary<Xor>},          {"bnot", BitNot},
    {"set", WithBitNumber<Set>},    {"reset", WithBitNumber<Reset>},
    {"test", BitTest},              {"shiftl", WithBitNumber<Left>},
    {"shiftr", WithBitNumber<Right>}, {nullptr, nullptr}};

}  // namespace

void OpenBitLibrary(lua_State* L) { luaL_register(L, "bit", BIT_FUNCTIONS); }
