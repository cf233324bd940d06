#include "platform/gfx_gl.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/gfx_format.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"

namespace {

class GlDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = OpenHeadless();
    ASSERT_NE(window_, nullptr) << "no headless rendering";
    device_ = window_->GlDeviceOf();
  }
  void TearDown() override { unsetenv("GLIMMERBOX_TEXTURE_FORMAT"); }

  GfxTexture* Texture(uint32_t w, uint32_t h, GfxFormat format, GfxPool pool, uint32_t usage = 0) {
    GfxTexture* t = nullptr;
    EXPECT_EQ(device_->CreateTexture(w, h, 1, usage, format, pool, &t), GFX_OK);
    return t;
  }

  // Fills a locked texture with one ARGB colour, written in the texture's own format.
  static void Fill(GfxTexture* t, uint32_t argb, const GfxRect* rect = nullptr, uint32_t flags = 0) {
    GfxSurfaceDesc desc;
    t->GetLevelDesc(0, &desc);
    const GfxFormatInfo& info = *GfxFindFormat(desc.format);
    GfxLockedRect locked;
    ASSERT_EQ(t->LockRect(0, &locked, rect, flags), GFX_OK);
    const GfxRect r = rect ? *rect : GfxRect{0, 0, int32_t(desc.width), int32_t(desc.height)};
    for (int y = 0; y < r.bottom - r.top; ++y)
      for (int x = 0; x < r.right - r.left; ++x)
        GfxWriteTexel(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * info.bytesPerTexel,
                      info.bytesPerTexel, GfxPackArgb(info, argb));
    ASSERT_EQ(t->UnlockRect(0), GFX_OK);
  }

  std::vector<uint32_t> Read(GfxTexture* t) {
    std::vector<uint32_t> pixels;
    uint32_t w, h;
    EXPECT_EQ(device_->ReadTexture(t, &pixels, &w, &h), GFX_OK);
    return pixels;
  }

  std::vector<uint32_t> BackBuffer() {
    std::vector<uint32_t> pixels;
    uint32_t w, h;
    EXPECT_EQ(device_->ReadBackBuffer(&pixels, &w, &h), GFX_OK);
    return pixels;
  }

  std::unique_ptr<GfxWindow> window_;
  GlDevice* device_ = nullptr;
};

void ExpectNear(uint32_t got, uint32_t want, uint32_t tolerance, const std::string& where) {
  for (int shift : {24, 16, 8, 0}) {
    const int g = (got >> shift) & 0xFF, w = (want >> shift) & 0xFF;
    EXPECT_LE(std::abs(g - w), int(tolerance)) << where << std::hex << " got " << got << " want " << want;
  }
}

struct ScreenVertex {
  float x, y, z, rhw;
  uint32_t colour;
  float u, v;
};

struct SceneVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

}  // namespace

TEST_F(GlDeviceTest, EveryFormatSurvivesAStagingUpdateIntoADeviceTexture) {
  const GfxFormat formats[] = {GFX_FMT_A8R8G8B8, GFX_FMT_X8R8G8B8, GFX_FMT_R8G8B8,
                               GFX_FMT_R5G6B5,   GFX_FMT_X1R5G5B5, GFX_FMT_A1R5G5B5,
                               GFX_FMT_A4R4G4B4, GFX_FMT_X4R4G4B4, GFX_FMT_R3G3B2,
                               GFX_FMT_A8R3G3B2, GFX_FMT_A8};
  const uint32_t colours[] = {0xFFFFFFFF, 0xFF000000, 0x80E01C03, 0xFF5AA5C3, 0x00FF00FF};
  for (GfxFormat format : formats) {
    setenv("GLIMMERBOX_TEXTURE_FORMAT", std::to_string(format).c_str(), 1);
    GfxTexture* staging = Texture(8, 8, GFX_FMT_R3G3B2, GFX_POOL_SYSTEMMEM);
    GfxTexture* screen = Texture(8, 8, GFX_FMT_R3G3B2, GFX_POOL_DEFAULT);
    const GfxFormatInfo& info = *GfxFindFormat(format);
    GfxSurfaceDesc desc;
    staging->GetLevelDesc(0, &desc);
    ASSERT_EQ(desc.format, format);
    for (uint32_t colour : colours) {
      Fill(staging, colour);
      ASSERT_EQ(device_->UpdateTexture(staging, screen), GFX_OK);
      uint32_t want = GfxUnpackToArgb(info, GfxPackArgb(info, colour));
      if (format == GFX_FMT_A8) want &= 0xFF000000;  // alpha alone
      for (uint32_t texel : Read(screen)) ExpectNear(texel, want, 9, "format " + std::to_string(format));
    }
    delete staging;
    delete screen;
  }
}

