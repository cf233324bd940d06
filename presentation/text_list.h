// The caption list: messages that scripts and the archive put on the screen, each with a position,
// a display time and an id. Data and timing only; the overlay font draws them through
// DrawTextList, so this file carries no graphics type. The list lives in the application's state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct TextMessage {
  bool started = false;   // its clock starts on the first frame that draws it
  std::string text;
  float x = 0, y = 0;     // top-left of the first character, in pixels
  float duration = 0;     // seconds
  float expiryTime = 0;   // machine clock at which it ends; set on first draw
  int32_t id = 0;
};

// Appends a message and returns its id, taken from the application's next text id (ids are never
// reused in a run).
int32_t AddText(const std::string& text, float x, float y, float duration);

// True while a message with this id is in the list.
bool IsTextActive(int32_t id);

void ClearAllText();

// One frame of the list at machine clock `now`: each message, in list order (later ones over
// earlier ones), has its clock started if new, is handed to `draw`, and is removed when its
// expiry time is reached. So a message is drawn on every frame up to and including the first
// frame at or after its expiry, and one with duration 0 on exactly one frame.
void DrawTextList(float now, const std::function<void(const TextMessage&)>& draw);
