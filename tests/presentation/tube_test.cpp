#include "presentation/tube.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/log.h"
#include "presentation/exclusive_view.h"
#include "tests/support/recording_gfx_device.h"
#include "tests/support/temp_dir.h"

namespace {

// A device that runs shaders or not, and remembers whether each draw was shaded.
class ShaderDevice : public RecordingGfxDevice {
 public:
  GfxResult CreatePixelShader(const std::string& source, GfxPixelShader** shader, std::string*) override {
    ++made;
    this->source = source;
    *shader = hasShaders ? new GfxPixelShader : nullptr;
    return hasShaders ? GFX_OK : GFX_E_NOTAVAILABLE;
  }
  GfxResult SetPixelShader(GfxPixelShader* shader) override {
    bound = shader;
    return GFX_OK;
  }
  GfxResult SetPixelShaderConstant(const char* name, const float* values, uint32_t count) override {
    constants[name] = std::vector<float>(values, values + count);
    return GFX_OK;
  }
  GfxResult DrawPrimitive(GfxPrimitiveType type, uint32_t start, uint32_t count) override {
    shaded.push_back(bound != nullptr);
    return RecordingGfxDevice::DrawPrimitive(type, start, count);
  }
  bool hasShaders = true;
  int made = 0;
  std::string source;
  GfxPixelShader* bound = nullptr;
  std::map<std::string, std::vector<float>> constants;
  std::vector<bool> shaded;
};

}  // namespace

TEST(Tube, TheExclusiveViewIsShadedOnlyWithTheLookAndAShader) {
  TempDir dir;
  ASSERT_TRUE(OpenLog(dir.file("log.txt")));
  struct Case {
    bool hasShaders, look, shaded;
  };
  const Case cases[] = {{true, true, true}, {true, false, false}, {false, true, false}, {false, true, false}};
  for (const Case& c : cases) {
    ShaderDevice device;
    device.hasShaders = c.hasShaders;
    CTube tube;
    GfxVertexBuffer* quad = nullptr;
    ASSERT_EQ(SetUpExclusiveView(&device, &quad), GFX_OK);
    auto* texture = reinterpret_cast<GfxTexture*>(&device);  // only passed on
    for (int frame = 0; frame < 2; ++frame)
      ASSERT_EQ(DrawExclusiveView(&device, quad, texture, c.look ? &tube : nullptr, 0.25f, 3), GFX_OK);
    EXPECT_EQ(device.shaded, std::vector<bool>(2, c.shaded));
    EXPECT_EQ(device.bound, nullptr) << "fixed-function drawing after the screen";
    EXPECT_EQ(device.made, c.look ? 1 : 0) << "made once per device";
    if (c.shaded) {
      EXPECT_EQ(device.constants["noise"], std::vector<float>{0.25f});
      EXPECT_EQ(device.constants["area"], (std::vector<float>{0, 8 / 256.0f, 1, 248 / 256.0f}));
      EXPECT_EQ(device.source.rfind("#version 120", 0), 0u);
    }
    tube.Release();
    delete quad;
  }
  CloseLog();
  // The fall-back is told once a run, however many devices lack shaders.
  const std::string log = ReadWholeFile(dir.file("log.txt"));
  size_t count = 0;
  for (size_t at = log.find("screens drawn flat"); at != std::string::npos; at = log.find("screens drawn flat", at + 1))
    ++count;
  EXPECT_EQ(count, 1u) << log;
}
