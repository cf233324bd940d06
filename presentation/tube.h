// The tube look: a television's screen drawn through a small pixel shader that gives it scan
// lines, a slight glow of the phosphor, the bulge of the glass, a darker rim and, for half a
// second after its machine was made, reset or loaded, the static of a channel change. Where the
// device runs no shaders the screen is drawn flat, and the log says so once.
//
//   CTube tube;                                            // one per device (the scene's)
//   bool look = tube.Begin(device, noise, clock);          // before drawing the screen
//   ... draw ...;  if (look) tube.End(device);
//   tube.Release();                                        // before the device goes
#pragma once

#include "platform/gfx.h"

// Seconds the channel-change static lasts.
constexpr float STATIC_SECONDS = 0.5f;

class CTube {
 public:
  CTube() = default;
  ~CTube() { Release(); }
  CTube(const CTube&) = delete;
  CTube& operator=(const CTube&) = delete;

  // Binds the shader (made on first use) for a screen with static of strength `noise` (0 to 1)
  // at `clock` seconds. False, changing nothing, when there is no shader: draw flat.
  bool Begin(GfxDevice* device, float noise, float clock);
  void End(GfxDevice* device);
  void Release();

 private:
  GfxDevice* device_ = nullptr;  // the one the shader was made on
  GfxPixelShader* shader_ = nullptr;
  bool unavailable_ = false;
};

// The shader's source (GLSL 1.20).
extern const char* const TUBE_SHADER_SOURCE;
