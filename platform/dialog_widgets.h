// Controls of Windows dialogs that Dear ImGui lacks, drawn with ImGui: group boxes, list-box rows
// that show any text as it is, check boxes, radio buttons and push buttons whose "&" accelerator
// letter (underlined) acts with Alt as a click does, and a dialog's OK and Cancel.
//
//   BeginGroupBox("Scripts", width);  ...controls...  EndGroupBox();
//   DialogCheckbox(window, "E&mulate Beeper", 1016, &beeper);   // Alt+M toggles it too
//   if (ListRow(i, name, selected, &doubleClicked)) ...clicked...
//   return OkCancelButtons(window, ButtonWidth("Cancel"), [&] { return dialog.Ok(); },
//                          [&] { return dialog.Cancel(); });
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class DialogWindow;

// A label with its accelerator marks dropped: "Play &all" is shown as "Play all", "&&" as "&".
std::string VisibleLabel(const std::string& label);
// The same with an ImGui identifier that stays the same when the text changes (a control id).
std::string ControlLabel(const std::string& label, int controlId);
// The accelerator letter of a label, in lower case: the character after a single "&"; 0 for none.
char AcceleratorOf(const std::string& label);

// A check box, a radio button and a push button of the top dialog, each with its control id. Alt
// and the label's accelerator act on an enabled one as a click: the check box toggles, the radio
// button is chosen, the button reports a press. True when clicked either way.
bool DialogCheckbox(DialogWindow& window, const std::string& label, int controlId, bool* checked);
bool DialogRadio(DialogWindow& window, const std::string& label, int controlId, bool active);
bool DialogButton(DialogWindow& window, const std::string& label, int controlId, float width = 0);

// A framed group of controls with a title on its top edge (none when empty), `width` pixels wide
// (0: the rest of the line). Every Begin needs its End.
void BeginGroupBox(const std::string& title, float width);
void EndGroupBox();

// One row of a list box showing `text` verbatim; true when clicked: on the button's press, or, when
// `doubleClicked` is given, on its release, with `doubleClicked` set for a double click.
bool ListRow(int index, const std::string& text, bool selected, bool* doubleClicked = nullptr);

// The width of a push button with this label, at least Windows' 75 dialog units.
float ButtonWidth(const std::string& label);

// OK and Cancel side by side from the cursor, each `width` wide, then this frame's Enter (OK, unless
// `enterIsOk` is false: an edit took it) and Escape (Cancel) key presses: the result of the first
// that happened, 0 when none did.
int32_t OkCancelButtons(DialogWindow& window, float width, const std::function<int32_t()>& ok,
                        const std::function<int32_t()>& cancel, bool enterIsOk = true);
