// The program-wide state pointer. A default state exists from the start so that the emulation
// can run in tools and tests without an application object.
#include "shell/app_state.h"

namespace {
AppState g_defaultState;
AppState* g_state = &g_defaultState;
}  // namespace

AppState& App() { return *g_state; }

void SetApp(AppState* state) { g_state = state ? state : &g_defaultState; }
