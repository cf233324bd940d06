// The dialog window: Dear ImGui's SDL2 and OpenGL 2 backends on a GfxWindow (a test-style window,
// or the off-screen framebuffer of a headless one), the stack of modal dialogs and message boxes.
#include "platform/dialog_window.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>
#include <imgui_impl_sdl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "base/log.h"
#include "platform/gfx.h"
#include "platform/keyboard_state.h"
#include "platform/shell_open.h"
#include "platform/window.h"

namespace {

constexpr const char* kDialogFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr float kFontPixels = 15.0f;

MessageBoxSink& Sink() {
  static MessageBoxSink sink;
  return sink;
}

// Windows' dialog look: light, square, framed controls.
void ApplyDialogStyle() {
  ImGui::StyleColorsLight();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowRounding = 0;
  style.ChildRounding = 0;
  style.FrameRounding = 2;
  style.WindowBorderSize = 1;
  style.FrameBorderSize = 1;
  style.WindowPadding = ImVec2(10, 10);
  style.ItemSpacing = ImVec2(8, 6);
  style.WindowTitleAlign = ImVec2(0, 0.5f);
  style.Colors[ImGuiCol_WindowBg] = ImVec4(0.94f, 0.94f, 0.94f, 1);
  style.Colors[ImGuiCol_Border] = ImVec4(0.62f, 0.62f, 0.62f, 1);
  style.Colors[ImGuiCol_FrameBg] = ImVec4(1, 1, 1, 1);
  style.Colors[ImGuiCol_Button] = ImVec4(0.88f, 0.88f, 0.88f, 1);
  style.Colors[ImGuiCol_ButtonHovered] = ImVec4(0.80f, 0.88f, 0.97f, 1);
  style.Colors[ImGuiCol_ButtonActive] = ImVec4(0.70f, 0.82f, 0.95f, 1);
}

// SDL's own message boxes (X11) do not wrap their text: lines are broken at spaces here.
std::string WrapLines(const std::string& text, size_t width) {
  std::string out;
  size_t lineStart = 0;
  while (lineStart <= text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    size_t column = 0;
    size_t word = lineStart;
    while (word < lineEnd) {
      size_t end = text.find(' ', word);
      if (end == std::string::npos || end > lineEnd) end = lineEnd;
      const size_t length = end - word;
      if (column > 0 && column + 1 + length > width) {
        out += '\n';
        column = 0;
      } else if (column > 0) {
        out += ' ';
        ++column;
      }
      out.append(text, word, length);
      column += length;
      word = end + 1;
    }
    if (lineEnd >= text.size()) break;
    out += '\n';
    lineStart = lineEnd + 1;
  }
  return out;
}

}  // namespace

int32_t HotKeyModifiersOf(uint16_t sdlModifiers) {
  int32_t flags = 0;
  if (sdlModifiers & KMOD_SHIFT) flags |= HOTKEY_SHIFT;
  if (sdlModifiers & KMOD_CTRL) flags |= HOTKEY_CONTROL;
  if (sdlModifiers & KMOD_ALT) flags |= HOTKEY_ALT;
  return flags;
}

void SetMessageBoxSink(MessageBoxSink sink) { Sink() = std::move(sink); }

std::unique_ptr<DialogWindow> DialogWindow::Create(const Options& options, std::string* error) {
  std::unique_ptr<DialogWindow> dialog(new DialogWindow);
  if (!dialog->SetUp(options, error)) return nullptr;
  return dialog;
}

bool DialogWindow::SetUp(const Options& options, std::string* error) {
  headless_ = options.headless;
  GfxWindowOptions gfx;
  gfx.mode = headless_ ? GfxWindowMode::Headless : GfxWindowMode::Test;
  gfx.width = options.width;
  gfx.height = options.height;
  gfx.title = options.title;
  gfx.verticalSync = true;
  window_ = GfxWindow::Create(gfx, error);
  if (!window_) return false;
  SDL_Window* sdl = window_->SdlWindow();
  if (!headless_) SDL_SetWindowResizable(sdl, SDL_FALSE);

  IMGUI_CHECKVERSION();
  imgui_ = ImGui::CreateContext();
  ImGui::SetCurrentContext(imgui_);
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // a dialog remembers nothing between runs
  io.LogFilename = nullptr;
  if (!std::filesystem::exists(kDialogFont) ||
      !io.Fonts->AddFontFromFileTTF(kDialogFont, kFontPixels)) {
    WriteLog(std::string("Dialogs: cannot load the font ") + kDialogFont + "; using ImGui's own");
    io.Fonts->AddFontDefault();
  }
  ApplyDialogStyle();
  if (!ImGui_ImplSDL2_InitForOpenGL(sdl, window_->GlContext()) || !ImGui_ImplOpenGL2_Init()) {
    if (error) *error = "cannot set up Dear ImGui on the window";
    return false;
  }
  backendsReady_ = true;
  DescribeAdapter();
  return true;
}

