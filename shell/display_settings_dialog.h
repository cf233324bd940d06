// The framework's display settings dialog for one adapter, without any drawing
// (shell/display_settings_dialog_view.h draws it): the adapter's name, the text that says how the
// saver can render on it, the "&Disable hardware 3D rendering" check box, the "&Tube effect" check
// box and the display modes.
// It changes the first monitor's display settings at once and restores them on Cancel; they reach
// the registry only when the settings dialog is confirmed.
//
//   PrepareDisplaySettings(program.display, window.Adapter());
//   CDisplaySettingsDialog dialog(program.display, window.Adapter());
//   dialog.ChooseMode(1);  dialog.Ok();
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/display_adapter.h"
#include "shell/settings.h"

// The rendering texts, strings 2200 to 2212.
const char* DisplayRenderingText(int32_t stringId);
// Which of them fits an adapter: hardware rendering, and whether it is disabled, and whether a
// software renderer can stand in.
int32_t RenderingTextId(bool hardware, bool hardwareDisabled, bool software);

// Gives the first monitor the adapter (its identifier) when the framework has not, and reads its
// stored settings again, which are taken only for the same adapter.
void PrepareDisplaySettings(DisplaySettings& display, const DisplayAdapterInfo& adapter);

class CDisplaySettingsDialog {
 public:
  // Keeps a copy of the display settings for Cancel. `display` gets a first monitor if it has none.
  CDisplaySettingsDialog(DisplaySettings& display, const DisplayAdapterInfo& adapter);

  const std::string& AdapterName() const { return adapter_.name; }
  const char* RenderingText() const;

  bool DisableHardware() const { return Screen().disableHardware != 0; }
  // The check box means something only where there is hardware rendering to disable.
  bool DisableHardwareEnabled() const { return adapter_.hardware; }
  void SetDisableHardware(bool disable);
  // The tube look on every television (on by default).
  bool TubeEffect() const { return display_.tubeEffect != 0; }
  void SetTubeEffect(bool on) { display_.tubeEffect = on ? 1 : 0; }

  // "Automatic" first, then "%d by %d, %d bit color" for each of the adapter's modes.
  const std::vector<std::string>& ModeTexts() const { return modeTexts_; }
  // The entry that stands for the stored mode; "Automatic" (0) when it is none of them.
  int ModeIndex() const;
  void ChooseMode(int index);

  // "&Help": the caption (the monitor's name) and the text of the information box.
  std::pair<std::string, std::string> Help() const;

  int32_t Ok() const { return 1; }
  // Restores the settings as they were when the dialog opened. Returns 2.
  int32_t Cancel();

 private:
  const ScreenSettings& Screen() const { return display_.screens.front(); }
  ScreenSettings& Screen() { return display_.screens.front(); }

  DisplaySettings& display_;
  const DisplaySettings saved_;
  const DisplayAdapterInfo adapter_;
  std::vector<std::string> modeTexts_;
};
