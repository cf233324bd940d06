// Tapes: the check that puts a tape file into a shape libspectrum reads safely, and the deck that
// types the load command and plays the tape's edges into the machine's EAR input.
#include "formats/tape.h"

#include <libspectrum.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>

#include "base/inflate.h"
#include "base/log.h"
#include "emulation/machine_loader.h"
#include "formats/little_endian.h"
#include "formats/result_code.h"

namespace {

// More blocks than any real tape has; each costs the tape library an allocation.
constexpr int MAX_BLOCKS = 65536;
// Tape time after which loading is given up: thirty minutes at 3.5 MHz.
constexpr uint64_t DEFAULT_TIME_LIMIT = 30ull * 60 * 3500000;
// Edges in a row that take no time: a tape looping on nothing.
constexpr uint32_t MAX_ZERO_EDGES = 200000;
// Frames to wait for the first full keyboard scan before the tape plays untyped.
constexpr int MAX_WAIT_FRAMES = 500;
// EAR reads in one frame that tell a loader polling a stopped tape (the ROM's keyboard scan
// makes eight).
constexpr uint32_t LOADER_READS = 500;

libspectrum_error LibraryMessage(libspectrum_error error, const char* format, va_list args) {
  char line[256];
  std::vsnprintf(line, sizeof line, format, args);
  WriteLog(std::string("Tape: ") + line);
  return error;
}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    libspectrum_error_function = LibraryMessage;
    libspectrum_init();
  });
}

uint32_t U24(const ByteView& file, uint64_t at) { return file.U16(at) | static_cast<uint32_t>(file.U8(at + 2)) << 16; }

void Append(std::vector<uint8_t>& out, const uint8_t* data, uint64_t length) { out.insert(out.end(), data, data + length); }

// TAP: blocks of a 16-bit length and that many bytes. Empty blocks are left out.
TapeImage NormaliseTAP(const ByteView& file) {
  TapeImage image;
  uint64_t at = 0;
  while (at < file.Size()) {
    const uint16_t length = file.U16(at);
    if (!file.Fits(at, 2) || !file.Fits(at + 2, length) || image.blocks == MAX_BLOCKS) {
      WriteLogFormat("Tape: block %d is cut short or one too many; the tape ends before it", image.blocks + 1);
      image.result = GX_BAD_SNAPSHOT;
      break;
    }
    if (length > 0) {
      Append(image.bytes, file.Data() + at, 2 + uint64_t{length});
      ++image.blocks;
    }
    at += 2 + uint64_t{length};
  }
  return image;
}

// The length of a TZX block after its ID byte; false when the fields giving it are cut short.
bool TZXBodyLength(const ByteView& file, uint64_t at, uint64_t& length) {
  const uint64_t body = at + 1;
  const auto need = [&](uint64_t count) { return file.Fits(body, count); };
  switch (file.U8(at)) {
    case 0x10: length = 4 + uint64_t{file.U16(body + 2)}; return need(4);
    case 0x11: length = 0x12 + uint64_t{U24(file, body + 0x0F)}; return need(0x12);
    case 0x12: length = 4; return true;
    case 0x13: length = 1 + 2 * uint64_t{file.U8(body)}; return need(1);
    case 0x14: length = 0x0A + uint64_t{U24(file, body + 7)}; return need(0x0A);
    case 0x15: length = 8 + uint64_t{U24(file, body + 5)}; return need(8);
    case 0x20: case 0x23: case 0x24: length = 2; return true;
    case 0x21: case 0x30: length = 1 + uint64_t{file.U8(body)}; return need(1);
    case 0x22: case 0x25: case 0x27: length = 0; return true;
    case 0x26: length = 2 + 2 * uint64_t{file.U16(body)}; return need(2);
    case 0x28: case 0x32: length = 2 + uint64_t{file.U16(body)}; return need(2);
    case 0x31: length = 2 + uint64_t{file.U8(body + 1)}; return need(2);
    case 0x33: length = 1 + 3 * uint64_t{file.U8(body)}; return need(1);
    case 0x34: length = 8; return true;
    case 0x35: length = 0x14 + uint64_t{file.U32(body + 0x10)}; return need(0x14);
    case 0x40: length = 4 + uint64_t{U24(file, body + 1)}; return need(4);
    case 0x5A: length = 9; return true;
    // 0x16-0x19, 0x2A, 0x2B, 0x4B and every block defined later: a 32-bit length first.
    default: length = 4 + uint64_t{file.U32(body)}; return need(4);
  }
}

