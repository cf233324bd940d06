// The settings dialog's model: the play-selection controls' texts and rules, what OK stores and
// writes, what Cancel leaves alone, the play time and hot key, and the SmartPlay dump.
#include "shell/settings_dialog.h"

#include <gtest/gtest.h>

#include "archive/smartplay.h"
#include "shell/script_selection_dialog.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using SettingsDialogTest = DialogTest;

struct SelectionCase {
  const char* what;
  int scripts;
  int selected;
  int32_t playSelection;  // the stored setting
  const char* playAllText;
  const char* playSelectionText;
  bool selectEnabled, playSelectionEnabled;
  int32_t radio;
};

}  // namespace

TEST_F(SettingsDialogTest, ThePlaySelectionControlsFollowTheCatalogue) {
  const SelectionCase cases[] = {
      {"no scripts", 0, 0, 1, "Play &all 0 scripts", "Play s&election", false, false, IDC_PLAY_ALL},
      {"one selected", 3, 1, 1, "Play &all 3 scripts", "Play s&election (1 script)", true, true,
       IDC_PLAY_SELECTION},
      {"three selected", 3, 3, 0, "Play &all 3 scripts", "Play s&election (3 scripts)", true, true,
       IDC_PLAY_ALL},
      {"a selection setting with nothing selected plays all", 2, 0, 1, "Play &all 2 scripts",
       "Play s&election", true, false, IDC_PLAY_ALL},
  };
  for (const SelectionCase& c : cases) {
    scripts_.assign(static_cast<size_t>(c.scripts), ScriptRecord{});
    for (int i = 0; i < c.scripts; ++i) {
      scripts_[static_cast<size_t>(i)].fileName = std::string("s").append(std::to_string(i)).append(".lua");
      scripts_[static_cast<size_t>(i)].selected = i < c.selected;
    }
    app_.settings.playSelection = c.playSelection;
    const CSettingsDialog dialog(app_, scripts_, smartPlay_);
    EXPECT_EQ(dialog.PlayAllText(), c.playAllText) << c.what;
    EXPECT_EQ(dialog.PlaySelectionText(), c.playSelectionText) << c.what;
    EXPECT_EQ(dialog.SelectEnabled(), c.selectEnabled) << c.what;
    EXPECT_EQ(dialog.PlaySelectionEnabled(), c.playSelectionEnabled) << c.what;
    EXPECT_EQ(dialog.playSelectionRadio, c.radio) << c.what;
    EXPECT_FALSE(dialog.DumpStatsVisible());
  }
}

TEST_F(SettingsDialogTest, RemovingEverySelectedScriptFallsBackToPlayingAll) {
  MakeScripts({"a.lua", "b.lua"}, {"a.lua", "b.lua"});
  app_.settings.playSelection = 1;
  CSettingsDialog settings(app_, scripts_, smartPlay_);
  ASSERT_EQ(settings.playSelectionRadio, IDC_PLAY_SELECTION);

  CScriptSelectionDialog selection(scripts_);
  selection.Click(LIST_SELECTED, 0, false, false);
  selection.Click(LIST_SELECTED, 1, false, true);
  selection.Remove();
  settings.ScriptSelectionClosed(selection.Ok());

  EXPECT_EQ(settings.playSelectionRadio, IDC_PLAY_ALL);
  EXPECT_FALSE(settings.PlaySelectionEnabled());
  EXPECT_EQ(settings.PlaySelectionText(), "Play s&election");
  // Selecting scripts again checks the selection radio button.
  CScriptSelectionDialog again(scripts_);
  again.Click(LIST_AVAILABLE, 1, false, false);
  again.Add();
  settings.ScriptSelectionClosed(again.Ok());
  EXPECT_EQ(settings.playSelectionRadio, IDC_PLAY_SELECTION);
  EXPECT_EQ(settings.PlaySelectionText(), "Play s&election (1 script)");
  // A cancelled selection changes nothing.
  settings.playSelectionRadio = IDC_PLAY_ALL;
  settings.ScriptSelectionClosed(2);
  EXPECT_EQ(settings.playSelectionRadio, IDC_PLAY_ALL);
}

