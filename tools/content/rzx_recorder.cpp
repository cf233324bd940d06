// The recorder: a machine whose port reads are also written down, driven frame by frame.
#include "tools/content/rzx_recorder.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "tools/content/snapshot_writer.h"

namespace {

// The keyboard's eight half-rows as the ports' address lines pick them (A8 first), each key's bit
// its place in the string. \x01 is CAPS SHIFT, \x02 SYMBOL SHIFT.
constexpr const char* HALF_ROWS[8] = {"\x01ZXCV", "ASDFG", "QWERT", "12345",
                                      "09876",   "POIUY", "\nLKJH", " \x02MNB"};

void HoldKeys(const std::string& keys, uint8_t (&matrix)[8]) {
  std::memset(matrix, 0, sizeof matrix);
  for (const char key : keys)
    for (int row = 0; row < 8; ++row)
      if (const char* at = std::strchr(HALF_ROWS[row], key); at && key)
        matrix[row] |= static_cast<uint8_t>(1 << (at - HALF_ROWS[row]));
}

// A model whose port reads land in `reads` as well.
template <typename Model>
class CRecordingMachine : public Model {
 public:
  CRecordingMachine(MachineSetup setup, std::vector<uint8_t>& reads)
      : Model(std::move(setup)), reads_(reads) {}
  uint8_t PortRead(uint16_t port) override {
    const uint8_t value = Model::PortRead(port);
    reads_.push_back(value);
    return value;
  }

 private:
  std::vector<uint8_t>& reads_;
};

void Append16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  Append16(out, value & 0xFFFF);
  Append16(out, value >> 16);
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(length);
  if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    return {};
  out.resize(length);
  return out;
}

// One zlib stream of the runs, each flushed in full (no match reaches back into an earlier run),
// so that the share of the stream read grows about as the runs are played: a player's progress.
std::vector<uint8_t> DeflateInRuns(const std::vector<std::vector<uint8_t>>& runs) {
  z_stream stream{};
  if (deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK) return {};
  size_t total = 0;
  for (const auto& run : runs) total += run.size();
  std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(total)) + 16 * runs.size() + 16);
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  bool ok = true;
  for (size_t k = 0; k < runs.size() && ok; ++k) {
    stream.next_in = const_cast<Bytef*>(runs[k].data());
    stream.avail_in = static_cast<uInt>(runs[k].size());
    const int result = deflate(&stream, k + 1 == runs.size() ? Z_FINISH : Z_FULL_FLUSH);
    ok = result == (k + 1 == runs.size() ? Z_STREAM_END : Z_OK) && stream.avail_in == 0;
  }
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return ok ? out : std::vector<uint8_t>{};
}

void AppendBlock(std::vector<uint8_t>& file, uint8_t id, const std::vector<uint8_t>& body) {
  file.push_back(id);
  Append32(file, static_cast<uint32_t>(5 + body.size()));
  file.insert(file.end(), body.begin(), body.end());
}

}  // namespace

std::vector<RecordedInput> RecordFrames(const DemoProgram& program) {
  uint8_t keys[8] = {};
  std::vector<uint8_t> reads;
  MachineSetup setup;
  setup.keyMatrix = keys;
  std::unique_ptr<CMachine> machine;
  if (program.is128K)
    machine = std::make_unique<CRecordingMachine<CMachine128>>(std::move(setup), reads);
  else
    machine = std::make_unique<CRecordingMachine<CMachine48>>(std::move(setup), reads);
  PokeProgram(*machine, program);
  machine->Throttle(false);

  // A machine's frame starts with its interrupt; a recorded frame ends with it. So the machine's
  // frame n is the recording's frame n + 1, and the recording's first frame is the interrupt
  // alone.
  std::vector<RecordedInput> frames(1);
  auto strokes = program.keyStrokes;
  strokes.emplace_back(50, "");
  int frame = 0;
  for (const auto& [count, held] : strokes) {
    HoldKeys(held, keys);
    for (int k = 0; k < count; ++k) {
      reads.clear();
      machine->UpdateFrame(static_cast<float>(++frame) * 0.02f);
      // An unrecorded frame starts with no fetch limit; at most 17472 fetch in a frame.
      const int32_t fetches = 0x7FFFFFFF - Z80GetFetchCounter();
      frames.push_back({static_cast<uint16_t>(fetches), reads});
    }
  }
  return frames;
}

std::vector<uint8_t> WriteRZX(const DemoProgram& program, const std::vector<RecordedInput>& frames) {
  std::vector<uint8_t> file = {'R', 'Z', 'X', '!', 0, 13};
  Append32(file, 0);  // no flags: not signed

  std::vector<uint8_t> creator(20, 0);
  const char name[] = "Glimmerbox recorder";
  std::memcpy(creator.data(), name, sizeof name);
  Append16(creator, 1);
  Append16(creator, 1);
  AppendBlock(file, 0x10, creator);

  const std::vector<uint8_t> snapshot = WriteZ80Version3(program);
  std::vector<uint8_t> snapshotBlock;
  Append32(snapshotBlock, 2);  // compressed, embedded
  snapshotBlock.insert(snapshotBlock.end(), {'z', '8', '0', 0});
  Append32(snapshotBlock, static_cast<uint32_t>(snapshot.size()));
  const std::vector<uint8_t> packedSnapshot = Deflate(snapshot);
  snapshotBlock.insert(snapshotBlock.end(), packedSnapshot.begin(), packedSnapshot.end());
  AppendBlock(file, 0x30, snapshotBlock);

  // Each frame: fetches, the number of port reads (FFFFh: the previous frame's again), the values;
  // in runs of a second.
  constexpr size_t RUN_FRAMES = 50;
  std::vector<std::vector<uint8_t>> runs;
  const std::vector<uint8_t>* previous = nullptr;
  for (const RecordedInput& frame : frames) {
    if (runs.empty() || (&frame - frames.data()) % RUN_FRAMES == 0) runs.emplace_back();
    std::vector<uint8_t>& data = runs.back();
    Append16(data, frame.fetches);
    if (previous && !frame.ports.empty() && frame.ports == *previous) {
      Append16(data, 0xFFFF);
    } else {
      Append16(data, static_cast<uint32_t>(frame.ports.size()));
      data.insert(data.end(), frame.ports.begin(), frame.ports.end());
    }
    previous = &frame.ports;
  }
  std::vector<uint8_t> input;
  Append32(input, static_cast<uint32_t>(frames.size()));
  input.push_back(0);
  Append32(input, 0);  // T-states at the start: the frame's beginning
  Append32(input, 2);  // compressed, not protected
  const std::vector<uint8_t> packedFrames = DeflateInRuns(runs);
  input.insert(input.end(), packedFrames.begin(), packedFrames.end());
  AppendBlock(file, 0x80, input);
  return file;
}
