#include "presentation/overlay_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/font_raster.h"
#include "platform/gfx_format.h"
#include "presentation/overlay.h"
#include "presentation/text_list.h"
#include "tests/support/headless.h"

namespace {

constexpr uint32_t kWidth = 480, kHeight = 160;

// Hands every call to a real device, can report a smaller maximum texture, and notes the first
// vertex of each draw so that drawing order shows.
class ForwardingDevice : public GfxDevice {
 public:
  explicit ForwardingDevice(GfxDevice* inner) : inner_(inner) {}
  struct Draw {
    float x, y;
    uint32_t triangles;
  };
  std::vector<Draw> draws;
  uint32_t maxTexture = 0;  // 0: the real device's

  GfxResult CreateTexture(uint32_t w, uint32_t h, uint32_t l, uint32_t u, GfxFormat f, GfxPool p,
                          GfxTexture** t) override {
    if (maxTexture && (w > maxTexture || h > maxTexture)) return GFX_E_INVALIDCALL;
    return inner_->CreateTexture(w, h, l, u, f, p, t);
  }
  GfxResult CreateTextureFromFile(const std::string& path, uint32_t w, uint32_t h, uint32_t m,
                                  uint32_t u, GfxFormat f, GfxPool p, GfxTexture** t) override {
    return inner_->CreateTextureFromFile(path, w, h, m, u, f, p, t);
  }
  GfxResult UpdateTexture(GfxTexture* s, GfxTexture* d) override { return inner_->UpdateTexture(s, d); }
  GfxResult CreateVertexBuffer(uint32_t l, uint32_t u, uint32_t f, GfxPool p,
                               GfxVertexBuffer** b) override {
    return inner_->CreateVertexBuffer(l, u, f, p, b);
  }
  GfxResult CreateMesh(const GfxMeshData& d, GfxMesh** m) override { return inner_->CreateMesh(d, m); }
  GfxResult SetTransform(GfxTransformType t, const GfxMatrix& m) override { return inner_->SetTransform(t, m); }
  GfxResult GetTransform(GfxTransformType t, GfxMatrix* m) override { return inner_->GetTransform(t, m); }
  GfxResult SetMaterial(const GfxMaterial& m) override { return inner_->SetMaterial(m); }
  GfxResult SetRenderState(GfxRenderState s, uint32_t v) override { return inner_->SetRenderState(s, v); }
  GfxResult GetRenderState(GfxRenderState s, uint32_t* v) override { return inner_->GetRenderState(s, v); }
  GfxResult SetTexture(uint32_t s, GfxTexture* t) override { return inner_->SetTexture(s, t); }
  GfxResult SetVertexShader(uint32_t f) override { return inner_->SetVertexShader(f); }
  GfxResult SetStreamSource(uint32_t s, GfxVertexBuffer* b, uint32_t stride) override {
    stream_ = b;
    return inner_->SetStreamSource(s, b, stride);
  }
  GfxResult DrawPrimitive(GfxPrimitiveType t, uint32_t start, uint32_t count) override {
    void* data = nullptr;
    if (stream_ && stream_->Lock(0, 0, &data, 0) == GFX_OK) {
      float xy[2];
      std::memcpy(xy, data, sizeof xy);
      stream_->Unlock();
      draws.push_back({xy[0], xy[1], count});
    }
    return inner_->DrawPrimitive(t, start, count);
  }
  GfxResult BeginStateBlock() override { return inner_->BeginStateBlock(); }
  GfxResult EndStateBlock(uint32_t* h) override { return inner_->EndStateBlock(h); }
  GfxResult ApplyStateBlock(uint32_t h) override { return inner_->ApplyStateBlock(h); }
  GfxResult CaptureStateBlock(uint32_t h) override { return inner_->CaptureStateBlock(h); }
  GfxResult DeleteStateBlock(uint32_t h) override { return inner_->DeleteStateBlock(h); }
  GfxResult Clear(uint32_t f, uint32_t c, float z, uint32_t s) override { return inner_->Clear(f, c, z, s); }
  GfxResult ClearRect(const GfxRect& r, uint32_t c) override { return inner_->ClearRect(r, c); }
  GfxResult BeginScene() override { return inner_->BeginScene(); }
  GfxResult EndScene() override { return inner_->EndScene(); }
  GfxResult Present() override { return inner_->Present(); }
  GfxCaps GetDeviceCaps() const override {
    return maxTexture ? GfxCaps{maxTexture, maxTexture} : inner_->GetDeviceCaps();
  }
  void GetBackBufferSize(uint32_t* w, uint32_t* h) const override { inner_->GetBackBufferSize(w, h); }
  void SetVerticalSync(bool on) override { inner_->SetVerticalSync(on); }
  GfxResult Reset(uint32_t w, uint32_t h) override { return inner_->Reset(w, h); }
  GfxResult ReadBackBuffer(std::vector<uint32_t>* p, uint32_t* w, uint32_t* h) override {
    return inner_->ReadBackBuffer(p, w, h);
  }

