// Error boxes: the text is logged, then shown to the user with the caption
// "Glimmerbox - Error 0x%08x" (or "Glimmerbox - Error" without a code). The application installs
// the function that shows the box; until then, and when headless, it goes to stderr.
#pragma once

#include <cstdint>
#include <string>

using ErrorBoxPresenter = void (*)(const std::string& caption, const std::string& text);

void ErrorBox(const std::string& text, int32_t code);
void ErrorBoxWithoutCode(const std::string& text);
void SetErrorBoxPresenter(ErrorBoxPresenter presenter);