DialogWindow::~DialogWindow() {
  if (imgui_) {
    if (window_) SDL_GL_MakeCurrent(window_->SdlWindow(), window_->GlContext());
    ImGui::SetCurrentContext(imgui_);
    if (backendsReady_) {
      ImGui_ImplOpenGL2_Shutdown();
      ImGui_ImplSDL2_Shutdown();
    }
    ImGui::DestroyContext(imgui_);
  }
  window_.reset();
}

void DialogWindow::DescribeAdapter() { DescribeCurrentAdapter(&adapter_); }

int32_t DialogWindow::RunModal(const std::string& caption, float width, float height,
                               DrawFunction draw) {
  PushDialog(caption, width, height, std::move(draw));
  int32_t result = 0;
  for (int frames = 0; result == 0; ++frames) {
    PumpEvents();
    if (closeRequested_) {
      result = DIALOG_CANCEL;
      break;
    }
    result = DrawFrame();
    if (frameHook_) frameHook_(stack_.size());
    if (result == 0 && headless_ && frames + 1 >= kHeadlessFrameLimit) {
      WriteLog("Dialogs: \"" + caption + "\" got no answer off screen; cancelled");
      result = DIALOG_CANCEL;
    }
  }
  PopDialog();
  // The close box cancels every open dialog; a later one starts afresh.
  if (stack_.empty()) closeRequested_ = false;
  return result;
}

void DialogWindow::Defer(std::function<void()> action) { deferred_.push_back(std::move(action)); }

void DialogWindow::SetFrameHook(std::function<void(size_t)> hook) { frameHook_ = std::move(hook); }

void DialogWindow::PushDialog(const std::string& caption, float width, float height,
                              DrawFunction draw) {
  stack_.push_back({caption, width, height, std::move(draw)});
  if (stack_.size() == 1 && window_ && !headless_)
    SDL_SetWindowTitle(window_->SdlWindow(), caption.c_str());
}

void DialogWindow::PopDialog() {
  if (!stack_.empty()) stack_.pop_back();
}

const std::vector<DialogKeyPress>& DialogWindow::KeyPresses() const {
  static const std::vector<DialogKeyPress> kNone;
  return drawingTop_ ? keyPresses_ : kNone;
}

bool DialogWindow::TakeAccelerator(char letter) {
  if (!drawingTop_ || acceleratorsHeld_ || letter == 0) return false;
  // Letters and digits have their own character as virtual-key code, letters in capitals.
  const int32_t key = std::toupper(static_cast<unsigned char>(letter));
  acceleratorTaken_.resize(keyPresses_.size(), false);
  for (size_t i = 0; i < keyPresses_.size(); ++i) {
    const DialogKeyPress& press = keyPresses_[i];
    if (press.virtualKey != key || acceleratorTaken_[i] || !(press.modifiers & HOTKEY_ALT) ||
        (press.modifiers & HOTKEY_CONTROL))
      continue;
    acceleratorTaken_[i] = true;
    return true;
  }
  return false;
}

void DialogWindow::PumpEvents() {
  SDL_Event event;
  // A dialog waits for the user: at most 20 frames a second while nothing happens.
  if (!headless_ && SDL_WaitEventTimeout(&event, 50)) {
    ProcessEvent(event);
    if (event.type == SDL_MOUSEBUTTONDOWN) return;
  }
  // ImGui loses a click whose press and release fall into one frame: after a press, the events
  // still waiting are left for the next frame.
  while (SDL_PollEvent(&event)) {
    ProcessEvent(event);
    if (event.type == SDL_MOUSEBUTTONDOWN) break;
  }
}

