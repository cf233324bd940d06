// libFuzzer target for one snapshot reader (FUZZ_TYPE: its extension). Every input goes through
// the snapshot loader with the type forced, into a 48K and a 128K machine (with its AY chip); a
// recording that starts is played for a few frames so its frame reader sees the data too, and a
// tape that loads is played through (up to a minute of tape) and for a few machine frames.
#include <cstdint>
#include <cstring>
#include <memory>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "formats/snapshot.h"
#include "formats/tape.h"

namespace {

struct Loadable {
  std::unique_ptr<CMachine> machine;
  std::unique_ptr<CSnapshotLoader> loader;
};

Loadable Make(std::unique_ptr<CMachine> machine) {
  Loadable loadable{std::move(machine), nullptr};
  loadable.machine->RandomizeMemory();
  loadable.loader = std::make_unique<CSnapshotLoader>(*loadable.machine);
  return loadable;
}

MachineSetup WithAY() {
  MachineSetup setup;
  setup.ay = true;
  return setup;
}

void LoadInto(Loadable& target, const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  uint8_t* buffer = new uint8_t[size];
  if (size) std::memcpy(buffer, data, size);
  bool ownership = true;
  target.loader->LoadData(buffer, static_cast<uint32_t>(size), FUZZ_TYPE, true, ownership);
  if (ownership) delete[] buffer;
  target.machine->Throttle(false);
  for (int frame = 0; frame < 4 && target.loader->IsPlayingRZX(); ++frame)
    target.machine->UpdateFrame(0.02f * (frame + 1));
  if (target.loader->IsLoadingTape()) {
    for (int frame = 0; frame < 2; ++frame) target.machine->UpdateFrame(0.02f * (frame + 1));
    CTapeDeck& deck = *target.loader->TapeDeck();
    deck.SetTimeLimit(60ull * 3500000);
    for (int step = 0; step < 100 && deck.Loading(); ++step) deck.PlayFor(3500000);
    target.machine->Reset();  // the tape out of the deck
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Loadable* machines = new Loadable[2]{Make(std::make_unique<CMachine48>(WithAY())),
                                              Make(std::make_unique<CMachine128>(WithAY()))};
  if (size > 1 << 20) return 0;
  for (int i = 0; i < 2; ++i) LoadInto(machines[i], data, size);
  return 0;
}
