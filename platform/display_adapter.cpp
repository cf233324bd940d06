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

int NextFallBackMode(const std::vector<DisplayModeInfo>& modes, const DisplayModeInfo& failed,
                     const std::vector<int>& tried) {
  const auto isTried = [&](const DisplayModeInfo& mode) {
    // SDL lists a mode once per refresh rate: one that failed at one rate is not tried again.
    return std::any_of(tried.begin(), tried.end(), [&](int index) {
      const DisplayModeInfo& done = modes[static_cast<size_t>(index)];
      return done.width == mode.width && done.height == mode.height && done.format == mode.format;
    });
  };
  const auto is32Bit = [](int32_t format) {
    return format == DISPLAY_FORMAT_A8R8G8B8 || format == DISPLAY_FORMAT_X8R8G8B8;
  };
  const int64_t failedPixels = int64_t{failed.width} * failed.height;
  int sameSize = -1, below = -1;
  int64_t belowPixels = 0;
  for (size_t i = 0; i < modes.size(); ++i) {
    const DisplayModeInfo& mode = modes[i];
    if (mode.format == 0 || mode.width < 640 || mode.height < 400 || isTried(mode)) continue;
    const int index = static_cast<int>(i);
    if (mode.width == failed.width && mode.height == failed.height) {
      if (sameSize < 0 && mode.format != failed.format) sameSize = index;
      continue;
    }
    const int64_t pixels = int64_t{mode.width} * mode.height;
    if (pixels >= failedPixels) continue;
    if (below < 0 || pixels > belowPixels ||
        (pixels == belowPixels && is32Bit(mode.format) &&
         !is32Bit(modes[static_cast<size_t>(below)].format))) {
      below = index;
      belowPixels = pixels;
    }
  }
  if (is32Bit(failed.format) && sameSize >= 0) return sameSize;
  return below;
}

int TryDisplayModes(const std::vector<DisplayModeInfo>& modes, int first,
                    const DisplayModeInfo& wanted, const std::function<bool(int index)>& tryMode) {
  std::vector<int> tried;
  DisplayModeInfo failed = wanted;
  int index = first >= 0 && static_cast<size_t>(first) < modes.size() ? first : -1;
  // Each round tries a mode not tried before, so the modes run out.
  for (size_t round = 0; round <= modes.size(); ++round) {
    if (index >= 0) {
      if (tryMode(index)) return index;
      tried.push_back(index);
      failed = modes[static_cast<size_t>(index)];
    }
    index = NextFallBackMode(modes, failed, tried);
    if (index < 0) return -1;
  }
  return -1;
}
