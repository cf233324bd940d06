// The dialog window off screen: SDL key events as key presses with hot-key modifiers, the stack
// of modal dialogs and what closes them, the adapter it describes, message boxes, and the folder
// browser drawn into a picture.
#include "platform/dialog_window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/folder_browser.h"
#include "tests/support/png.h"
#include "tests/support/temp_dir.h"

namespace {

SDL_Event KeyDown(SDL_Keycode key, uint16_t modifiers, bool repeat = false) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.repeat = repeat ? 1 : 0;
  event.key.keysym.sym = key;
  event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
  event.key.keysym.mod = modifiers;
  return event;
}

struct Box {
  MessageBoxIcon icon;
  std::string caption, text;
};

class DialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    window_ = DialogWindow::Create({"Test", 480, 360, true}, &error);
    ASSERT_TRUE(window_) << error;
    SetMessageBoxSink([this](MessageBoxIcon icon, const std::string& caption, const std::string& text) {
      boxes_.push_back({icon, caption, text});
    });
  }
  void TearDown() override { SetMessageBoxSink(nullptr); }

  std::unique_ptr<DialogWindow> window_;
  std::vector<Box> boxes_;
};

}  // namespace

TEST(HotKeyModifiers, FollowTheHotKeyLayout) {
  const struct {
    uint16_t sdl;
    int32_t flags;
  } cases[] = {
      {KMOD_NONE, 0}, {KMOD_LSHIFT, HOTKEY_SHIFT}, {KMOD_RCTRL, HOTKEY_CONTROL},
      {KMOD_RALT, HOTKEY_ALT}, {KMOD_LSHIFT | KMOD_LALT, HOTKEY_SHIFT | HOTKEY_ALT},
      {KMOD_CAPS | KMOD_NUM, 0}, {KMOD_LGUI, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(HotKeyModifiersOf(c.sdl), c.flags) << c.sdl;
}

TEST_F(DialogWindowTest, KeyPressesReachTheTopDialogOnce) {
  std::vector<DialogKeyPress> bottomSaw, topSaw;
  window_->PushDialog("Bottom", 480, 360, [&] {
    bottomSaw = window_->KeyPresses();
    return 0;
  });
  window_->PushDialog("Top", 300, 200, [&] {
    topSaw = window_->KeyPresses();
    return 0;
  });
  window_->ProcessEvent(KeyDown(SDLK_p, KMOD_LCTRL | KMOD_RSHIFT));
  window_->ProcessEvent(KeyDown(SDLK_p, KMOD_LCTRL | KMOD_RSHIFT, true));  // auto-repeat
  window_->ProcessEvent(KeyDown(SDLK_F5, KMOD_NONE));
  window_->DrawFrame();
  ASSERT_EQ(topSaw.size(), 2u);
  EXPECT_EQ(topSaw[0].virtualKey, 'P');
  EXPECT_EQ(topSaw[0].modifiers, HOTKEY_CONTROL | HOTKEY_SHIFT);
  EXPECT_EQ(topSaw[1].virtualKey, 0x74);
  EXPECT_EQ(topSaw[1].modifiers, 0);
  EXPECT_TRUE(bottomSaw.empty());
  window_->DrawFrame();
  EXPECT_TRUE(topSaw.empty()) << "each press is seen in one frame";
}

TEST_F(DialogWindowTest, ANestedDialogClosesAloneAndTheWindowsCloseBoxCancelsAll) {
  int outerFrames = 0;
  int32_t innerResult = 0;
  const int32_t result = window_->RunModal("Outer", 480, 360, [&]() -> int32_t {
    ++outerFrames;
    if (outerFrames == 2) {
      window_->Defer([&] {
        int innerFrames = 0;
        innerResult = window_->RunModal("Inner", 200, 100, [&] {
          EXPECT_EQ(window_->Depth(), 2u);
          return ++innerFrames == 3 ? 42 : 0;
        });
      });
    }
    if (outerFrames == 5) {
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
    }
    return 0;
  });
  EXPECT_EQ(innerResult, 42);
  EXPECT_EQ(result, DIALOG_CANCEL);
  EXPECT_EQ(outerFrames, 5);
  EXPECT_EQ(window_->Depth(), 0u);
}

TEST_F(DialogWindowTest, OffScreenTheAdapterIsTheSoftwareRenderer) {
  const DisplayAdapterInfo& adapter = window_->Adapter();
  EXPECT_FALSE(adapter.name.empty());
  EXPECT_FALSE(adapter.monitorName.empty());
  if (IsSoftwareRenderer(adapter.name)) {
    EXPECT_FALSE(adapter.hardware);
    EXPECT_TRUE(adapter.software);
  }
  for (const DisplayModeInfo& mode : adapter.modes) {
    EXPECT_GE(mode.width, 640);
    EXPECT_GE(mode.height, 400);
  }
  uint8_t id[16];
  AdapterIdentifier("", "", id);
  EXPECT_NE(std::memcmp(id, adapter.id, 16), 0);
}

TEST_F(DialogWindowTest, MessageBoxesGoToTheSinkOrToStderrOffScreen) {
  window_->ShowMessageBox(MessageBoxIcon::Error, "Dump SmartPlay Database",
                          "Unable to load the SmartPlay database");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].icon, MessageBoxIcon::Error);
  EXPECT_EQ(boxes_[0].caption, "Dump SmartPlay Database");

  SetMessageBoxSink(nullptr);
  testing::internal::CaptureStderr();
  window_->ShowMessageBox(MessageBoxIcon::Information, "DP-1", "Help text");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "DP-1: Help text\n");
}

TEST_F(DialogWindowTest, WithoutXdgOpenABoxTellsThePath) {
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  TempDir empty;
  setenv("PATH", empty.path().c_str(), 1);
  window_->OpenInShell("/home/me/Glimmerbox 1.01 Log.txt");
  setenv("PATH", path.c_str(), 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find("/home/me/Glimmerbox 1.01 Log.txt"), std::string::npos);
}

TEST_F(DialogWindowTest, TheFolderBrowserReturnsTheChosenFolderOrNothing) {
  TempDir dir;
  for (const char* folder : {"Snapshots", "Games", ".hidden", "Games/Arcade"})
    std::filesystem::create_directories(dir.path() / folder);
  WriteWholeFile(dir.file("notes.txt"), "not a folder");

  // Escape cancels; the picture is taken just before.
  int frames = 0;
  const std::string picture =
      std::string(DIALOG_PICTURES_DIR) + "/folder-browser.png";
  std::filesystem::create_directories(DIALOG_PICTURES_DIR);
  window_->SetFrameHook([&](size_t) {
    if (++frames == 3) {
      EXPECT_TRUE(window_->SaveScreenshot(picture));
      SDL_Event escape = KeyDown(SDLK_ESCAPE, KMOD_NONE);
      SDL_PushEvent(&escape);
    }
  });
  EXPECT_FALSE(BrowseForFolder(*window_, "Select your snapshot archive location", dir.file("Games")));
  Picture png;
  EXPECT_TRUE(LoadPng(picture, &png));

  // Enter takes the folder the browser stands in.
  frames = 0;
  window_->SetFrameHook([&](size_t) {
    if (++frames == 2) {
      SDL_Event enter = KeyDown(SDLK_RETURN, KMOD_NONE);
      SDL_PushEvent(&enter);
    }
  });
  EXPECT_EQ(BrowseForFolder(*window_, "Select your snapshot archive location",
                            dir.file("Games/Missing")),
            dir.file("Games"));
}
