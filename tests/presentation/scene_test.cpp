#include "presentation/scene.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numbers>
#include <vector>

#include "base/error_box.h"
#include "platform/gfx_format.h"
#include "presentation/camera.h"
#include "presentation/picture.h"
#include "presentation/television.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> g_errors;
void CaptureError(const std::string&, const std::string& text) { g_errors.push_back(text); }

// A television whose screen texture the test chooses, as a machine's would be.
class ScreenTV : public CTV {
 public:
  explicit ScreenTV(CTelevisionList& list) : CTV(list) {}
  void SetScreen(GfxTexture* texture) { screenTexture_ = texture; }
};

constexpr uint32_t kBackground = 0xFF102040;
constexpr uint32_t kPicture = 0xFFFF00FF;  // magenta: nothing in the model is that colour

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = OpenHeadless();
    ASSERT_NE(window_, nullptr) << "no headless rendering";
    device_ = window_->GlDeviceOf();
    scene_.UseDevice(device_);
    models_ = std::string(GLIMMERBOX_SOURCE_DATA) + "/Models";
    scene_.SetModelsFolder(models_);
    list_.scene = &scene_;
    list_.tubeEffect = false;  // the flat picture: these tests measure where it lands
    g_errors.clear();
    SetErrorBoxPresenter(CaptureError);
  }
  void TearDown() override {
    SetErrorBoxPresenter(nullptr);
    scene_.ReleaseModel();
  }

  // A screen texture as a machine makes it: from the model's screen image, then the picture and
  // border rows a television shows (8-247) copied in from a system-memory staging texture.
  GfxTexture* MakePictureTexture(uint32_t colour) {
    GfxTexture* screen = nullptr;
    GfxTexture* staging = nullptr;
    EXPECT_EQ(device_->CreateTextureFromFile(scene_.ScreenImagePath(), GFX_DEFAULT, GFX_DEFAULT, 1,
                                             0, GFX_FMT_R3G3B2, GFX_POOL_DEFAULT, &screen),
              GFX_OK);
    EXPECT_EQ(device_->CreateTexture(PICTURE_TEXTURE_WIDTH, PICTURE_TEXTURE_HEIGHT, 1, 0, GFX_FMT_R3G3B2,
                                     GFX_POOL_SYSTEMMEM, &staging),
              GFX_OK);
    GfxSurfaceDesc desc;
    staging->GetLevelDesc(0, &desc);
    const GfxFormatInfo& info = *GfxFindFormat(desc.format);
    const GfxRect rows{0, VISIBLE_TOP, PICTURE_TEXTURE_WIDTH, VISIBLE_TOP + VISIBLE_HEIGHT};
    GfxLockedRect locked;
    EXPECT_EQ(staging->LockRect(0, &locked, &rows, GFX_LOCK_NOSYSLOCK | GFX_LOCK_NO_DIRTY_UPDATE),
              GFX_OK);
    for (int y = 0; y < VISIBLE_HEIGHT; ++y)
      for (int x = 0; x < PICTURE_TEXTURE_WIDTH; ++x)
        GfxWriteTexel(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * info.bytesPerTexel,
                      info.bytesPerTexel, GfxPackArgb(info, colour));
    staging->UnlockRect(0);
    staging->AddDirtyRect(&rows);
    EXPECT_EQ(device_->UpdateTexture(staging, screen), GFX_OK);
    delete staging;
    return screen;
  }

  std::vector<uint32_t> Draw(CTV& tv, const char* png = nullptr) {
    CScene::ApplySceneViewSettings(device_);
    CScene::SetViewTransform(device_, camera_.Eye(), camera_.LookAt());
    device_->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, kBackground, 1.0f, 0);
    EXPECT_EQ(device_->BeginScene(), GFX_OK);
    tv.Render();
    EXPECT_EQ(device_->EndScene(), GFX_OK);
    if (png) window_->SaveScreenshot(png);
    std::vector<uint32_t> pixels;
    uint32_t w, h;
    EXPECT_EQ(device_->ReadBackBuffer(&pixels, &w, &h), GFX_OK);
    return pixels;
  }

  uint32_t At(const std::vector<uint32_t>& pixels, Pixel p) { return pixels[p.y * 600 + p.x]; }

  std::unique_ptr<GfxWindow> window_;
  GlDevice* device_ = nullptr;
  std::string models_;
  CCamera camera_;
  CScene scene_;
  CTelevisionList list_;
};

}  // namespace