TEST_F(GlDeviceTest, AnUpdateCopiesOnlyTheDirtyRectangle) {
  GfxTexture* staging = Texture(16, 16, GFX_FMT_A8R8G8B8, GFX_POOL_SYSTEMMEM);
  GfxTexture* screen = Texture(16, 16, GFX_FMT_A8R8G8B8, GFX_POOL_DEFAULT);
  Fill(staging, 0xFFFFFFFF);
  ASSERT_EQ(device_->UpdateTexture(staging, screen), GFX_OK);  // a new texture is wholly dirty

  // Like the picture conversion: locked without dirty tracking, then one rectangle declared.
  Fill(staging, 0xFFFF0000, nullptr, GFX_LOCK_NOSYSLOCK | GFX_LOCK_NO_DIRTY_UPDATE);
  ASSERT_EQ(device_->UpdateTexture(staging, screen), GFX_OK);
  EXPECT_EQ(Read(screen)[0], 0xFFFFFFFFu) << "nothing was dirty";
  const GfxRect rows{2, 4, 10, 8};
  staging->AddDirtyRect(&rows);
  ASSERT_EQ(device_->UpdateTexture(staging, screen), GFX_OK);
  std::vector<uint32_t> texels = Read(screen);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 2 && x < 10 && y >= 4 && y < 8;
      EXPECT_EQ(texels[y * 16 + x], inside ? 0xFFFF0000u : 0xFFFFFFFFu) << x << "," << y;
    }
  // A plain lock marks what it locked as dirty.
  const GfxRect corner{12, 12, 16, 16};
  Fill(staging, 0xFF00FF00, &corner);
  ASSERT_EQ(device_->UpdateTexture(staging, screen), GFX_OK);
  texels = Read(screen);
  EXPECT_EQ(texels[15 * 16 + 15], 0xFF00FF00u);
  EXPECT_EQ(texels[0], 0xFFFFFFFFu);
  delete staging;
  delete screen;
}

TEST_F(GlDeviceTest, AManagedTextureUploadsWhatWasLockedAtUnlock) {
  GfxTexture* managed = Texture(4, 4, GFX_FMT_A8R8G8B8, GFX_POOL_MANAGED);
  Fill(managed, 0xFF123456);
  for (uint32_t texel : Read(managed)) EXPECT_EQ(texel, 0xFF123456u);
  delete managed;
}

