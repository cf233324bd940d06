// SDL events to saver events. Window resizes are not passed on: the frame step sees them by
// comparing the drawable with the back buffer, as a lost device is seen by testing it. With a
// window on every display, mouse positions are the desktop's and focus passing between the
// saver's own windows is no deactivation.
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
      case SDL_MOUSEMOTION: {
        event->type = SaverEventType::MouseMove;
        int left = 0, top = 0;
        if (SDL_Window* window = SDL_GetWindowFromID(e.motion.windowID))
          SDL_GetWindowPosition(window, &left, &top);
        event->x = left + e.motion.x;
        event->y = top + e.motion.y;
        return true;
      }
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
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST && !SDL_GetKeyboardFocus()) {
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
