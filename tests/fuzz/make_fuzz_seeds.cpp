// Writes the fuzzers' seed corpus: small valid files of each format made by the tests' writers,
// one folder per reader under the folder given on the command line.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/formats/snapshot_writers.h"
#include "tests/formats/tape_writers.h"

namespace {

void Write(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Mostly empty RAM keeps the seeds small; a little code to make the runs worth mutating.
MachineImage Small(int32_t model) {
  MachineImage image = MakeImage(model, 5);
  for (auto& bank : image.banks) bank.assign(16384, 0);
  const uint8_t code[] = {0x21, 0x00, 0xC0, 0xDB, 0xFE, 0x77, 0x23, 0x18, 0xFA, 0xED, 0xED, 0xED};
  for (auto& bank : image.banks) std::copy(std::begin(code), std::end(code), bank.begin());
  image.pc = 0x8000;
  image.sp = 0xF000;
  return image;
}

// A zlib stream of `size` zero bytes, deflated piece by piece (about 1 KB per MB).
Bytes DeflatedZeros(size_t size) {
  z_stream stream{};
  deflateInit(&stream, 9);
  const Bytes zeros(1 << 20, 0);
  Bytes out;
  uint8_t chunk[1 << 16];
  for (size_t done = 0;;) {
    const size_t piece = std::min(zeros.size(), size - done);
    done += piece;
    stream.next_in = const_cast<Bytef*>(zeros.data());
    stream.avail_in = static_cast<uInt>(piece);
    const int flush = done == size ? Z_FINISH : Z_NO_FLUSH;
    int status;
    do {
      stream.next_out = chunk;
      stream.avail_out = sizeof chunk;
      status = deflate(&stream, flush);
      out.insert(out.end(), chunk, chunk + (sizeof chunk - stream.avail_out));
    } while (stream.avail_out == 0);
    if (flush == Z_FINISH && status == Z_STREAM_END) break;
  }
  deflateEnd(&stream);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const std::filesystem::path root = argv[1];
  const MachineImage m48 = Small(SPECTRUM_48), m128 = Small(SPECTRUM_128);

  Write(root / "z80", "v1.z80", WriteZ80V1(m48, true));
  Write(root / "z80", "v3-48.z80", WriteZ80V3(m48, true));
  Write(root / "z80", "v3-128.z80", WriteZ80V3(m128, true));
  Write(root / "sna", "48.sna", WriteSNA(m48));
  Write(root / "szx", "48.szx", WriteSZX(m48, true));
  Write(root / "szx", "128.szx", WriteSZX(m128, true));

  Bytes recording = RZXHeader();
  AddRZXCreator(recording, "Seeds", 1, 0);
  AddRZXSnapshot(recording, "z80", WriteZ80V3(m48, true), true);
  AddRZXInput(recording, {{13, {1, 2, 3}}, {8, {}, true}, {4, {9}}}, true);
  AddRZXBlock(recording, 0x21, Bytes(4, 0));
  AddRZXSnapshot(recording, "szx", WriteSZX(m128, true), false);
  AddRZXInput(recording, {{8, {4, 5}}, {4, {6}}}, false);
  Write(root / "rzx", "parts.rzx", recording);

  // Tapes: a header and a short data block, in each layout; the TZX with the blocks that loop,
  // jump, tone and carry information.
  const std::vector<Bytes> blocks = {HeaderBlock(3, "seed", 4, 32768, 32768), RomBlock(0xFF, {1, 2, 3, 4})};
  Write(root / "tap", "seed.tap", TapFile(blocks));
  Bytes tzx = TzxHeader();
  AddBlock(tzx, 0x32, {10, 0, 1, 0, 7, 'S', 'e', 'e', 'd', 'i', 'n', 'g'});
  AddBlock(tzx, 0x33, {1, 0, 1, 0});
  AddStandard(tzx, blocks[0]);
  AddBlock(tzx, 0x24, {2, 0});
  AddBlock(tzx, 0x12, {0x78, 0x08, 0x10, 0x00});
  AddBlock(tzx, 0x13, {2, 0x9B, 0x02, 0xDF, 0x02});
  AddBlock(tzx, 0x25, {});
  AddBlock(tzx, 0x23, {2, 0});
  AddBlock(tzx, 0x20, {0, 0});
  AddTurbo(tzx, Turbo{}, blocks[1]);
  AddBlock(tzx, 0x14, {0x57, 0x03, 0xAE, 0x06, 8, 0, 0, 4, 0, 0, 1, 2, 3, 4});
  AddBlock(tzx, 0x2A, {0, 0, 0, 0});
  Write(root / "tzx", "seed.tzx", tzx);
  Write(root / "pzx", "seed.pzx",
        {'P', 'Z', 'X', 'T', 2, 0, 0, 0, 1, 0, 'P', 'U', 'L', 'S', 6, 0, 0, 0, 0x10, 0x80, 0x78, 0x08, 0x9B, 0x02,
         'P', 'A', 'U', 'S', 4, 0, 0, 0, 0xB0, 0x36, 0, 0});
  Bytes csw = {'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 'e', 'd', ' ', 'S', 'q', 'u', 'a', 'r', 'e', ' ', 'W',
               'a', 'v', 'e', 0x1A, 1, 1, 0x44, 0xAC, 1, 0, 0, 0, 0};
  for (int k = 0; k < 64; ++k) csw.push_back(k % 2 ? 20 : 40);
  csw.insert(csw.end(), {0, 0x10, 0x27, 0, 0});
  Write(root / "csw", "seed.csw", csw);

  // An embedded snapshot that claims, and truly inflates to, 512 MB: a reader that believes the
  // claim fails the fuzzer's memory limit at once.
  constexpr uint32_t claim = 512u << 20;
  const Bytes zeros = DeflatedZeros(claim);
  Bytes bomb = RZXHeader();
  Bytes payload;
  Put32(payload, 2);
  payload.insert(payload.end(), {'z', '8', '0', 0});
  Put32(payload, claim);
  payload.insert(payload.end(), zeros.begin(), zeros.end());
  AddRZXBlock(bomb, 0x30, payload);
  Write(root / "rzx", "claims-512mb.rzx", bomb);
  return 0;
}