// TZX: every block the tape library plays is kept as it is (0x2A and 0x2B in their plain
// form); the others are replaced by a text block, so that jumps still count blocks right. A
// block cut short, a tone or pulse sequence of no pulses, a generalised block with no data
// (libspectrum crashes on it) or a jump that goes nowhere or out of the tape ends it there.
TapeImage NormaliseTZX(const ByteView& file) {
  TapeImage image;
  if (file.Size() < 10 || std::memcmp(file.Data(), "ZXTape!\x1A", 8) != 0) {
    image.result = GX_BAD_SNAPSHOT;
    return image;
  }
  struct Block {
    uint64_t at, length;  // ID included
    int jump;             // 0x23's relative target, else 0
  };
  std::vector<Block> blocks;
  const char* damage = nullptr;
  uint64_t at = 10;
  while (at < file.Size() && !damage) {
    const uint8_t id = file.U8(at);
    uint64_t length = 0;
    if (blocks.size() == static_cast<size_t>(MAX_BLOCKS)) {
      damage = "one block too many";
    } else if (!TZXBodyLength(file, at, length) || !file.Fits(at + 1, length)) {
      damage = "cut short";
    } else {
      const uint64_t body = at + 1;
      if ((id == 0x12 && file.U16(body + 2) == 0) || (id == 0x13 && file.U8(body) == 0)) damage = "a tone of no pulses";
      if (id == 0x10 && file.U16(body + 2) == 0) damage = "a data block of no bytes";
      if (id == 0x19) {
        // TOTP, NPP, TOTD, NPD: a pilot or data part whose symbols have no pulses plays nothing.
        if (length < 18 || file.U32(body + 12) == 0 || (file.U32(body + 6) && !file.U8(body + 10)) ||
            !file.U8(body + 16))
          damage = "a generalised block without data";
      }
      const int jump = id == 0x23 ? static_cast<int16_t>(file.U16(body)) : 0;
      if (id == 0x23 && jump == 0) damage = "a jump to itself";
      if (!damage) blocks.push_back({at, 1 + length, jump});
    }
    if (damage) {
      WriteLogFormat("Tape: TZX block %d (0x%02X) is %s; the tape ends before it", static_cast<int>(blocks.size()) + 1, id, damage);
      image.result = GX_BAD_SNAPSHOT;
    }
    at += 1 + length;
  }
  // A jump out of what is kept ends the tape at the jump; cutting can strand an earlier one.
  for (bool cut = true; cut;) {
    cut = false;
    for (size_t k = 0; k < blocks.size(); ++k) {
      const int64_t target = static_cast<int64_t>(k) + blocks[k].jump;
      if (blocks[k].jump && (target < 0 || target >= static_cast<int64_t>(blocks.size()))) {
        WriteLogFormat("Tape: TZX block %d jumps out of the tape; the tape ends before it", static_cast<int>(k) + 1);
        image.result = GX_BAD_SNAPSHOT;
        blocks.resize(k);
        cut = true;
        break;
      }
    }
  }
  Append(image.bytes, file.Data(), 10);
  for (const Block& block : blocks) {
    const uint8_t id = file.U8(block.at);
    switch (id) {
      case 0x10: case 0x11: case 0x12: case 0x13: case 0x14: case 0x15: case 0x19: case 0x20:
      case 0x21: case 0x22: case 0x23: case 0x24: case 0x25: case 0x28: case 0x30: case 0x31:
      case 0x32: case 0x33: case 0x35:
        Append(image.bytes, file.Data() + block.at, block.length);
        break;
      case 0x2A:
        image.bytes.insert(image.bytes.end(), {0x2A, 0, 0, 0, 0});
        break;
      case 0x2B:
        image.bytes.insert(image.bytes.end(), {0x2B, 1, 0, 0, 0, file.U8(block.at + 5)});
        break;
      default:
        WriteLogFormat("Tape: TZX block 0x%02X is not played; passed over", id);
        image.bytes.insert(image.bytes.end(), {0x30, 6, 'p', 'a', 's', 's', 'e', 'd'});
        break;
    }
  }
  image.blocks = static_cast<int>(blocks.size());
  return image;
}

