// The keyboard's rules over the platform's 256-byte key state.
#include "presentation/keyboard.h"

#include "base/error_box.h"
#include "base/log.h"
#include "base/program.h"
#include "platform/keyboard_state.h"
#include "presentation/camera.h"

namespace {

bool g_keyboard = false;

// Host key for each bit of each Spectrum half-row (row 0: Caps Shift, Z, X, C, V ... row 7:
// Space, Symbol Shift, M, N, B).
constexpr uint8_t kKeyMap[8][5] = {
    {DIK_LSHIFT, DIK_Z, DIK_X, DIK_C, DIK_V}, {DIK_A, DIK_S, DIK_D, DIK_F, DIK_G},
    {DIK_Q, DIK_W, DIK_E, DIK_R, DIK_T},      {DIK_1, DIK_2, DIK_3, DIK_4, DIK_5},
    {DIK_0, DIK_9, DIK_8, DIK_7, DIK_6},      {DIK_P, DIK_O, DIK_I, DIK_U, DIK_Y},
    {DIK_RETURN, DIK_L, DIK_K, DIK_J, DIK_H}, {DIK_SPACE, DIK_RSHIFT, DIK_M, DIK_N, DIK_B},
};

// Host keys that type a shifted Spectrum key: Caps Shift plus the key at row/bit.
struct ExtraKey {
  uint8_t key, row, bit;
};
constexpr ExtraKey kExtraKeys[] = {
    {DIK_BACK, 4, 0},   // DELETE: Caps Shift + 0
    {DIK_TAB, 7, 1},    // extended mode: Caps Shift + Symbol Shift
    {DIK_LEFT, 3, 4},   // Caps Shift + 5
    {DIK_RIGHT, 4, 2},  // Caps Shift + 8
    {DIK_UP, 4, 3},     // Caps Shift + 7
    {DIK_DOWN, 4, 4},   // Caps Shift + 6
};

constexpr float kCameraSpeed = 10 * 60;  // units a second: 10 a frame at 60 frames a second

bool Down(const uint8_t keyState[256], uint8_t key) { return (keyState[key] & 0x80) != 0; }

bool ControlHeld(const uint8_t keyState[256]) {
  return Down(keyState, DIK_LCONTROL) || Down(keyState, DIK_RCONTROL);
}

}  // namespace

int32_t SetUpKeyboard(int32_t saverMode) {
  if (saverMode == SM_PREVIEW) return 0;
  WriteLog("Initialising DInput");
  WriteLog("Creating DInput8 object");
  if (!KeyboardAvailable()) {
    constexpr int32_t kFailed = static_cast<int32_t>(0x80004005);
    ErrorBox("Couldn't create a DI8 object", kFailed);
    return kFailed;
  }
  g_keyboard = true;
  WriteLog("DInput initialised OK");
  return 0;
}

void PollKeyboard(CCamera& camera, uint8_t matrix[8], float seconds) {
  uint8_t keyState[256] = {};
  if (g_keyboard) ReadKeyboardState(keyState);
  ApplyCameraKeys(keyState, camera, seconds);
  FillKeyMatrix(keyState, matrix);
}

void ShutDownKeyboard() {
  WriteLog("Shutting down DInput");
  g_keyboard = false;
  WriteLog("Shut down DInput OK");
}

void FillKeyMatrix(const uint8_t keyState[256], uint8_t matrix[8]) {
  for (int row = 0; row < 8; ++row) {
    uint8_t bits = 0;
    for (int bit = 0; bit < 5; ++bit)
      if (Down(keyState, kKeyMap[row][bit])) bits |= static_cast<uint8_t>(1 << bit);
    matrix[row] = bits;
  }
  if (ControlHeld(keyState)) return;
  for (const ExtraKey& extra : kExtraKeys) {
    if (!Down(keyState, extra.key)) continue;
    matrix[0] |= 1;  // Caps Shift
    matrix[extra.row] |= static_cast<uint8_t>(1 << extra.bit);
  }
}

void ApplyCameraKeys(const uint8_t keyState[256], CCamera& camera, float seconds) {
  const float step = kCameraSpeed * seconds;
  const bool left = Down(keyState, DIK_LEFT), right = Down(keyState, DIK_RIGHT);
  const bool up = Down(keyState, DIK_UP), down = Down(keyState, DIK_DOWN);
  const bool pageUp = Down(keyState, DIK_PRIOR), pageDown = Down(keyState, DIK_NEXT);

  if (Down(keyState, DIK_LCONTROL)) {
    // Move eye and target together, from their anchors.
    const float dx = right ? step : left ? -step : 0;
    const float dy = pageUp ? step : pageDown ? -step : 0;
    const float dz = down ? -step : up ? step : 0;
    if (dx != 0 || dy != 0 || dz != 0) camera.Move(dx, dy, dz);
  }

  if (Down(keyState, DIK_RCONTROL)) {
    // A nudge away from the anchors; up and down move only the eye, towards or away from the
    // target. Shown at once, like every other camera change.
    if (pageDown) camera.Nudge(0, -step, 0);
    if (pageUp) camera.Nudge(0, step, 0);
    if (left) camera.Nudge(-step, 0, 0);
    if (right) camera.Nudge(step, 0, 0);
    if (up) camera.Nudge(0, 0, step);
    if (down) camera.Nudge(0, 0, -step);
  }
}

KeyDownAction KeyDownActionFor(int32_t virtualKey, int32_t hotKey, int32_t saverMode,
                               bool handsOn) {
  if (hotKey != 0 && virtualKey == hotKey && saverMode == SM_FULL)
    return KeyDownAction::ToggleHandsOn;
  if (saverMode == SM_TEST) return KeyDownAction::Nothing;
  if (handsOn) return virtualKey == VK_ESCAPE ? KeyDownAction::EndSaver : KeyDownAction::Nothing;
  return saverMode == SM_FULL ? KeyDownAction::EndSaver : KeyDownAction::Nothing;
}
