// The display settings dialog's model and its rendering texts.
#include "shell/display_settings_dialog.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "platform/registry.h"
#include "resources/string_table.h"
#include "shell/settings.h"

namespace {

DisplaySettings& WithFirstMonitor(DisplaySettings& display, const DisplayAdapterInfo& adapter) {
  if (display.screens.empty()) display.screens.resize(1);
  ScreenSettings& screen = display.screens.front();
  if (!screen.hasAdapter) {
    screen.hasAdapter = true;
    std::copy(std::begin(adapter.id), std::end(adapter.id), screen.adapterId);
  }
  return display;
}

}  // namespace

const char* DisplayRenderingText(int32_t stringId) {
  if (stringId < IDS_RENDERING_FIRST || stringId > IDS_RENDERING_LAST) return "";
  return LoadResourceString(stringId);
}

int32_t RenderingTextId(bool hardware, bool hardwareDisabled, bool software) {
  // The saver takes every OpenGL device as it is, so the texts for missing functionality
  // (2201-2203, 2205, 2208) never apply.
  if (hardware && !hardwareDisabled) return 2200;
  if (hardware) return software ? 2207 : 2209;
  return software ? 2204 : 2206;
}

void PrepareDisplaySettings(DisplaySettings& display, const DisplayAdapterInfo& adapter) {
  const bool known = !display.screens.empty() && display.screens.front().hasAdapter;
  WithFirstMonitor(display, adapter);
  if (known) return;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, SETTINGS_KEY)) ReadDisplaySettings(key, display);
}

CDisplaySettingsDialog::CDisplaySettingsDialog(DisplaySettings& display,
                                               const DisplayAdapterInfo& adapter)
    : display_(WithFirstMonitor(display, adapter)), saved_(display), adapter_(adapter) {
  modeTexts_.push_back("Automatic");
  for (const DisplayModeInfo& mode : adapter_.modes) {
    char text[64];
    std::snprintf(text, sizeof text, "%d by %d, %d bit color", mode.width, mode.height,
                  mode.bitsPerPixel);
    modeTexts_.push_back(text);
  }
}

const char* CDisplaySettingsDialog::RenderingText() const {
  return DisplayRenderingText(RenderingTextId(adapter_.hardware, DisableHardware(), adapter_.software));
}

void CDisplaySettingsDialog::SetDisableHardware(bool disable) {
  Screen().disableHardware = disable ? 1 : 0;
}

int CDisplaySettingsDialog::ModeIndex() const {
  const ScreenSettings& screen = Screen();
  for (size_t i = 0; i < adapter_.modes.size(); ++i) {
    const DisplayModeInfo& mode = adapter_.modes[i];
    if (mode.width == screen.width && mode.height == screen.height && mode.format == screen.format)
      return static_cast<int>(i) + 1;
  }
  return 0;
}

void CDisplaySettingsDialog::ChooseMode(int index) {
  ScreenSettings& screen = Screen();
  if (index <= 0 || static_cast<size_t>(index) > adapter_.modes.size()) {
    screen.width = screen.height = screen.format = 0;
    return;
  }
  const DisplayModeInfo& mode = adapter_.modes[static_cast<size_t>(index) - 1];
  screen.width = mode.width;
  screen.height = mode.height;
  screen.format = mode.format;
}

std::pair<std::string, std::string> CDisplaySettingsDialog::Help() const {
  return {adapter_.monitorName, RenderingText()};
}

int32_t CDisplaySettingsDialog::Cancel() {
  display_ = saved_;
  return 2;
}
