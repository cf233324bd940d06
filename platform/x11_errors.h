// Xlib's own error handlers end the program with exit(1) on any X error, from inside whatever
// Xlib call met it: a saver whose window the daemon has just destroyed would die half-way through
// a frame, skipping its close. These handlers note the error and carry on; the frame loop asks
// whether its window still exists and whether the display is still there.
//
//   InstallX11ErrorHandlers();   // before SDL's video starts, so that SDL's own chain to them
//   ... if (X11DisplayLost() || !X11WindowExists(display, id)) end the saver ...
#pragma once

#include <cstdint>

// Process-wide; call once, before any display is opened.
void InstallX11ErrorHandlers();
// Keeps an opened display from exiting the program when its connection breaks.
void GuardX11Display(void* display);

// The connection of a guarded display broke (the X server went away).
bool X11DisplayLost();
// X errors seen so far (the frame loop checks its window when this grows).
uint64_t X11ErrorCount();

// Whether window `id` exists on `display`; a round trip to the server.
bool X11WindowExists(void* display, uint64_t id);
// The same on the display the environment names, opened for the question: false when the display
// cannot be opened.
bool X11WindowExistsOnDefaultDisplay(uint64_t id);
