// A machine's television. It makes its textures before its machine exists, so the log tells the
// television's story first (model, textures), then the machine's (ROMs), then the snapshot's.
#include "presentation/speccy.h"

#include <string>
#include <utility>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "presentation/television_scene.h"

CSpeccy::CSpeccy(CTelevisionList& list) : CTV(list) { RestoreScreenTexture(); }

CSpeccy::~CSpeccy() {
  loader_.reset();
  // No clone may outlive the textures it shows.
  for (bool found = true; found;) {
    found = false;
    for (CTV* tv = List().Head(); tv; tv = tv->Next()) {
      if (tv != this && tv->PictureSourceId() == Id()) {
        delete tv;
        found = true;
        break;
      }
    }
  }
  ReleaseScreenTexture();
}

void CSpeccy::Attach(std::unique_ptr<CMachine> core, const char* snapshot, const SnapshotLookup& lookup) {
  core_ = std::move(core);
  loader_ = std::make_unique<CSnapshotLoader>(*core_);
  if (!snapshot || LoadSnapshot(snapshot, lookup) != 0) core_->RandomizeMemory();
  StartStatic();
}

void CSpeccy::Render() {
  if (!core_) return;
  bool changed = core_->PictureChanged();
  const PictureFrame frame{core_->DisplayLineBuffer(), core_->BorderBuffer(), core_->UniformBorder(),
                           core_->FlashPhase()};
  if (RenderPicture(picture_, List().device, stagingTexture_, screenTexture_, frame, changed)) {
    if (!changed) core_->ClearPictureChanged();
    CTV::Render();
  }
}

void CSpeccy::RestoreScreenTexture() {
  const CTelevisionScene* scene = List().scene;
  RestorePictureTextures(picture_, List().device, scene ? scene->ScreenImagePath() : std::string(),
                         stagingTexture_, screenTexture_);
}

void CSpeccy::ReleaseScreenTexture() { ReleasePictureTextures(stagingTexture_, screenTexture_); }

bool CSpeccy::UpdateFrame(float time) { return core_ && core_->UpdateFrame(time); }

CTV* CSpeccy::Clone(float x, float y, float z) { return new CTV(*this, x, y, z); }

int32_t CSpeccy::LoadSnapshot(const char* name, const SnapshotLookup& lookup) {
  const int32_t result = loader_->LoadFile(name, lookup);
  if (result == 0) StartStatic();
  return result;
}

void CSpeccy::Reset() {
  core_->Reset();
  StartStatic();
}

CSpeccy48::CSpeccy48(CTelevisionList& list, const char* snapshot, const SnapshotLookup& lookup)
    : CSpeccy(list) {
  Attach(std::make_unique<CMachine48>(list.machines.MakeSetup()), snapshot, lookup);
}

CSpeccy128::CSpeccy128(CTelevisionList& list, const char* snapshot, const SnapshotLookup& lookup)
    : CSpeccy(list) {
  Attach(std::make_unique<CMachine128>(list.machines.MakeSetup()), snapshot, lookup);
}
