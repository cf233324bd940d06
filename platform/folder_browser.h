// A folder browser of our own: a dialog that lists the folders below the current one, lets the
// user go down, up, home or type a path, and returns the chosen folder, or nothing when cancelled.
//
//   std::optional<std::string> folder =
//       BrowseForFolder(window, "Select your snapshot archive location", startFolder);
//
// CFolderBrowser is the browser's state without any drawing; the dialog draws it.
#pragma once

#include <optional>
#include <string>
#include <vector>

class DialogWindow;

class CFolderBrowser {
 public:
  // Starts in `start` when it is a folder, else in its nearest existing parent, else at home.
  explicit CFolderBrowser(const std::string& start);

  const std::string& Folder() const { return folder_; }
  // The folders below the current one in byte order of their names; hidden ones (".name") are
  // left out. A folder that cannot be read lists nothing.
  const std::vector<std::string>& Subfolders() const { return subfolders_; }

  // Goes to a folder; false (and nothing changes) when it is not one.
  bool GoTo(const std::string& path);
  // Goes into the subfolder at `index` of the list.
  bool Open(size_t index);
  bool Up();
  bool Home();

  // Marks a subfolder as the choice (-1: the current folder itself).
  void Select(int index);
  int Selected() const { return selected_; }
  // What OK returns: the marked subfolder, or the current folder.
  std::string Choice() const;

 private:
  void List();

  std::string folder_;
  std::vector<std::string> subfolders_;
  int selected_ = -1;
};

// Shows the folder browser as a modal dialog above the window's open dialogs; call it from a
// deferred action (DialogWindow::Defer).
std::optional<std::string> BrowseForFolder(DialogWindow& window, const std::string& title,
                                           const std::string& start);
