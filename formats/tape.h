// Tapes (.tap, .tzx, .pzx, .csw) in a machine's deck. A tape file is checked and put into a
// plain shape first (damaged blocks cut off, unknown ones passed over, shapes that would never
// end or would crash the tape library refused), then libspectrum turns its blocks into edges.
// The deck types the command that starts the load (LOAD "" on a 48K machine, the Tape Loader
// menu entry on a 128K one), plays the edges into the EAR bit by T-state, runs the machine fast
// while it loads and stops at the tape's end, or gives up after a bound.
//
//   CTapeDeck deck(machine);
//   int32_t result = deck.Load(bytes, size, TAPE_TZX);   // a ResultCode; the machine untouched on failure
//   ... machine frames ...; deck.Loading(), deck.Phase()
#pragma once

#include <cstdint>
#include <vector>

#include "emulation/tape_source.h"

class CMachineLoader;
struct libspectrum_tape;

enum TapeFormat { TAPE_TAP, TAPE_TZX, TAPE_PZX, TAPE_CSW };

// The command the deck types once the machine reads its keyboard.
enum class TapeTyping {
  Keywords,  // the 48K ROM: J (LOAD), two quotes, ENTER
  Letters,   // a ROM that spells keywords (OpenSE BASIC): L, O, A, D, two quotes, ENTER
  Menu,      // 128K ROMs: ENTER on the first menu entry, Tape Loader
};

// A tape file checked and put into the shape the tape library reads safely. `result` is
// GX_NONE, or the ResultCode of the damage that cut the tape short: the blocks before it stay.
struct TapeImage {
  std::vector<uint8_t> bytes;
  int32_t result = 0;
  int blocks = 0;
};
TapeImage NormaliseTape(const uint8_t* data, uint32_t size, TapeFormat format);

class CTapeDeck : public CTapeSource {
 public:
  enum class Phase { Empty, Waiting, Typing, Playing, Stopped, Ended, GivenUp };

  // The largest tape file read; no real tape comes near it.
  static constexpr uint32_t MAX_FILE_SIZE = 32u << 20;
  // Machine frames per displayed frame while a tape loads: a typical 48K game (five minutes
  // of tape) loads in about twenty seconds.
  static constexpr int FAST_FRAMES = 15;

  explicit CTapeDeck(CMachineLoader& machine) : machine_(machine) {}
  ~CTapeDeck() override;
  CTapeDeck(const CTapeDeck&) = delete;
  CTapeDeck& operator=(const CTapeDeck&) = delete;

  // Checks and reads a tape; when it can play, prepares the machine (reset, as for any load) and
  // puts the tape in its deck. Returns a ResultCode: a damaged block gives BadSnapshot while
  // the blocks before it still play; a tape that cannot play leaves the machine as it was.
  int32_t Load(const uint8_t* data, uint32_t size, TapeFormat format);
  // Takes the tape out (the machine's deck is emptied if it holds this one).
  void Eject();

  Phase CurrentPhase() const { return phase_; }
  // Typing or playing: the machine runs fast.
  bool Loading() const { return phase_ == Phase::Waiting || phase_ == Phase::Typing || phase_ == Phase::Playing; }
  // Tape time played so far, in T-states.
  uint64_t Played() const { return played_; }
  // The bound on tape time after which the deck gives up (thirty minutes by default).
  void SetTimeLimit(uint64_t tstates) { limit_ = tstates; }
  // Plays `tstates` of tape at once with no machine reading it (tests and fuzzers): typing is
  // skipped.
  void PlayFor(uint64_t tstates);

  bool EarLevel(uint32_t tstate) override;
  uint8_t TypedKeys(int row) const override;
  void FrameEnd(uint32_t length, uint8_t rowsRead) override;
  int FramesPerUpdate() const override { return Loading() ? FAST_FRAMES : 1; }

 private:
  void Release();
  void StartPlaying();
  // Plays every edge due by `now` (absolute T-states).
  void AdvanceTo(uint64_t now);
  void GiveUp(const char* why);
  void LogTapeInformation();

  CMachineLoader& machine_;
  libspectrum_tape* tape_ = nullptr;
  Phase phase_ = Phase::Empty;
  TapeTyping typing_ = TapeTyping::Keywords;
  bool is48_ = true;
  int frame_ = 0;  // frames in the current phase
  uint32_t earReads_ = 0;  // EAR reads in this frame
  bool level_ = false;
  uint64_t base_ = 0;      // T-states from the load to this frame's interrupt
  uint64_t nextEdge_ = 0;  // when the pending edge falls due
  uint64_t played_ = 0;
  uint64_t limit_ = 0;
  uint32_t zeroEdges_ = 0;  // edges in a row that took no time
};
