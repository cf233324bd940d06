// libFuzzer target for one snapshot reader (FUZZ_TYPE: its extension). Every input goes through
// LoadSnapshotData with the type forced, into a 48K and a 128K machine; a recording that starts
// is played for a few frames so its frame reader sees the data too.
#include <cstdint>
#include <cstring>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "shell/app_state.h"

namespace {

void LoadInto(CSpeccy& machine, const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  uint8_t* buffer = new uint8_t[size];
  if (size) std::memcpy(buffer, data, size);
  bool ownership = true;
  machine.LoadSnapshotData(buffer, static_cast<uint32_t>(size), FUZZ_TYPE, true, ownership);
  if (ownership) delete[] buffer;
  machine.Throttle(false);
  for (int frame = 0; frame < 4 && machine.IsPlayingRZX(); ++frame) machine.UpdateFrame(0.02f * (frame + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static AppState* state = [] {
    auto* s = new AppState;
    s->settings.emulateAY = 1;
    s->saverMode = SM_TEST;
    SetApp(s);
    return s;
  }();
  static CSpeccy* machines[2] = {new CSpeccy48, new CSpeccy128};
  (void)state;
  if (size > 1 << 20) return 0;
  for (CSpeccy* machine : machines) LoadInto(*machine, data, size);
  return 0;
}
