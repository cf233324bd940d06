// A television of the 3D scene: every machine is one, and a clone is a plain television that
// shows a machine's picture elsewhere. The televisions of a run stand in one list, in
// construction order; the application runs, restores, invalidates and draws them from it.
//
//   CTelevisionList televisions;            // the scene, the device and the machines' services
//   televisions.scene = &scene;             //   are set by the owner as they become known
//   auto* tv = new CTV(televisions);        // joins the list (loading the model if needed)
//   for (CTV* t = televisions.Head(); t; t = t->Next()) t->Render();
//   delete tv;                              // leaves it; ~CTelevisionList deletes the rest
#pragma once

#include <cstdint>
#include <random>

#include "emulation/machine_setup.h"

class CSoundOutput;
class CTelevisionScene;
class CTV;
class GfxDevice;
class GfxTexture;

// View modes: the scene of televisions, or one machine's picture filling the display.
enum { VIEW_NONE = 0, VIEW_EXCLUSIVE = 2, VIEW_SCENE = 3 };

// What the program gives every machine a television makes (see machine_setup.h).
struct MachineServices {
  CRomSource* roms = nullptr;
  const uint8_t* keyMatrix = nullptr;
  const bool* handsOn = nullptr;  // while true the user has the keyboard; null: never
  CSoundOutput* sound = nullptr;  // a stream of its own for each machine; null: silent
  bool beeper = false;
  bool ay = false;
  std::mt19937* random = nullptr;
  LogSink log;

  MachineSetup MakeSetup() const;
};

class CTelevisionList {
 public:
  CTelevisionList() = default;
  // Deletes the televisions left, so no machine outlives what its services point to.
  ~CTelevisionList();
  CTelevisionList(const CTelevisionList&) = delete;
  CTelevisionList& operator=(const CTelevisionList&) = delete;

  CTV* Head() const { return head_; }
  int32_t Count() const { return count_; }
  CTV* Find(int32_t id) const;
  void DeleteAll();

  // The television whose picture fills the display, null in the scene view; and the view the
  // next frame is to show (VIEW_NONE once it shows it).
  CTV* Exclusive() const { return exclusive_; }
  int32_t RequestedViewMode() const { return requestedViewMode_; }
  void SetRequestedViewMode(int32_t mode) { requestedViewMode_ = mode; }

  CTelevisionScene* scene = nullptr;  // the shared model; null without one
  bool tubeEffect = true;             // whether new televisions get the tube look
  float clock = 0;                    // the machines' clock (seconds) of the frame being made
  GfxDevice* device = nullptr;        // where machines make their textures; null without one
  MachineServices machines;

 private:
  friend class CTV;

  CTV* head_ = nullptr;
  int32_t count_ = 0;
  int32_t nextId_ = 1;
  CTV* exclusive_ = nullptr;
  int32_t requestedViewMode_ = VIEW_SCENE;
};

class CTV {
 public:
  explicit CTV(CTelevisionList& list);
  // A clone at (x, y, z) showing `source`'s picture; it shares, never owns, the textures.
  CTV(CTV& source, float x, float y, float z);
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
  bool IsExclusive() const { return list_.exclusive_ == this; }
  // The tube look on this television's screen (presentation/tube.h); a new one takes the list's.
  void SetTubeEffect(bool on) { tubeEffect_ = on; }
  bool TubeEffect() const { return tubeEffect_; }
  // A channel change: static from the list's clock now, for STATIC_SECONDS.
  void StartStatic() { staticStart_ = list_.clock; }
  // The static's strength now, 1 falling to 0; a clone shows its machine's.
  float StaticNoise() const;

  CTelevisionList& List() const { return list_; }
  bool IsVisible() const { return visible_ != 0; }
  int32_t Id() const { return id_; }
  int32_t PictureSourceId() const { return pictureSourceId_; }
  CTV* Next() const { return next_; }
  GfxTexture* ScreenTexture() const { return screenTexture_; }

  // The world transform (row vectors, as the scene's device expects), rebuilt by the scene
  // from position and rotation when they changed.
  float world[4][4] = {};
  float position[3] = {};
  float rotation[3] = {};
  bool transformChanged = true;

 protected:
  GfxTexture* stagingTexture_ = nullptr;
  GfxTexture* screenTexture_ = nullptr;

 private:
  void Link();

  CTelevisionList& list_;
  CTV* next_ = nullptr;
  uint8_t visible_ = 1;
  int32_t id_ = 0;
  int32_t pictureSourceId_ = 0;
  bool tubeEffect_ = true;
  float staticStart_ = -1;  // no static yet
};
