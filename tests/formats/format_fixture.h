// Shared set-up for the format tests: machines from the machine fixture, each with its snapshot
// loader, loading bytes the way the loader hands them to a reader (an exact-size heap buffer, so
// a read past the end is caught by the sanitizers), the log captured to a file, and snapconv as
// an independent writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "base/log.h"
#include "formats/result_code.h"
#include "formats/snapshot.h"
#include "tests/emulation/machine_fixture.h"
#include "tests/formats/snapshot_writers.h"
#include "tests/support/temp_dir.h"

// A machine as its television holds it: the core, its RAM filled at random, and the loader that
// fills it and plays its recordings.
template <class Core>
class Loadable : public PoweredOn<Core> {
 public:
  explicit Loadable(MachineSetup setup) : PoweredOn<Core>(std::move(setup)) {}
  CSnapshotLoader loader{*this};
};
using Loadable48 = Loadable<CMachine48>;
using Loadable128 = Loadable<CMachine128>;

class FormatTest : public MachineTest {
 protected:
  void SetUp() override {
    lookup_.scriptsFolder = dir_.path().string();
    OpenLog(dir_.file("log.txt"));
  }
  void TearDown() override { CloseLog(); }

  // The machines of the format tests have their AY chip.
  MachineSetup Setup(Wiring wiring = {}) {
    wiring.ay = true;
    return MachineTest::Setup(wiring);
  }

  // Loads `bytes` as a file named `name` (or, with nameIsType, a snapshot of that type).
  static int32_t Load(CSnapshotLoader& loader, const Bytes& bytes, const char* name, bool nameIsType = false) {
    uint8_t* buffer = new uint8_t[bytes.size()];
    std::copy(bytes.begin(), bytes.end(), buffer);
    bool ownership = true;
    const int32_t result =
        loader.LoadData(buffer, static_cast<uint32_t>(bytes.size()), name, nameIsType, ownership);
    if (ownership) delete[] buffer;
    return result;
  }
  template <class Core>
  static int32_t Load(Loadable<Core>& machine, const Bytes& bytes, const char* name, bool nameIsType = false) {
    return Load(machine.loader, bytes, name, nameIsType);
  }

  // A 48K or 128K machine with its RAM filled at random.
  std::unique_ptr<CMachine> NewMachine(bool class128) {
    if (class128) return std::make_unique<Machine128>(Setup());
    return std::make_unique<Machine48>(Setup());
  }

  std::string LogText() const { return ReadWholeFile(dir_.file("log.txt")); }
  bool Logged(const std::string& line) const { return LogText().find("] " + line + "\n") != std::string::npos; }
  size_t CountLogged(const std::string& text) const {
    const std::string log = LogText();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
  }

  void WriteFile(const std::string& name, const Bytes& bytes) const {
    WriteWholeFile(dir_.file(name), std::string(bytes.begin(), bytes.end()));
  }

  static bool HaveSnapconv() { return std::system("snapconv --version >/dev/null 2>&1") == 0; }
  // Converts a file in the test folder with snapconv; the output format follows its extension.
  Bytes Convert(const std::string& in, const std::string& out, const std::string& options = "") const {
    const std::string command = "snapconv " + options + " '" + dir_.file(in) + "' '" + dir_.file(out) + "' 2>/dev/null";
    if (const int status = std::system(command.c_str()); status != 0) {
      ADD_FAILURE() << command << " -> " << status;
      return {};
    }
    const std::string text = ReadWholeFile(dir_.file(out));
    return Bytes(text.begin(), text.end());
  }

  TempDir dir_;
  SnapshotLookup lookup_;  // bare names are looked for in the test folder
};