// CSW: a header and run lengths, zlib-compressed in version 2's Z-RLE. The runs are inflated
// here within the file size bound and handed on uncompressed, with their true pulse count.
TapeImage NormaliseCSW(const ByteView& file) {
  TapeImage image;
  image.result = GX_BAD_SNAPSHOT;
  static const char SIGNATURE[] = "Compressed Square Wave\x1A";
  if (file.Size() < 0x20 || std::memcmp(file.Data(), SIGNATURE, 23) != 0) return image;
  const uint8_t major = file.U8(0x17);
  const uint32_t rate = major == 2 ? file.U32(0x19) : file.U16(0x19);
  const uint8_t compression = file.U8(major == 2 ? 0x21 : 0x1B);
  const uint64_t data = major == 2 ? 0x34 + uint64_t{file.U8(0x23)} : 0x20;
  // A sample shorter than a T-state means nothing on a Spectrum, and the library mishandles it;
  // one longer than 0x80000 T-states (below 7 Hz) the library refuses, losing memory over it.
  if (major < 1 || major > 2 || rate < 7 || rate > 3500000 || (compression != 1 && compression != 2) ||
      (major == 2 && !file.Fits(0, data)))
    return image;
  std::vector<uint8_t> runs;
  if (compression == 2) {
    if (!InflateAll(file.Data() + data, file.Remaining(data), CTapeDeck::MAX_FILE_SIZE, runs)) return image;
  } else {
    runs.assign(file.Data() + data, file.Data() + data + file.Remaining(data));
  }
  // A zero byte brings a 32-bit run; one cut short ends the runs.
  uint32_t pulses = 0;
  size_t end = 0;
  while (end < runs.size() && (runs[end] || end + 5 <= runs.size())) {
    end += runs[end] ? 1 : 5;
    ++pulses;
  }
  runs.resize(end);
  if (pulses == 0) return image;
  // Version 2 header, no extension: rate, pulse count, plain RLE, the initial polarity.
  Append(image.bytes, file.Data(), 0x17);
  image.bytes.insert(image.bytes.end(), {2, 0});
  const uint8_t flags = file.U8(major == 2 ? 0x22 : 0x1C);
  for (const uint32_t value : {rate, pulses})
    for (int shift = 0; shift < 32; shift += 8) image.bytes.push_back(static_cast<uint8_t>(value >> shift));
  image.bytes.insert(image.bytes.end(), {1, flags, 0});
  image.bytes.insert(image.bytes.end(), 16, 0);
  image.bytes.insert(image.bytes.end(), runs.begin(), runs.end());
  image.result = GX_NONE;
  image.blocks = 1;
  return image;
}

// PZX: a "PZXT" header block, then tagged blocks of a 32-bit size. A block cut short ends it.
TapeImage NormalisePZX(const ByteView& file) {
  TapeImage image;
  if (file.Size() < 8 || std::memcmp(file.Data(), "PZXT", 4) != 0) {
    image.result = GX_BAD_SNAPSHOT;
    return image;
  }
  uint64_t at = 0;
  while (at < file.Size()) {
    if (!file.Fits(at, 8) || !file.Fits(at + 8, file.U32(at + 4)) || image.blocks == MAX_BLOCKS) {
      WriteLogFormat("Tape: PZX block %d is cut short or one too many; the tape ends before it", image.blocks + 1);
      image.result = GX_BAD_SNAPSHOT;
      break;
    }
    const uint64_t length = 8 + uint64_t{file.U32(at + 4)};
    // An empty pulse block gives the library nothing to play, and it loses memory over it.
    if (length > 8 || std::memcmp(file.Data() + at, "PULS", 4) != 0) {
      Append(image.bytes, file.Data() + at, length);
      ++image.blocks;
    }
    at += length;
  }
  return image;
}

}  // namespace

