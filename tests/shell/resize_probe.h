// The application with a window resize in the middle of its run: it asks the window for a new
// size at a given frame and notes the device resources alive around the reset that follows.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/gfx_gl.h"
#include "platform/window.h"
#include "shell/glimmerbox.h"

class ResizeProbe : public CGlimmerbox {
 public:
  int resizeAtFrame = 20;
  uint32_t newWidth = 800, newHeight = 500;

  int frames = 0, invalidates = 0, restores = 0;
  uint32_t liveBeforeResize = 0, liveAfterInvalidate = 0xFFFFFFFF, liveAfterRestore = 0;
  uint32_t lastWidth = 0, lastHeight = 0;
  int windowX = -1, windowY = -1;  // where the window stood at the first frame

 protected:
  int32_t AdvanceFrame() override {
    const int32_t result = CGlimmerbox::AdvanceFrame();
    if (++frames == 1 && Window()->SdlWindow())
      SDL_GetWindowPosition(Window()->SdlWindow(), &windowX, &windowY);
    if (frames == resizeAtFrame) {
      liveBeforeResize = LiveDeviceResources();
      Window()->Resize(newWidth, newHeight);
    }
    return result;
  }
  int32_t InvalidateDeviceResources() override {
    const int32_t result = CGlimmerbox::InvalidateDeviceResources();
    if (++invalidates == 1) liveAfterInvalidate = LiveDeviceResources();
    return result;
  }
  int32_t RestoreDeviceResources() override {
    const int32_t result = CGlimmerbox::RestoreDeviceResources();
    if (++restores == 2) liveAfterRestore = LiveDeviceResources();
    return result;
  }
  int32_t RenderFrame() override {
    const int32_t result = CGlimmerbox::RenderFrame();
    Window()->Device()->GetBackBufferSize(&lastWidth, &lastHeight);
    return result;
  }

 private:
  // Device-pool resources: what a reset needs released.
  uint32_t LiveDeviceResources() const {
    return Window()->GlDeviceOf()->LiveResourceCount(GFX_POOL_DEFAULT);
  }
};
