// The bundled screen images (.scr): 6912 bytes each, drawn procedurally.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DemoScreen {
  std::string file;         // name in the Snapshots folder
  std::string description;  // one line for the README
  std::vector<uint8_t> bytes;
};

// The "Glimmerbox" title: the name in large letters, sparkles and a small television.
std::vector<uint8_t> TitleScreen();
// Colour bars in the 8 colours, normal and BRIGHT, a circle, gratings and a FLASH box.
std::vector<uint8_t> TestCardScreen();
// A sunset over mountains and a perspective grid, dithered sky.
std::vector<uint8_t> SunsetScreen();
// Shaded spheres over a perspective checkerboard floor.
std::vector<uint8_t> SpheresScreen();

std::vector<DemoScreen> DemoScreens();
