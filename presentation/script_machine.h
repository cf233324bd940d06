// The machines as televisions: what scripts create as CSpeccy48 and CSpeccy128. Each holds its
// machine core (emulation/), the snapshot loader that fills it and plays its recordings
// (formats/), and its picture: the core's display line buffer made into the screen texture.
//
//   auto* machine = new CSpeccy48(televisions, "game.z80", lookup);   // or nullptr: random RAM
//   machine->Core().Peek(0x5C00);  machine->Loader().IsPlayingRZX();
//   auto* clone = machine->Clone(100, 0, 0);                           // a plain CTV
//   machine->PressKey(*SpectrumKeyNamed("enter"), true);             // this machine alone
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "emulation/machine.h"
#include "formats/snapshot.h"
#include "presentation/picture.h"
#include "presentation/television.h"

class CMachine48;
class CMachine128;

// A key of the Spectrum keyboard: its half-row of the key matrix and its bit there.
struct SpectrumKey {
  uint8_t row = 0;
  uint8_t mask = 0;
};

// The key called `name`, in any letter case: "A" to "Z", "0" to "9", "ENTER", "SPACE",
// "CAPS SHIFT" (or "CAPS") or "SYMBOL SHIFT" (or "SYMBOL"); nothing for any other name.
std::optional<SpectrumKey> SpectrumKeyNamed(std::string_view name);

class CSpeccy : public CTV {
 public:
  // Stops the recording, deletes the clones and releases the textures; then the machine goes,
  // silencing its stream.
  ~CSpeccy() override;

  void Render() override;
  void RestoreScreenTexture() override;
  bool UpdateFrame(float time) override;
  void ReleaseScreenTexture() override;

  // A plain television at (x, y, z) showing this machine's picture.
  CTV* Clone(float x, float y, float z);
  // A load that takes, a reset and the making of the machine show a channel change's static.
  int32_t LoadSnapshot(const char* name, const SnapshotLookup& lookup = {});
  void Reset();

  CMachine& Core() const { return *core_; }
  CSnapshotLoader& Loader() const { return *loader_; }

  // Keys held on this machine alone (a script typing on it). The machine reads them together
  // with the host keyboard's, which every machine shares, except while the user plays hands-on;
  // they stay down until released.
  void PressKey(SpectrumKey key, bool down);
  void ReleaseKeys();
  const uint8_t* HeldKeys() const { return heldKeys_; }

 protected:
  explicit CSpeccy(CTelevisionList& list);
  // The program's services for a new core, its keyboard being this machine's own matrix.
  MachineSetup Setup() const;
  // Takes the core, then loads `snapshot` or, without one that loads, fills RAM at random.
  void Attach(std::unique_ptr<CMachine> core, const char* snapshot, const SnapshotLookup& lookup);

 private:
  std::unique_ptr<CMachine> core_;
  std::unique_ptr<CSnapshotLoader> loader_;
  PictureState picture_;
  uint8_t heldKeys_[8] = {};
  // What the core reads: the host keyboard's matrix with the held keys added, made afresh
  // before every frame.
  uint8_t keyMatrix_[8] = {};
};

class CSpeccy48 : public CSpeccy {
 public:
  explicit CSpeccy48(CTelevisionList& list, const char* snapshot = nullptr,
                     const SnapshotLookup& lookup = {});
};

class CSpeccy128 : public CSpeccy {
 public:
  explicit CSpeccy128(CTelevisionList& list, const char* snapshot = nullptr,
                      const SnapshotLookup& lookup = {});
};
