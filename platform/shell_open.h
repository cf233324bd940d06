// Opening a file or folder the way the desktop does: with xdg-open, in a process of its own that
// the program never waits for.
//
//   if (!ShellOpen(logPath)) ...tell the user where the file is...
#pragma once

#include <string>

// Starts "xdg-open path", detached. False when xdg-open is not installed or cannot be started.
bool ShellOpen(const std::string& path);

// The first executable file called `name` in the folders of $PATH; empty when there is none.
std::string FindOnPath(const std::string& name);
