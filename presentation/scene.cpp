// The television scene. Every surface is lit by white ambient light alone, so it shows its
// material's ambient colour (made equal to its diffuse colour; white for the screen) times its
// texture, with no shading.
#include "presentation/scene.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <numbers>

#include "base/error_box.h"
#include "platform/gfx_math.h"
#include "platform/xmesh.h"
#include "presentation/camera.h"
#include "presentation/television.h"

namespace {

constexpr const char* kScreenTexture = "TV_Scree.tga";

bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

CScene::~CScene() { ReleaseModel(); }

bool CScene::LoadModel() {
  ReleaseModel();
  screenSubset_ = -1;
  device_ = target_;
  const std::string& models = modelsFolder_;
  const std::string path = models + "/" + "tv.x";
  std::vector<XMaterial> fileMaterials;
  const GfxResult loaded =
      device_ ? LoadMeshFromX(device_, path, &mesh_, &fileMaterials) : GFX_E_INVALIDCALL;
  if (loaded < 0) {
    ErrorBox("Couldn't load the telly model", loaded);
    device_ = nullptr;
    return false;
  }
  bool reported = false;
  for (size_t i = 0; i < fileMaterials.size(); ++i) {
    GfxMaterial material = fileMaterials[i].material;
    textures_.push_back(nullptr);
    const std::string& file = fileMaterials[i].textureFilename;
    const std::string texturePath = models + "/" + file;
    if (SameNoCase(file, kScreenTexture)) {
      screenSubset_ = static_cast<int32_t>(i);
      material.ambient = {1, 1, 1, 1};
      screenImagePath_ = texturePath;
    } else {
      material.ambient = material.diffuse;
    }
    materials_.push_back(material);
    // A material without a texture file is drawn untextured.
    if (file.empty()) continue;
    const GfxResult made = device_->CreateTextureFromFile(
        texturePath, GFX_DEFAULT, GFX_DEFAULT, GFX_DEFAULT, 0, GFX_FMT_R3G3B2, GFX_POOL_MANAGED,
        &textures_.back());
    if (made < 0) {
      textures_.back() = nullptr;
      if (!reported) ErrorBox("Couldn't create texture from file: " + texturePath, made);
      reported = true;
    }
  }
  loaded_ = true;
  return true;
}

void CScene::ReleaseModel() {
  for (GfxTexture* texture : textures_) delete texture;
  textures_.clear();
  materials_.clear();
  delete mesh_;
  mesh_ = nullptr;
  device_ = nullptr;
  loaded_ = false;
  screenImagePath_.clear();
  tube_.Release();
}

GfxMatrix CScene::WorldTransform(const float position[3], const float rotation[3]) {
  const GfxMatrix translation = GfxMatrixTranslation(position[0], position[1], position[2]);
  GfxMatrix r = GfxMatrixIdentity();
  r = GfxMatrixMultiply(r, GfxMatrixRotationX(rotation[0]));
  r = GfxMatrixMultiply(r, GfxMatrixRotationY(rotation[1]));
  r = GfxMatrixMultiply(r, GfxMatrixRotationZ(rotation[2]));
  return GfxMatrixMultiply(r, translation);
}

void CScene::DrawTelevision(CTV& tv) {
  if (!loaded_ || !tv.IsVisible() || tv.IsExclusive()) return;
  if (tv.transformChanged) {
    const GfxMatrix world = WorldTransform(tv.position, tv.rotation);
    std::memcpy(tv.world, world.m, sizeof tv.world);
    tv.transformChanged = false;
  }
  GfxMatrix world;
  std::memcpy(world.m, tv.world, sizeof world.m);
  device_->SetTransform(GFX_TS_WORLD, world);
  for (uint32_t i = 0; i < materials_.size(); ++i) {
    if (i == 1) continue;  // never drawn
    GfxTexture* texture = textures_[i];
    if (static_cast<int32_t>(i) == screenSubset_ && tv.ScreenTexture()) texture = tv.ScreenTexture();
    if (device_->SetMaterial(materials_[i]) < 0) continue;
    if (device_->SetTexture(0, texture) < 0) continue;
    // The tube look is for a machine's picture, not the switched-off screen.
    const bool tube = texture == tv.ScreenTexture() && texture && tv.TubeEffect() &&
                      tube_.Begin(device_, tv.StaticNoise(), tv.List().clock);
    mesh_->DrawSubset(i);
    if (tube) tube_.End(device_);
  }
}

void CScene::ApplySceneViewSettings(GfxDevice* device) {
  if (!device) return;
  // The picture's shape follows the window's, so that televisions keep theirs on any screen.
  uint32_t width = 0, height = 0;
  device->GetBackBufferSize(&width, &height);
  const float aspect = width && height ? static_cast<float>(width) / static_cast<float>(height) : 1.5f;
  device->SetTransform(GFX_TS_PROJECTION,
                       GfxMatrixPerspectiveFovLH(std::numbers::pi_v<float> / 4, aspect, 1.0f, 8000.0f));
  device->SetRenderState(GFX_RS_ZENABLE, 1);
  device->SetRenderState(GFX_RS_LIGHTING, 1);
  device->SetRenderState(GFX_RS_AMBIENT, 0xFFFFFFFF);
}

void CScene::SetViewTransform(GfxDevice* device, const Vec3& eye, const Vec3& lookAt) {
  if (!device) return;
  const float from[3] = {eye.x, eye.y, eye.z};
  const float at[3] = {lookAt.x, lookAt.y, lookAt.z};
  const float up[3] = {0, 1, 0};
  device->SetTransform(GFX_TS_VIEW, GfxMatrixLookAtLH(from, at, up));
}