 private:
  GfxDevice* inner_;
  GfxVertexBuffer* stream_ = nullptr;
};

using Image = std::vector<uint32_t>;

class OverlayFont : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = OpenHeadless(kWidth, kHeight);
    ASSERT_NE(window_, nullptr) << "no headless rendering";
    device_ = window_->GlDeviceOf();
    forwarding_ = std::make_unique<ForwardingDevice>(device_);
    std::string error;
    ASSERT_TRUE(RasteriseFont({"Arial", 12, 96, true, false}, 256, 256, &atlas_, &error)) << error;
  }
  void TearDown() override { font_.reset(); }

  void MakeFont(GfxDevice* device) {
    if (font_) font_->DeleteDeviceResources();
    font_ = std::make_unique<COverlayFont>("Arial", 12, OVERLAY_FONT_BOLD);
    ASSERT_EQ(font_->InitDeviceResources(device), GFX_OK);
    ASSERT_EQ(font_->RestoreDeviceResources(), GFX_OK);
  }

  // One frame on a black back buffer.
  template <typename DrawFn>
  Image Frame(DrawFn draw, const char* png = nullptr) {
    device_->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    EXPECT_EQ(device_->BeginScene(), GFX_OK);
    draw();
    EXPECT_EQ(device_->EndScene(), GFX_OK);
    if (png) window_->SaveScreenshot(png);
    Image pixels;
    uint32_t w = 0, h = 0;
    EXPECT_EQ(device_->ReadBackBuffer(&pixels, &w, &h), GFX_OK);
    return pixels;
  }

  Image Text(float x, float y, const std::string& text) {
    return Frame([&] { EXPECT_EQ(font_->DrawText(x, y, text), GFX_OK); });
  }

  const GlyphRect& Glyph(char c) const { return atlas_.glyphs[static_cast<size_t>(c - 32)]; }
  int Advance(char c) const {
    return static_cast<int>(std::lround((Glyph(c).right - Glyph(c).left) * 256));
  }
  int LineHeight() const {
    return static_cast<int>(std::lround((Glyph(' ').bottom - Glyph(' ').top) * 256));
  }

  std::unique_ptr<GfxWindow> window_;
  GlDevice* device_ = nullptr;
  std::unique_ptr<ForwardingDevice> forwarding_;
  CTextList captions_;
  FontBitmap atlas_;
  std::unique_ptr<COverlayFont> font_;
};

// Untouched back-buffer pixels stay black.
bool IsBlack(uint32_t argb) { return (argb & 0xFFFFFF) == 0; }

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
  bool Empty() const { return right < 0; }
};

