// The hot-key control's rules and key names.
#include "shell/hot_key_control.h"

#include <cstdio>
#include <utility>

namespace {

// Virtual-key codes the control treats specially.
constexpr int32_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                  VK_CONTROL = 0x11, VK_MENU = 0x12, VK_ESCAPE = 0x1B;

constexpr std::pair<int32_t, const char*> kKeyNames[] = {
    {0x03, "Break"},     {0x08, "Backspace"},   {0x09, "Tab"},          {0x0C, "Clear"},
    {0x0D, "Enter"},     {0x13, "Pause"},       {0x14, "Caps Lock"},    {0x1B, "Esc"},
    {0x20, "Space"},     {0x21, "Page Up"},     {0x22, "Page Down"},    {0x23, "End"},
    {0x24, "Home"},      {0x25, "Left"},        {0x26, "Up"},           {0x27, "Right"},
    {0x28, "Down"},      {0x2C, "Print Screen"}, {0x2D, "Insert"},      {0x2E, "Delete"},
    {0x5B, "Left Windows"}, {0x5C, "Right Windows"}, {0x5D, "Application"}, {0x6A, "Num *"},
    {0x6B, "Num +"},     {0x6D, "Num -"},       {0x6E, "Num ."},        {0x6F, "Num /"},
    {0x90, "Num Lock"},  {0x91, "Scroll Lock"}, {0xBA, ";"},            {0xBB, "="},
    {0xBC, ","},         {0xBD, "-"},           {0xBE, "."},            {0xBF, "/"},
    {0xC0, "`"},         {0xDB, "["},           {0xDC, "\\"},           {0xDD, "]"},
    {0xDE, "'"},
};

}  // namespace

bool CHotKeyControl::KeyPressed(int32_t virtualKey, int32_t modifiers) {
  switch (virtualKey) {
    case 0:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
      return false;
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
      return true;
    case VK_BACK:
      value_ = 0;
      return true;
    default:
      value_ = (virtualKey & 0xFF) | ((modifiers & 0x07) << 8);
      return true;
  }
}

std::string CHotKeyControl::KeyName(int32_t virtualKey) {
  if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
    return std::string(1, static_cast<char>(virtualKey));
  char text[16];
  if (virtualKey >= 0x60 && virtualKey <= 0x69) {
    std::snprintf(text, sizeof text, "Num %d", virtualKey - 0x60);
    return text;
  }
  if (virtualKey >= 0x70 && virtualKey <= 0x87) {
    std::snprintf(text, sizeof text, "F%d", virtualKey - 0x6F);
    return text;
  }
  for (const auto& [code, name] : kKeyNames)
    if (code == virtualKey) return name;
  std::snprintf(text, sizeof text, "Key 0x%02X", static_cast<unsigned>(virtualKey & 0xFF));
  return text;
}

std::string CHotKeyControl::HotKeyName(int32_t value) {
  if (value == 0) return "None";
  const int32_t modifiers = (value >> 8) & 0xFF;
  std::string text;
  if (modifiers & 2) text += "Ctrl + ";
  if (modifiers & 1) text += "Shift + ";
  if (modifiers & 4) text += "Alt + ";
  return text + KeyName(value & 0xFF);
}