TEST_F(GlDeviceTest, MisuseIsRefusedWithInvalidCall) {
  GfxTexture* staging = Texture(8, 8, GFX_FMT_A8R8G8B8, GFX_POOL_SYSTEMMEM);
  GfxTexture* screen = Texture(8, 8, GFX_FMT_A8R8G8B8, GFX_POOL_DEFAULT);
  GfxTexture* managed = Texture(8, 8, GFX_FMT_A8R8G8B8, GFX_POOL_MANAGED);
  GfxTexture* small = Texture(4, 4, GFX_FMT_A8R8G8B8, GFX_POOL_DEFAULT);
  GfxTexture* other = Texture(8, 8, GFX_FMT_R5G6B5, GFX_POOL_DEFAULT);
  GfxLockedRect locked;
  const GfxRect outside{0, 0, 9, 8}, empty{4, 4, 4, 8};
  EXPECT_EQ(staging->UnlockRect(0), GFX_E_INVALIDCALL) << "not locked";
  EXPECT_EQ(staging->LockRect(1, &locked, nullptr, 0), GFX_E_INVALIDCALL) << "one level only";
  EXPECT_EQ(staging->LockRect(0, &locked, &outside, 0), GFX_E_INVALIDCALL);
  EXPECT_EQ(staging->LockRect(0, &locked, &empty, 0), GFX_E_INVALIDCALL);
  EXPECT_EQ(screen->LockRect(0, &locked, nullptr, 0), GFX_E_INVALIDCALL) << "video memory";
  ASSERT_EQ(staging->LockRect(0, &locked, nullptr, 0), GFX_OK);
  EXPECT_EQ(staging->LockRect(0, &locked, nullptr, 0), GFX_E_INVALIDCALL) << "locked twice";
  EXPECT_EQ(device_->UpdateTexture(staging, screen), GFX_E_INVALIDCALL) << "still locked";
  staging->UnlockRect(0);
  EXPECT_EQ(device_->UpdateTexture(managed, screen), GFX_E_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(staging, managed), GFX_E_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(staging, small), GFX_E_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(staging, other), GFX_E_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(staging, nullptr), GFX_E_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(0, staging), GFX_E_INVALIDCALL) << "cannot draw with system memory";
  GfxTexture* none = nullptr;
  EXPECT_EQ(device_->CreateTexture(0, 8, 1, 0, GFX_FMT_A8R8G8B8, GFX_POOL_DEFAULT, &none), GFX_E_INVALIDCALL);
  EXPECT_EQ(none, nullptr);
  GfxVertexBuffer* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(3 * sizeof(ScreenVertex), 0, 0, GFX_POOL_MANAGED, &buffer), GFX_OK);
  void* data;
  EXPECT_EQ(buffer->Lock(0, 1000, &data, 0), GFX_E_INVALIDCALL);
  device_->SetVertexShader(GFX_FVF_XYZRHW | GFX_FVF_DIFFUSE | GFX_FVF_TEX1);
  device_->SetStreamSource(0, buffer, sizeof(ScreenVertex));
  EXPECT_EQ(device_->DrawPrimitive(GFX_PT_TRIANGLELIST, 0, 2), GFX_E_INVALIDCALL) << "past the buffer";
  EXPECT_EQ(device_->DrawPrimitive(GFX_PT_TRIANGLELIST, 0, 1), GFX_OK);
  EXPECT_EQ(device_->EndScene(), GFX_E_INVALIDCALL) << "no scene begun";
  for (GfxTexture* t : {staging, screen, managed, small, other}) delete t;
  delete buffer;
}

TEST_F(GlDeviceTest, TexturesFromFilesAreCroppedOrPaddedWithoutScaling) {
  TempDir dir;
  SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, 4, 4, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(image, nullptr, 0xFF00FF00);
  ASSERT_EQ(IMG_SavePNG(image, dir.file("green.png").c_str()), 0);
  SDL_FreeSurface(image);
  WriteWholeFile(dir.file("broken.tga"), "not an image");

  GfxTexture* t = nullptr;
  ASSERT_EQ(device_->CreateTextureFromFile(dir.file("green.png"), GFX_DEFAULT, GFX_DEFAULT, 1, 0,
                                           GFX_FMT_A8R8G8B8, GFX_POOL_MANAGED, &t), GFX_OK);
  GfxSurfaceDesc desc;
  t->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.width, 4u);
  delete t;
  ASSERT_EQ(device_->CreateTextureFromFile(dir.file("green.png"), 8, 2, 1, 0, GFX_FMT_A8R8G8B8,
                                           GFX_POOL_MANAGED, &t), GFX_OK);
  const std::vector<uint32_t> texels = Read(t);
  EXPECT_EQ(texels[3], 0xFF00FF00u);
  EXPECT_EQ(texels[4], 0x00000000u) << "transparent black beyond the image";
  EXPECT_EQ(texels[8 + 7], 0x00000000u);
  delete t;
  EXPECT_EQ(device_->CreateTextureFromFile(dir.file("missing.tga"), GFX_DEFAULT, GFX_DEFAULT, 1, 0,
                                           GFX_FMT_A8R8G8B8, GFX_POOL_MANAGED, &t), GFX_E_NOTFOUND);
  EXPECT_EQ(device_->CreateTextureFromFile(dir.file("broken.tga"), GFX_DEFAULT, GFX_DEFAULT, 1, 0,
                                           GFX_FMT_A8R8G8B8, GFX_POOL_MANAGED, &t), GFX_E_INVALIDDATA);
  EXPECT_EQ(t, nullptr);
}

