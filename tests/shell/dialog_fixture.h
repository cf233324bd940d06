// The dialogs' tests: a private registry file, a catalogue of scripts made by hand, and the
// registry read back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "archive/smartplay.h"
#include "base/log.h"
#include "platform/registry.h"
#include "scripting/script_catalogue.h"
#include "shell/settings.h"
#include "tests/support/temp_dir.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user_ = dir_.file("config/Corvane/Glimmerbox.reg");
    RegSetFilePath(HKEY_CURRENT_USER, user_);
    RegSetFilePath(HKEY_LOCAL_MACHINE, dir_.file("machine.reg"));
    RegForgetFiles();
    app_.logFolder = dir_.file("data");
    app_.smartPlayPath = dir_.file("data/SmartPlay.dat");
    std::filesystem::create_directories(app_.logFolder);
  }
  void TearDown() override {
    RegSetFilePath(HKEY_CURRENT_USER, "");
    RegSetFilePath(HKEY_LOCAL_MACHINE, "");
    RegForgetFiles();
  }

  // Scripts named as given; the ones in `selected` have their flag set.
  void MakeScripts(std::initializer_list<const char*> names,
                   std::initializer_list<const char*> selected = {}) {
    scripts_.clear();
    for (const char* name : names) {
      ScriptRecord record;
      record.fileName = name;
      for (const char* chosen : selected)
        if (record.fileName == chosen) record.selected = true;
      scripts_.push_back(record);
    }
  }

  // The settings as the next run reads them.
  ProgramSettings ReadBack() {
    RegForgetFiles();
    ProgramSettings back;
    ReadSettings(back);
    return back;
  }

  std::string RegistryText() const { return ReadWholeFile(user_); }
  bool RegistryWritten() const { return std::filesystem::exists(user_); }

  TempDir dir_;
  std::string user_;
  ProgramSettings app_;
  std::vector<ScriptRecord> scripts_;
  CSmartPlay smartPlay_;
};