Box InkBox(const Image& image) {
  Box box;
  for (int y = 0; y < static_cast<int>(kHeight); ++y)
    for (int x = 0; x < static_cast<int>(kWidth); ++x)
      if (!IsBlack(image[y * kWidth + x])) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

int CountDifferent(const Image& a, const Image& b) {
  int different = 0;
  for (size_t i = 0; i < a.size(); ++i) different += a[i] != b[i];
  return different;
}

}  // namespace

TEST_F(OverlayFont, DrawsEachGlyphTexelForTexelInYellowAndNothingElse) {
  MakeFont(device_);
  const std::string text = "Hi, Glimmerbox! 48K jpgQ_|{W}@~";
  const int x0 = 13, y0 = 17;
  const Image image = Frame([&] { font_->DrawText(x0, y0, text); },
                            GLIMMERBOX_BUILD_DIR "/overlay-text.png");
  // What the atlas says each pixel must be: the texel's four-bit coverage as yellow over black.
  Image expected(kWidth * kHeight, 0xFF000000);
  int pen = x0;
  for (const char c : text) {
    const int gx = static_cast<int>(std::lround(Glyph(c).left * 256));
    const int gy = static_cast<int>(std::lround(Glyph(c).top * 256));
    for (int y = 0; y < LineHeight(); ++y)
      for (int x = 0; c != ' ' && x < Advance(c); ++x) {
        const uint32_t a = (atlas_.pixels[(gy + y) * 256 + gx + x] & 0xFF) >> 4;
        const uint32_t level = a * 17;
        if (a) expected[(y0 + y) * kWidth + pen + x] = 0xFF000000 | level << 16 | level << 8;
      }
    pen += Advance(c);
  }
  int wrong = 0;
  for (uint32_t i = 0; i < image.size(); ++i) {
    const int dr = static_cast<int>(Red(image[i])) - static_cast<int>(Red(expected[i]));
    if (std::abs(dr) > 1 || Red(image[i]) != Green(image[i]) || Blue(image[i]) != 0) {
      if (wrong++ < 5)
        ADD_FAILURE() << "pixel (" << i % kWidth << ", " << i / kWidth << ") is " << std::hex
                      << image[i] << ", expected " << expected[i];
    }
  }
  EXPECT_EQ(wrong, 0);
  const Box box = InkBox(image);
  EXPECT_GE(box.left, x0);
  EXPECT_GE(box.top, y0);
  EXPECT_LT(box.right, pen);
  EXPECT_LT(box.bottom, y0 + LineHeight());
}

