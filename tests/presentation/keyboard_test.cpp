#include "presentation/keyboard.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "base/program.h"
#include "platform/keyboard_state.h"
#include "presentation/camera.h"

namespace {

using Matrix = std::array<uint8_t, 8>;

struct Keys {
  uint8_t state[256] = {};
  Keys(std::initializer_list<uint8_t> down) {
    for (uint8_t key : down) state[key] = 0x80;
  }
};

Matrix MatrixOf(std::initializer_list<uint8_t> down) {
  Keys keys(down);
  Matrix matrix{};
  FillKeyMatrix(keys.state, matrix.data());
  return matrix;
}

// Row r, bits.
Matrix Rows(std::initializer_list<std::pair<int, uint8_t>> rows) {
  Matrix matrix{};
  for (auto [row, bits] : rows) matrix[row] |= bits;
  return matrix;
}

}  // namespace

// One frame at 60 frames a second: the camera's 10 units.
constexpr float kOneFrame = 1.0f / 60;

TEST(KeyMatrix, HostKeysPressTheirSpectrumKeys) {
  struct Case {
    const char* name;
    std::initializer_list<uint8_t> down;
    Matrix expected;
  };
  const Case cases[] = {
      {"nothing", {}, Matrix{}},
      {"Left Shift and 0: Caps Shift and 0", {DIK_LSHIFT, DIK_0}, Rows({{0, 0x01}, {4, 0x01}})},
      {"Backspace alone: the same two bits", {DIK_BACK}, Rows({{0, 0x01}, {4, 0x01}})},
      {"Right Shift is Symbol Shift", {DIK_RSHIFT}, Rows({{7, 0x02}})},
      {"V, G, T, 5, 6, Y, H, B: bit 4 of each row",
       {DIK_V, DIK_G, DIK_T, DIK_5, DIK_6, DIK_Y, DIK_H, DIK_B},
       Rows({{0, 0x10}, {1, 0x10}, {2, 0x10}, {3, 0x10}, {4, 0x10}, {5, 0x10}, {6, 0x10}, {7, 0x10}})},
      {"Return and Space", {DIK_RETURN, DIK_SPACE}, Rows({{6, 0x01}, {7, 0x01}})},
      {"Tab: extended mode", {DIK_TAB}, Rows({{0, 0x01}, {7, 0x02}})},
      {"cursor keys: Caps Shift with 5, 8, 7, 6",
       {DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_DOWN},
       Rows({{0, 0x01}, {3, 0x10}, {4, 0x04 | 0x08 | 0x10}})},
      {"Control suppresses the extra keys", {DIK_LCONTROL, DIK_BACK, DIK_TAB, DIK_LEFT}, Matrix{}},
      {"but not the ordinary ones", {DIK_RCONTROL, DIK_Q, DIK_LSHIFT, DIK_SPACE, DIK_UP},
       Rows({{0, 0x01}, {2, 0x01}, {7, 0x01}})},
  };
  for (const Case& c : cases) EXPECT_EQ(MatrixOf(c.down), c.expected) << c.name;
}

TEST(CameraKeys, TheCameraMovesByTimeNotByFrame) {
  // A second of held keys moves 600 units at any frame rate: 60 frames or 1000.
  for (int frames : {60, 1000}) {
    CCamera camera;
    Keys keys({DIK_LCONTROL, DIK_RIGHT});
    for (int i = 0; i < frames; ++i) ApplyCameraKeys(keys.state, camera, 1.0f / frames);
    EXPECT_NEAR(camera.Eye().x, 600, 0.05) << frames << " frames a second";
    Keys nudge({DIK_RCONTROL, DIK_UP});
    for (int i = 0; i < frames; ++i) ApplyCameraKeys(nudge.state, camera, 1.0f / frames);
    EXPECT_NEAR(camera.Eye().z, -300 + 600, 0.05) << frames << " frames a second";
  }
}

TEST(CameraKeys, LeftControlMovesEyeAndTargetFromTheAnchors) {
  struct Case {
    const char* name;
    std::initializer_list<uint8_t> down;
    Vec3 move;
  };
  const Case cases[] = {
      {"right wins over left", {DIK_LCONTROL, DIK_LEFT, DIK_RIGHT}, {10, 0, 0}},
      {"left", {DIK_LCONTROL, DIK_LEFT}, {-10, 0, 0}},
      {"Page Up wins over Page Down", {DIK_LCONTROL, DIK_PRIOR, DIK_NEXT}, {0, 10, 0}},
      {"down wins over up: away from the scene", {DIK_LCONTROL, DIK_UP, DIK_DOWN}, {0, 0, -10}},
      {"up: into the scene", {DIK_LCONTROL, DIK_UP}, {0, 0, 10}},
  };
  for (const Case& c : cases) {
    CCamera camera;
    camera.Nudge(1, 2, 303);  // to (1, 2, 3): a nudge away from the anchor is forgotten by a move
    camera.TakeChanged();
    Keys keys(c.down);
    ApplyCameraKeys(keys.state, camera, kOneFrame);
    EXPECT_FLOAT_EQ(camera.Eye().x, c.move.x) << c.name;
    EXPECT_FLOAT_EQ(camera.Eye().y, c.move.y) << c.name;
    EXPECT_FLOAT_EQ(camera.Eye().z, -300 + c.move.z) << c.name;
    EXPECT_FLOAT_EQ(camera.LookAt().x, c.move.x) << c.name;
    EXPECT_FLOAT_EQ(camera.LookAt().z, c.move.z) << c.name;
    EXPECT_FLOAT_EQ(camera.EyeAnchor().z, camera.Eye().z) << c.name;
    EXPECT_FLOAT_EQ(camera.LookAtAnchor().y, camera.LookAt().y) << c.name;
    EXPECT_TRUE(camera.TakeChanged()) << c.name;
  }
}

