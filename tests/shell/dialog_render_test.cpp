// The dialogs drawn off screen: a picture of each (written to the build folder's dialog-pictures
// for a person to look at), and the settings dialog run as a modal loop driven by key presses,
// with the script selection opened above it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "archive/smartplay.h"
#include "platform/dialog_window.h"
#include "shell/display_settings_dialog.h"
#include "shell/display_settings_dialog_view.h"
#include "shell/script_selection_dialog.h"
#include "shell/script_selection_dialog_view.h"
#include "shell/settings_dialog.h"
#include "shell/settings_dialog_view.h"
#include "tests/shell/dialog_fixture.h"
#include "tests/support/png.h"

namespace {

std::string PicturePath(const std::string& name) {
  std::filesystem::create_directories(DIALOG_PICTURES_DIR);
  return std::string(DIALOG_PICTURES_DIR) + "/" + name;
}

void PushKey(SDL_Keycode key, SDL_Scancode scancode) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = key;
  event.key.keysym.scancode = scancode;
  SDL_PushEvent(&event);
}

SDL_Event KeyEvent(SDL_Keycode key, uint16_t modifiers) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = key;
  event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
  event.key.keysym.mod = modifiers;
  return event;
}

// A letter with Alt as the keyboard gives it: the key going down, then the letter as text.
void PressAltLetter(DialogWindow& window, char letter, uint16_t modifiers = KMOD_LALT) {
  window.ProcessEvent(KeyEvent(static_cast<SDL_Keycode>(letter), modifiers));
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.text[0] = letter;
  window.ProcessEvent(text);
  window.DrawFrame();
}

void Click(DialogWindow& window, float x, float y) {
  for (bool down : {false, true, false}) {
    window.SimulateMouse(x, y, down);
    window.DrawFrame();
  }
  window.ReleaseMouse();
}

class DialogRender : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    std::string error;
    window_ = DialogWindow::Create({"Glimmerbox Settings", static_cast<uint32_t>(kSettingsDialogWidth),
                                    static_cast<uint32_t>(kSettingsDialogHeight), true},
                                   &error);
    ASSERT_TRUE(window_) << error;
    MakeScripts({"attract.lua", "demo.zip", "two machines.lua"}, {"demo.zip"});
    scripts_[1].name = "Demo";
    scripts_[1].version = "1.0";
    scripts_[1].author = "Corvane";
    scripts_[1].description = "Loads the demo programs into a 48K and a 128K machine.";
    PrepareDisplaySettings(app_.display, window_->Adapter());
    settings_ = std::make_unique<CSettingsDialog>(app_, scripts_, smartPlay_);
    settingsView_ = std::make_unique<CSettingsDialogView>(*window_, *settings_, app_, scripts_);
  }

  void PushSettings() {
    window_->PushDialog("Glimmerbox Settings", kSettingsDialogWidth, kSettingsDialogHeight,
                        [this] { return settingsView_->Draw(); });
  }

  // Draws until the layout settles and writes the picture; checks it is a dialog, not a blank.
  void TakePicture(const std::string& name) {
    for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(window_->DrawFrame(), 0);
    const std::string path = PicturePath(name);
    ASSERT_TRUE(window_->SaveScreenshot(path));
    Picture picture;
    ASSERT_TRUE(LoadPng(path, &picture));
    EXPECT_EQ(picture.width, static_cast<uint32_t>(kSettingsDialogWidth));
    EXPECT_EQ(picture.height, static_cast<uint32_t>(kSettingsDialogHeight));
    std::map<uint32_t, int> colours;
    for (uint32_t pixel : picture.pixels) ++colours[pixel];
    EXPECT_GT(colours.size(), 20u) << "text and controls, not a blank window";
  }

  std::unique_ptr<DialogWindow> window_;
  std::unique_ptr<CSettingsDialog> settings_;
  std::unique_ptr<CSettingsDialogView> settingsView_;
};

}  // namespace

TEST_F(DialogRender, SettingsDialog) {
  PushSettings();
  TakePicture("settings.png");
}

TEST_F(DialogRender, ScriptSelectionAboveTheSettings) {
  PushSettings();
  CScriptSelectionDialog selection(scripts_);
  selection.Click(LIST_SELECTED, 0, false, false);
  CScriptSelectionDialogView view(*window_, selection);
  window_->PushDialog("Script Selection", kScriptSelectionWidth, kScriptSelectionHeight,
                      [&view] { return view.Draw(); });
  TakePicture("script-selection.png");
}