// A string draws exactly what its parts draw at the places the layout gives them.
TEST_F(OverlayFont, LayoutMatchesItsPartsDrawnApart) {
  MakeFont(device_);
  const int a = Advance('A'), space = Advance(' '), line = LineHeight();
  std::string row40;
  for (int i = 0; i < 40; ++i) row40 += static_cast<char>('!' + i);
  struct Part {
    std::string text;
    int dx, dy;
  };
  struct Case {
    const char* name;
    std::string text;
    std::vector<Part> parts;
  } cases[] = {
      {"newline returns to the starting x one space-glyph height lower",
       "AB\nC\n\nD", {{"AB", 0, 0}, {"C", 0, line}, {"D", 0, 3 * line}}},
      {"spaces advance without drawing", "A  B", {{"A", 0, 0}, {"B", a + 2 * space, 0}}},
      {"characters without a glyph are ignored",
       std::string("A\x7F\x01\t\r\x1F") + "\xC8\x80\xFF" + "B", {{"AB", 0, 0}}},
      {"more than fifty characters are drawn in batches",
       row40 + "\n" + row40 + "\n" + row40,
       {{row40, 0, 0}, {row40, 0, line}, {row40, 0, 2 * line}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Image whole = Text(5, 7, c.text);
    const Image parts = Frame([&] {
      for (const Part& p : c.parts) font_->DrawText(5.0f + p.dx, 7.0f + p.dy, p.text);
    });
    EXPECT_FALSE(InkBox(whole).Empty());
    EXPECT_EQ(CountDifferent(whole, parts), 0);
  }
}

TEST_F(OverlayFont, TextOfOnlyUnglyphedCharactersDrawsNothing) {
  MakeFont(forwarding_.get());
  EXPECT_TRUE(InkBox(Text(5, 7, "\x7F\x01\x1F\xC8\x80 \n  ")).Empty());
  EXPECT_TRUE(forwarding_->draws.empty()) << "not even transparent quads";
}

TEST_F(OverlayFont, LongStringsAreDrawnInBatchesOfAHundredTriangles) {
  MakeFont(forwarding_.get());
  std::string text(120, 'x');
  text[60] = ' ';  // spaces take no triangles
  Frame([&] { font_->DrawText(0, 0, text); });
  std::vector<uint32_t> counts;
  for (const auto& d : forwarding_->draws) counts.push_back(d.triangles);
  EXPECT_EQ(counts, (std::vector<uint32_t>{100, 100, 38}));
}

TEST_F(OverlayFont, GlyphTextureHoldsCoverageAsTheAlphaOfWhite) {
  MakeFont(device_);
  ASSERT_EQ(font_->TextureWidth(), 256u);
  ASSERT_EQ(font_->TextureHeight(), 256u);
  EXPECT_EQ(font_->TextScale(), 1.0f);
  GfxSurfaceDesc desc{};
  font_->Texture()->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.format, GFX_FMT_A4R4G4B4);
  EXPECT_EQ(desc.pool, GFX_POOL_MANAGED);
  GfxLockedRect locked{};
  ASSERT_EQ(font_->Texture()->LockRect(0, &locked, nullptr, 0), GFX_OK);
  int wrong = 0, lit = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint16_t texel;
      std::memcpy(&texel, static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 2, 2);
      const uint32_t a = (atlas_.pixels[y * 256 + x] & 0xFF) >> 4;
      wrong += texel != (a ? a * 4096 + 0x0FFF : 0);
      lit += a != 0;
    }
  font_->Texture()->UnlockRect(0);
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(lit, 500);
}

TEST_F(OverlayFont, SmallMaximumTextureGivesASmallerTextureAndTheSameTextSize) {
  MakeFont(device_);
  const Box full = InkBox(Text(10, 10, "Glimmerbox 128K\nZX Spectrum"));
  forwarding_->maxTexture = 128;
  MakeFont(forwarding_.get());
  EXPECT_EQ(font_->TextureWidth(), 128u);
  EXPECT_EQ(font_->TextureHeight(), 128u);
  EXPECT_EQ(font_->TextScale(), 0.5f);
  const Box half = InkBox(Frame([&] { font_->DrawText(10, 10, "Glimmerbox 128K\nZX Spectrum"); },
                                GLIMMERBOX_BUILD_DIR "/overlay-text-128.png"));
  ASSERT_FALSE(half.Empty());
  EXPECT_NEAR(half.left, full.left, 3);
  EXPECT_NEAR(half.top, full.top, 3);
  EXPECT_NEAR(half.right, full.right, 8);
  EXPECT_NEAR(half.bottom, full.bottom, 4);
}

TEST_F(OverlayFont, CallersRenderStatesAreRestoredAfterDrawing) {
  MakeFont(device_);
  const std::pair<GfxRenderState, uint32_t> states[] = {
      {GFX_RS_ZENABLE, 1},          {GFX_RS_ALPHABLENDENABLE, 0}, {GFX_RS_ALPHATESTENABLE, 0},
      {GFX_RS_SRCBLEND, GFX_BLEND_ONE}, {GFX_RS_DESTBLEND, GFX_BLEND_ZERO},
      {GFX_RS_CULLMODE, GFX_CULL_NONE}, {GFX_RS_ALPHAREF, 0}, {GFX_RS_ALPHAFUNC, GFX_CMP_ALWAYS},
  };
  for (const auto& [state, value] : states) device_->SetRenderState(state, value);
  Text(0, 0, "state");
  for (const auto& [state, value] : states) {
    uint32_t now = 0;
    device_->GetRenderState(state, &now);
    EXPECT_EQ(now, value) << "render state " << state;
  }
}