TEST_F(Scene, LoadsTheModelWithItsScreenAndMaterialsInFileOrder) {
  ASSERT_TRUE(scene_.LoadModel());
  EXPECT_TRUE(g_errors.empty());
  ASSERT_GE(scene_.SubsetCount(), 3u);
  EXPECT_EQ(scene_.ScreenSubset(), 2);
  EXPECT_EQ(scene_.ScreenImagePath(), models_ + "/TV_Scree.tga");
  for (uint32_t i = 0; i < scene_.SubsetCount(); ++i) {
    const GfxMaterial& m = scene_.Material(i);
    if (static_cast<int32_t>(i) == scene_.ScreenSubset()) {
      EXPECT_FLOAT_EQ(m.ambient.r, 1.0f);
      EXPECT_FLOAT_EQ(m.ambient.a, 1.0f);
    } else {
      EXPECT_FLOAT_EQ(m.ambient.g, m.diffuse.g) << "material " << i;
    }
    EXPECT_NE(scene_.Texture(i), nullptr) << "material " << i;
  }
  GfxSurfaceDesc desc;
  scene_.Texture(0)->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.pool, GFX_POOL_MANAGED);
  EXPECT_EQ(desc.format, GFX_FMT_R5G6B5) << "3-3-2 is not offered; 5-6-5 is the nearest";
}

TEST_F(Scene, DrawsTheMachinePictureOnTheScreenInsideTheCabinet) {
  ScreenTV tv(list_);  // constructing a television loads the model
  ASSERT_TRUE(scene_.IsModelLoaded());
  GfxTexture* picture = MakePictureTexture(kPicture);
  tv.SetScreen(picture);
  const std::vector<uint32_t> pixels =
      Draw(tv, GLIMMERBOX_BUILD_DIR "/television.png");

  // The screen is the 4:3 area left of the control panel; the glass over it (subset 1) would
  // hide the picture if it were drawn.
  for (const auto& [x, y] : {std::pair{-11.0f, 2.0f}, {-40.0f, 22.0f}, {18.0f, -20.0f}}) {
    const uint32_t c = At(pixels, Project(device_, x, y, -39.5f));
    EXPECT_GT(Red(c), 200u) << x << "," << y;
    EXPECT_LT(Green(c), 40u) << x << "," << y;
    EXPECT_GT(Blue(c), 200u) << x << "," << y;
  }
  // Cabinet round it: between the bezel and the panel, and below the bezel.
  for (const auto& [x, y] : {std::pair{31.5f, 0.0f}, {0.0f, -37.0f}, {-55.0f, 0.0f}}) {
    const uint32_t c = At(pixels, Project(device_, x, y, -38.0f));
    EXPECT_GT(Red(c), 120u) << x << "," << y;
    EXPECT_NE(c, kBackground) << x << "," << y;
  }
  // Background everywhere away from the set.
  for (Pixel p : {Pixel{5, 5}, Pixel{594, 394}, Pixel{5, 394}, Pixel{300, 390}})
    EXPECT_EQ(At(pixels, p), kBackground) << p.x << "," << p.y;
  tv.SetScreen(nullptr);
  delete picture;
}

TEST_F(Scene, WithoutAPictureTheScreenShowsTheModelsOwnScreenImage) {
  ScreenTV tv(list_);
  const std::vector<uint32_t> pixels = Draw(tv);
  const uint32_t c = At(pixels, Project(device_, -11.0f, 2.0f, -39.5f));
  EXPECT_LT(Red(c), 90u);
  EXPECT_NE(c, kBackground);
}

TEST_F(Scene, HiddenOrExclusiveTelevisionsAreNotDrawn) {
  ScreenTV tv(list_);
  tv.Show(false);
  std::vector<uint32_t> pixels = Draw(tv);
  EXPECT_EQ(At(pixels, Project(device_, 0, 0, -38)), kBackground);
  tv.Show(true);
  tv.SetExclusive(true);
  pixels = Draw(tv);
  EXPECT_EQ(At(pixels, Project(device_, 0, 0, -38)), kBackground);
}

TEST_F(Scene, ATelevisionTurnsAboutItsOwnCentre) {
  ScreenTV tv(list_);
  GfxTexture* picture = MakePictureTexture(kPicture);
  tv.SetScreen(picture);
  tv.SetWorldPos(-100, 0, 50);
  tv.SetWorldRot(0, std::numbers::pi_v<float>, 0);  // back to the camera
  const std::vector<uint32_t> pixels = Draw(tv, GLIMMERBOX_BUILD_DIR "/television-back.png");
  const Pixel centre = Project(device_, 0, 0, 0);
  const uint32_t c = At(pixels, centre);
  EXPECT_NE(c, kBackground) << "the set stays where it was put";
  EXPECT_FALSE(Red(c) > 200 && Green(c) < 40) << "the screen faces away";
  // Position (-100, 0, 50) with the cabinet's centre on it: left of the middle of the view.
  EXPECT_LT(centre.x, 300);
  EXPECT_FALSE(tv.transformChanged);
  tv.SetScreen(nullptr);
  delete picture;
}

