// The television scene: the one television model shared by every television (loaded from
// "tv.x" in the Models folder by the first television constructed), drawing a television on it,
// and the scene view's projection, render states and camera transform.
//
//   CScene scene;  scene.SetModelsFolder(folders.models);  scene.UseDevice(device);
//   televisions.scene = &scene;          // the first television loads the model
//   at device deletion: scene.ReleaseModel();
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx.h"
#include "presentation/television_scene.h"
#include "presentation/tube.h"

struct Vec3;

class CScene : public CTelevisionScene {
 public:
  CScene() = default;
  ~CScene() override;
  CScene(const CScene&) = delete;
  CScene& operator=(const CScene&) = delete;

  // Where "tv.x" and its textures are, and the device the next load uses.
  void SetModelsFolder(std::string folder) { modelsFolder_ = std::move(folder); }
  void UseDevice(GfxDevice* device) { target_ = device; }

  bool IsModelLoaded() const override { return loaded_; }
  // Loads the model on the device in use; on failure shows an error box.
  bool LoadModel() override;
  void DrawTelevision(CTV& tv) override;
  const std::string& ScreenImagePath() const override { return screenImagePath_; }
  // Releases the mesh, materials, model textures and the tube shader (the device is going away).
  void ReleaseModel();
  // The tube look's shader on the scene's device, for the exclusive view too.
  CTube& Tube() { return tube_; }

  // Projection, depth, lighting and ambient light of the scene view.
  static void ApplySceneViewSettings(GfxDevice* device);
  // The camera: looking from `eye` at `lookAt`, y up.
  static void SetViewTransform(GfxDevice* device, const Vec3& eye, const Vec3& lookAt);
  // The world transform of a television: rotated about X, then Y, then Z, then moved.
  static GfxMatrix WorldTransform(const float position[3], const float rotation[3]);

  int32_t ScreenSubset() const { return screenSubset_; }
  uint32_t SubsetCount() const { return static_cast<uint32_t>(materials_.size()); }
  const GfxMaterial& Material(uint32_t subset) const { return materials_[subset]; }
  GfxTexture* Texture(uint32_t subset) const { return textures_[subset]; }

 private:
  bool loaded_ = false;
  std::string modelsFolder_;
  GfxDevice* target_ = nullptr;
  GfxDevice* device_ = nullptr;  // the device the model was loaded on
  GfxMesh* mesh_ = nullptr;
  std::vector<GfxMaterial> materials_;
  std::vector<GfxTexture*> textures_;
  int32_t screenSubset_ = -1;
  std::string screenImagePath_;
  CTube tube_;
};
