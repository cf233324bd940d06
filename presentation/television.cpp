// The television list and the behaviour every television shares.
#include "presentation/television.h"

#include "presentation/sound_output.h"
#include "presentation/tube.h"
#include "presentation/television_scene.h"

MachineSetup MachineServices::MakeSetup() const {
  MachineSetup setup;
  setup.roms = roms;
  setup.keyMatrix = keyMatrix;
  if (sound) setup.sound.reset(sound->CreateStream());
  setup.beeper = beeper;
  setup.ay = ay;
  setup.random = random;
  setup.log = log;
  return setup;
}

CTelevisionList::~CTelevisionList() { DeleteAll(); }

CTV* CTelevisionList::Find(int32_t id) const {
  for (CTV* tv = head_; tv; tv = tv->Next())
    if (tv->Id() == id) return tv;
  return nullptr;
}

void CTelevisionList::DeleteAll() {
  while (head_) delete head_;
}

CTV::CTV(CTelevisionList& list) : list_(list) { Link(); }

CTV::CTV(CTV& source, float x, float y, float z) : list_(source.list_) {
  Link();
  SetWorldPos(x, y, z);
  stagingTexture_ = source.stagingTexture_;
  screenTexture_ = source.screenTexture_;
  pictureSourceId_ = source.id_;
}

void CTV::Link() {
  CTV** tail = &list_.head_;
  while (*tail) tail = &(*tail)->next_;
  *tail = this;
  // A failed load does not stop the television; the next construction tries again.
  if (list_.scene && !list_.scene->IsModelLoaded()) list_.scene->LoadModel();
  id_ = list_.nextId_++;
  ++list_.count_;
  tubeEffect_ = list_.tubeEffect;
}

float CTV::StaticNoise() const {
  const CTV* source = pictureSourceId_ ? list_.Find(pictureSourceId_) : this;
  if (!source || source->staticStart_ < 0) return 0;
  const float age = (list_.clock - source->staticStart_) / STATIC_SECONDS;
  return age >= 0 && age < 1 ? 1 - age : 0;
}

CTV::~CTV() {
  if (list_.exclusive_ == this) {
    list_.exclusive_ = nullptr;
    list_.requestedViewMode_ = VIEW_SCENE;
  }
  for (CTV** link = &list_.head_; *link; link = &(*link)->next_) {
    if (*link == this) {
      *link = next_;
      --list_.count_;
      break;
    }
  }
}

void CTV::Render() {
  if (CTelevisionScene* scene = list_.scene) scene->DrawTelevision(*this);
}

void CTV::RestoreScreenTexture() {
  if (pictureSourceId_ == 0) return;
  if (CTV* source = list_.Find(pictureSourceId_)) {
    stagingTexture_ = source->stagingTexture_;
    screenTexture_ = source->screenTexture_;
  }
}

bool CTV::UpdateFrame(float) { return false; }

void CTV::ReleaseScreenTexture() {
  stagingTexture_ = nullptr;
  screenTexture_ = nullptr;
}

void CTV::SetWorldPos(float x, float y, float z) {
  position[0] = x;
  position[1] = y;
  position[2] = z;
  transformChanged = true;
}

void CTV::SetWorldRot(float x, float y, float z) {
  rotation[0] = x;
  rotation[1] = y;
  rotation[2] = z;
  transformChanged = true;
}

void CTV::SetExclusive(bool on) {
  list_.exclusive_ = on ? this : nullptr;
  list_.requestedViewMode_ = on ? VIEW_EXCLUSIVE : VIEW_SCENE;
}
