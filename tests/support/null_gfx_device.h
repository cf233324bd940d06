// A graphics device that refuses or ignores everything: tests derive from it and override only
// the calls they look at.
#pragma once

#include <vector>

#include "platform/gfx.h"

class NullGfxDevice : public GfxDevice {
 public:
  GfxResult CreateTexture(uint32_t, uint32_t, uint32_t, uint32_t, GfxFormat, GfxPool,
                          GfxTexture**) override { return GFX_E_FAIL; }
  GfxResult CreateTextureFromFile(const std::string&, uint32_t, uint32_t, uint32_t, uint32_t,
                                  GfxFormat, GfxPool, GfxTexture**) override { return GFX_E_FAIL; }
  GfxResult UpdateTexture(GfxTexture*, GfxTexture*) override { return GFX_E_FAIL; }
  GfxResult CreateVertexBuffer(uint32_t, uint32_t, uint32_t, GfxPool, GfxVertexBuffer**) override {
    return GFX_E_FAIL;
  }
  GfxResult CreateMesh(const GfxMeshData&, GfxMesh**) override { return GFX_E_FAIL; }
  GfxResult SetTransform(GfxTransformType, const GfxMatrix&) override { return GFX_OK; }
  GfxResult GetTransform(GfxTransformType, GfxMatrix*) override { return GFX_E_FAIL; }
  GfxResult SetMaterial(const GfxMaterial&) override { return GFX_OK; }
  GfxResult SetRenderState(GfxRenderState, uint32_t) override { return GFX_OK; }
  GfxResult GetRenderState(GfxRenderState, uint32_t*) override { return GFX_E_FAIL; }
  GfxResult SetTexture(uint32_t, GfxTexture*) override { return GFX_OK; }
  GfxResult SetVertexShader(uint32_t) override { return GFX_OK; }
  GfxResult SetStreamSource(uint32_t, GfxVertexBuffer*, uint32_t) override { return GFX_OK; }
  GfxResult DrawPrimitive(GfxPrimitiveType, uint32_t, uint32_t) override { return GFX_OK; }
  GfxResult BeginStateBlock() override { return GFX_E_FAIL; }
  GfxResult EndStateBlock(uint32_t*) override { return GFX_E_FAIL; }
  GfxResult ApplyStateBlock(uint32_t) override { return GFX_E_FAIL; }
  GfxResult CaptureStateBlock(uint32_t) override { return GFX_E_FAIL; }
  GfxResult DeleteStateBlock(uint32_t) override { return GFX_E_FAIL; }
  GfxResult Clear(uint32_t, uint32_t, float, uint32_t) override { return GFX_OK; }
  GfxResult ClearRect(const GfxRect&, uint32_t) override { return GFX_OK; }
  GfxResult BeginScene() override { return GFX_OK; }
  GfxResult EndScene() override { return GFX_OK; }
  GfxResult Present() override { return GFX_OK; }
  GfxCaps GetDeviceCaps() const override { return GfxCaps{4096, 4096}; }
  void GetBackBufferSize(uint32_t* width, uint32_t* height) const override {
    *width = 640;
    *height = 480;
  }
  void SetVerticalSync(bool) override {}
  GfxResult Reset(uint32_t, uint32_t) override { return GFX_OK; }
  GfxResult ReadBackBuffer(std::vector<uint32_t>*, uint32_t*, uint32_t*) override {
    return GFX_E_FAIL;
  }
};
