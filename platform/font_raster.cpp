// The overlay font's glyph bitmap, drawn with SDL2_ttf (FreeType) from Debian's Liberation fonts.
#include "platform/font_raster.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstddef>

namespace {

constexpr const char* kFontFolder = "/usr/share/fonts/truetype/liberation2/";

// SDL_ttf counts its users, so each raster opens and closes the library for itself.
class TtfLibrary {
 public:
  TtfLibrary() : ok_(TTF_Init() == 0) {}
  ~TtfLibrary() {
    if (ok_) TTF_Quit();
  }
  TtfLibrary(const TtfLibrary&) = delete;
  TtfLibrary& operator=(const TtfLibrary&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

// Copies one rendered glyph into the bitmap with its pen origin at (penX, baselineY), as the
// grey level of its coverage; pixels outside the bitmap are dropped.
void CopyGlyph(SDL_Surface* glyph, int originX, int originY, int penX, int baselineY,
               FontBitmap* bitmap) {
  const int w = static_cast<int>(bitmap->width), h = static_cast<int>(bitmap->height);
  for (int sy = 0; sy < glyph->h; ++sy) {
    const int y = baselineY - originY + sy;
    if (y < 0 || y >= h) continue;
    const auto* row =
        reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(glyph->pixels) +
                                          static_cast<std::ptrdiff_t>(sy) * glyph->pitch);
    for (int sx = 0; sx < glyph->w; ++sx) {
      const int x = penX - originX + sx;
      if (x < 0 || x >= w) continue;
      // White drawn with coverage alpha over black leaves the coverage as the grey level.
      const uint32_t grey = row[sx] >> 24;
      if (grey != 0)
        bitmap->pixels[static_cast<size_t>(y) * w + x] = grey << 16 | grey << 8 | grey;
    }
  }
}

}  // namespace

std::string FontFileFor(const std::string&, bool bold, bool italic) {
  // Every face is Liberation Sans: it keeps Arial's widths, so captions keep their places.
  const char* style = bold ? (italic ? "BoldItalic" : "Bold") : (italic ? "Italic" : "Regular");
  return std::string(kFontFolder) + "LiberationSans-" + style + ".ttf";
}

bool RasteriseFont(const FontDescription& description, uint32_t width, uint32_t height,
                   FontBitmap* bitmap, std::string* error) {
  auto fail = [error](const std::string& reason) {
    if (error) *error = reason;
    return false;
  };
  if (!bitmap || width == 0 || height == 0 || width > 16384 || height > 16384)
    return fail("bad bitmap size");
  TtfLibrary library;
  if (!library.Ok()) return fail(std::string("SDL_ttf: ") + TTF_GetError());

  // Character height in pixels, rounded as the points-to-pixels conversion of the original does;
  // opened at 72 dpi, SDL_ttf's point size is then that pixel size.
  const int pixels = static_cast<int>((uint64_t{description.points} * description.dpi + 36) / 72);
  if (pixels <= 0) return fail("font size of 0 pixels");
  const std::string path = FontFileFor(description.face, description.bold, description.italic);
  TTF_Font* font = TTF_OpenFontDPI(path.c_str(), pixels, 72, 72);
  if (!font) return fail("cannot open " + path + ": " + TTF_GetError());

  bitmap->width = width;
  bitmap->height = height;
  bitmap->pixels.assign(static_cast<size_t>(width) * height, 0);
  const int ascent = TTF_FontAscent(font);
  const int h = TTF_FontHeight(font);
  const float fw = static_cast<float>(width), fh = static_cast<float>(height);
  int x = 0, y = 0;
  bool ok = true;
  for (int c = FONT_FIRST_CHAR; c <= FONT_LAST_CHAR && ok; ++c) {
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    if (TTF_GlyphMetrics32(font, static_cast<Uint32>(c), &minX, &maxX, &minY, &maxY, &advance) != 0) {
      ok = fail(std::string("cannot measure a character: ") + TTF_GetError());
      break;
    }
    const int w = std::max(advance, 0);
    if (x + w + 1 > static_cast<int>(width)) {
      y += h + 1;
      x = 0;
    }
    // Drawn opaquely: the character's own cell is painted black first.
    for (int cy = std::max(y, 0); cy < std::min(y + h, static_cast<int>(height)); ++cy)
      for (int cx = std::max(x, 0); cx < std::min(x + w, static_cast<int>(width)); ++cx)
        bitmap->pixels[static_cast<size_t>(cy) * width + cx] = 0;
    if (c != ' ') {
      SDL_Surface* rendered = TTF_RenderGlyph32_Blended(font, static_cast<Uint32>(c),
                                                        SDL_Color{255, 255, 255, 255});
      SDL_Surface* glyph =
          rendered ? SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
      if (glyph) {
        // The rendered surface puts the pen origin further right when the glyph reaches left of
        // it, and the baseline lower when it rises above the ascent.
        CopyGlyph(glyph, std::max(0, -minX), ascent + std::max(0, maxY - ascent), x, y + ascent,
                  bitmap);
      } else {
        ok = fail(std::string("cannot draw a character: ") + TTF_GetError());
      }
      SDL_FreeSurface(glyph);
      SDL_FreeSurface(rendered);
    }
    bitmap->glyphs[static_cast<size_t>(c - FONT_FIRST_CHAR)] = {
        static_cast<float>(x) / fw, static_cast<float>(y) / fh, static_cast<float>(x + w) / fw,
        static_cast<float>(y + h) / fh};
    x += w + 1;
  }
  TTF_CloseFont(font);
  return ok;
}
