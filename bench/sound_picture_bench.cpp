// Cost per emulated frame of the AY synthesis and of the picture conversion (per texel width),
// the two pieces of per-frame work every visible machine pays. Prints microseconds per frame.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "emulation/ay_chip.h"
#include "emulation/beeper.h"
#include "presentation/picture.h"

namespace {

class MemoryTexture : public GfxTexture {
  static constexpr uint32_t W = PICTURE_TEXTURE_WIDTH, H = PICTURE_TEXTURE_HEIGHT;

 public:
  explicit MemoryTexture(int bytes) : bytes_(bytes), texels_(W * H * bytes) {}
  GfxResult GetLevelDesc(uint32_t, GfxSurfaceDesc* desc) override {
    *desc = GfxSurfaceDesc{GFX_FMT_UNKNOWN, 3, 0, GFX_POOL_SYSTEMMEM, 0, 0, W, H};
    return GFX_OK;
  }
  GfxResult LockRect(uint32_t, GfxLockedRect* locked, const GfxRect* rect, uint32_t) override {
    *locked = GfxLockedRect{static_cast<int32_t>(W) * bytes_, &texels_[(rect->top * W + rect->left) * bytes_]};
    return GFX_OK;
  }
  GfxResult UnlockRect(uint32_t) override { return GFX_OK; }
  GfxResult AddDirtyRect(const GfxRect*) override { return GFX_OK; }

 private:
  int bytes_;
  std::vector<uint8_t> texels_;
};

template <typename F>
double MicrosecondsPerFrame(int frames, F&& frame) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) frame(i);
  const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / frames;
}

}  // namespace

int main() {
  constexpr int FRAMES = 5000;
  CAYChip ay(70908, AY_CHIP_CLOCK, 100);
  const uint8_t setup[][2] = {{0, 200}, {2, 150}, {4, 99}, {6, 7}, {7, 0x30}, {8, 15}, {9, 0x10}, {10, 12}, {11, 40}, {13, 14}};
  for (const auto& w : setup) ay.WriteRegister(w[0], w[1]);
  CBeeper beeper;
  volatile int16_t sink = 0;
  const double ayTime = MicrosecondsPerFrame(FRAMES, [&](int i) {
    ay.StartFrame();
    for (uint32_t t = 0; t < 64; ++t) {  // a busy music player: 64 writes a frame
      ay.SelectRegister(static_cast<uint8_t>(t % 11));
      ay.WriteData(static_cast<uint8_t>(i + t), t * 1100);
    }
    beeper.StartFrame(0);
    beeper.FinishFrame(0, 100);
    ay.Render(beeper.sampleBlock);
    sink = beeper.sampleBlock[i % 882];
  });
  std::printf("AY render, 64 writes a frame: %.1f us per frame (%.3f%% of a 20 ms frame)\n", ayTime,
              ayTime / 200.0);

  std::mt19937 random(48);
  std::vector<uint8_t> lines(DISPLAY_LINE_BUFFER_SIZE);
  for (uint8_t& byte : lines) byte = static_cast<uint8_t>(random());
  // Loading stripes: a new colour every few cells, so every frame draws the border too.
  std::vector<uint8_t> stripes(BORDER_BUFFER_SIZE);
  for (int i = 0; i < BORDER_BUFFER_SIZE; ++i) stripes[i] = static_cast<uint8_t>((i / 7) & 7);
  const struct { GfxFormat format; int bytes; } formats[] = {
      {GFX_FMT_R3G3B2, 1}, {GFX_FMT_R5G6B5, 2}, {GFX_FMT_X8R8G8B8, 4}};
  for (const auto& f : formats) {
    const PixelFormat pf = LookUpPixelFormat(f.format);
    PictureState state{GfxSurfaceDesc{f.format, 3, 0, GFX_POOL_SYSTEMMEM, 0, 0, PICTURE_TEXTURE_WIDTH,
                                      PICTURE_TEXTURE_HEIGHT},
                       pf.bitsPerPixel, pf.redMask, pf.greenMask, pf.blueMask};
    BuildColourTables(state);
    MemoryTexture staging(f.bytes);
    for (const bool striped : {false, true}) {
      const double time = MicrosecondsPerFrame(FRAMES, [&](int i) {
        const PictureFrame frame{lines.data(), striped ? stripes.data() : nullptr, striped ? -1 : 0, (i >> 4) & 1};
        ConvertPicture(state, nullptr, &staging, nullptr, frame);
      });
      std::printf("Picture conversion, %d bits per pixel, %s: %.1f us per frame\n", pf.bitsPerPixel,
                  striped ? "border changing every frame" : "border unchanged", time);
    }
  }
  FreeColourTables();
  return sink == 12345 ? 1 : 0;
}