TEST_F(DialogRender, DisplaySettingsAboveTheSettings) {
  PushSettings();
  CDisplaySettingsDialog display(app_.display, window_->Adapter());
  CDisplaySettingsDialogView view(*window_, display);
  window_->PushDialog("Display Settings", kDisplaySettingsWidth, kDisplaySettingsHeight,
                      [&view] { return view.Draw(); });
  TakePicture("display-settings.png");
}

TEST_F(DialogRender, KeysGoToTheTopDialogOnly) {
  // Settings open; "&Select" opens the script selection; Enter confirms it (and must not
  // confirm the settings below it); Escape then cancels the settings.
  std::map<size_t, int> frames;
  int32_t selectionResult = 0;
  bool escapeSent = false;
  window_->SetFrameHook([&](size_t depth) {
    const int frame = ++frames[depth];
    if (depth == 1 && frame == 2) {
      window_->Defer([&] {
        selectionResult = RunScriptSelectionDialog(*window_, scripts_);
        settings_->ScriptSelectionClosed(selectionResult);
      });
    }
    if (depth == 2 && frame == 2) PushKey(SDLK_RETURN, SDL_SCANCODE_RETURN);
    if (depth == 1 && selectionResult != 0 && !escapeSent) {
      PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
      escapeSent = true;
    }
  });
  const int32_t result = window_->RunModal("Glimmerbox Settings", kSettingsDialogWidth,
                                           kSettingsDialogHeight, [this] { return settingsView_->Draw(); });
  EXPECT_EQ(result, DIALOG_CANCEL);
  EXPECT_EQ(selectionResult, DIALOG_OK);
  EXPECT_EQ(frames[1], 4) << "Escape closed the settings on the frame after it";
  EXPECT_EQ(frames[2], 3) << "the selection closed on the frame after Enter";
  EXPECT_EQ(settings_->playSelectionRadio, IDC_PLAY_SELECTION);
  const std::string text = RegistryText();
  EXPECT_NE(text.find("\"file1\"=\"demo.zip\""), std::string::npos) << text;
  EXPECT_EQ(text.find("Hot Key"), std::string::npos) << "the settings were cancelled";
}

TEST_F(DialogRender, ClicksInTheScriptSelectionSelectMoveAndConfirm) {
  PushSettings();
  CScriptSelectionDialog selection(scripts_);
  CScriptSelectionDialogView view(*window_, selection);
  window_->PushDialog("Script Selection", kScriptSelectionWidth, kScriptSelectionHeight,
                      [&view] { return view.Draw(); });
  // Where the controls stand in the picture script-selection.png.
  const auto click = [this](float x, float y) {
    window_->SimulateMouse(x, y, false);
    window_->DrawFrame();
    window_->SimulateMouse(x, y, true);
    window_->DrawFrame();
    window_->SimulateMouse(x, y, false);
    return window_->DrawFrame();
  };
  window_->DrawFrame();
  click(100, 136);  // "attract.lua"
  EXPECT_EQ(selection.DetailsTitle(), "Details of attract.lua");
  SDL_Event control{};
  control.type = SDL_KEYDOWN;
  control.key.keysym.sym = SDLK_LCTRL;
  control.key.keysym.scancode = SDL_SCANCODE_LCTRL;
  control.key.keysym.mod = KMOD_LCTRL;
  window_->ProcessEvent(control);
  click(100, 157);  // Ctrl+"two machines.lua"
  control.type = SDL_KEYUP;
  control.key.keysym.mod = KMOD_NONE;
  window_->ProcessEvent(control);
  EXPECT_EQ(selection.Available().selected, (std::vector<bool>{true, true}));

  click(320, 188);  // "Add >>"
  EXPECT_EQ(selection.Selected().items,
            (std::vector<std::string>{"demo.zip", "two machines.lua", "attract.lua"}));
  EXPECT_EQ(click(459, 476), DIALOG_OK);  // "OK"
  window_->ReleaseMouse();
  const std::string text = RegistryText();
  EXPECT_NE(text.find("\"file1\"=\"attract.lua\"\n\"file2\"=\"demo.zip\"\n"
                      "\"file3\"=\"two machines.lua\""),
            std::string::npos)
      << text;
}

