// Controls of Windows dialogs that Dear ImGui lacks, drawn with ImGui: group boxes, list-box rows
// that show any text as it is, and labels with "&" accelerator marks.
//
//   BeginGroupBox("Scripts", width);  ...controls...  EndGroupBox();
//   if (ListRow(i, name, selected, &doubleClicked)) ...clicked...
#pragma once

#include <string>

// A label with its accelerator marks dropped: "Play &all" is shown as "Play all", "&&" as "&".
std::string VisibleLabel(const std::string& label);
// The same with an ImGui identifier that stays the same when the text changes (a control id).
std::string ControlLabel(const std::string& label, int controlId);

// A framed group of controls with a title on its top edge (none when empty), `width` pixels wide
// (0: the rest of the line). Every Begin needs its End.
void BeginGroupBox(const std::string& title, float width);
void EndGroupBox();

// One row of a list box showing `text` verbatim; true when clicked: on the button's press, or, when
// `doubleClicked` is given, on its release, with `doubleClicked` set for a double click.
bool ListRow(int index, const std::string& text, bool selected, bool* doubleClicked = nullptr);

// The width of a push button with this label, at least Windows' 75 dialog units.
float ButtonWidth(const std::string& label);
