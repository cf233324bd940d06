// The keyboard: the host keyboard, read whole once a frame, becomes the eight half-rows of the
// Spectrum keyboard (the application's key matrix, which every machine reads); a held Control key
// turns the cursor and page keys into camera controls; and the hot key switches the full-screen
// saver into hands-on mode, in which keys no longer end it (only Escape does).
//
//   SetUpKeyboard(saverMode);                  // once; nothing in preview mode
//   PollKeyboard(camera, keyMatrix, seconds);  // every frame, with the seconds since the last
//   switch (KeyDownActionFor(vk, hotKey, saverMode, handsOn)) ...
//   ShutDownKeyboard();
#pragma once

#include <cstdint>

class CCamera;

// Result code: 0, or negative when no keyboard can be read (the saver runs on without keys).
int32_t SetUpKeyboard(int32_t saverMode);
// Reads the keyboard (all keys up when there is none), moves the camera by `seconds` of held
// camera keys and fills the key matrix.
void PollKeyboard(CCamera& camera, uint8_t matrix[8], float seconds);
void ShutDownKeyboard();

// The key matrix of a 256-byte key state, extra keys included unless a Control key is held.
void FillKeyMatrix(const uint8_t keyState[256], uint8_t matrix[8]);
// The Left Control camera move and the Right Control camera nudge: 10 units a frame at 60 frames
// a second, whatever the frame rate.
void ApplyCameraKeys(const uint8_t keyState[256], CCamera& camera, float seconds);

enum class KeyDownAction { Nothing, ToggleHandsOn, EndSaver };
// What a key press means in the saver window. A hot key with modifier flags in its high byte
// never equals a plain key code, and 0 is no hot key.
KeyDownAction KeyDownActionFor(int32_t virtualKey, int32_t hotKey, int32_t saverMode, bool handsOn);
