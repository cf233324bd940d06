// Error boxes are logged first, so the log tells the story even when nobody saw the box.
#include "base/error_box.h"

#include <cstdio>

#include "base/log.h"

namespace {

void PrintToStderr(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

ErrorBoxPresenter g_presenter = PrintToStderr;

void Show(const std::string& caption, const std::string& text) {
  WriteLog(text);
  g_presenter(caption, text);
}

}  // namespace

void ErrorBox(const std::string& text, int32_t code) {
  char caption[64];
  std::snprintf(caption, sizeof caption, "Glimmerbox - Error 0x%08x", static_cast<uint32_t>(code));
  Show(caption, text);
}

void ErrorBoxWithoutCode(const std::string& text) { Show("Glimmerbox - Error", text); }

void SetErrorBoxPresenter(ErrorBoxPresenter presenter) {
  g_presenter = presenter ? presenter : PrintToStderr;
}