TEST_F(SettingsDialogTest, OkStoresEveryControlAndWritesTheRegistry) {
  MakeScripts({"a.lua"}, {"a.lua"});
  CSettingsDialog dialog(app_, scripts_, smartPlay_);
  // The defaults of a fresh system are in the controls.
  EXPECT_TRUE(dialog.smartPlay && dialog.includeDefaultArchive && dialog.log && dialog.verticalSync);
  EXPECT_FALSE(dialog.emulateBeeper || dialog.emulateAY);
  EXPECT_EQ(dialog.playModeRadio, IDC_PLAY_RANDOMLY);
  EXPECT_EQ(dialog.PlayTimeText(), "120");
  EXPECT_EQ(dialog.hotKey.Text(), "F1");

  dialog.smartPlay = false;
  dialog.includeDefaultArchive = false;
  dialog.emulateBeeper = true;
  dialog.emulateAY = true;
  dialog.log = false;
  dialog.verticalSync = false;
  dialog.playSelectionRadio = IDC_PLAY_SELECTION;
  dialog.playModeRadio = IDC_PLAY_SEQUENTIALLY;
  dialog.SetPlayTimeText("45");
  dialog.FolderChosen("/home/me/snaps");
  ASSERT_TRUE(dialog.hotKey.KeyPressed('P', 1 | 2));
  EXPECT_EQ(dialog.Ok(), 1);

  const Settings stored = ReadBack().settings;
  EXPECT_EQ(stored.smartPlay, 0);
  EXPECT_EQ(stored.includeDefaultArchive, 0);
  EXPECT_EQ(stored.emulateBeeper, 1);
  EXPECT_EQ(stored.emulateAY, 1);
  EXPECT_EQ(stored.log, 0);
  EXPECT_EQ(stored.verticalSync, 0);
  EXPECT_EQ(stored.playSelection, 1);
  EXPECT_EQ(stored.playMode, 0);
  EXPECT_EQ(stored.playTime, 45);
  EXPECT_EQ(stored.archiveFolder, "/home/me/snaps");
  // The modifier bits (Shift 1, Ctrl 2) go into the high byte.
  EXPECT_NE(RegistryText().find("\"Hot Key\"=dword:00000350"), std::string::npos) << RegistryText();
  EXPECT_EQ(stored.hotKey, 0x350);
}

TEST_F(SettingsDialogTest, CancelWritesNothing) {
  MakeScripts({"a.lua"});
  CSettingsDialog dialog(app_, scripts_, smartPlay_);
  dialog.emulateBeeper = true;
  dialog.SetPlayTimeText("5");
  EXPECT_EQ(dialog.Cancel(), 2);
  EXPECT_FALSE(RegistryWritten());
  EXPECT_EQ(app_.settings.emulateBeeper, 0);
  EXPECT_EQ(app_.settings.playTime, 120);
}

TEST_F(SettingsDialogTest, ThePlayTimeIsTheEditsLeadingDigits) {
  const struct {
    const char* typed;
    const char* shown;  // the edit holds four characters at most
    int32_t stored;
  } cases[] = {
      {"0", "0", 0}, {"12abc", "12ab", 12}, {"", "", 0}, {"abc", "abc", 0},
      {"9999", "9999", 9999}, {"123456", "1234", 1234},
  };
  MakeScripts({});
  for (const auto& c : cases) {
    CSettingsDialog dialog(app_, scripts_, smartPlay_);
    dialog.SetPlayTimeText(c.typed);
    EXPECT_EQ(dialog.PlayTimeText(), c.shown) << c.typed;
    dialog.Ok();
    EXPECT_EQ(app_.settings.playTime, c.stored) << c.typed;
    EXPECT_EQ(ReadBack().settings.playTime, c.stored) << c.typed;
  }
  // A stored value the edit could not hold still parses without overflowing.
  EXPECT_EQ(PlayTimeFromText("99999999999"), INT32_MAX);
  EXPECT_EQ(PlayTimeFromText("-5"), 0);
}

