// The display settings dialog's model: the rendering text for each kind of adapter, the mode
// list, Cancel restoring the settings, and the stored settings taken only for the same adapter.
#include "shell/display_settings_dialog.h"

#include <gtest/gtest.h>

#include "shell/settings_dialog.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using DisplaySettingsTest = DialogTest;

DisplayAdapterInfo Adapter(bool hardware, uint8_t idByte = 7) {
  DisplayAdapterInfo adapter;
  adapter.name = hardware ? "Radeon on x11" : "llvmpipe on offscreen";
  adapter.monitorName = "DP-1";
  adapter.hardware = hardware;
  adapter.software = true;
  for (uint8_t& byte : adapter.id) byte = idByte;
  adapter.modes = {{1920, 1080, 32, DISPLAY_FORMAT_X8R8G8B8}, {1024, 768, 16, DISPLAY_FORMAT_R5G6B5}};
  return adapter;
}

}  // namespace

TEST(DisplaySettingsText, FitsTheAdapter) {
  const struct {
    bool hardware, disabled, software;
    int32_t id;
  } cases[] = {
      {true, false, true, 2200},  {true, false, false, 2200}, {true, true, true, 2207},
      {true, true, false, 2209},  {false, false, true, 2204}, {false, false, false, 2206},
      {false, true, true, 2204},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RenderingTextId(c.hardware, c.disabled, c.software), c.id)
        << c.hardware << c.disabled << c.software;
  EXPECT_EQ(std::string(DisplayRenderingText(2212)),
            "The screen saver cannot be displayed on this monitor.");
}

TEST_F(DisplaySettingsTest, ModesAreListedAfterAutomaticAndStoredWhenChosen) {
  DisplaySettings display;
  CDisplaySettingsDialog dialog(display, Adapter(true));
  ASSERT_EQ(display.screens.size(), 1u) << "the first monitor is made for the adapter";
  EXPECT_EQ(dialog.ModeTexts(), (std::vector<std::string>{"Automatic", "1920 by 1080, 32 bit color",
                                                           "1024 by 768, 16 bit color"}));
  EXPECT_EQ(dialog.ModeIndex(), 0);

  dialog.ChooseMode(2);
  const ScreenSettings& screen = display.screens[0];
  EXPECT_EQ(screen.width, 1024);
  EXPECT_EQ(screen.height, 768);
  EXPECT_EQ(screen.format, DISPLAY_FORMAT_R5G6B5);
  EXPECT_EQ(dialog.ModeIndex(), 2);
  dialog.ChooseMode(0);
  EXPECT_EQ(screen.width + screen.height + screen.format, 0);
  EXPECT_EQ(dialog.ModeIndex(), 0);
}

TEST_F(DisplaySettingsTest, TheCheckBoxChangesTheTextAndCancelRestoresEverything) {
  DisplaySettings display;
  display.allScreensSame = 1;
  display.screens.resize(1);
  display.screens[0].hasAdapter = true;
  display.screens[0].width = 1920;
  display.screens[0].height = 1080;
  display.screens[0].format = DISPLAY_FORMAT_X8R8G8B8;
  CDisplaySettingsDialog dialog(display, Adapter(true));
  EXPECT_EQ(dialog.ModeIndex(), 1);
  EXPECT_TRUE(dialog.DisableHardwareEnabled());
  EXPECT_EQ(std::string(dialog.RenderingText()), DisplayRenderingText(2200));

  dialog.SetDisableHardware(true);
  dialog.ChooseMode(0);
  EXPECT_TRUE(dialog.TubeEffect()) << "on by default";
  dialog.SetTubeEffect(false);
  EXPECT_EQ(display.tubeEffect, 0);
  EXPECT_EQ(display.screens[0].disableHardware, 1);
  EXPECT_EQ(std::string(dialog.RenderingText()), DisplayRenderingText(2207));
  const auto [caption, text] = dialog.Help();
  EXPECT_EQ(caption, "DP-1");
  EXPECT_EQ(text, DisplayRenderingText(2207));

  EXPECT_EQ(dialog.Cancel(), 2);
  EXPECT_EQ(display.screens[0].disableHardware, 0);
  EXPECT_EQ(display.screens[0].width, 1920);
  EXPECT_EQ(display.allScreensSame, 1);
  EXPECT_EQ(display.tubeEffect, 1);
}

TEST_F(DisplaySettingsTest, ASoftwareAdapterHasNoHardwareToDisable) {
  DisplaySettings display;
  const CDisplaySettingsDialog dialog(display, Adapter(false));
  EXPECT_FALSE(dialog.DisableHardwareEnabled());
  EXPECT_EQ(std::string(dialog.RenderingText()), DisplayRenderingText(2204));
}

TEST_F(DisplaySettingsTest, StoredModesCountOnlyForTheSameAdapterAndOkOfTheSettingsKeepsThem) {
  // What an earlier run stored for the adapter with identifier bytes 7.
  {
    ProgramSettings earlier;
    PrepareDisplaySettings(earlier.display, Adapter(true, 7));
    CDisplaySettingsDialog dialog(earlier.display, Adapter(true, 7));
    dialog.ChooseMode(1);
    dialog.SetDisableHardware(true);
    earlier.display.screens[0].leaveBlack = 1;
    ASSERT_TRUE(WriteSettings(earlier));
  }
  RegForgetFiles();
  ProgramSettings same;
  PrepareDisplaySettings(same.display, Adapter(true, 7));
  EXPECT_EQ(same.display.screens[0].width, 1920);
  EXPECT_EQ(same.display.screens[0].disableHardware, 1);

  ProgramSettings other;
  PrepareDisplaySettings(other.display, Adapter(true, 9));
  EXPECT_EQ(other.display.screens[0].width, 0) << "a mode chosen for another adapter";
  EXPECT_EQ(other.display.screens[0].disableHardware, 0);
  EXPECT_EQ(other.display.screens[0].leaveBlack, 1) << "taken for any adapter";

  // The settings dialog's OK writes the monitor with the adapter now present.
  std::vector<ScriptRecord> none;
  CSettingsDialog(other, none, smartPlay_).Ok();
  EXPECT_NE(RegistryText().find("\"Adapter ID\"=hex:09,09,09,09"), std::string::npos) << RegistryText();
}