// Screen-space quads as the overlay font draws them: a rectangle from (x - 0.5, y - 0.5) to
// (x + w - 0.5, y + h - 0.5) covers exactly pixels x .. x + w - 1, and alpha test drops the
// transparent half of the texture.
TEST_F(GlDeviceTest, ScreenSpaceQuadsCoverExactPixelsAndHonourTheAlphaTest) {
  GfxTexture* glyph = Texture(2, 1, GFX_FMT_A4R4G4B4, GFX_POOL_MANAGED);
  GfxLockedRect locked;
  ASSERT_EQ(glyph->LockRect(0, &locked, nullptr, 0), GFX_OK);
  static_cast<uint16_t*>(locked.bits)[0] = 0x0000;  // transparent
  static_cast<uint16_t*>(locked.bits)[1] = 0xFFFF;  // opaque white
  glyph->UnlockRect(0);
  GfxVertexBuffer* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(6 * sizeof(ScreenVertex), GFX_USAGE_WRITEONLY | GFX_USAGE_DYNAMIC,
                                        0, GFX_POOL_DEFAULT, &buffer), GFX_OK);
  const float x0 = 20 - 0.5f, y0 = 30 - 0.5f, x1 = 40 - 0.5f, y1 = 40 - 0.5f;
  const uint32_t yellow = 0xFFFFFF00;
  const ScreenVertex quad[6] = {{x0, y1, 0.9f, 1, yellow, 0, 1}, {x0, y0, 0.9f, 1, yellow, 0, 0},
                                {x1, y1, 0.9f, 1, yellow, 1, 1}, {x1, y0, 0.9f, 1, yellow, 1, 0},
                                {x1, y1, 0.9f, 1, yellow, 1, 1}, {x0, y0, 0.9f, 1, yellow, 0, 0}};
  void* data;
  ASSERT_EQ(buffer->Lock(0, 0, &data, GFX_LOCK_DISCARD), GFX_OK);
  std::memcpy(data, quad, sizeof quad);
  buffer->Unlock();

  device_->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1, 0);
  device_->BeginScene();
  device_->SetTexture(0, glyph);
  device_->SetRenderState(GFX_RS_ALPHABLENDENABLE, 1);
  device_->SetRenderState(GFX_RS_SRCBLEND, GFX_BLEND_SRCALPHA);
  device_->SetRenderState(GFX_RS_DESTBLEND, GFX_BLEND_INVSRCALPHA);
  device_->SetRenderState(GFX_RS_ALPHATESTENABLE, 1);
  device_->SetRenderState(GFX_RS_ALPHAREF, 8);
  device_->SetRenderState(GFX_RS_ALPHAFUNC, GFX_CMP_GREATEREQUAL);
  device_->SetRenderState(GFX_RS_ZENABLE, 0);
  device_->SetVertexShader(GFX_FVF_XYZRHW | GFX_FVF_DIFFUSE | GFX_FVF_TEX1);
  device_->SetStreamSource(0, buffer, sizeof(ScreenVertex));
  ASSERT_EQ(device_->DrawPrimitive(GFX_PT_TRIANGLELIST, 0, 2), GFX_OK);
  device_->EndScene();
  const std::vector<uint32_t> pixels = BackBuffer();
  auto at = [&](int x, int y) { return pixels[y * 600 + x]; };
  for (int y = 25; y < 45; ++y)
    for (int x = 15; x < 45; ++x) {
      const bool drawn = x >= 30 && x < 40 && y >= 30 && y < 40;  // the opaque right half
      EXPECT_EQ(at(x, y), drawn ? 0xFFFFFF00u : 0xFF000000u) << x << "," << y;
    }
  delete buffer;
  delete glyph;
}