TapeImage NormaliseTape(const uint8_t* data, uint32_t size, TapeFormat format) {
  const ByteView file(data, size);
  switch (format) {
    case TAPE_TAP: return NormaliseTAP(file);
    case TAPE_TZX: return NormaliseTZX(file);
    case TAPE_CSW: return NormaliseCSW(file);
    case TAPE_PZX: return NormalisePZX(file);
  }
  return {};
}

CTapeDeck::~CTapeDeck() { Eject(); }

void CTapeDeck::Release() {
  if (tape_) libspectrum_tape_free(tape_);
  tape_ = nullptr;
}

void CTapeDeck::Eject() {
  if (machine_.TapeSource() == this) machine_.SetTapeSource(nullptr);
  Release();
  phase_ = Phase::Empty;
}

int32_t CTapeDeck::Load(const uint8_t* data, uint32_t size, TapeFormat format) {
  if (size > MAX_FILE_SIZE) return GX_SNAPSHOT_BAD_SIZE;
  // The tape library unpacks gzip, bzip2 and zip data without a bound, whatever it is told the
  // file is: a tape that starts like one is refused (a zip is opened as a zip, by its name).
  const auto compressed = [](const uint8_t* bytes, size_t length) {
    return length >= 4 && ((bytes[0] == 0x1F && bytes[1] == 0x8B) || std::memcmp(bytes, "BZh", 3) == 0 ||
                           std::memcmp(bytes, "PK\x03\x04", 4) == 0);
  };
  TapeImage image;
  if (!compressed(data, size)) image = NormaliseTape(data, size, format);
  if (compressed(data, size) || compressed(image.bytes.data(), image.bytes.size())) {
    WriteLog("Tape: the file is compressed; not read");
    return GX_BAD_SNAPSHOT;
  }
  if (image.blocks == 0) {
    WriteLog("Tape: nothing on the tape can be played");
    return image.result != GX_NONE ? image.result : GX_BAD_SNAPSHOT;
  }
  const uint8_t* bytes = image.bytes.data();

  InitLibrary();
  static const libspectrum_id_t ids[] = {LIBSPECTRUM_ID_TAPE_TAP, LIBSPECTRUM_ID_TAPE_TZX, LIBSPECTRUM_ID_TAPE_PZX,
                                         LIBSPECTRUM_ID_TAPE_CSW};
  libspectrum_tape* tape = libspectrum_tape_alloc();
  if (libspectrum_tape_read(tape, bytes, image.bytes.size(), ids[format], nullptr) != LIBSPECTRUM_ERROR_NONE ||
      !libspectrum_tape_present(tape)) {
    libspectrum_tape_free(tape);
    WriteLog("Tape: the tape could not be read");
    return GX_BAD_SNAPSHOT;
  }

  // Only now is the machine touched. A 128K machine in its 48K mode takes the 48K ROM again.
  machine_.PrepareForLoad();
  const int32_t model = machine_.GetModel();
  machine_.SetVariant(model);
  Release();
  tape_ = tape;
  is48_ = model == SPECTRUM_16 || model == SPECTRUM_48;
  // The 48K ROM's LD-BYTES starts INC D; EX AF,AF'; DEC D; DI. A ROM with other code there
  // (OpenSE BASIC moves the DI first) has its own editor, which spells keywords.
  static const uint8_t LD_BYTES[] = {0x14, 0x08, 0x15, 0xF3};
  bool keywords = true;
  for (int k = 0; k < 4; ++k) keywords = keywords && *machine_.MemoryPointer(static_cast<uint16_t>(0x0556 + k)) == LD_BYTES[k];
  // A 128K's start-up menu offers the Tape Loader only when its ROM 0 has one; OpenSE BASIC's
  // stub goes straight to BASIC, where LOAD "" is spelt out.
  static const char MENU[] = "Tape Loade";
  bool menu = false;
  for (uint32_t a = 0; !is48_ && !menu && a + sizeof MENU - 1 <= 0x4000; ++a) {
    uint32_t k = 0;
    while (k + 1 < sizeof MENU && *machine_.MemoryPointer(static_cast<uint16_t>(a + k)) == MENU[k]) ++k;
    menu = k + 1 == sizeof MENU;
  }
  typing_ = menu ? TapeTyping::Menu : keywords ? TapeTyping::Keywords : TapeTyping::Letters;
  phase_ = Phase::Waiting;
  frame_ = 0;
  earReads_ = 0;
  level_ = false;
  base_ = nextEdge_ = played_ = 0;
  zeroEdges_ = 0;
  if (limit_ == 0) limit_ = DEFAULT_TIME_LIMIT;
  machine_.SetTapeSource(this);
  LogTapeInformation();
  return image.result;
}