TEST_F(OverlayFont, TextIsMeasuredAsItIsLaidOut) {
  COverlayFont unset("Arial", 12, OVERLAY_FONT_BOLD);
  EXPECT_EQ(unset.TextWidth("no glyphs yet"), 0.0f);
  EXPECT_EQ(unset.LineHeight(), 0.0f);
  MakeFont(device_);
  EXPECT_EQ(font_->LineHeight(), static_cast<float>(LineHeight()));
  const struct {
    const char* text;
    int width;
  } cases[] = {
      {"", 0},
      {"A", Advance('A')},
      {"A B", 2 * Advance('A') + Advance(' ')},
      {"the widest line counts\nAB", 0},
      {"\x7F\x01" "AB" "\xC8", 0},
  };
  for (const auto& c : cases) {
    int expected = c.width;
    if (!expected) {
      // As far as the pen goes on the longest line.
      int pen = 0;
      for (const char* p = c.text; *p; ++p) {
        if (*p == '\n') {
          expected = std::max(expected, pen);
          pen = 0;
        } else if (*p >= 32 && *p < 127) {
          pen += Advance(*p);
        }
      }
      expected = std::max(expected, pen);
    }
    EXPECT_NEAR(font_->TextWidth(c.text), expected, 0.01) << c.text;
  }
  // And where the ink of a drawn line ends agrees.
  const Box ink = InkBox(Text(10, 10, "Measured"));
  EXPECT_LE(ink.right, 10 + static_cast<int>(font_->TextWidth("Measured")));
  EXPECT_GE(ink.right, 10 + static_cast<int>(font_->TextWidth("Measured")) - 3);
}

TEST_F(OverlayFont, TheTextColourCanBeChangedAndStartsYellow) {
  MakeFont(device_);
  EXPECT_EQ(font_->Colour(), 0xFFFFFF00u);
  const struct {
    uint32_t colour;
    uint32_t redLevel, greenLevel, blueLevel;  // full coverage
  } cases[] = {{0xFF00FFFF, 0, 255, 255}, {0xFFFF0000, 255, 0, 0}, {0xFFFFFF00, 255, 255, 0}};
  for (const auto& c : cases) {
    font_->SetColour(c.colour);
    const Image image = Text(5, 5, "HHHH");
    uint32_t brightest = 0, at = 0;
    for (uint32_t i = 0; i < image.size(); ++i)
      if (Red(image[i]) + Green(image[i]) + Blue(image[i]) > brightest) {
        brightest = Red(image[i]) + Green(image[i]) + Blue(image[i]);
        at = image[i];
      }
    EXPECT_EQ(Red(at), c.redLevel) << std::hex << c.colour;
    EXPECT_EQ(Green(at), c.greenLevel) << std::hex << c.colour;
    EXPECT_EQ(Blue(at), c.blueLevel) << std::hex << c.colour;
  }
}

TEST_F(OverlayFont, DrawingFailsWithoutTheDeviceOrItsResources) {
  COverlayFont unset("Arial", 12, OVERLAY_FONT_BOLD);
  EXPECT_LT(unset.DrawText(0, 0, "no device"), 0);
  MakeFont(device_);
  font_->InvalidateDeviceResources();
  EXPECT_LT(font_->DrawText(0, 0, "no vertex buffer"), 0);
  EXPECT_TRUE(InkBox(Frame([&] { font_->DrawText(0, 0, "invalidated"); })).Empty());
  font_->DeleteDeviceResources();
  EXPECT_LT(font_->DrawText(0, 0, "deleted"), 0);
}