// The exclusive view: a 256 x 256 quad at depth 1 under an orthographic projection, unlit, drawn
// as a fan with the picture's texture.
TEST_F(GlDeviceTest, TheExclusiveQuadShowsTheWholeTexture) {
  GfxTexture* picture = Texture(2, 2, GFX_FMT_X8R8G8B8, GFX_POOL_MANAGED);
  GfxLockedRect locked;
  ASSERT_EQ(picture->LockRect(0, &locked, nullptr, 0), GFX_OK);
  const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  for (int y = 0; y < 2; ++y) std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, texels + 2 * y, 8);
  picture->UnlockRect(0);
  GfxVertexBuffer* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(4 * sizeof(SceneVertex), GFX_USAGE_WRITEONLY,
                                        GFX_FVF_XYZ | GFX_FVF_DIFFUSE | GFX_FVF_TEX1, GFX_POOL_MANAGED, &buffer), GFX_OK);
  const SceneVertex quad[4] = {{-128, 128, 1, 0xFFFFFFFF, 0, 0}, {128, 128, 1, 0xFFFFFFFF, 1, 0},
                               {128, -128, 1, 0xFFFFFFFF, 1, 1}, {-128, -128, 1, 0xFFFFFFFF, 0, 1}};
  void* data;
  buffer->Lock(0, 0, &data, 0);
  std::memcpy(data, quad, sizeof quad);
  buffer->Unlock();
  // 600 x 400: s = 600 / 256 is too tall, so s = 400 / 192.
  const float s = 400.0f / 192;
  device_->SetTransform(GFX_TS_PROJECTION, GfxMatrixOrthoLH(600 / s, 400 / s, 0, 1));
  device_->SetTransform(GFX_TS_WORLD, GfxMatrixIdentity());
  device_->SetTransform(GFX_TS_VIEW, GfxMatrixIdentity());
  device_->SetRenderState(GFX_RS_LIGHTING, 0);
  device_->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1, 0);
  device_->BeginScene();
  device_->SetTexture(0, picture);
  device_->SetVertexShader(GFX_FVF_XYZ | GFX_FVF_DIFFUSE | GFX_FVF_TEX1);
  device_->SetStreamSource(0, buffer, sizeof(SceneVertex));
  ASSERT_EQ(device_->DrawPrimitive(GFX_PT_TRIANGLEFAN, 0, 2), GFX_OK);
  device_->EndScene();
  const std::vector<uint32_t> pixels = BackBuffer();
  auto at = [&](int x, int y) { return pixels[y * 600 + x]; };
  EXPECT_EQ(at(250, 150), 0xFFFF0000u) << "top left texel";
  EXPECT_EQ(at(350, 150), 0xFF00FF00u);
  EXPECT_EQ(at(250, 250), 0xFF0000FFu);
  EXPECT_EQ(at(350, 250), 0xFFFFFFFFu);
  EXPECT_EQ(at(10, 200), 0xFF000000u) << "beyond the quad's 256 columns";
  delete buffer;
  delete picture;
}

