// The machines as televisions: what scripts create as CSpeccy48 and CSpeccy128. Each holds its
// machine core (emulation/), the snapshot loader that fills it and plays its recordings
// (formats/), and its picture: the core's display line buffer made into the screen texture.
//
//   auto* machine = new CSpeccy48(televisions, "game.z80", lookup);   // or nullptr: random RAM
//   machine->Core().Peek(0x5C00);  machine->Loader().IsPlayingRZX();
//   auto* clone = machine->Clone(100, 0, 0);                           // a plain CTV
#pragma once

#include <cstdint>
#include <memory>

#include "emulation/machine.h"
#include "formats/snapshot.h"
#include "presentation/picture.h"
#include "presentation/television.h"

class CMachine48;
class CMachine128;

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

 protected:
  explicit CSpeccy(CTelevisionList& list);
  // Takes the core, then loads `snapshot` or, without one that loads, fills RAM at random.
  void Attach(std::unique_ptr<CMachine> core, const char* snapshot, const SnapshotLookup& lookup);

 private:
  std::unique_ptr<CMachine> core_;
  std::unique_ptr<CSnapshotLoader> loader_;
  PictureState picture_;
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
