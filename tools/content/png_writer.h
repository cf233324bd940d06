// A minimal PNG writer for the content previews: 8-bit RGB, no interlace, one zlib stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `rgb` (width x height x 3 bytes), each pixel repeated `scale` times in both directions.
// False when the file cannot be written.
bool WritePNG(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
              int scale = 1);
