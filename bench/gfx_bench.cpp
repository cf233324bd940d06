// Headless rendering figures: frames per second drawing the television scene with a picture
// update per frame (a 256 x 192 staging upload, as each machine does), and the cost of a
// back-buffer read for screenshots. Run: bench/gfx_bench [frames] [televisions]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "platform/gfx_format.h"
#include "platform/window.h"
#include "presentation/camera.h"
#include "presentation/scene.h"
#include "presentation/television.h"

namespace {

class PictureTV : public CTV {
 public:
  PictureTV(CTelevisionList& list, GfxDevice* device, float x) : CTV(list) {
    SetWorldPos(x, 0, 0);
    device->CreateTexture(256, 256, 1, 0, GFX_FMT_R3G3B2, GFX_POOL_SYSTEMMEM, &stagingTexture_);
    device->CreateTextureFromFile(list.scene->ScreenImagePath(), GFX_DEFAULT, GFX_DEFAULT, 1, 0,
                                  GFX_FMT_R3G3B2, GFX_POOL_DEFAULT, &screenTexture_);
  }
  ~PictureTV() override {
    delete stagingTexture_;
    delete screenTexture_;
  }
  void NewPicture(GfxDevice* device, uint32_t frame) {
    GfxSurfaceDesc desc;
    stagingTexture_->GetLevelDesc(0, &desc);
    const GfxFormatInfo& info = *GfxFindFormat(desc.format);
    const GfxRect rows{0, 32, 256, 224};
    GfxLockedRect locked;
    if (stagingTexture_->LockRect(0, &locked, &rows, GFX_LOCK_NOSYSLOCK | GFX_LOCK_NO_DIRTY_UPDATE) < 0) return;
    for (int y = 0; y < 192; ++y)
      for (int x = 0; x < 256; ++x)
        GfxWriteTexel(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * info.bytesPerTexel,
                      info.bytesPerTexel, GfxPackArgb(info, ((x ^ y ^ frame) & 8) ? 0xFFBFBFBF : 0xFF0000BF));
    stagingTexture_->UnlockRect(0);
    stagingTexture_->AddDirtyRect(&rows);
    device->UpdateTexture(stagingTexture_, screenTexture_);
  }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  const int count = argc > 2 ? std::atoi(argv[2]) : 4;
  std::string error;
  GfxWindowOptions options;
  options.mode = GfxWindowMode::Headless;
  options.width = 1024;
  options.height = 683;
  auto window = GfxWindow::Create(options, &error);
  if (!window) {
    std::fprintf(stderr, "gfx_bench: %s\n", error.c_str());
    return 1;
  }
  GfxDevice* device = window->Device();
  CScene scene;
  scene.UseDevice(device);
  scene.SetModelsFolder(GLIMMERBOX_SOURCE_DATA "/Models");
  CTelevisionList list;
  list.scene = &scene;
  list.device = device;
  CCamera camera;
  {
    std::vector<std::unique_ptr<PictureTV>> tvs;
    for (int i = 0; i < count; ++i)
      tvs.push_back(std::make_unique<PictureTV>(list, device, (i - (count - 1) / 2.0f) * 130));
    CScene::ApplySceneViewSettings(device);
    camera.SetPosition({0, 0, -150.0f * count});
    CScene::SetViewTransform(device, camera.Eye(), camera.LookAt());
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
      device->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1, 0);
      device->BeginScene();
      for (auto& tv : tvs) {
        tv->NewPicture(device, f);
        tv->Render();
      }
      device->EndScene();
      device->Present();
    }
    std::vector<uint32_t> pixels;
    uint32_t w, h;
    device->ReadBackBuffer(&pixels, &w, &h);  // waits for the last frame
    const double drawn = Seconds(start);
    const auto readStart = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) device->ReadBackBuffer(&pixels, &w, &h);
    std::printf("gfx_bench: %d frames of %d televisions at %ux%u: %.2f ms per frame (%.0f fps)\n",
                frames, count, w, h, drawn * 1000 / frames, frames / drawn);
    std::printf("gfx_bench: back-buffer read %.2f ms\n", Seconds(readStart) * 100);
  }
  scene.ReleaseModel();
  return 0;
}
