// The number conversions at the script border, the bit library and the arithmetic of Random and
// SetBackgroundColour.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "scripting/bit_library.h"
#include "scripting/script_functions.h"
#include "scripting/script_numbers.h"

namespace {

TEST(ScriptNumbers, IntegersTruncateAndSaturateToTheIndefiniteValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double in;
    int32_t out;
  } cases[] = {{0, 0},           {2.9, 2},
               {-2.9, -2},       {2147483647.0, 2147483647},
               {2147483647.9, 2147483647}, {2147483648.0, INT32_MIN},
               {-2147483648.0, INT32_MIN}, {-2147483648.9, INT32_MIN},
               {-2147483649.0, INT32_MIN}, {1e300, INT32_MIN},
               {-1e300, INT32_MIN}, {inf, INT32_MIN},
               {nan, INT32_MIN}};
  for (const auto& c : cases) EXPECT_EQ(ScriptToInt(c.in), c.out) << c.in;
}

TEST(ScriptNumbers, FloatsSaturateToInfinity) {
  EXPECT_EQ(ScriptToFloat(1e300), std::numeric_limits<float>::infinity());
  EXPECT_EQ(ScriptToFloat(-1e300), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(ScriptToFloat(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(ScriptToFloat(0.1), 0.1f);
}

// Evaluates `return <expression>` with only the bit library open.
class BitLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    L = luaL_newstate();
    luaL_openlibs(L);
    OpenBitLibrary(L);
    lua_settop(L, 0);
  }
  void TearDown() override { lua_close(L); }

  // The result as text ("255", "true"), or "error: <message>".
  std::string Eval(const std::string& expression) {
    const std::string chunk = "return " + expression;
    if (luaL_loadstring(L, chunk.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
      std::string message = std::string("error: ") + lua_tostring(L, -1);
      lua_settop(L, 0);
      return message;
    }
    std::string text;
    if (lua_isboolean(L, -1))
      text = lua_toboolean(L, -1) ? "true" : "false";
    else
      text = std::to_string(static_cast<long long>(lua_tonumber(L, -1)));
    lua_settop(L, 0);
    return text;
  }

  lua_State* L = nullptr;
};

TEST_F(BitLibrary, ResultsAreUnsignedAndSinglePrecision) {
  const struct {
    const char* expression;
    const char* result;
  } cases[] = {
      {"bit.band(-1, 255)", "255"},
      {"bit.bnot(0)", "4294967296"},  // 4294967295 rounded to a float
      {"bit.bnot(-1)", "0"},
      {"bit.bor(0x10000, 1)", "65537"},
      {"bit.bxor(16777217, 0)", "16777216"},  // beyond 2^24 a float loses the low bit
      {"bit.shiftr(-1, 28)", "15"},
      {"bit.shiftl(1, 32)", "1"},
      {"bit.shiftl(1, 31)", "2147483648"},
      {"bit.shiftr(256, 36)", "16"},
      {"bit.test(5, 2)", "true"},
      {"bit.test(5, 1)", "false"},
      {"bit.test(-1, 31)", "true"},
      {"bit.set(0, 7)", "128"},
      {"bit.set(0, 33)", "2"},
      {"bit.reset(255, 0)", "254"},
      {"bit.band('0x0F', 6)", "6"},
      {"bit.band(2^40, -1)", "2147483648"},
      {"bit.band(0/0, -1)", "2147483648"},
      {"bit.band(-1.9, 255)", "255"},
  };
  for (const auto& c : cases) EXPECT_EQ(Eval(c.expression), c.result) << c.expression;
}

TEST_F(BitLibrary, NonNumbersRaiseTheStandardArgumentError) {
  EXPECT_EQ(Eval("bit.band('x', 1)"),
            "error: [string \"return bit.band('x', 1)\"]:1: bad argument #1 to 'band' (number expected, got string)");
  EXPECT_NE(Eval("bit.shiftl(1)").find("bad argument #2 to 'shiftl' (number expected, got no value)"),
            std::string::npos);
  EXPECT_NE(Eval("bit.band({}, {})").find("bad argument #1"), std::string::npos);
}

TEST(Random, DrawsBecomeUnitValuesInSinglePrecision) {
  EXPECT_EQ(RandomUnit(0), 0.0f);
  EXPECT_EQ(RandomUnit(1), 0.0f);  // the low bit is shifted out
  EXPECT_EQ(RandomUnit(0x80000000u), 0.5f);
  EXPECT_EQ(RandomUnit(0xFFFFFFFFu), 1.0f);  // 2^31 - 1 over 2^31 rounds up
}

TEST(Random, ResultsStayInsideTheirInterval) {
  const struct {
    float r;
    int32_t m, n;
    double upTo, between;
  } cases[] = {
      {0.0f, 1, 1, 1, 1},
      {0.5f, 6, 6, 4, 6},
      {0.999f, 6, 10, 6, 10},
      {1.0f, 6, 10, 6, 10},  // a unit value of 1 would give m + 1 or n + 1
      {1.0f, 1, 2, 1, 2},
      {0.99999994f, 100000000, 100000000, 99999993, 100000000},  // the product is a float
      {0.5f, 1, 2147483647, 1, 1073741825},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RandomUpTo(c.r, c.m), c.upTo) << c.r << " " << c.m;
    EXPECT_EQ(RandomBetween(c.r, c.m, c.n), c.between) << c.r << " " << c.m << " " << c.n;
  }
  // The widest interval does not overflow.
  EXPECT_EQ(RandomBetween(0.0f, INT32_MIN, INT32_MAX), INT32_MIN);
  EXPECT_EQ(RandomBetween(1.0f, INT32_MIN, INT32_MAX), INT32_MAX);
}

TEST(BackgroundColour, LowBytesAsBlueGreenRed) {
  EXPECT_EQ(BackgroundColourOf(256, 0, 0), 0u);
  EXPECT_EQ(BackgroundColourOf(1, 2, 3), 0x030201u);
  EXPECT_EQ(BackgroundColourOf(-1, 0, 0), 0xFFu);
  EXPECT_EQ(BackgroundColourOf(INT32_MIN, 511, -256), 0x00FF00u);
}

}  // namespace