void DialogWindow::ProcessEvent(const SDL_Event& event) {
  ImGui::SetCurrentContext(imgui_);
  // Alt+letter is a control's accelerator, never a letter typed into an edit.
  if (event.type == SDL_TEXTINPUT && altKeyDown_) return;
  ImGui_ImplSDL2_ProcessEvent(&event);
  switch (event.type) {
    case SDL_QUIT:
      closeRequested_ = true;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) closeRequested_ = true;
      break;
    case SDL_KEYUP:
    case SDL_KEYDOWN: {
      // The modifiers as they were when the key moved: SDL's current state may already be later
      // than the events still waiting (a Ctrl+click arrives with its Ctrl release).
      ImGuiIO& io = ImGui::GetIO();
      io.KeyShift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
      io.KeyCtrl = (event.key.keysym.mod & KMOD_CTRL) != 0;
      io.KeyAlt = (event.key.keysym.mod & KMOD_ALT) != 0;
      if (event.type == SDL_KEYDOWN) {
        // Right Alt with Ctrl is AltGr on many layouts: it types.
        altKeyDown_ = (event.key.keysym.mod & KMOD_ALT) && !(event.key.keysym.mod & KMOD_CTRL);
        if (!event.key.repeat)
          keyPresses_.push_back({VirtualKeyFromKeycode(event.key.keysym.sym),
                                 HotKeyModifiersOf(event.key.keysym.mod)});
      }
      break;
    }
    default:
      break;
  }
}

int32_t DialogWindow::DrawFrame() {
  SDL_GL_MakeCurrent(window_->SdlWindow(), window_->GlContext());
  ImGui::SetCurrentContext(imgui_);
  ImGui_ImplOpenGL2_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  if (mouseSimulated_) {
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(mouseX_, mouseY_);
    io.MouseDown[0] = mouseDown_;
  }
  ImGui::NewFrame();

  const ImVec2 display = ImGui::GetIO().DisplaySize;
  int32_t result = 0;
  for (size_t level = 0; level < stack_.size(); ++level) {
    const Dialog& dialog = stack_[level];
    const bool top = level + 1 == stack_.size();
    drawingTop_ = top;
    ImGuiWindowFlags flags =
        ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoMove |
        ImGuiWindowFlags_NoSavedSettings;
    if (!top) flags |= ImGuiWindowFlags_NoBringToFrontOnFocus;
    bool open = true;
    bool* closeBox = nullptr;
    if (level == 0) {
      // The first dialog is the window; its caption is the window's title.
      flags |= ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoBringToFrontOnFocus;
      ImGui::SetNextWindowPos(ImVec2(0, 0));
      ImGui::SetNextWindowSize(display);
    } else {
      ImGui::SetNextWindowPos(ImVec2(display.x / 2, display.y / 2), ImGuiCond_Always,
                              ImVec2(0.5f, 0.5f));
      ImGui::SetNextWindowSize(ImVec2(std::min(dialog.width, display.x),
                                      std::min(dialog.height, display.y)));
      closeBox = &open;
    }
    if (!top) ImGui::BeginDisabled();
    const std::string title = dialog.caption + "###" + std::to_string(level) + dialog.caption;
    ImGui::Begin(title.c_str(), closeBox, flags);
    if (top && !ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows))
      ImGui::SetWindowFocus();
    const int32_t answer = dialog.draw();
    ImGui::End();
    if (!top) ImGui::EndDisabled();
    if (top) result = answer != 0 ? answer : (open ? 0 : DIALOG_CANCEL);
  }
  drawingTop_ = false;
  ImGui::Render();

  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window_->SdlWindow(), &width, &height);
  glViewport(0, 0, width, height);
  glClearColor(0.94f, 0.94f, 0.94f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
  if (GfxDevice* device = window_->Device()) device->Present();
  keyPresses_.clear();
  acceleratorTaken_.clear();
  acceleratorsHeld_ = false;

  std::vector<std::function<void()>> actions;
  actions.swap(deferred_);
  for (auto& action : actions) action();
  return result;
}

void DialogWindow::SimulateMouse(float x, float y, bool buttonDown) {
  mouseSimulated_ = true;
  mouseX_ = x;
  mouseY_ = y;
  mouseDown_ = buttonDown;
}

bool DialogWindow::SaveScreenshot(const std::string& path) const {
  return window_ && window_->SaveScreenshot(path);
}

void DialogWindow::ShowMessageBox(MessageBoxIcon icon, const std::string& caption,
                                  const std::string& text) {
  if (Sink()) {
    Sink()(icon, caption, text);
    return;
  }
  if (!headless_) {
    const Uint32 flags =
        icon == MessageBoxIcon::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    const std::string wrapped = WrapLines(text, 72);
    if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), wrapped.c_str(), window_->SdlWindow()) == 0)
      return;
  }
  WriteLog(caption + ": " + text);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void DialogWindow::OpenInShell(const std::string& path) {
  if (ShellOpen(path)) return;
  ShowMessageBox(MessageBoxIcon::Information, "Glimmerbox",
                 "No program to open it with was found (xdg-open is not installed). "
                 "Open it yourself:\n\n" + path);
}