TEST_F(GlDeviceTest, FrontFacesAreClockwiseAndCullingFollowsTheCullMode) {
  GfxVertexBuffer* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(6 * sizeof(SceneVertex), 0, 0, GFX_POOL_MANAGED, &buffer), GFX_OK);
  // Left: clockwise on screen. Right: counter-clockwise. Identity transforms: clip space.
  const SceneVertex tris[6] = {{-0.9f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0}, {-0.5f, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                               {-0.1f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0}, {0.1f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                               {0.9f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0},  {0.5f, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0}};
  void* data;
  buffer->Lock(0, 0, &data, 0);
  std::memcpy(data, tris, sizeof tris);
  buffer->Unlock();
  const struct {
    uint32_t cull;
    bool left, right;
  } cases[] = {{GFX_CULL_CCW, true, false}, {GFX_CULL_CW, false, true}, {GFX_CULL_NONE, true, true}};
  for (const auto& c : cases) {
    device_->SetRenderState(GFX_RS_LIGHTING, 0);
    device_->SetRenderState(GFX_RS_CULLMODE, c.cull);
    device_->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1, 0);
    device_->BeginScene();
    device_->SetVertexShader(GFX_FVF_XYZ | GFX_FVF_DIFFUSE | GFX_FVF_TEX1);
    device_->SetStreamSource(0, buffer, sizeof(SceneVertex));
    device_->DrawPrimitive(GFX_PT_TRIANGLELIST, 0, 2);
    device_->EndScene();
    const std::vector<uint32_t> pixels = BackBuffer();
    EXPECT_EQ(pixels[200 * 600 + 150] == 0xFFFFFFFF, c.left) << "cull " << c.cull;
    EXPECT_EQ(pixels[200 * 600 + 450] == 0xFFFFFFFF, c.right) << "cull " << c.cull;
  }
  delete buffer;
}

TEST_F(GlDeviceTest, AResetNeedsDeviceResourcesReleasedAndRestoresDefaultState) {
  const uint32_t before = device_->LiveResourceCount();
  GfxTexture* managed = Texture(4, 4, GFX_FMT_A8R8G8B8, GFX_POOL_MANAGED);
  Fill(managed, 0xFF336699);
  GfxTexture* screen = Texture(4, 4, GFX_FMT_A8R8G8B8, GFX_POOL_DEFAULT);
  GfxVertexBuffer* dynamic = nullptr;
  device_->CreateVertexBuffer(64, GFX_USAGE_DYNAMIC, 0, GFX_POOL_DEFAULT, &dynamic);
  device_->SetRenderState(GFX_RS_LIGHTING, 0);
  device_->SetRenderState(GFX_RS_AMBIENT, 0xFFFFFFFF);
  EXPECT_EQ(device_->LiveResourceCount(GFX_POOL_DEFAULT), 2u);

  EXPECT_EQ(device_->Reset(300, 200), GFX_E_INVALIDCALL);
  delete screen;
  EXPECT_EQ(device_->Reset(300, 200), GFX_E_INVALIDCALL);
  delete dynamic;
  ASSERT_EQ(device_->Reset(300, 200), GFX_OK);

  uint32_t value = 0;
  device_->GetRenderState(GFX_RS_LIGHTING, &value);
  EXPECT_EQ(value, 1u);
  device_->GetRenderState(GFX_RS_AMBIENT, &value);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(Read(managed)[0], 0xFF336699u) << "managed textures survive";
  device_->Clear(GFX_CLEAR_TARGET, 0xFF00FF00, 1, 0);
  std::vector<uint32_t> pixels;
  uint32_t w, h;
  ASSERT_EQ(device_->ReadBackBuffer(&pixels, &w, &h), GFX_OK);
  EXPECT_EQ(w, 300u);
  EXPECT_EQ(h, 200u);
  EXPECT_EQ(pixels[199 * 300 + 299], 0xFF00FF00u);
  delete managed;
  EXPECT_EQ(device_->LiveResourceCount(), before);
}