TEST_F(OverlayFont, ResetCyclesAndDeletionLeaveNoResourcesBehind) {
  const uint32_t before = device_->LiveResourceCount();
  MakeFont(device_);
  EXPECT_EQ(device_->LiveResourceCount(), before + 2);
  for (int cycle = 0; cycle < 3; ++cycle) {
    font_->InvalidateDeviceResources();
    EXPECT_EQ(device_->LiveResourceCount(GFX_POOL_DEFAULT), 0u);
    ASSERT_EQ(device_->Reset(kWidth, kHeight), GFX_OK);
    ASSERT_EQ(font_->RestoreDeviceResources(), GFX_OK);
    EXPECT_FALSE(InkBox(Text(3, 3, "after reset")).Empty());
  }
  // Deleting without the invalidate first still releases the vertex buffer.
  font_->DeleteDeviceResources();
  EXPECT_EQ(device_->LiveResourceCount(), before);
  font_->InvalidateDeviceResources();  // as the application does once more
  font_.reset();
  EXPECT_EQ(device_->LiveResourceCount(), before);
}

TEST_F(OverlayFont, OverlayDrawsTheStatisticsLineFirstThenCaptionsInListOrder) {
  MakeFont(forwarding_.get());
  captions_.Add("first", 100, 40, 5);
  captions_.Add("second", 100, 40, 5);  // the same place: drawn later, so over the first
  captions_.Add("third", 200, 60, 5);
  Frame([&] { DrawOverlay(font_.get(), captions_, "50.00 fps", true, 1.0f); });
  std::vector<std::pair<float, float>> origins;
  for (const auto& d : forwarding_->draws) origins.push_back({d.x, d.y});
  // Each string's first quad starts half a pixel before its position, at its bottom-left corner.
  const float line = static_cast<float>(LineHeight());
  const std::vector<std::pair<float, float>> expected = {{19.5f, 19.5f + line},
                                                         {99.5f, 39.5f + line},
                                                         {99.5f, 39.5f + line},
                                                         {199.5f, 59.5f + line}};
  EXPECT_EQ(origins, expected);

  forwarding_->draws.clear();
  Frame([&] { DrawOverlay(font_.get(), captions_, "50.00 fps", false, 1.5f); });
  EXPECT_EQ(forwarding_->draws.size(), 3u) << "no statistics line with Show FPS off";
}

TEST_F(OverlayFont, CaptionsShowOnEveryFrameUpToTheFirstAtOrAfterTheirExpiry) {
  MakeFont(device_);
  struct Case {
    float duration;
    std::vector<float> frames;
    std::vector<bool> shown;
  } cases[] = {
      {1.0f, {10.0f, 10.5f, 10.99f, 11.0f, 11.5f}, {true, true, true, true, false}},
      {1.0f, {10.0f, 10.6f, 11.2f, 11.8f}, {true, true, true, false}},
      {0.0f, {10.0f, 10.0f, 10.02f}, {true, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "duration " << c.duration);
    const int32_t id = captions_.Add("caption", 30, 30, c.duration);
    for (size_t i = 0; i < c.frames.size(); ++i) {
      const Image image = Frame([&] { DrawOverlay(font_.get(), captions_, "", false, c.frames[i]); });
      EXPECT_EQ(!InkBox(image).Empty(), c.shown[i]) << "frame at " << c.frames[i];
    }
    EXPECT_FALSE(captions_.IsActive(id));
  }
}

TEST_F(OverlayFont, CaptionsExpireEvenWithoutAFont) {
  const int32_t id = captions_.Add("unseen", 0, 0, 0.5f);
  DrawOverlay(nullptr, captions_, "stats", true, 3.0f);
  EXPECT_TRUE(captions_.IsActive(id));
  DrawOverlay(nullptr, captions_, "stats", true, 3.5f);
  EXPECT_FALSE(captions_.IsActive(id));
}
