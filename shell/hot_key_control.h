// The hot-key control of the settings dialog: it takes the next key pressed with its modifiers,
// Backspace clears it, and it shows the key's name ("Ctrl + Shift + F1", "None").
// The value keeps the hot-key layout of the "Hot Key" setting: the virtual-key code in the low
// byte, the modifier flags (Shift 1, Ctrl 2, Alt 4) in the high byte; 0 is no hot key.
#pragma once

#include <cstdint>
#include <string>

class CHotKeyControl {
 public:
  explicit CHotKeyControl(int32_t value = 0) : value_(value) {}

  int32_t Value() const { return value_; }
  void SetValue(int32_t value) { value_ = value; }

  // A key pressed while the control has the focus. False when the key is not the control's
  // (Tab, Enter and Escape belong to the dialog; a modifier alone waits for its key).
  bool KeyPressed(int32_t virtualKey, int32_t modifiers);

  std::string Text() const { return HotKeyName(value_); }

  // "None" for 0; else the modifiers and the key's name joined by " + ".
  static std::string HotKeyName(int32_t value);
  // A virtual key's name ("A", "F1", "Page Up", "Num 5"); "Key 0x%02X" when it has none.
  static std::string KeyName(int32_t virtualKey);

 private:
  int32_t value_;
};
