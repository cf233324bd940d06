// The caption list.
#include "presentation/text_list.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/log.h"

int32_t CTextList::Add(const std::string& text, float x, float y, float duration) {
  if (messages_.size() >= MAX_MESSAGES) {
    if (!fullLogged_) WriteLog("Too many captions on the screen (" + std::to_string(MAX_MESSAGES) + "); more are not shown");
    fullLogged_ = true;
    return 0;
  }
  fullLogged_ = false;
  TextMessage message;
  message.text = text;
  message.x = x;
  message.y = y;
  message.duration = std::isnan(duration) ? 0.0f : duration;
  message.id = nextId_++;
  messages_.push_back(std::move(message));
  return messages_.back().id;
}

void CTextList::ClearUnending() {
  std::erase_if(messages_, [](const TextMessage& message) { return std::isinf(message.duration); });
}

bool CTextList::IsActive(int32_t id) const {
  for (const TextMessage& message : messages_)
    if (message.id == id) return true;
  return false;
}

void CTextList::Draw(float now, const std::function<void(const TextMessage&)>& draw) {
  for (size_t i = 0; i < messages_.size();) {
    TextMessage& message = messages_[i];
    if (!message.started) {
      message.expiryTime = message.duration + now;
      message.started = true;
    }
    if (draw) draw(message);
    if (messages_[i].expiryTime <= now)
      messages_.erase(messages_.begin() + static_cast<std::ptrdiff_t>(i));
    else
      ++i;
  }
}