TEST(CameraKeys, LeftControlAloneChangesNothing) {
  CCamera camera;
  camera.TakeChanged();
  Keys keys({DIK_LCONTROL});
  ApplyCameraKeys(keys.state, camera, kOneFrame);
  EXPECT_FALSE(camera.TakeChanged());
  EXPECT_FLOAT_EQ(camera.Eye().z, -300);
}

TEST(CameraKeys, RightControlNudgesAwayFromTheAnchors) {
  CCamera camera;
  camera.TakeChanged();
  Keys keys({DIK_RCONTROL, DIK_RIGHT, DIK_NEXT, DIK_UP});
  ApplyCameraKeys(keys.state, camera, kOneFrame);
  EXPECT_FLOAT_EQ(camera.Eye().x, 10);
  EXPECT_FLOAT_EQ(camera.LookAt().x, 10);
  EXPECT_FLOAT_EQ(camera.Eye().y, -10);
  EXPECT_FLOAT_EQ(camera.LookAt().y, -10);
  EXPECT_FLOAT_EQ(camera.Eye().z, -290) << "up moves the eye towards what it looks at";
  EXPECT_FLOAT_EQ(camera.LookAt().z, 0) << "the target stays";
  EXPECT_FLOAT_EQ(camera.EyeAnchor().x, 0);
  EXPECT_FLOAT_EQ(camera.LookAtAnchor().y, 0);
  EXPECT_TRUE(camera.TakeChanged()) << "the nudge shows at once";

  // The next Left Control move starts from the anchors again.
  Keys move({DIK_LCONTROL, DIK_LEFT});
  ApplyCameraKeys(move.state, camera, kOneFrame);
  EXPECT_FLOAT_EQ(camera.Eye().x, -10);
  EXPECT_FLOAT_EQ(camera.Eye().z, -300);
}

TEST(HotKey, KeyPressesFollowTheModeAndHandsOnMode) {
  constexpr int32_t F1 = VK_F1, F2 = VK_F1 + 1, A = 'A', ESC = VK_ESCAPE;
  constexpr int32_t ControlF1 = (2 << 8) | VK_F1;
  struct Case {
    const char* name;
    int32_t key, hotKey, mode;
    bool handsOn;
    KeyDownAction expected;
  };
  const Case cases[] = {
      {"hot key in full screen switches hands-on mode on", F1, F1, SM_FULL, false,
       KeyDownAction::ToggleHandsOn},
      {"and off again", F1, F1, SM_FULL, true, KeyDownAction::ToggleHandsOn},
      {"any other key ends the full-screen saver", A, F1, SM_FULL, false, KeyDownAction::EndSaver},
      {"in hands-on mode other keys do not end it", A, F1, SM_FULL, true, KeyDownAction::Nothing},
      {"in hands-on mode Escape ends it", ESC, F1, SM_FULL, true, KeyDownAction::EndSaver},
      {"a hot key with Control never matches F1", F1, ControlF1, SM_FULL, false,
       KeyDownAction::EndSaver},
      {"no hot key (0) never matches", 0, 0, SM_FULL, false, KeyDownAction::EndSaver},
      {"keys never end the test window", A, F1, SM_TEST, false, KeyDownAction::Nothing},
      {"nor switch hands-on mode there", F1, F1, SM_TEST, false, KeyDownAction::Nothing},
      {"the preview ignores keys", F2, F1, SM_PREVIEW, false, KeyDownAction::Nothing},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KeyDownActionFor(c.key, c.hotKey, c.mode, c.handsOn), c.expected) << c.name;
}

TEST(KeyboardState, ScancodesAndKeyCodesTranslate) {
  // SDL scancodes are USB usages: A = 4, 0 = 39, Left Control = 224, Right Control = 228.
  EXPECT_EQ(DikFromScancode(4), DIK_A);
  EXPECT_EQ(DikFromScancode(39), DIK_0);
  EXPECT_EQ(DikFromScancode(224), DIK_LCONTROL);
  EXPECT_EQ(DikFromScancode(228), DIK_RCONTROL);
  EXPECT_EQ(DikFromScancode(0), 0);
  // SDL key codes: letters are lower-case ASCII, F1 is scancode 58 with bit 30 set.
  EXPECT_EQ(VirtualKeyFromKeycode('q'), 'Q');
  EXPECT_EQ(VirtualKeyFromKeycode('7'), '7');
  EXPECT_EQ(VirtualKeyFromKeycode((1 << 30) | 58), VK_F1);
  EXPECT_EQ(VirtualKeyFromKeycode(27), VK_ESCAPE);
}

TEST(Keyboard, WithoutAKeyboardEveryKeyReadsUp) {
  CCamera camera;
  uint8_t keyMatrix[8] = {};
  keyMatrix[3] = 0x1F;
  PollKeyboard(camera, keyMatrix, kOneFrame);
  EXPECT_EQ(Matrix(std::to_array(keyMatrix)), Matrix{});
}
