// The television list and the behaviour every television shares.
#include "presentation/television.h"

#include "presentation/television_scene.h"
#include "shell/app_state.h"

CTV::CTV() { Link(); }

CTV::CTV(CTV* source, float x, float y, float z) {
  Link();
  SetWorldPos(x, y, z);
  if (source) {
    stagingTexture_ = source->stagingTexture_;
    screenTexture_ = source->screenTexture_;
    pictureSourceId_ = source->id_;
  }
}

void CTV::Link() {
  AppState& app = App();
  CTV** tail = &app.tvHead;
  while (*tail) tail = &(*tail)->next_;
  *tail = this;
  // A failed load does not stop the television; the next construction tries again.
  if (app.scene && !app.scene->IsModelLoaded()) app.scene->LoadModel();
  id_ = app.nextTvId++;
  ++app.tvCount;
}

CTV::~CTV() {
  AppState& app = App();
  if (app.exclusive == this) {
    app.exclusive = nullptr;
    app.requestedViewMode = VIEW_SCENE;
  }
  for (CTV** link = &app.tvHead; *link; link = &(*link)->next_) {
    if (*link == this) {
      *link = next_;
      --app.tvCount;
      break;
    }
  }
}

void CTV::Render() {
  if (CTelevisionScene* scene = App().scene) scene->DrawTelevision(*this);
}

void CTV::RestoreScreenTexture() {
  if (pictureSourceId_ == 0) return;
  if (CTV* source = Find(pictureSourceId_)) {
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
  AppState& app = App();
  if (on) {
    app.exclusive = this;
    app.requestedViewMode = VIEW_EXCLUSIVE;
  } else {
    app.exclusive = nullptr;
    app.requestedViewMode = VIEW_SCENE;
  }
}

bool CTV::IsExclusive() const { return App().exclusive == this; }

CTV* CTV::Head() { return App().tvHead; }

int32_t CTV::Count() { return App().tvCount; }

CTV* CTV::Find(int32_t id) {
  for (CTV* tv = App().tvHead; tv; tv = tv->next_)
    if (tv->id_ == id) return tv;
  return nullptr;
}
