// The overlay font: draws the captions and the frame statistics line (and the framework's error
// box) as screen-space text, two textured triangles per character, from a glyph texture built
// once per device.
//
//   COverlayFont font("Arial", 12, OVERLAY_FONT_BOLD);
//   font.InitDeviceResources(device);   // glyph texture
//   font.RestoreDeviceResources();      // vertex buffer and state blocks (after each reset)
//   ... between BeginScene and EndScene: font.DrawText(20, 20, "50.00 fps");
//   font.InvalidateDeviceResources();   // before a reset or deletion
//   font.DeleteDeviceResources();       // the device is going away
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gfx.h"

constexpr uint32_t OVERLAY_FONT_BOLD = 1;
constexpr uint32_t OVERLAY_FONT_ITALIC = 2;
constexpr uint32_t OVERLAY_FONT_DEPTH_TEST = 4;

class COverlayFont {
 public:
  // `height` in points.
  COverlayFont(const std::string& face, uint32_t height, uint32_t flags);
  // Releases whatever device resources are still held.
  ~COverlayFont();
  COverlayFont(const COverlayFont&) = delete;
  COverlayFont& operator=(const COverlayFont&) = delete;

  // Remembers the device and builds the glyph texture (A4R4G4B4, managed).
  GfxResult InitDeviceResources(GfxDevice* device);
  // Creates the dynamic vertex buffer and records the saved and drawing state blocks.
  GfxResult RestoreDeviceResources();
  // Releases the vertex buffer and deletes the state blocks.
  GfxResult InvalidateDeviceResources();
  // Releases the glyph texture and forgets the device.
  GfxResult DeleteDeviceResources();

  // Draws `text` with the top-left of its first character at pixel (x, y), in the text colour.
  // A newline returns to x one line lower; characters without a glyph (below 32, from 127 up)
  // are skipped. Fails, drawing nothing, without a device or its resources. The caller's render
  // states, texture, vertex format and stream are as before afterwards.
  GfxResult DrawText(float x, float y, std::string_view text);

  // The ARGB colour of what DrawText draws next; opaque yellow until changed.
  void SetColour(uint32_t argb) { colour_ = argb; }
  uint32_t Colour() const { return colour_; }
  // How wide the widest line of `text` is drawn and how far apart lines are, in pixels; 0 before
  // the glyph texture is built.
  float TextWidth(std::string_view text) const;
  float LineHeight() const;

  // What the glyph texture became (for tests and diagnostics).
  GfxTexture* Texture() const { return texture_; }
  uint32_t TextureWidth() const { return textureWidth_; }
  uint32_t TextureHeight() const { return textureHeight_; }
  float TextScale() const { return textScale_; }

 private:
  GfxResult RecordStateBlock(uint32_t* handle);
  GfxResult Flush(uint8_t** vertices, uint32_t* triangles);

  std::string face_;
  uint32_t height_;
  uint32_t flags_;
  GfxDevice* device_ = nullptr;
  GfxTexture* texture_ = nullptr;
  GfxVertexBuffer* vertexBuffer_ = nullptr;
  uint32_t textureWidth_ = 0, textureHeight_ = 0;
  float textScale_ = 1.0f;
  // Left u, top v, right u, bottom v of characters 32 to 126.
  std::array<std::array<float, 4>, 95> glyphs_{};
  uint32_t savedStateBlock_ = 0, drawingStateBlock_ = 0;
  uint32_t colour_ = 0xFFFFFF00;
};
