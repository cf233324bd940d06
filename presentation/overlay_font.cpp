// The overlay font: glyph texture, vertex batches and the two state blocks that switch the
// device into text drawing and back.
#include "presentation/overlay_font.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "base/log.h"
#include "platform/font_raster.h"
#include "platform/gfx_format.h"

namespace {

// Screen-space x, y, z, 1/w; diffuse ARGB; u, v.
constexpr uint32_t kFvf = GFX_FVF_XYZRHW | GFX_FVF_DIFFUSE | GFX_FVF_TEX1;
constexpr uint32_t kStride = 28;
constexpr uint32_t kBufferVertices = 300;
constexpr float kDepth = 0.9f;
static_assert(FONT_GLYPH_COUNT == 95);

void PutVertex(uint8_t*& out, float x, float y, uint32_t colour, float u, float v) {
  const float position[4] = {x, y, kDepth, 1.0f};
  std::memcpy(out, position, sizeof position);
  std::memcpy(out + 16, &colour, 4);
  const float uv[2] = {u, v};
  std::memcpy(out + 20, uv, sizeof uv);
  out += kStride;
}

template <typename T>
void Release(T*& resource) {
  delete resource;
  resource = nullptr;
}

}  // namespace

COverlayFont::COverlayFont(const std::string& face, uint32_t height, uint32_t flags)
    : face_(face.substr(0, 79)), height_(height), flags_(flags) {}

COverlayFont::~COverlayFont() {
  // The device may already be gone: its resources can still be deleted, its state blocks went
  // with it.
  Release(vertexBuffer_);
  Release(texture_);
}

GfxResult COverlayFont::InitDeviceResources(GfxDevice* device) {
  if (!device) return GFX_E_INVALIDCALL;
  if (device_) DeleteDeviceResources();
  device_ = device;
  textScale_ = 1.0f;

  uint32_t size = height_ > 40 ? 1024 : height_ > 20 ? 512 : 256;
  const uint32_t maxWidth = device->GetDeviceCaps().maxTextureWidth;
  if (maxWidth < size) {
    // A smaller texture holds smaller glyphs, drawn magnified back to the wanted size.
    textScale_ = static_cast<float>(maxWidth) / static_cast<float>(size);
    size = maxWidth;
  }
  textureWidth_ = textureHeight_ = size;

  GfxResult hr = device->CreateTexture(size, size, 1, 0, GFX_FMT_A4R4G4B4, GFX_POOL_MANAGED,
                                       &texture_);
  if (hr < 0) return hr;

  FontDescription description;
  description.face = face_;
  description.points = height_;
  description.dpi = static_cast<uint32_t>(96 * textScale_);
  description.bold = (flags_ & OVERLAY_FONT_BOLD) != 0;
  description.italic = (flags_ & OVERLAY_FONT_ITALIC) != 0;
  FontBitmap bitmap;
  std::string error;
  if (!RasteriseFont(description, size, size, &bitmap, &error)) {
    WriteLog("OverlayFont: cannot build the glyph texture: " + error);
    Release(texture_);
    return GFX_E_FAIL;
  }
  for (size_t i = 0; i < glyphs_.size(); ++i)
    glyphs_[i] = {bitmap.glyphs[i].left, bitmap.glyphs[i].top, bitmap.glyphs[i].right,
                  bitmap.glyphs[i].bottom};

  // The device may have chosen another format than 4-4-4-4; texels are packed for what it made.
  GfxSurfaceDesc desc{};
  texture_->GetLevelDesc(0, &desc);
  const GfxFormatInfo* info = GfxFindFormat(desc.format);
  GfxLockedRect locked{};
  hr = info ? texture_->LockRect(0, &locked, nullptr, 0) : GFX_E_FAIL;
  if (hr < 0) {
    Release(texture_);
    return hr;
  }
  for (uint32_t y = 0; y < size; ++y) {
    uint8_t* row = static_cast<uint8_t*>(locked.bits) + static_cast<std::ptrdiff_t>(y) * locked.pitch;
    for (uint32_t x = 0; x < size; ++x) {
      // Alpha is the top four bits of the blue level; the colour is white, tinted when drawn.
      const uint32_t a = (bitmap.pixels[static_cast<size_t>(y) * size + x] & 0xFF) >> 4;
      const uint32_t texel = a ? GfxPackArgb(*info, (a * 17) << 24 | 0xFFFFFF) : 0;
      GfxWriteTexel(row + x * info->bytesPerTexel, info->bytesPerTexel, texel);
    }
  }
  texture_->UnlockRect(0);
  return GFX_OK;
}

