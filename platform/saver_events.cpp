// SDL events to saver events. Window resizes are not passed on: the frame step sees them by
// comparing the drawable with the back buffer, as a lost device is seen by testing it.
#include "platform/saver_events.h"

#include <SDL.h>

#include "platform/keyboard_state.h"

bool PollSaverEvent(SaverEvent* event) {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    *event = SaverEvent{};
    switch (e.type) {
      case SDL_QUIT:
        event->type = SaverEventType::Quit;
        return true;
      case SDL_KEYDOWN:
        event->type = SaverEventType::KeyDown;
        event->virtualKey = VirtualKeyFromKeycode(e.key.keysym.sym);
        return true;
      case SDL_MOUSEMOTION:
        event->type = SaverEventType::MouseMove;
        event->x = e.motion.x;
        event->y = e.motion.y;
        return true;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT &&
            e.button.button != SDL_BUTTON_MIDDLE)
          break;
        event->type = SaverEventType::MouseButton;
        return true;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
          event->type = SaverEventType::WindowClosed;
          return true;
        }
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
          event->type = SaverEventType::Deactivated;
          return true;
        }
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
          event->type = SaverEventType::Exposed;
          return true;
        }
        break;
      default:
        break;
    }
  }
  return false;
}
