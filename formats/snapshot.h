// Snapshot loading: every snapshot, recording, tape, screen image and ROM image enters a machine
// through a loader, which hands the bytes to the reader for the file's type (the reader resets
// the machine once the file passed its checks). The loader also holds the recording its machine
// plays and the tape in its deck.
//
//   CMachine48 machine(std::move(setup));
//   CSnapshotLoader loader(machine);
//   if (loader.LoadFile("game.z80", {scriptsFolder}) != GX_NONE) machine.RandomizeMemory();
//   ... frames ...; loader.IsPlayingRZX(), loader.GetRZXProgress()
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CMachineLoader;
class CRZXPlayback;
class CTapeDeck;
class CZip;

// Where a bare snapshot name (no folder) is looked for.
struct SnapshotLookup {
  std::string scriptsFolder;  // the Scripts folder
  CZip* scriptZip = nullptr;  // the zip the current script came from: then only there
};

class CSnapshotLoader {
 public:
  explicit CSnapshotLoader(CMachineLoader& machine);
  // Stops the recording, if one plays.
  ~CSnapshotLoader();
  CSnapshotLoader(const CSnapshotLoader&) = delete;
  CSnapshotLoader& operator=(const CSnapshotLoader&) = delete;

  // Loads a file: a path, a bare name (see SnapshotLookup) or a zip (its first snapshot member).
  // Returns a ResultCode (0 = success) and logs what happened.
  int32_t LoadFile(const char* name, const SnapshotLookup& lookup = {});
  // Loads bytes named `name` (or, with nameIsType, of that type). `ownership` in: stop the
  // current recording first; out: the caller still owns `data` (new[]; a recording keeps it).
  int32_t LoadData(uint8_t* data, uint32_t size, const char* name, bool nameIsType, bool& ownership);
  // Loads the member of that name (any letter case) of an open zip.
  int32_t LoadFromZip(CZip& zip, const char* member);

  // Input recordings.
  bool IsPlayingRZX() const;
  uint32_t GetRZXPart() const;
  // Percentage of the current input block played; 0xFFFFFFFF when none plays.
  uint32_t GetRZXProgress() const;
  bool RZXCompleted() const { return rzxCompleted_; }
  void StopRZXPlayback();

  // Tapes: whether one is loading (typed, playing, the machine running fast); the deck, null
  // before the first tape.
  bool IsLoadingTape() const;
  CTapeDeck* TapeDeck() const { return tape_.get(); }

 private:
  friend class CRZXPlayback;  // marks the recording completed at its end

  int32_t ReadRZX(uint8_t* data, uint32_t size, bool& ownership);

  CMachineLoader& machine_;
  std::unique_ptr<CRZXPlayback> rzx_;
  std::unique_ptr<CTapeDeck> tape_;
  bool rzxCompleted_ = false;
};
