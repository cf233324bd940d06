// The framework's error display: the message of error mode in a box drawn with a font of its own
// (the application's resources may be gone), bouncing slowly round the saver window, or filling a
// preview.
//
//   CErrorDisplay display;
//   each step:  display.Resize(window);  display.Move(device, seconds, preview);
//               if (display.Draw(device, text, preview)) device->Present();
//   at the end: display.Release();       // before the device goes
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class COverlayFont;
class GfxDevice;
class GfxWindow;

// The error box: window colour inside a grey frame (black would vanish into the black around it),
// dark text.
constexpr uint32_t ERROR_BOX_COLOUR = 0xFFD4D0C8;
constexpr uint32_t ERROR_FRAME_COLOUR = 0xFF808080;
constexpr uint32_t ERROR_TEXT_COLOUR = 0xFF000000;

// Breaks `text` into lines no wider than `width` as `measure` measures them: at newlines, at
// spaces, and inside a word too wide for a line of its own.
std::vector<std::string> WrapTextToWidth(const std::string& text, float width,
                                         const std::function<float(const std::string&)>& measure);

class CErrorDisplay {
 public:
  CErrorDisplay();
  ~CErrorDisplay();
  CErrorDisplay(const CErrorDisplay&) = delete;
  CErrorDisplay& operator=(const CErrorDisplay&) = delete;

  // A window resize in error mode concerns the box alone: one plain device reset, not asked for
  // again for a size that could not be had.
  void Resize(GfxWindow& window);
  // Moves the box on by `elapsed` seconds (a preview's box stands still).
  void Move(GfxDevice* device, float elapsed, bool preview);
  // Draws the box with `text` into the back buffer; false without a device.
  bool Draw(GfxDevice* device, const std::string& text, bool preview);
  // The font goes (the device is going).
  void Release();

 private:
  std::unique_ptr<COverlayFont> font_;
  bool fontFailed_ = false;
  float box_[4] = {};  // x, y, width, height in pixels
  float velocity_[2] = {};
  bool placed_ = false;
  uint32_t refusedSize_[2] = {};  // the last size a reset failed for
};