TEST_F(SettingsDialogTest, BackspaceClearsTheHotKeyAndZeroIsStored) {
  MakeScripts({});
  CSettingsDialog dialog(app_, scripts_, smartPlay_);
  ASSERT_TRUE(dialog.hotKey.KeyPressed(0x08, 0));
  EXPECT_EQ(dialog.hotKey.Text(), "None");
  dialog.Ok();
  EXPECT_NE(RegistryText().find("\"Hot Key\"=dword:00000000"), std::string::npos);
  EXPECT_EQ(ReadBack().settings.hotKey, 0);
}

TEST(HotKeyControl, TakesKeysWithTheirModifiersAndLeavesTheDialogsKeys) {
  const struct {
    int32_t key, modifiers;
    bool taken;
    int32_t value;  // starting from F1
  } cases[] = {
      {'A', 0, true, 'A'},
      {0x71, 4, true, 0x471},             // Alt + F2
      {'7', 1 | 2 | 4, true, 0x737},      // every modifier
      {0x10, 1, true, 112},               // Shift alone waits for its key
      {0x09, 0, false, 112},              // Tab, Enter and Escape are the dialog's
      {0x0D, 0, false, 112},
      {0x1B, 0, false, 112},
      {0x08, 2, true, 0},                 // Backspace clears, with or without modifiers
  };
  for (const auto& c : cases) {
    CHotKeyControl control(112);
    EXPECT_EQ(control.KeyPressed(c.key, c.modifiers), c.taken) << c.key;
    EXPECT_EQ(control.Value(), c.value) << c.key;
  }
}

TEST(HotKeyControl, NamesKeysAsTheControlShowsThem) {
  const struct {
    int32_t value;
    const char* name;
  } cases[] = {
      {0, "None"},           {112, "F1"},           {0x350, "Ctrl + Shift + P"},
      {0x461, "Alt + Num 1"}, {0x221, "Ctrl + Page Up"}, {0x730, "Ctrl + Shift + Alt + 0"},
      {0xBA, ";"},           {0x87, "F24"},          {0xFF, "Key 0xFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(CHotKeyControl::HotKeyName(c.value), c.name) << c.value;
}

TEST_F(SettingsDialogTest, AnOverlongArchiveFolderIsCutToThePathLimit) {
  MakeScripts({});
  CSettingsDialog dialog(app_, scripts_, smartPlay_);
  dialog.archiveFolder = "/" + std::string(kMaxArchiveFolder + 100, 'x');
  dialog.Ok();
  EXPECT_EQ(ReadBack().settings.archiveFolder.size(), kMaxArchiveFolder);
}

TEST_F(SettingsDialogTest, TheLogIsTheVersionedFileInTheLogFolder) {
  MakeScripts({});
  const CSettingsDialog dialog(app_, scripts_, smartPlay_);
  EXPECT_EQ(dialog.LogPath(), app_.logFolder + "/Glimmerbox 1.01 Log.txt");
  app_.logFolder.clear();
  EXPECT_EQ(CSettingsDialog(app_, scripts_, smartPlay_).LogPath(), "");
}

TEST_F(SettingsDialogTest, DumpStatsLoadsTheDatabaseAndWritesItsCsvBesideIt) {
  MakeScripts({});
  CSettingsDialog dialog(app_, scripts_, smartPlay_);
  std::string folder;
  EXPECT_EQ(dialog.DumpStats(&folder), CSettingsDialog::DumpResult::CannotLoad);

  CSmartPlay saved;
  saved.SetScanTime(0);
  saved.Add("/snaps/one.z80");
  saved.Add("/snaps/two.sna");
  saved.Finish();
  ASSERT_EQ(saved.Save(app_.smartPlayPath), 0);
  EXPECT_EQ(dialog.DumpStats(&folder), CSettingsDialog::DumpResult::Written);
  EXPECT_EQ(folder, app_.logFolder);
  const std::string csv = ReadWholeFile(app_.smartPlayPath + ".csv");
  EXPECT_EQ(csv.find("Filename,Selection count,Played,Date added\n/snaps/one.z80,0,no,"), 0u) << csv;

  // The dump cannot be created where a folder of its name stands.
  std::filesystem::remove(app_.smartPlayPath + ".csv");
  std::filesystem::create_directory(app_.smartPlayPath + ".csv");
  EXPECT_EQ(dialog.DumpStats(&folder), CSettingsDialog::DumpResult::CannotWrite);
}
