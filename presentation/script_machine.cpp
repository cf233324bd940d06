// A machine's television. It makes its textures before its machine exists, so the log tells the
// television's story first (model, textures), then the machine's (ROMs), then the snapshot's.
#include "presentation/script_machine.h"

#include <cctype>
#include <string>
#include <utility>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "presentation/television_scene.h"

namespace {

// The keyboard's half-rows, bit 0 first, as the ULA reads them.
constexpr std::string_view kHalfRows[8][5] = {
    {"CAPS SHIFT", "Z", "X", "C", "V"}, {"A", "S", "D", "F", "G"}, {"Q", "W", "E", "R", "T"},
    {"1", "2", "3", "4", "5"},          {"0", "9", "8", "7", "6"}, {"P", "O", "I", "U", "Y"},
    {"ENTER", "L", "K", "J", "H"},      {"SPACE", "SYMBOL SHIFT", "M", "N", "B"},
};

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(b[i])) return false;
  return true;
}

}  // namespace

std::optional<SpectrumKey> SpectrumKeyNamed(std::string_view name) {
  if (SameNoCase(name, "CAPS")) name = "CAPS SHIFT";
  if (SameNoCase(name, "SYMBOL")) name = "SYMBOL SHIFT";
  for (uint8_t row = 0; row < 8; ++row)
    for (uint8_t bit = 0; bit < 5; ++bit)
      if (SameNoCase(name, kHalfRows[row][bit])) return SpectrumKey{row, static_cast<uint8_t>(1u << bit)};
  return std::nullopt;
}

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

bool CSpeccy::UpdateFrame(float time) {
  if (!core_) return false;
  const MachineServices& services = List().machines;
  // Keys a script holds are not seen while the user plays, and come back when play ends.
  const bool userHasKeyboard = services.handsOn && *services.handsOn;
  for (int row = 0; row < 8; ++row) {
    const uint8_t host = services.keyMatrix ? services.keyMatrix[row] : 0;
    keyMatrix_[row] = static_cast<uint8_t>(host | (userHasKeyboard ? 0 : heldKeys_[row]));
  }
  return core_->UpdateFrame(time);
}

MachineSetup CSpeccy::Setup() const {
  MachineSetup setup = List().machines.MakeSetup();
  setup.keyMatrix = keyMatrix_;
  return setup;
}

void CSpeccy::PressKey(SpectrumKey key, bool down) {
  if (key.row >= 8) return;
  if (down)
    heldKeys_[key.row] |= key.mask;
  else
    heldKeys_[key.row] &= static_cast<uint8_t>(~key.mask);
}

void CSpeccy::ReleaseKeys() {
  for (uint8_t& row : heldKeys_) row = 0;
}

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
  Attach(std::make_unique<CMachine48>(Setup()), snapshot, lookup);
}

CSpeccy128::CSpeccy128(CTelevisionList& list, const char* snapshot, const SnapshotLookup& lookup)
    : CSpeccy(list) {
  Attach(std::make_unique<CMachine128>(Setup()), snapshot, lookup);
}
