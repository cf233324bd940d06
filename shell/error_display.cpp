// The error display. The box starts in the middle of the window and moves a tenth of the window's
// width and a twentieth of its height a second, bouncing off the edges.
#include "shell/error_display.h"

#include <algorithm>
#include <cmath>

#include "base/log.h"
#include "platform/gfx.h"
#include "platform/window.h"
#include "presentation/overlay_font.h"

namespace {

// The error box in pixels, and the room between its frame and its text.
constexpr float kErrorBoxWidth = 300, kErrorBoxHeight = 150;
constexpr int32_t kErrorTextMargin = 8;

}  // namespace

std::vector<std::string> WrapTextToWidth(const std::string& text, float width,
                                         const std::function<float(const std::string&)>& measure) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line;
    for (size_t pos = start; pos < end;) {
      size_t wordEnd = text.find(' ', pos);
      if (wordEnd == std::string::npos || wordEnd > end) wordEnd = end;
      std::string word = text.substr(pos, wordEnd - pos);
      pos = wordEnd + 1;
      if (word.empty()) continue;
      const std::string joined = line.empty() ? word : line + " " + word;
      if (measure(joined) <= width) {
        line = joined;
        continue;
      }
      if (!line.empty()) lines.push_back(line);
      // A word wider than a line is cut where it stops fitting; a character always fits.
      while (word.size() > 1 && measure(word) > width) {
        size_t fit = 1;
        while (fit < word.size() && measure(word.substr(0, fit + 1)) <= width) ++fit;
        lines.push_back(word.substr(0, fit));
        word.erase(0, fit);
      }
      line = word;
    }
    lines.push_back(line);
    if (end >= text.size()) break;
    start = end + 1;
  }
  return lines;
}

CErrorDisplay::CErrorDisplay() = default;

CErrorDisplay::~CErrorDisplay() = default;

void CErrorDisplay::Resize(GfxWindow& window) {
  uint32_t width = 0, height = 0;
  if (!window.SizeChanged(&width, &height)) return;
  // A size that could not be had is not asked for again on every step.
  if (width == refusedSize_[0] && height == refusedSize_[1]) return;
  if (font_) font_->InvalidateDeviceResources();
  if (window.Device()->Reset(width, height) < 0) {
    refusedSize_[0] = width;
    refusedSize_[1] = height;
    DebugOutput("Error mode: the device could not be reset to " + std::to_string(width) + "x" +
                std::to_string(height) + "\n");
  }
  if (font_ && !fontFailed_ && font_->RestoreDeviceResources() < 0) fontFailed_ = true;
}

void CErrorDisplay::Move(GfxDevice* device, float elapsed, bool preview) {
  if (!device || !placed_ || preview) return;
  uint32_t width = 0, height = 0;
  device->GetBackBufferSize(&width, &height);
  // Bounce off the area's edges.
  for (int axis = 0; axis < 2; ++axis) {
    const float limit = static_cast<float>(axis == 0 ? width : height) - box_[2 + axis];
    float& position = box_[axis];
    position += velocity_[axis] * elapsed;
    if (position < 0 && velocity_[axis] < 0) {
      position = 0;
      velocity_[axis] = -velocity_[axis];
    } else if (position > limit && velocity_[axis] > 0) {
      position = limit > 0 ? limit : 0;
      velocity_[axis] = -velocity_[axis];
    }
  }
}

bool CErrorDisplay::Draw(GfxDevice* device, const std::string& text, bool preview) {
  if (!device) return false;
  // The application's resources may be gone: the box is drawn with a font of the framework's own.
  if (!font_ && !fontFailed_) {
    font_ = std::make_unique<COverlayFont>("Arial", 12, 0);
    fontFailed_ = font_->InitDeviceResources(device) < 0 || font_->RestoreDeviceResources() < 0;
    font_->SetColour(ERROR_TEXT_COLOUR);
  }

  uint32_t width = 0, height = 0;
  device->GetBackBufferSize(&width, &height);
  const float areaW = static_cast<float>(width), areaH = static_cast<float>(height);
  if (preview) {
    // The whole area, still, also after a resize.
    box_[0] = box_[1] = 0;
    box_[2] = areaW;
    box_[3] = areaH;
    placed_ = true;
  } else if (!placed_) {
    placed_ = true;
    // A window smaller than the box still shows all of it.
    box_[2] = std::min(kErrorBoxWidth, areaW);
    box_[3] = std::min(kErrorBoxHeight, areaH);
    box_[0] = (areaW - box_[2]) / 2;
    box_[1] = (areaH - box_[3]) / 2;
    velocity_[0] = areaW / 10;
    velocity_[1] = areaH / 20;
  }

  const GfxRect box{static_cast<int32_t>(std::lround(box_[0])),
                    static_cast<int32_t>(std::lround(box_[1])),
                    static_cast<int32_t>(std::lround(box_[0] + box_[2])),
                    static_cast<int32_t>(std::lround(box_[1] + box_[3]))};
  // The rest of the monitor is black; the box is its frame filled with the window colour.
  device->Clear(GFX_CLEAR_TARGET | GFX_CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  device->ClearRect(box, ERROR_FRAME_COLOUR);
  device->ClearRect({box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}, ERROR_BOX_COLOUR);
  if (fontFailed_ || device->BeginScene() < 0) return true;

  const int32_t left = box.left + 1 + kErrorTextMargin, top = box.top + 1 + kErrorTextMargin;
  const int32_t innerW = box.right - 1 - kErrorTextMargin - left;
  const int32_t innerH = box.bottom - 1 - kErrorTextMargin - top;
  const float lineHeight = font_->LineHeight();
  if (innerW > 0 && innerH > 0 && lineHeight > 0) {
    std::vector<std::string> lines = WrapTextToWidth(
        text, static_cast<float>(innerW),
        [this](const std::string& line) { return font_->TextWidth(line); });
    // What does not fit is left out rather than drawn over the frame.
    const size_t fitting = static_cast<size_t>(static_cast<float>(innerH) / lineHeight);
    if (lines.size() > fitting) lines.resize(fitting);
    const float blockH = static_cast<float>(lines.size()) * lineHeight;
    float y = std::floor(static_cast<float>(top) + (static_cast<float>(innerH) - blockH) / 2);
    for (const std::string& line : lines) {
      const float x = std::floor(static_cast<float>(left) +
                                 (static_cast<float>(innerW) - font_->TextWidth(line)) / 2);
      font_->DrawText(x, y, line);
      y += lineHeight;
    }
  }
  device->EndScene();
  return true;
}

void CErrorDisplay::Release() {
  if (!font_) return;
  font_->InvalidateDeviceResources();
  font_->DeleteDeviceResources();
  font_.reset();
}
