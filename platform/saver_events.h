// The saver's window messages: SDL events reduced to what the screen-saver framework reacts to,
// with keys as virtual-key codes. Needs the video subsystem (a window) to have been started.
//
//   SaverEvent event;
//   while (PollSaverEvent(&event)) saver.HandleMessage(event);
#pragma once

#include <cstdint>

enum class SaverEventType {
  Quit,           // the process was asked to stop (SIGINT, SIGTERM)
  WindowClosed,   // the user closed the window (the window is being destroyed)
  KeyDown,        // `virtualKey` (repeats included, as a held key repeats)
  MouseMove,      // to (`x`, `y`) in the window
  MouseButton,    // left, right or middle button pressed
  Deactivated,    // the window lost the input focus
  Exposed,        // the window needs repainting
};

struct SaverEvent {
  SaverEventType type = SaverEventType::Quit;
  int32_t virtualKey = 0;
  int32_t x = 0, y = 0;
};

// Takes the next waiting event the framework cares about; false when none is waiting.
bool PollSaverEvent(SaverEvent* event);
