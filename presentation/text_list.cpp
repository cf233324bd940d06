// The caption list.
#include "presentation/text_list.h"

#include <utility>

int32_t CTextList::Add(const std::string& text, float x, float y, float duration) {
  TextMessage message;
  message.text = text;
  message.x = x;
  message.y = y;
  message.duration = duration;
  message.id = nextId_++;
  messages_.push_back(std::move(message));
  return messages_.back().id;
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