GfxResult COverlayFont::RecordStateBlock(uint32_t* handle) {
  GfxResult hr = device_->BeginStateBlock();
  if (hr < 0) return hr;
  device_->SetTexture(0, texture_);
  device_->SetRenderState(GFX_RS_ALPHABLENDENABLE, 1);
  device_->SetRenderState(GFX_RS_SRCBLEND, GFX_BLEND_SRCALPHA);
  device_->SetRenderState(GFX_RS_DESTBLEND, GFX_BLEND_INVSRCALPHA);
  device_->SetRenderState(GFX_RS_ALPHATESTENABLE, 1);
  device_->SetRenderState(GFX_RS_ALPHAREF, 8);
  device_->SetRenderState(GFX_RS_ALPHAFUNC, GFX_CMP_GREATEREQUAL);
  device_->SetRenderState(GFX_RS_CULLMODE, GFX_CULL_CCW);
  device_->SetRenderState(GFX_RS_ZENABLE, (flags_ & OVERLAY_FONT_DEPTH_TEST) ? 1 : 0);
  // Solid fill, no stencil, fog, clip planes or vertex blending, and one texture stage that
  // modulates texture by diffuse with point sampling are the device's fixed behaviour.
  // The vertex format and stream belong to the block too, so the caller gets its own back.
  device_->SetVertexShader(kFvf);
  device_->SetStreamSource(0, vertexBuffer_, kStride);
  return device_->EndStateBlock(handle);
}

GfxResult COverlayFont::RestoreDeviceResources() {
  if (!device_) return GFX_E_INVALIDCALL;
  if (vertexBuffer_ || savedStateBlock_ || drawingStateBlock_) InvalidateDeviceResources();
  GfxResult hr = device_->CreateVertexBuffer(kBufferVertices * kStride,
                                             GFX_USAGE_WRITEONLY | GFX_USAGE_DYNAMIC, 0,
                                             GFX_POOL_DEFAULT, &vertexBuffer_);
  if (hr >= 0) hr = RecordStateBlock(&savedStateBlock_);
  if (hr >= 0) hr = RecordStateBlock(&drawingStateBlock_);
  if (hr < 0) InvalidateDeviceResources();
  return hr;
}

GfxResult COverlayFont::InvalidateDeviceResources() {
  Release(vertexBuffer_);
  if (device_) {
    if (savedStateBlock_) device_->DeleteStateBlock(savedStateBlock_);
    if (drawingStateBlock_) device_->DeleteStateBlock(drawingStateBlock_);
  }
  savedStateBlock_ = drawingStateBlock_ = 0;
  return GFX_OK;
}

GfxResult COverlayFont::DeleteDeviceResources() {
  // Whatever a missed invalidate left goes too, while the device is still known.
  InvalidateDeviceResources();
  Release(texture_);
  device_ = nullptr;
  return GFX_OK;
}

GfxResult COverlayFont::Flush(uint8_t** vertices, uint32_t* triangles) {
  vertexBuffer_->Unlock();
  device_->DrawPrimitive(GFX_PT_TRIANGLELIST, 0, *triangles);
  *triangles = 0;
  void* data = nullptr;
  const GfxResult hr = vertexBuffer_->Lock(0, 0, &data, GFX_LOCK_DISCARD);
  *vertices = hr < 0 ? nullptr : static_cast<uint8_t*>(data);
  return hr;
}