TEST_F(DialogRender, TheHotKeyControlTakesKeysOnceClicked) {
  PushSettings();
  window_->DrawFrame();
  const auto press = [this](SDL_Keycode key, uint16_t modifiers) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    event.key.keysym.mod = modifiers;
    window_->ProcessEvent(event);
    window_->DrawFrame();
  };
  press(SDLK_q, KMOD_NONE);
  EXPECT_EQ(settings_->hotKey.Value(), 112) << "keys wait for the control to have the focus";

  // Where the control stands in the picture settings.png.
  window_->SimulateMouse(537, 250, false);
  window_->DrawFrame();
  window_->SimulateMouse(537, 250, true);
  window_->DrawFrame();
  window_->SimulateMouse(537, 250, false);
  window_->DrawFrame();
  window_->ReleaseMouse();
  press(SDLK_p, KMOD_LCTRL | KMOD_RSHIFT);
  EXPECT_EQ(settings_->hotKey.Value(), 0x350);
  EXPECT_EQ(settings_->hotKey.Text(), "Ctrl + Shift + P");
  press(SDLK_BACKSPACE, KMOD_NONE);
  EXPECT_EQ(settings_->hotKey.Value(), 0);
  TakePicture("settings-hot-key-cleared.png");
}

TEST_F(DialogRender, DumpStatsTellsWhatWentWrongOrOpensTheFolder) {
  std::vector<std::string> boxes;
  SetMessageBoxSink([&](MessageBoxIcon icon, const std::string& caption, const std::string& text) {
    boxes.push_back((icon == MessageBoxIcon::Error ? "error: " : "") + caption + ": " + text);
  });
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", dir_.file("no-programs").c_str(), 1);
  settingsView_->DumpStats();
  CSmartPlay saved;
  saved.Add("/snaps/one.z80");
  saved.Finish();
  ASSERT_EQ(saved.Save(app_.smartPlayPath), 0);
  settingsView_->DumpStats();
  setenv("PATH", path.c_str(), 1);
  SetMessageBoxSink(nullptr);

  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "error: Dump SmartPlay Database: Unable to load the SmartPlay database");
  // Without xdg-open the folder of the dump is shown instead of opened.
  EXPECT_NE(boxes[1].find(app_.logFolder), std::string::npos) << boxes[1];
  EXPECT_TRUE(std::filesystem::exists(app_.smartPlayPath + ".csv"));
}

