// The script selection dialog's model: the two lists, extended selection, the move order, the
// details of the script at the caret, and OK and Cancel on the catalogue and the registry.
#include "shell/script_selection_dialog.h"

#include <gtest/gtest.h>

#include "tests/shell/dialog_fixture.h"

namespace {

using ScriptSelectionTest = DialogTest;
using Items = std::vector<std::string>;

std::vector<int> SelectedIndices(const SelectionList& list) {
  std::vector<int> indices;
  for (size_t i = 0; i < list.selected.size(); ++i)
    if (list.selected[i]) indices.push_back(static_cast<int>(i));
  return indices;
}

}  // namespace

TEST_F(ScriptSelectionTest, OpensWithTheCatalogueSplitInCatalogueOrder) {
  MakeScripts({"d.lua", "a.zip", "c.lua", "b.lua"}, {"c.lua", "d.lua"});
  const CScriptSelectionDialog dialog(scripts_);
  EXPECT_EQ(dialog.Available().items, (Items{"a.zip", "b.lua"}));
  EXPECT_EQ(dialog.Selected().items, (Items{"d.lua", "c.lua"}));
  EXPECT_EQ(dialog.DetailsTitle(), "Script Details");
}

TEST(SelectionList, ClicksSelectAsAnExtendedSelectionListBoxDoes) {
  struct Click {
    int index;
    bool control, shift;
  };
  const struct {
    const char* what;
    std::vector<Click> clicks;
    std::vector<int> selected;
    int caret;
  } cases[] = {
      {"a click selects one", {{2, false, false}, {4, false, false}}, {4}, 4},
      {"control toggles", {{1, false, false}, {3, true, false}, {1, true, false}}, {3}, 1},
      {"shift selects from the anchor", {{1, false, false}, {4, false, true}}, {1, 2, 3, 4}, 4},
      {"shift upwards", {{3, false, false}, {0, false, true}}, {0, 1, 2, 3}, 0},
      {"shift moves only the caret", {{2, false, false}, {4, false, true}, {3, false, true}},
       {2, 3}, 3},
      {"control-shift adds a range", {{0, false, false}, {3, true, false}, {4, true, true}},
       {0, 3, 4}, 4},
      {"a click outside the list does nothing", {{1, false, false}, {7, false, false}}, {1}, 1},
  };
  for (const auto& c : cases) {
    SelectionList list;
    for (const char* item : {"a", "b", "c", "d", "e"}) list.Append(item);
    for (const Click& click : c.clicks) list.Click(click.index, click.control, click.shift);
    EXPECT_EQ(SelectedIndices(list), c.selected) << c.what;
    EXPECT_EQ(list.caret, c.caret) << c.what;
  }
}

TEST_F(ScriptSelectionTest, MovesTakeTheSelectedItemsFromTheLast) {
  MakeScripts({"a.lua", "b.lua", "c.lua", "d.lua", "e.lua"}, {"e.lua"});
  CScriptSelectionDialog dialog(scripts_);
  dialog.Click(LIST_AVAILABLE, 1, false, false);
  dialog.Click(LIST_AVAILABLE, 3, false, true);  // b, c, d
  dialog.Add();
  EXPECT_EQ(dialog.Available().items, (Items{"a.lua"}));
  EXPECT_EQ(dialog.Selected().items, (Items{"e.lua", "d.lua", "c.lua", "b.lua"}));
  EXPECT_TRUE(SelectedIndices(dialog.Selected()).empty()) << "moved items arrive unselected";

  dialog.Click(LIST_SELECTED, 0, false, false);
  dialog.Click(LIST_SELECTED, 2, true, false);  // e and c
  dialog.Remove();
  EXPECT_EQ(dialog.Available().items, (Items{"a.lua", "c.lua", "e.lua"}));
  EXPECT_EQ(dialog.Selected().items, (Items{"d.lua", "b.lua"}));
  EXPECT_EQ(dialog.Selected().caret, -1) << "the caret's item left the list";
}

TEST_F(ScriptSelectionTest, TheDetailsShowTheScriptAtTheCaret) {
  MakeScripts({"bare.lua", "full.zip"});
  scripts_[1].name = "Demo";
  scripts_[1].version = "1.2";
  scripts_[1].author = "Corvane";
  scripts_[1].description = "Two machines";
  scripts_[1].email = "demo@example.org";
  scripts_[1].webpage = "example.org";
  CScriptSelectionDialog dialog(scripts_);

  dialog.Click(LIST_AVAILABLE, 1, false, false);
  EXPECT_EQ(dialog.DetailsTitle(), "Details of full.zip");
  EXPECT_EQ(dialog.NameLine(), "Demo 1.2 by Corvane");
  EXPECT_EQ(dialog.Description(), "Two machines");
  EXPECT_EQ(dialog.Email(), "demo@example.org");
  EXPECT_EQ(dialog.Web(), "example.org");

  dialog.Click(LIST_AVAILABLE, 0, true, false);
  EXPECT_EQ(dialog.DetailsTitle(), "Details of bare.lua");
  EXPECT_EQ(dialog.NameLine(), "(no name) (no version) by ");
  EXPECT_EQ(dialog.Description(), "");
  EXPECT_EQ(dialog.Email(), "");
  EXPECT_EQ(dialog.Web(), "");
}

TEST_F(ScriptSelectionTest, OkSetsTheFlagsAndWritesThePlaylistInCatalogueOrder) {
  MakeScripts({"a.lua", "b.lua", "A.lua", "c.lua"}, {"c.lua"});
  CScriptSelectionDialog dialog(scripts_);
  dialog.Click(LIST_AVAILABLE, 2, false, false);  // A.lua, not a.lua: names compare exactly
  dialog.Click(LIST_AVAILABLE, 1, true, false);   // b.lua
  dialog.Add();
  EXPECT_EQ(dialog.Ok(), 1);

  const bool expected[] = {false, true, true, true};
  for (size_t i = 0; i < scripts_.size(); ++i)
    EXPECT_EQ(scripts_[i].selected, expected[i]) << scripts_[i].fileName;
  const std::string text = RegistryText();
  EXPECT_NE(text.find("Glimmerbox\\Playlist]\n\"file1\"=\"b.lua\"\n\"file2\"=\"A.lua\"\n"
                      "\"file3\"=\"c.lua\"\n"),
            std::string::npos)
      << text;
}

TEST_F(ScriptSelectionTest, CancelLeavesTheFlagsAndTheRegistry) {
  MakeScripts({"a.lua", "b.lua"}, {"a.lua"});
  CScriptSelectionDialog dialog(scripts_);
  dialog.Click(LIST_SELECTED, 0, false, false);
  dialog.Remove();
  EXPECT_EQ(dialog.Cancel(), 2);
  EXPECT_TRUE(scripts_[0].selected);
  EXPECT_FALSE(RegistryWritten());
}