float COverlayFont::TextWidth(std::string_view text) const {
  if (!texture_) return 0;
  const float texW = static_cast<float>(textureWidth_);
  float widest = 0, width = 0;
  for (const char ch : text) {
    const auto c = static_cast<signed char>(ch);
    if (c == '\n') {
      width = 0;
      continue;
    }
    if (c < FONT_FIRST_CHAR || c > FONT_LAST_CHAR) continue;
    const auto& glyph = glyphs_[static_cast<size_t>(c - FONT_FIRST_CHAR)];
    width += (glyph[2] - glyph[0]) * texW / textScale_;
    widest = std::max(widest, width);
  }
  return widest;
}

float COverlayFont::LineHeight() const {
  if (!texture_) return 0;
  const auto& space = glyphs_[0];
  return (space[3] - space[1]) * static_cast<float>(textureHeight_) / textScale_;
}

GfxResult COverlayFont::DrawText(float x, float y, std::string_view text) {
  if (!device_ || !texture_ || !vertexBuffer_ || !savedStateBlock_ || !drawingStateBlock_)
    return GFX_E_FAIL;
  device_->CaptureStateBlock(savedStateBlock_);
  device_->ApplyStateBlock(drawingStateBlock_);
  device_->SetVertexShader(kFvf);
  device_->SetStreamSource(0, vertexBuffer_, kStride);
  void* data = nullptr;
  GfxResult hr = vertexBuffer_->Lock(0, 0, &data, GFX_LOCK_DISCARD);
  if (hr < 0) {
    device_->ApplyStateBlock(savedStateBlock_);
    return hr;
  }
  auto* vertices = static_cast<uint8_t*>(data);
  uint32_t triangles = 0;
  const float texW = static_cast<float>(textureWidth_), texH = static_cast<float>(textureHeight_);
  const float x0 = x;
  for (const char ch : text) {
    const auto c = static_cast<signed char>(ch);
    if (c == '\n') {
      // One line lower at the drawn size, also when the texture is scaled down.
      x = x0;
      y += LineHeight();
      continue;
    }
    // 127 lies beyond the glyphs as surely as the control characters and 128-255 do.
    if (c < FONT_FIRST_CHAR || c > FONT_LAST_CHAR) continue;
    const auto& [tx1, ty1, tx2, ty2] = glyphs_[static_cast<size_t>(c - FONT_FIRST_CHAR)];
    const float w = (tx2 - tx1) * texW / textScale_;
    const float h = (ty2 - ty1) * texH / textScale_;
    if (c != ' ') {
      // Whole pixels sit on whole coordinates: half a pixel back lines texels up with pixels.
      const float left = x - 0.5f, top = y - 0.5f, right = x + w - 0.5f, bottom = y + h - 0.5f;
      PutVertex(vertices, left, bottom, colour_, tx1, ty2);
      PutVertex(vertices, left, top, colour_, tx1, ty1);
      PutVertex(vertices, right, bottom, colour_, tx2, ty2);
      PutVertex(vertices, right, top, colour_, tx2, ty1);
      PutVertex(vertices, right, bottom, colour_, tx2, ty2);
      PutVertex(vertices, left, top, colour_, tx1, ty1);
      triangles += 2;
      if (triangles * 3 > kBufferVertices - 6) {
        hr = Flush(&vertices, &triangles);
        if (hr < 0) break;
      }
    }
    x += w;
  }
  if (vertices) {
    vertexBuffer_->Unlock();
    if (triangles > 0) device_->DrawPrimitive(GFX_PT_TRIANGLELIST, 0, triangles);
  }
  device_->ApplyStateBlock(savedStateBlock_);
  return hr < 0 ? hr : GFX_OK;
}
