// The tube shader and its use.
#include "presentation/tube.h"

#include <cmath>
#include <string>

#include "base/log.h"
#include "presentation/picture.h"

namespace {

// Logged once a run, whichever device found it.
bool g_fallBackLogged = false;

}  // namespace

// `area` is the screen's part of the texture (u0, v0, u1, v1); the screen's texture coordinates
// cover it. Scan lines follow texture rows and fade where rows are too fine to show.
const char* const TUBE_SHADER_SOURCE = R"(#version 120
uniform sampler2D picture;
uniform vec4 area;
uniform vec2 texel;
uniform float noise;
uniform float seed;

float Hash(vec2 p) { return fract(sin(dot(p, vec2(12.9898, 78.233)) + seed) * 43758.5453); }

void main() {
  vec2 size = area.zw - area.xy;
  vec2 p = (gl_TexCoord[0].st - area.xy) / size * 2.0 - 1.0;
  // The glass bulges: the picture's edges bow out and its corners round off.
  p *= 1.0 + vec2(0.035, 0.045) * (p.yx * p.yx);
  vec2 edge = clamp((1.0 - abs(p)) * 60.0, 0.0, 1.0);
  vec2 uv = area.xy + (p * 0.5 + 0.5) * size;
  vec3 colour = texture2D(picture, uv).rgb;
  // The glow: the phosphor the beam lit a pixel before still shines a little, and lights a
  // darker pixel after it.
  vec3 trail = texture2D(picture, uv - vec2(texel.x, 0.0)).rgb;
  colour = max(colour, 0.55 * trail) + 0.06 * trail;
  float row = uv.y / texel.y;
  float between = abs(fract(row) - 0.5) * 2.0;
  float fine = clamp(1.5 - 2.0 * fwidth(row), 0.0, 1.0);
  colour *= (1.0 - 0.35 * fine * between * between) * (1.0 + 0.1 * fine);
  colour *= 1.0 - 0.2 * dot(p, p);
  if (noise > 0.0) colour = mix(colour, vec3(Hash(floor(uv / texel))), noise);
  gl_FragColor = vec4(colour * edge.x * edge.y, 1.0) * gl_Color;
}
)";

bool CTube::Begin(GfxDevice* device, float noise, float clock) {
  if (!device) return false;
  if (device != device_) {
    Release();
    device_ = device;
    std::string words;
    const GfxResult made = device->CreatePixelShader(TUBE_SHADER_SOURCE, &shader_, &words);
    if (made < 0) {
      shader_ = nullptr;
      unavailable_ = true;
      if (!g_fallBackLogged)
        WriteLog(made == GFX_E_NOTAVAILABLE
                     ? "Tube effect: no shaders on this device, screens drawn flat"
                     : "Tube effect: the shader failed (" + words + "), screens drawn flat");
      g_fallBackLogged = true;
    }
  }
  if (unavailable_ || device->SetPixelShader(shader_) < 0) return false;
  const float area[4] = {0, static_cast<float>(VISIBLE_TOP) / PICTURE_TEXTURE_HEIGHT, 1,
                         static_cast<float>(VISIBLE_TOP + VISIBLE_HEIGHT) / PICTURE_TEXTURE_HEIGHT};
  const float texel[2] = {1.0f / PICTURE_TEXTURE_WIDTH, 1.0f / PICTURE_TEXTURE_HEIGHT};
  // A new pattern every frame; the seed stays small so that the hash keeps its precision.
  const float seed = std::fmod(clock * 37.0f, 61.0f);
  device->SetPixelShaderConstant("area", area, 4);
  device->SetPixelShaderConstant("texel", texel, 2);
  device->SetPixelShaderConstant("noise", &noise, 1);
  device->SetPixelShaderConstant("seed", &seed, 1);
  return true;
}

void CTube::End(GfxDevice* device) {
  if (device) device->SetPixelShader(nullptr);
}

void CTube::Release() {
  delete shader_;
  shader_ = nullptr;
  device_ = nullptr;
  unavailable_ = false;
}