TEST_F(Scene, AMissingModelIsReportedAndTriedAgainByTheNextTelevision) {
  TempDir empty;
  scene_.SetModelsFolder(empty.path().string());
  {
    CTV tv(list_);
    EXPECT_FALSE(scene_.IsModelLoaded());
  }
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_EQ(g_errors[0], "Couldn't load the telly model");
  std::filesystem::copy_file(std::string(GLIMMERBOX_SOURCE_DATA) + "/Models/tv.x",
                             empty.file("tv.x"));
  CTV tv(list_);
  EXPECT_TRUE(scene_.IsModelLoaded());
  // No texture files: one error box, for the first, and those subsets are untextured.
  ASSERT_EQ(g_errors.size(), 2u);
  EXPECT_EQ(g_errors[1], "Couldn't create texture from file: " + empty.file("TV_Shade.tga"));
  EXPECT_EQ(scene_.Texture(0), nullptr);
  EXPECT_EQ(scene_.ScreenImagePath(), empty.file("TV_Scree.tga"));
  std::vector<uint32_t> pixels = Draw(tv);
  EXPECT_NE(At(pixels, Project(device_, 0, -37, -38)), kBackground);
}

TEST_F(Scene, AMaterialWithoutATextureFileIsDrawnUntextured) {
  TempDir models;
  WriteWholeFile(models.file("tv.x"), R"(xof 0303txt 0032
Mesh {
 4; -10;-10;0;, 10;-10;0;, 10;10;0;, -10;10;0;;
 2; 3;0,3,2;, 3;0,2,1;;
 MeshMaterialList { 2; 2; 0, 0;
  Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "tv_scree.TGA"; } }
 }
})");
  scene_.SetModelsFolder(models.path().string());
  ScreenTV tv(list_);
  ASSERT_TRUE(scene_.IsModelLoaded());
  EXPECT_EQ(scene_.ScreenSubset(), 1) << "names compare without letter case";
  EXPECT_EQ(scene_.Texture(0), nullptr);
  ASSERT_EQ(g_errors.size(), 1u) << "only the missing screen image is reported";
  const std::vector<uint32_t> pixels = Draw(tv);
  EXPECT_EQ(At(pixels, Project(device_, 0, 0, 0)), 0xFFFF0000u);
}

TEST_F(Scene, ReleasingTheModelAndResettingTheDeviceLeavesNothingBehind) {
  const uint32_t before = device_->LiveResourceCount();
  ScreenTV tv(list_);
  GfxTexture* picture = MakePictureTexture(kPicture);
  EXPECT_GT(device_->LiveResourceCount(), before);
  EXPECT_EQ(device_->Reset(800, 600), GFX_E_INVALIDCALL) << "a device texture is still alive";
  delete picture;  // invalidate
  EXPECT_EQ(device_->Reset(800, 600), GFX_OK) << "managed textures and meshes survive a reset";
  scene_.ReleaseModel();
  EXPECT_EQ(device_->LiveResourceCount(), before);
  uint32_t w, h;
  device_->GetBackBufferSize(&w, &h);
  EXPECT_EQ(w, 800u);
  EXPECT_EQ(h, 600u);
}

TEST(SceneTransform, ATelevisionIsTurnedAboutXThenYThenZThenMoved) {
  // (0, 1, 0): a quarter turn about x gives (0, 0, 1), then about y (1, 0, 0), then moved.
  const float half = std::numbers::pi_v<float> / 2;
  const float position[3] = {5, 6, 7}, rotation[3] = {half, half, 0};
  const GfxMatrix world = CScene::WorldTransform(position, rotation);
  float out[3];
  for (int c = 0; c < 3; ++c) out[c] = world.m[1][c] + world.m[3][c];
  EXPECT_NEAR(out[0], 6, 1e-5);
  EXPECT_NEAR(out[1], 6, 1e-5);
  EXPECT_NEAR(out[2], 7, 1e-5);
  const GfxMatrix expected = GfxMatrixMultiply(
      GfxMatrixMultiply(GfxMatrixMultiply(GfxMatrixRotationX(half), GfxMatrixRotationY(half)),
                        GfxMatrixRotationZ(0)),
      GfxMatrixTranslation(5, 6, 7));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(world.m[r][c], expected.m[r][c], 1e-6);
}

// The projection takes the back buffer's shape, so a television keeps its own on 5:4 and 16:9
// screens alike (a fixed 1.5 squeezed it by 17% on 5:4).
TEST(SceneView, TheProjectionFollowsTheWindowsShape) {
  for (const auto& [width, height] : {std::pair{600u, 400u}, {500u, 400u}, {1280u, 720u}}) {
    auto window = OpenHeadless(width, height);
    ASSERT_TRUE(window);
    CScene::ApplySceneViewSettings(window->Device());
    GfxMatrix projection;
    window->Device()->GetTransform(GFX_TS_PROJECTION, &projection);
    EXPECT_FLOAT_EQ(projection.m[1][1] / projection.m[0][0],
                    static_cast<float>(width) / static_cast<float>(height))
        << width << "x" << height;
  }
}
