// The script selection dialog's model: two extended-selection lists and the catalogue's flags.
#include "shell/script_selection_dialog.h"

#include <algorithm>

#include "base/log.h"
#include "scripting/playlist_selection.h"
#include "scripting/script_catalogue.h"

void SelectionList::Append(const std::string& item) {
  items.push_back(item);
  selected.push_back(false);
}

void SelectionList::Erase(size_t index) {
  if (index >= items.size()) return;
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
  selected.erase(selected.begin() + static_cast<std::ptrdiff_t>(index));
  const int erased = static_cast<int>(index);
  for (int* mark : {&caret, &anchor}) {
    if (*mark == erased) *mark = -1;
    else if (*mark > erased) --*mark;
  }
}

void SelectionList::Click(int index, bool control, bool shift) {
  if (index < 0 || static_cast<size_t>(index) >= items.size()) return;
  if (shift) {
    if (anchor < 0) anchor = index;
    if (!control) std::fill(selected.begin(), selected.end(), false);
    for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i)
      selected[static_cast<size_t>(i)] = true;
  } else if (control) {
    selected[static_cast<size_t>(index)] = !selected[static_cast<size_t>(index)];
    anchor = index;
  } else {
    std::fill(selected.begin(), selected.end(), false);
    selected[static_cast<size_t>(index)] = true;
    anchor = index;
  }
  caret = index;
}

namespace {

// Moves the selected items of `from`, last first, to the end of `to`.
void MoveSelected(SelectionList& from, SelectionList& to) {
  for (size_t i = from.items.size(); i-- > 0;) {
    if (!from.selected[i]) continue;
    to.Append(from.items[i]);
    from.Erase(i);
  }
}

}  // namespace

CScriptSelectionDialog::CScriptSelectionDialog(std::vector<ScriptRecord>& scripts)
    : scripts_(scripts) {
  for (const ScriptRecord& record : scripts)
    (record.selected ? selected_ : available_).Append(record.fileName);
}

void CScriptSelectionDialog::Click(int32_t list, int index, bool control, bool shift) {
  SelectionList& target = list == LIST_SELECTED ? selected_ : available_;
  target.Click(index, control, shift);
  if (target.caret >= 0) ShowDetails(target.items[static_cast<size_t>(target.caret)]);
}

void CScriptSelectionDialog::Add() { MoveSelected(available_, selected_); }

void CScriptSelectionDialog::Remove() { MoveSelected(selected_, available_); }

void CScriptSelectionDialog::ShowDetails(const std::string& fileName) {
  const auto record = std::find_if(scripts_.begin(), scripts_.end(),
                                   [&](const ScriptRecord& r) { return r.fileName == fileName; });
  if (record == scripts_.end()) return;
  detailsTitle_ = "Details of " + fileName;
  nameLine_ = record->name.value_or("(no name)") + " " + record->version.value_or("(no version)") +
              " by " + record->author.value_or("");
  description_ = record->description.value_or("");
  email_ = record->email.value_or("");
  web_ = record->webpage.value_or("");
}

int32_t CScriptSelectionDialog::Ok() {
  for (ScriptRecord& record : scripts_) record.selected = false;
  for (size_t i = selected_.items.size(); i-- > 0;) {
    const auto record = std::find_if(scripts_.begin(), scripts_.end(), [&](const ScriptRecord& r) {
      return r.fileName == selected_.items[i];
    });
    if (record != scripts_.end()) record->selected = true;
  }
  std::vector<std::string> names;
  for (const ScriptRecord& record : scripts_)
    if (record.selected) names.push_back(record.fileName);
  if (!WritePlaylistSelection(names))
    DebugOutput("Settings: the script selection could not be saved\n");
  return 1;
}