void CTapeDeck::LogTapeInformation() {
  static const char* const FIELDS[] = {"Title", "Publisher", "Author", "Year", "Language", "Type", "Price", "Protection", "Origin"};
  libspectrum_tape_iterator it;
  int blocks = 0;
  for (libspectrum_tape_block* block = libspectrum_tape_iterator_init(&it, tape_); block;
       block = libspectrum_tape_iterator_next(&it)) {
    ++blocks;
    const libspectrum_tape_type type = libspectrum_tape_block_type(block);
    if (type == LIBSPECTRUM_TAPE_BLOCK_ARCHIVE_INFO) {
      for (size_t k = 0; k < libspectrum_tape_block_count(block); ++k) {
        const int id = libspectrum_tape_block_ids(block, k);
        const char* text = libspectrum_tape_block_texts(block, k);
        WriteLogFormat("Tape: %s: %s", id >= 0 && id < 9 ? FIELDS[id] : "Comment", text ? text : "");
      }
    } else if (type == LIBSPECTRUM_TAPE_BLOCK_HARDWARE) {
      static const char* const USES[] = {"runs on", "uses", "runs on, without using,", "does not run on"};
      for (size_t k = 0; k < libspectrum_tape_block_count(block); ++k) {
        const int value = libspectrum_tape_block_values(block, k);
        WriteLogFormat("Tape: the program %s hardware type %d, id %d", USES[value & 3], libspectrum_tape_block_types(block, k),
            libspectrum_tape_block_ids(block, k));
      }
    }
  }
  WriteLogFormat("Tape: %d blocks, typing %s", blocks,
      typing_ == TapeTyping::Menu ? "ENTER for the Tape Loader" : typing_ == TapeTyping::Keywords ? "LOAD \"\"" : "L O A D \"\"");
}

namespace {

// The typist's keys: half-row and bit.
struct Key {
  uint8_t row, bit;
};
constexpr Key J{6, 0x08}, ENTER{6, 0x01}, L{6, 0x02}, P{5, 0x01}, O{5, 0x02}, A{1, 0x01}, D{1, 0x04},
    SYMBOL{7, 0x02};
// A key (with SYMBOL SHIFT or not) held for one frame, `frame` frames after the first frame in
// which the machine read its whole keyboard. The 48K ROM takes a key held for one interrupt,
// the same key again only after it was up for four frames.
struct TypedKey {
  int frame;
  Key key;
  bool symbol;
};
constexpr TypedKey KEYWORDS[] = {{8, J, false}, {9, P, true}, {15, P, true}, {16, ENTER, false}};
constexpr TypedKey LETTERS[] = {{8, L, false}, {14, O, false}, {20, A, false}, {26, D, false},
                                {32, P, true}, {38, P, true}, {44, ENTER, false}};
// The 128K menu needs a few frames after its first scan before it takes ENTER.
constexpr TypedKey MENU[] = {{10, ENTER, false}};

struct Script {
  const TypedKey* first;
  const TypedKey* last;
};

Script ScriptOf(TapeTyping typing) {
  switch (typing) {
    case TapeTyping::Keywords: return {std::begin(KEYWORDS), std::end(KEYWORDS)};
    case TapeTyping::Letters: return {std::begin(LETTERS), std::end(LETTERS)};
    case TapeTyping::Menu: break;
  }
  return {std::begin(MENU), std::end(MENU)};
}

}  // namespace

