// The stand-in scene's machines and their places.
#include "shell/stand_in_scene.h"

#include <cstdlib>
#include <cstring>

#include "emulation/speccy48.h"
#include "shell/app_state.h"
#include "shell/log.h"

std::vector<std::unique_ptr<CTV>> BuildStandInScene() {
  WriteLog("No script runs: showing two 48K Spectrums");
  App().backgroundColour = 0xFF182840;
  std::vector<std::unique_ptr<CTV>> machines;

  auto front = std::make_unique<CSpeccy48>();
  front->SetWorldPos(-45, 0, 0);
  auto beside = std::make_unique<CSpeccy48>();
  // Further back and turned towards the camera.
  beside->SetWorldPos(135, 10, 140);
  beside->SetWorldRot(0, 0.5f, 0);

  const char* exclusive = std::getenv("GLIMMERBOX_STAND_IN_EXCLUSIVE");
  if (exclusive && std::strcmp(exclusive, "1") == 0) front->SetExclusive(true);

  machines.push_back(std::move(front));
  machines.push_back(std::move(beside));
  return machines;
}
