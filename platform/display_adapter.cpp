// The display adapter's description: software renderers and the adapter identifier.
#include "platform/display_adapter.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// FNV-1a, 64 bits, from a given starting value.
uint64_t Fnv1a(const std::string& text, uint64_t hash) {
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

}  // namespace

bool IsSoftwareRenderer(const std::string& renderer) {
  static const char* const kSoftware[] = {"llvmpipe", "softpipe", "swrast", "software rasterizer",
                                          "swiftshader", "lavapipe"};
  const std::string lower = Lower(renderer);
  return std::any_of(std::begin(kSoftware), std::end(kSoftware),
                     [&](const char* name) { return lower.find(name) != std::string::npos; });
}

std::string DeviceDescription(const std::string& renderer) {
  return IsSoftwareRenderer(renderer) ? "SW (sw vp)" : "HAL (hw vp)";
}

void AdapterIdentifier(const std::string& vendor, const std::string& renderer, uint8_t id[16]) {
  const std::string key = vendor + '\n' + renderer;
  const uint64_t halves[2] = {Fnv1a(key, 0xCBF29CE484222325ull),
                              Fnv1a(key, 0x84222325CBF29CE4ull)};
  for (int i = 0; i < 16; ++i) id[i] = static_cast<uint8_t>(halves[i / 8] >> (8 * (i % 8)));
}

bool IsSixteenBitFormat(int32_t format) {
  return format == DISPLAY_FORMAT_R5G6B5 || format == DISPLAY_FORMAT_X1R5G5B5 ||
         format == DISPLAY_FORMAT_A1R5G5B5;
}

int ChooseDisplayMode(const std::vector<DisplayModeInfo>& modes, int32_t width, int32_t height,
                      int32_t format) {
  if (width <= 0 || height <= 0) return -1;
  int first = -1, sameFormat = -1, sixteenBit = -1;
  for (size_t i = 0; i < modes.size(); ++i) {
    const DisplayModeInfo& mode = modes[i];
    if (mode.width != width || mode.height != height) continue;
    const int index = static_cast<int>(i);
    if (first < 0) first = index;
    if (sameFormat < 0 && format != 0 && mode.format == format) sameFormat = index;
    if (sixteenBit < 0 && IsSixteenBitFormat(mode.format)) sixteenBit = index;
  }
  if (sameFormat >= 0) return sameFormat;
  if (IsSixteenBitFormat(format) && sixteenBit >= 0) return sixteenBit;
  return first;
}