uint8_t CTapeDeck::TypedKeys(int row) const {
  if (phase_ != Phase::Typing) return 0;
  const Script script = ScriptOf(typing_);
  uint8_t bits = 0;
  for (const TypedKey* k = script.first; k != script.last; ++k) {
    if (k->frame != frame_) continue;
    if (k->key.row == row) bits |= k->key.bit;
    if (k->symbol && row == SYMBOL.row) bits |= SYMBOL.bit;
  }
  return bits;
}

void CTapeDeck::StartPlaying() {
  phase_ = Phase::Playing;
  nextEdge_ = base_;
  zeroEdges_ = 0;
}

void CTapeDeck::FrameEnd(uint32_t length, uint8_t rowsRead) {
  base_ += length;
  const uint32_t reads = earReads_;
  earReads_ = 0;
  ++frame_;
  switch (phase_) {
    case Phase::Waiting:
      if (rowsRead == 0xFF) {
        phase_ = Phase::Typing;
        frame_ = 0;
      } else if (frame_ > MAX_WAIT_FRAMES) {
        WriteLog("Tape: the machine never read its whole keyboard; the tape plays without typing");
        StartPlaying();
      }
      break;
    case Phase::Typing:
      if (frame_ > ScriptOf(typing_).last[-1].frame) StartPlaying();
      break;
    case Phase::Stopped:
      // A multi-part program stopped the tape; its loader now waits for the next part.
      if (reads >= LOADER_READS) {
        WriteLog("Tape: a loader is waiting; the tape plays on");
        StartPlaying();
      }
      break;
    default: break;
  }
}

bool CTapeDeck::EarLevel(uint32_t tstate) {
  ++earReads_;
  if (phase_ == Phase::Playing) AdvanceTo(base_ + tstate);
  return level_;
}

void CTapeDeck::PlayFor(uint64_t tstates) {
  if (phase_ == Phase::Waiting || phase_ == Phase::Typing || phase_ == Phase::Stopped) StartPlaying();
  AdvanceTo(base_ + tstates);
  base_ += tstates;
}

void CTapeDeck::GiveUp(const char* why) {
  WriteLogFormat("Tape: %s; loading given up after %.1f s of tape", why, static_cast<double>(played_) / 3500000.0);
  phase_ = Phase::GivenUp;
}

void CTapeDeck::AdvanceTo(uint64_t now) {
  while (phase_ == Phase::Playing && now >= nextEdge_) {
    libspectrum_dword tstates = 0;
    int flags = 0;
    if (libspectrum_tape_get_next_edge(&tstates, &flags, tape_) != LIBSPECTRUM_ERROR_NONE) {
      GiveUp("the tape is damaged");
      break;
    }
    // Tape times are T-states of a 3.5 MHz machine; the 128K's 1.3 % faster clock is within
    // every loader's tolerance, so they are taken as they are.
    if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW)
      level_ = false;
    else if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH)
      level_ = true;
    else if (tstates > 0 && !(flags & LIBSPECTRUM_TAPE_FLAGS_NO_EDGE))
      level_ = !level_;
    nextEdge_ += tstates;
    played_ += tstates;
    if (flags & LIBSPECTRUM_TAPE_FLAGS_TAPE) {
      // The library has wound the tape back to its start; it stays stopped.
      WriteLogFormat("Tape: the end of the tape after %.1f s", static_cast<double>(played_) / 3500000.0);
      phase_ = Phase::Ended;
    } else if ((flags & LIBSPECTRUM_TAPE_FLAGS_STOP) || ((flags & LIBSPECTRUM_TAPE_FLAGS_STOP48) && is48_)) {
      WriteLog("Tape: the tape stops here");
      phase_ = Phase::Stopped;
    } else if (tstates == 0 && ++zeroEdges_ > MAX_ZERO_EDGES) {
      GiveUp("the tape loops on edges of no length");
    } else if (played_ > limit_) {
      GiveUp("the tape plays too long");
    }
    if (tstates) zeroEdges_ = 0;
  }
}
