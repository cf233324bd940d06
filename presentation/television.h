// A television of the 3D scene: every machine is one, and a clone is a plain television that
// shows a machine's picture elsewhere. All televisions stand in one program-wide list in
// construction order; the application runs, restores, invalidates and draws them from it.
#pragma once

#include <cstdint>

class GfxTexture;

class CTV {
 public:
  CTV();
  // A clone at (x, y, z) showing `source`'s picture; it shares, never owns, the textures.
  CTV(CTV* source, float x, float y, float z);
  virtual ~CTV();
  CTV(const CTV&) = delete;
  CTV& operator=(const CTV&) = delete;

  // Draws the television on the shared model.
  virtual void Render();
  // Device objects are back: a clone copies its machine's texture pointers again.
  virtual void RestoreScreenTexture();
  // Runs one displayed frame at the given clock (seconds); true when the picture changed.
  virtual bool UpdateFrame(float time);
  // Device objects are going: forget the textures (a clone never releases them).
  virtual void ReleaseScreenTexture();

  void SetWorldPos(float x, float y, float z);
  void SetWorldRot(float x, float y, float z);
  void Show(bool visible) { visible_ = visible ? 1 : 0; }
  void SetExclusive(bool on);
  bool IsExclusive() const;

  bool IsVisible() const { return visible_ != 0; }
  int32_t Id() const { return id_; }
  int32_t PictureSourceId() const { return pictureSourceId_; }
  CTV* Next() const { return next_; }
  GfxTexture* StagingTexture() const { return stagingTexture_; }
  GfxTexture* ScreenTexture() const { return screenTexture_; }

  // The world transform (row vectors, as the scene's device expects), rebuilt by the scene
  // from position and rotation when they changed.
  float world[4][4] = {};
  float position[3] = {};
  float rotation[3] = {};
  bool transformChanged = true;

  static CTV* Head();
  static int32_t Count();
  static CTV* Find(int32_t id);

 protected:
  GfxTexture* stagingTexture_ = nullptr;
  GfxTexture* screenTexture_ = nullptr;

 private:
  void Link();

  CTV* next_ = nullptr;
  uint8_t visible_ = 1;
  int32_t id_ = 0;
  int32_t pictureSourceId_ = 0;
};
