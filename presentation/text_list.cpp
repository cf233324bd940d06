// The caption list kept in the application's state.
#include "presentation/text_list.h"

#include "shell/app_state.h"

int32_t AddText(const std::string& text, float x, float y, float duration) {
  AppState& app = App();
  TextMessage message;
  message.text = text;
  message.x = x;
  message.y = y;
  message.duration = duration;
  message.id = app.nextTextId++;
  app.textList.push_back(std::move(message));
  return app.textList.back().id;
}

bool IsTextActive(int32_t id) {
  for (const TextMessage& message : App().textList)
    if (message.id == id) return true;
  return false;
}

void ClearAllText() { App().textList.clear(); }

void DrawTextList(float now, const std::function<void(const TextMessage&)>& draw) {
  auto& list = App().textList;
  for (size_t i = 0; i < list.size();) {
    TextMessage& message = list[i];
    if (!message.started) {
      message.expiryTime = message.duration + now;
      message.started = true;
    }
    if (draw) draw(message);
    if (list[i].expiryTime <= now)
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    else
      ++i;
  }
}
