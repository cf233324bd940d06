// The caption list: messages that scripts and the archive put on the screen, each with a position,
// a display time and an id. Data and timing only; the overlay font draws them through Draw, so
// this file carries no graphics type.
//
//   CTextList captions;
//   const int32_t id = captions.Add("Hello", 10, 45, 5.0f);
//   every frame: captions.Draw(now, [](const TextMessage& m) { ...draw m.text at m.x, m.y... });
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TextMessage {
  bool started = false;   // its clock starts on the first frame that draws it
  std::string text;
  float x = 0, y = 0;     // top-left of the first character, in pixels
  float duration = 0;     // seconds
  float expiryTime = 0;   // machine clock at which it ends; set on first draw
  int32_t id = 0;
};

class CTextList {
 public:
  // The most messages the list holds; each one is drawn every frame.
  static constexpr size_t MAX_MESSAGES = 256;

  // Appends a message and returns its id (ids are never reused by a list). A full list refuses
  // it, logs that once until it has room again, and returns 0. A duration that is not a number
  // is 0; an infinite one never ends.
  int32_t Add(const std::string& text, float x, float y, float duration);
  // True while a message with this id is in the list.
  bool IsActive(int32_t id) const;
  void Clear() { messages_.clear(); }
  // Removes the messages that would never end (an infinite duration): called when a new script
  // starts, so that none outlives the script that put it up.
  void ClearUnending();

  // One frame of the list at machine clock `now`: each message, in list order (later ones over
  // earlier ones), has its clock started if new, is handed to `draw`, and is removed when its
  // expiry time is reached. So a message is drawn on every frame up to and including the first
  // frame at or after its expiry, and one with duration 0 on exactly one frame.
  void Draw(float now, const std::function<void(const TextMessage&)>& draw);

  const std::vector<TextMessage>& Messages() const { return messages_; }

 private:
  std::vector<TextMessage> messages_;
  int32_t nextId_ = 1;
  bool fullLogged_ = false;
};
