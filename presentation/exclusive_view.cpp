// The exclusive view's projection and quad.
#include "presentation/exclusive_view.h"

#include <cstring>

#include "platform/gfx_math.h"
#include "presentation/picture.h"
#include "presentation/tube.h"

namespace {

constexpr float HALF_WIDTH = PICTURE_TEXTURE_WIDTH / 2.0f;
constexpr float HALF_HEIGHT = VISIBLE_HEIGHT / 2.0f;
constexpr float TOP = static_cast<float>(VISIBLE_TOP) / PICTURE_TEXTURE_HEIGHT;
constexpr float BOTTOM = static_cast<float>(VISIBLE_TOP + VISIBLE_HEIGHT) / PICTURE_TEXTURE_HEIGHT;

}  // namespace

const ExclusiveVertex EXCLUSIVE_QUAD[4] = {
    {-HALF_WIDTH, HALF_HEIGHT, 1, 0xFFFFFFFF, 0, TOP},
    {HALF_WIDTH, HALF_HEIGHT, 1, 0xFFFFFFFF, 1, TOP},
    {HALF_WIDTH, -HALF_HEIGHT, 1, 0xFFFFFFFF, 1, BOTTOM},
    {-HALF_WIDTH, -HALF_HEIGHT, 1, 0xFFFFFFFF, 0, BOTTOM},
};

float ExclusiveViewScale(uint32_t width, uint32_t height) {
  float scale = static_cast<float>(width) / (2 * HALF_WIDTH);
  if (static_cast<float>(height) < 2 * HALF_HEIGHT * scale) scale = static_cast<float>(height) / (2 * HALF_HEIGHT);
  return scale;
}

GfxResult SetUpExclusiveView(GfxDevice* device, GfxVertexBuffer** quad) {
  if (!device || !quad) return GFX_E_INVALIDCALL;
  uint32_t width = 0, height = 0;
  device->GetBackBufferSize(&width, &height);
  const float scale = ExclusiveViewScale(width, height);
  if (scale > 0) {
    device->SetTransform(GFX_TS_PROJECTION,
                         GfxMatrixOrthoLH(static_cast<float>(width) / scale,
                                          static_cast<float>(height) / scale, 0.0f, 1.0f));
  }
  device->SetTransform(GFX_TS_WORLD, GfxMatrixIdentity());
  device->SetTransform(GFX_TS_VIEW, GfxMatrixIdentity());
  device->SetRenderState(GFX_RS_LIGHTING, 0);
  if (*quad) return GFX_OK;

  GfxVertexBuffer* buffer = nullptr;
  GfxResult result = device->CreateVertexBuffer(sizeof EXCLUSIVE_QUAD, GFX_USAGE_WRITEONLY,
                                                EXCLUSIVE_FVF, GFX_POOL_MANAGED, &buffer);
  if (result < 0) return result;
  void* data = nullptr;
  result = buffer->Lock(0, sizeof EXCLUSIVE_QUAD, &data, 0);
  if (result < 0) {
    delete buffer;
    return result;
  }
  std::memcpy(data, EXCLUSIVE_QUAD, sizeof EXCLUSIVE_QUAD);
  buffer->Unlock();
  *quad = buffer;
  return GFX_OK;
}

GfxResult DrawExclusiveView(GfxDevice* device, GfxVertexBuffer* quad, GfxTexture* texture, CTube* tube,
                            float noise, float clock) {
  if (!device || !quad) return GFX_E_INVALIDCALL;
  device->SetTexture(0, texture);
  device->SetVertexShader(EXCLUSIVE_FVF);
  device->SetStreamSource(0, quad, sizeof(ExclusiveVertex));
  const bool look = tube && texture && tube->Begin(device, noise, clock);
  const GfxResult drawn = device->DrawPrimitive(GFX_PT_TRIANGLEFAN, 0, 2);
  if (look) tube->End(device);
  return drawn;
}