// Alt and a control's "&" letter act on it as a click: check boxes toggle, radio buttons are
// chosen, buttons press; disabled controls, letters without a control, AltGr (Ctrl+Alt) and a
// focused hot-key control let the press go by, and an edit never gets the letter as text.
TEST_F(DialogRender, AltLettersActOnTheirControls) {
  struct State {
    bool beeper, ay, log, smartPlay, include;
    int32_t selection, mode;
    bool operator==(const State&) const = default;
  };
  const auto stateOf = [](const CSettingsDialog& d) {
    return State{d.emulateBeeper, d.emulateAY, d.log, d.smartPlay, d.includeDefaultArchive,
                 d.playSelectionRadio, d.playModeRadio};
  };
  // "Play s&election" is disabled with nothing selected.
  scripts_[1].selected = false;
  CSettingsDialog none(app_, scripts_, smartPlay_);
  scripts_[1].selected = true;
  CSettingsDialogView noneView(*window_, none, app_, scripts_);
  window_->PushDialog("Glimmerbox Settings", kSettingsDialogWidth, kSettingsDialogHeight,
                      [&] { return noneView.Draw(); });
  window_->DrawFrame();
  PressAltLetter(*window_, 'e');
  EXPECT_EQ(none.playSelectionRadio, IDC_PLAY_ALL);
  // "&Select" and "&Display Settings..." open their dialogs above; Escape closes them.
  std::vector<size_t> depths;
  window_->SetFrameHook([&](size_t depth) {
    depths.push_back(depth);
    if (depth == 2) window_->ProcessEvent(KeyEvent(SDLK_ESCAPE, KMOD_NONE));
  });
  // Each stays two frames: Escape closes it on the frame after the one it came in.
  PressAltLetter(*window_, 's');
  EXPECT_EQ(depths, (std::vector<size_t>{2, 2})) << "the script selection";
  PressAltLetter(*window_, 'd');
  EXPECT_EQ(depths, (std::vector<size_t>{2, 2, 2, 2})) << "the display settings";
  window_->SetFrameHook(nullptr);
  window_->PopDialog();

  PushSettings();
  window_->DrawFrame();
  settings_->playSelectionRadio = IDC_PLAY_SELECTION;
  settings_->playModeRadio = IDC_PLAY_RANDOMLY;
  State expected = stateOf(*settings_);
  const struct {
    char letter;
    uint16_t modifiers;
    std::function<void(State&)> change;
  } steps[] = {
      {'m', KMOD_LALT, [](State& s) { s.beeper = !s.beeper; }},
      {'y', KMOD_RALT, [](State& s) { s.ay = !s.ay; }},
      {'l', KMOD_LALT | KMOD_LSHIFT, [](State& s) { s.log = !s.log; }},
      {'p', KMOD_LALT, [](State& s) { s.smartPlay = !s.smartPlay; }},
      {'i', KMOD_LALT, [](State& s) { s.include = !s.include; }},
      {'m', KMOD_LALT, [](State& s) { s.beeper = !s.beeper; }},  // again: back off
      {'q', KMOD_LALT, [](State& s) { s.mode = IDC_PLAY_SEQUENTIALLY; }},
      {'r', KMOD_LALT, [](State& s) { s.mode = IDC_PLAY_RANDOMLY; }},
      {'a', KMOD_LALT, [](State& s) { s.selection = IDC_PLAY_ALL; }},
      {'e', KMOD_LALT, [](State& s) { s.selection = IDC_PLAY_SELECTION; }},
      {'x', KMOD_LALT, [](State&) {}},                  // no control has it
      {'m', KMOD_RALT | KMOD_LCTRL, [](State&) {}},     // AltGr types
      {'m', KMOD_NONE, [](State&) {}},                  // no Alt
  };
  for (const auto& step : steps) {
    PressAltLetter(*window_, step.letter, step.modifiers);
    step.change(expected);
    EXPECT_TRUE(stateOf(*settings_) == expected) << "Alt+" << step.letter << " " << step.modifiers;
  }

  // Typing into the archive folder's edit (where it stands in settings.png): Alt+M still ticks
  // the box and types nothing.
  Click(*window_, 270, 389);
  PressAltLetter(*window_, 'm');
  EXPECT_NE(settings_->emulateBeeper, expected.beeper);
  EXPECT_EQ(settings_->archiveFolder, "");
  // The hot-key control takes Alt+M as its key instead.
  const bool beeper = settings_->emulateBeeper;
  Click(*window_, 537, 250);
  PressAltLetter(*window_, 'm');
  EXPECT_EQ(settings_->emulateBeeper, beeper);
  EXPECT_EQ(settings_->hotKey.Text(), "Alt + M");
  window_->PopDialog();

}

TEST_F(DialogRender, AltLettersInTheDisplaySettings) {
  std::vector<std::string> boxes;
  SetMessageBoxSink([&](MessageBoxIcon, const std::string& caption, const std::string&) {
    boxes.push_back(caption);
  });
  DisplayAdapterInfo hardware = window_->Adapter();
  hardware.hardware = true;
  // Above the settings, whose own Alt+D must not open a second one (the hook would close it).
  PushSettings();
  size_t opened = 0;
  window_->SetFrameHook([&](size_t) {
    ++opened;
    window_->ProcessEvent(KeyEvent(SDLK_ESCAPE, KMOD_NONE));
  });
  for (const DisplayAdapterInfo& adapter : {window_->Adapter(), hardware}) {
    CDisplaySettingsDialog display(app_.display, adapter);
    CDisplaySettingsDialogView view(*window_, display);
    window_->PushDialog("Display Settings", kDisplaySettingsWidth, kDisplaySettingsHeight,
                        [&view] { return view.Draw(); });
    window_->DrawFrame();
    PressAltLetter(*window_, 'd');
    PressAltLetter(*window_, 'h');
    // Only hardware rendering can be disabled.
    EXPECT_EQ(display.DisableHardware(), adapter.hardware) << adapter.hardware;
    window_->PopDialog();
  }
  window_->SetFrameHook(nullptr);
  SetMessageBoxSink(nullptr);
  EXPECT_EQ(opened, 0u) << "the settings' own Alt+D is not the top dialog's";
  const std::string name = window_->Adapter().monitorName;
  EXPECT_EQ(boxes, (std::vector<std::string>{name, name})) << "the help box, each time";
}