TEST_F(GlDeviceTest, TheWindowReportsAResizeAndWritesScreenshots) {
  uint32_t w, h;
  EXPECT_FALSE(window_->SizeChanged(&w, &h));
  window_->Resize(320, 240);
  ASSERT_TRUE(window_->SizeChanged(&w, &h));
  ASSERT_EQ(device_->Reset(w, h), GFX_OK);
  EXPECT_FALSE(window_->SizeChanged(&w, &h));
  device_->Clear(GFX_CLEAR_TARGET, 0xFF204080, 1, 0);
  TempDir dir;
  ASSERT_TRUE(window_->SaveScreenshot(dir.file("shot.png")));
  SDL_Surface* shot = IMG_Load(dir.file("shot.png").c_str());
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->w, 320);
  EXPECT_EQ(shot->h, 240);
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(shot, SDL_PIXELFORMAT_ARGB8888, 0);
  EXPECT_EQ(static_cast<uint32_t*>(argb->pixels)[0], 0xFF204080u);
  SDL_FreeSurface(argb);
  SDL_FreeSurface(shot);
}

// As the overlay font uses them: one block records the states it changes, captured from the
// device before drawing and applied after to give the caller its state back.
TEST_F(GlDeviceTest, StateBlocksRecordReplayAndCapture) {
  GfxTexture* glyphs = Texture(4, 4, GFX_FMT_A4R4G4B4, GFX_POOL_MANAGED);
  auto record = [&]() {
    uint32_t handle = 0;
    EXPECT_EQ(device_->BeginStateBlock(), GFX_OK);
    device_->SetTexture(0, glyphs);
    device_->SetRenderState(GFX_RS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(GFX_RS_ZENABLE, 0);
    EXPECT_EQ(device_->EndStateBlock(&handle), GFX_OK);
    EXPECT_NE(handle, 0u);
    return handle;
  };
  const uint32_t saved = record(), drawing = record();
  uint32_t value = 0;
  device_->GetRenderState(GFX_RS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 0u) << "recording changes nothing";

  device_->SetRenderState(GFX_RS_ZENABLE, 1);
  ASSERT_EQ(device_->CaptureStateBlock(saved), GFX_OK);
  ASSERT_EQ(device_->ApplyStateBlock(drawing), GFX_OK);
  device_->GetRenderState(GFX_RS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 1u);
  device_->GetRenderState(GFX_RS_ZENABLE, &value);
  EXPECT_EQ(value, 0u);
  ASSERT_EQ(device_->ApplyStateBlock(saved), GFX_OK);
  device_->GetRenderState(GFX_RS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 0u);
  device_->GetRenderState(GFX_RS_ZENABLE, &value);
  EXPECT_EQ(value, 1u);

  delete glyphs;  // a block never binds a released texture
  EXPECT_EQ(device_->ApplyStateBlock(drawing), GFX_OK);
  EXPECT_EQ(device_->DeleteStateBlock(saved), GFX_OK);
  EXPECT_EQ(device_->DeleteStateBlock(saved), GFX_E_INVALIDCALL);
  EXPECT_EQ(device_->ApplyStateBlock(0), GFX_E_INVALIDCALL);
  EXPECT_EQ(device_->DeleteStateBlock(drawing), GFX_OK);
}

TEST(GlDeviceLifetime, ResourcesOutlivingTheirDeviceAreDetachedSafely) {
  GfxTexture* texture = nullptr;
  GfxVertexBuffer* buffer = nullptr;
  {
    auto window = OpenHeadless(64, 64);
    ASSERT_NE(window, nullptr);
    window->Device()->CreateTexture(4, 4, 1, 0, GFX_FMT_A8R8G8B8, GFX_POOL_MANAGED, &texture);
    window->Device()->CreateVertexBuffer(16, 0, 0, GFX_POOL_MANAGED, &buffer);
    window->Device()->SetTexture(0, texture);
  }
  GfxLockedRect locked;
  EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), GFX_OK);
  EXPECT_EQ(texture->UnlockRect(0), GFX_OK);
  delete texture;
  delete buffer;
}
