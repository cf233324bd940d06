// Runs the test window with a resize in the middle, for a display server of the test's choosing,
// and prints what happened around the device reset. Exit code 0 when the reset went as it should
// and the window's client area stood at (50, 50).
//   resize_probe BASE_FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "tests/shell/resize_probe.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  bool ok = false;
  {
    ResizeProbe probe;
    const std::vector<std::string> args = {"/t", "--frames", "300", "--unthrottled", "--base",
                                           argv[1]};
    if (probe.StartSaver(args) < 0) return 3;
    probe.RunSaver();
    std::printf("invalidates %d restores %d live %u/%u/%u size %ux%u at (%d, %d) error \"%s\"\n",
                probe.invalidates, probe.restores, probe.liveBeforeResize,
                probe.liveAfterInvalidate, probe.liveAfterRestore, probe.lastWidth,
                probe.lastHeight, probe.windowX, probe.windowY, probe.ErrorText().c_str());
    ok = probe.restores == 2 && probe.liveAfterInvalidate == 0 && probe.liveBeforeResize > 0 &&
         probe.liveAfterRestore == probe.liveBeforeResize && probe.lastWidth == probe.newWidth &&
         probe.lastHeight == probe.newHeight && !probe.InErrorMode() && probe.windowX == 50 &&
         probe.windowY == 50;
  }
  return ok ? 0 : 1;
}
