// The script selection dialog's state and commands, without any drawing
// (shell/script_selection_dialog_view.h draws it): the two multi-selection lists of script file
// names, "Add >>" and "<< Remove" moving the selected items across, the details of the script at
// the caret, and OK, which sets the catalogue's selected flags and saves the selection.
//
//   CScriptSelectionDialog dialog(ScriptCatalogue().Scripts());
//   dialog.Click(LIST_AVAILABLE, 0, false, false);  // selects the first available script
//   dialog.Add();  dialog.Ok();                      // it is now selected, in the registry too
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ScriptRecord;

enum ScriptSelectionControl : int32_t {
  IDC_ADD = 1008,
  IDC_REMOVE = 1009,
  LIST_AVAILABLE = 1023,
  LIST_SELECTED = 1024,
  IDC_DETAILS_GROUP = 1029,
  IDC_DETAILS_NAME = 1030,
  IDC_DETAILS_DESCRIPTION = 1031,
  IDC_DETAILS_EMAIL = 1032,
  IDC_DETAILS_WEB = 1033,
};

// A list box with extended selection: a click selects one item, Ctrl+click toggles one, Shift+click
// selects the range from the anchor. The caret is the item clicked last (-1: none).
struct SelectionList {
  std::vector<std::string> items;
  std::vector<bool> selected;
  int caret = -1;
  int anchor = -1;

  void Append(const std::string& item);
  void Erase(size_t index);
  void Click(int index, bool control, bool shift);
};

class CScriptSelectionDialog {
 public:
  // Opening: every catalogue entry's file name goes to "Scripts Selected" when its selected flag
  // is set, else to "Scripts Available", in catalogue order.
  explicit CScriptSelectionDialog(std::vector<ScriptRecord>& scripts);

  const SelectionList& Available() const { return available_; }
  const SelectionList& Selected() const { return selected_; }

  // A click in a list (LIST_AVAILABLE or LIST_SELECTED); the details show the caret's script.
  void Click(int32_t list, int index, bool control, bool shift);
  // "Add >>" and "<< Remove": the list's selected items, taken from the last to the first, are
  // appended to the other list (so a block arrives in reverse order).
  void Add();
  void Remove();

  const std::string& DetailsTitle() const { return detailsTitle_; }
  const std::string& NameLine() const { return nameLine_; }
  const std::string& Description() const { return description_; }
  const std::string& Email() const { return email_; }
  const std::string& Web() const { return web_; }

  // OK: the selected flags follow "Scripts Selected" and the selection is written. Returns 1.
  int32_t Ok();
  // Cancel: the flags stay. Returns 2.
  int32_t Cancel() const { return 2; }

 private:
  void ShowDetails(const std::string& fileName);

  std::vector<ScriptRecord>& scripts_;
  SelectionList available_, selected_;
  std::string detailsTitle_ = "Script Details";
  std::string nameLine_, description_, email_, web_;
};
