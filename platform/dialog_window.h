// Modal dialogs drawn with Dear ImGui in one SDL window with an OpenGL context. The dialogs form a
// stack: the first fills the window, each one opened from it stands centred above it, and the
// ones below the top are drawn but take no input, as a modal dialog's owner does. A dialog is a
// draw function that lays out its controls with ImGui every frame and returns 0 while it stays
// open, or its result (DIALOG_OK, DIALOG_CANCEL, ...) to close.
//
//   auto window = DialogWindow::Create({"Glimmerbox Settings", 640, 560}, &error);
//   int32_t result = window->RunModal("Glimmerbox Settings", 640, 560, [&] {
//     if (ImGui::Button("Select")) window->Defer([&] { window->RunModal("Script Selection", ...); });
//     return ok ? DIALOG_OK : 0;
//   });
//
// Nested dialogs, message boxes and anything else that runs frames of its own start from a
// deferred action (Defer), which runs between two frames. A headless window draws off screen
// through SDL's offscreen driver, so that tests can draw a dialog and take a screenshot.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/display_adapter.h"

class GfxWindow;
struct ImGuiContext;
union SDL_Event;

// A dialog's result when closed with OK or with Cancel (also the window's close box).
constexpr int32_t DIALOG_OK = 1;
constexpr int32_t DIALOG_CANCEL = 2;

// Modifier flags of a key press, as the hot-key value keeps them in its high byte.
enum : int32_t { HOTKEY_SHIFT = 1, HOTKEY_CONTROL = 2, HOTKEY_ALT = 4 };

struct DialogKeyPress {
  int32_t virtualKey = 0;  // 0 for a key without a virtual-key code
  int32_t modifiers = 0;   // HOTKEY_ flags held with it
};

// The HOTKEY_ flags of SDL's modifier state.
int32_t HotKeyModifiersOf(uint16_t sdlModifiers);

enum class MessageBoxIcon { Information, Error };

// Where message boxes go instead of the screen (tests); an empty function restores the screen.
using MessageBoxSink =
    std::function<void(MessageBoxIcon icon, const std::string& caption, const std::string& text)>;
void SetMessageBoxSink(MessageBoxSink sink);

class DialogWindow {
 public:
  struct Options {
    std::string title;
    uint32_t width = 640, height = 480;
    bool headless = false;
  };
  using DrawFunction = std::function<int32_t()>;

  // Null with a reason when no window, OpenGL context or ImGui could be set up.
  static std::unique_ptr<DialogWindow> Create(const Options& options, std::string* error);
  ~DialogWindow();
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  // Opens a dialog of the given size (the first one fills the window) and runs frames until its
  // draw function returns a result, which is returned. Closing the window cancels every open
  // dialog. A headless window gives up with DIALOG_CANCEL after kHeadlessFrameLimit frames.
  int32_t RunModal(const std::string& caption, float width, float height, DrawFunction draw);
  static constexpr int kHeadlessFrameLimit = 1000;

  // Runs `action` after the current frame, outside any drawing.
  void Defer(std::function<void()> action);

  // Called after every frame of a modal loop with the number of open dialogs: tests drive
  // dialogs through it.
  void SetFrameHook(std::function<void(size_t depth)> hook);

  // Drawing without a loop, for tests and pictures: push a dialog, draw frames (each returns the
  // top dialog's result), pop it.
  void PushDialog(const std::string& caption, float width, float height, DrawFunction draw);
  void PopDialog();
  int32_t DrawFrame();
  // Writes the last frame as a PNG file (headless windows).
  bool SaveScreenshot(const std::string& path) const;

  bool Headless() const { return headless_; }
  size_t Depth() const { return stack_.size(); }
  // The keys pressed since the last frame, in order; empty while drawing a dialog below the top.
  const std::vector<DialogKeyPress>& KeyPresses() const;
  // Whether Alt+`letter` was pressed since the last frame for the top dialog and not yet taken by
  // another control; the first control to ask takes it.
  bool TakeAccelerator(char letter);
  // For the rest of this frame no control takes an accelerator: a control that captures keys (the
  // hot-key control) has the focus.
  void HoldAccelerators() { acceleratorsHeld_ = true; }

  // Feeds one SDL event to ImGui and the key presses; the modal loop calls it for each event.
  void ProcessEvent(const SDL_Event& event);
  // Tests: the mouse at (x, y) in the window with its left button up or down, from the next frame
  // on in place of the real one, until ReleaseMouse.
  void SimulateMouse(float x, float y, bool buttonDown);
  void ReleaseMouse() { mouseSimulated_ = false; }

  // The display adapter this window's OpenGL context runs on.
  const DisplayAdapterInfo& Adapter() const { return adapter_; }

  // A message box owned by this window: on the screen, or logged and printed to stderr when
  // headless.
  void ShowMessageBox(MessageBoxIcon icon, const std::string& caption, const std::string& text);
  // Opens a file or folder with the desktop's handler; without one, a box tells the path.
  void OpenInShell(const std::string& path);

 private:
  struct Dialog {
    std::string caption;
    float width = 0, height = 0;
    DrawFunction draw;
  };

  DialogWindow() = default;
  bool SetUp(const Options& options, std::string* error);
  void DescribeAdapter();
  void PumpEvents();

  std::unique_ptr<GfxWindow> window_;
  ImGuiContext* imgui_ = nullptr;
  bool headless_ = false;
  bool backendsReady_ = false;
  std::vector<Dialog> stack_;
  std::vector<std::function<void()>> deferred_;
  std::function<void(size_t)> frameHook_;
  std::vector<DialogKeyPress> keyPresses_;
  std::vector<bool> acceleratorTaken_;  // beside keyPresses_
  bool acceleratorsHeld_ = false;
  bool altKeyDown_ = false;  // the last key went down with Alt: its text is no typing
  bool drawingTop_ = false;
  bool closeRequested_ = false;
  bool mouseSimulated_ = false, mouseDown_ = false;
  float mouseX_ = 0, mouseY_ = 0;
  DisplayAdapterInfo adapter_;
};
