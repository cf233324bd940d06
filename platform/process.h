// What the saver asks of the operating system and the desktop around its windows: its own
// priority, whether a display exists, the desktop's screen saver, the sound driver of headless
// runs and message boxes.
#pragma once

#include <cstdint>
#include <string>

// The lowest scheduling priority, so that the saver never slows what the user runs.
void SetLowestPriority();

// Whether an X11 or Wayland display is there to open windows on.
bool HaveDisplay();

// Headless runs play into SDL's silent driver unless SDL_AUDIODRIVER already names one.
void UseSilentAudioUnlessChosen();

// Call before the first window: only a signal ends the event stream (not closing the last window),
// and the desktop's screen saver stays allowed until InhibitDesktopScreenSaver.
void PrepareSaverEvents();

// Keeps the desktop's own screen saver and power saving away while the saver runs full screen.
void InhibitDesktopScreenSaver();

// A message box with the error icon; false when none could be shown (no display).
bool ShowErrorMessageBox(const std::string& caption, const std::string& text);
// The same with the information icon.
bool ShowInformationMessageBox(const std::string& caption, const std::string& text);

// The desktop's display mode: width, height and bits per pixel; false when unknown (headless).
bool DesktopDisplayMode(int32_t* width, int32_t* height, int32_t* bitsPerPixel);
