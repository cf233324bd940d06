// The Snapshots folder as the build makes it: committed as it is, every kind of file the program
// reads, each loading into its model through the program's own loaders, the .szx files read
// alike by an independent converter, and the tapes in the published layouts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "formats/result_code.h"
#include "formats/snapshot.h"
#include "tests/content/content_support.h"
#include "tests/emulation/machine_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/content/demo_content.h"
#include "tools/content/snapshot_writer.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

fs::path Built() { return ContentBuild() / "Snapshots"; }

Bytes ReadBytes(const fs::path& path) {
  const std::string text = ReadWholeFile(path.string());
  return Bytes(text.begin(), text.end());
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

class DemoFolder : public MachineTest {
 protected:
  const std::vector<DemoFile> files_ = DemoFiles(AssembledPrograms(), ContentBuild() / "asm");

  std::unique_ptr<CMachine> Machine(bool class128) {
    if (class128) return std::make_unique<Machine128>(Setup());
    return std::make_unique<Machine48>(Setup());
  }

  // Loads a file by its path, as a television's loader does.
  static int32_t LoadSnapshot(CMachine& machine, const std::string& path) {
    return CSnapshotLoader(machine).LoadFile(path.c_str());
  }

  // The RAM a program sees, 4000h-0FFFFh, and on a 128K machine every bank.
  static Bytes Memory(CMachine& machine) {
    Bytes memory;
    for (uint32_t address = 0x4000; address <= 0xFFFF; ++address)
      memory.push_back(machine.Peek(static_cast<uint16_t>(address)));
    if (auto* m128 = dynamic_cast<CMachine128*>(&machine))
      for (int bank = 0; bank < 8; ++bank)
        memory.insert(memory.end(), m128->Bank(bank), m128->Bank(bank) + 16384);
    return memory;
  }
};

// A tape's blocks: each a flag byte, the data and an XOR checksum of both.
std::vector<Bytes> TapBlocks(const Bytes& tap) {
  std::vector<Bytes> blocks;
  for (size_t at = 0; at + 2 <= tap.size();) {
    const size_t length = tap[at] | tap[at + 1] << 8;
    EXPECT_LE(at + 2 + length, tap.size());
    if (at + 2 + length > tap.size()) break;
    blocks.emplace_back(tap.begin() + static_cast<long>(at + 2),
                        tap.begin() + static_cast<long>(at + 2 + length));
    at += 2 + length;
  }
  return blocks;
}

}  // namespace

// data/Snapshots holds exactly what the build makes from the sources: run
// `cmake --build build --target update_demo_content` when this fails.
TEST_F(DemoFolder, CommittedFilesMatchTheBuild) {
  const fs::path committed = fs::path(GLIMMERBOX_SOURCE_DATA) / "Snapshots";
  EXPECT_EQ(Names(committed), Names(Built()));
  uint64_t total = 0;
  for (const std::string& name : Names(Built())) {
    const Bytes built = ReadBytes(Built() / name);
    EXPECT_TRUE(ReadBytes(committed / name) == built) << name << " differs from the build's";
    total += built.size();
  }
  EXPECT_LT(total, 512u * 1024);  // the bundled archive stays small
}

// Every kind of file the program reads, each variant of the snapshot formats.
TEST_F(DemoFolder, CoversEveryKindOfFile) {
  std::set<std::string> kinds;
  for (const DemoFile& file : files_) kinds.insert(fs::path(file.name).extension().string());
  for (const DemoProgram& program : AssembledPrograms()) {
    const char* names[] = {"sna",        "z80 version 1", "z80 version 3", "szx zlib",
                           "szx stored", "rom",           "rzx"};
    kinds.insert(std::string(names[static_cast<int>(program.format)]) +
                 (program.is128K ? " 128K" : " 48K"));
  }
  for (const char* kind :
       {".sna", ".z80", ".szx", ".scr", ".rom", ".rzx", ".zip", ".tap", ".tzx", "sna 48K",
        "z80 version 1 48K", "z80 version 3 48K", "z80 version 3 128K", "szx zlib 48K",
        "szx zlib 128K", "szx stored 48K", "szx stored 128K", "rom 48K", "rzx 48K"})
    EXPECT_EQ(kinds.count(kind), 1u) << kind;
}

// Each file loads by its path on a machine of its class, and a 48K file on a 128K machine too (as
// the bundled scripts offer every file to a 128K machine first). A program comes up with its
// memory, stack and start as assembled.
TEST_F(DemoFolder, EveryFileLoadsIntoItsModel) {
  for (const DemoFile& file : files_) {
    if (!file.loads) continue;
    const std::string path = (Built() / file.name).string();
    const DemoProgram* program = nullptr;
    for (const DemoProgram& p : AssembledPrograms())
      if (p.file == file.name || p.zip == file.name) program = &p;
    for (const bool class128 : {false, true}) {
      if (file.is128K && !class128) continue;
      SCOPED_TRACE(file.name + (class128 ? " on a 128K machine" : " on a 48K machine"));
      std::unique_ptr<CMachine> machine = Machine(class128);
      const int32_t model = machine->GetModel();
      ASSERT_EQ(LoadSnapshot(*machine, path), GX_NONE);
      // A screen leaves the machine's model as it was.
      EXPECT_EQ(machine->GetModel(), !program ? model : file.is128K ? SPECTRUM_128 : SPECTRUM_48);
      if (!program) continue;
      EXPECT_EQ(Register(*machine, REG_PC), program->pc);
      if (program->format == DemoFormat::ROM) {
        EXPECT_EQ(machine->Peek(0x0038), program->At(0x0038));
        continue;
      }
      EXPECT_EQ(Register(*machine, REG_SP), program->sp);
      for (uint32_t address = 0x4000; address <= 0xFFFF; ++address) {
        if (program->format == DemoFormat::SNA && address >= program->sp - 2u &&
            address < program->sp)
          continue;  // where the file kept PC
        ASSERT_EQ(machine->Peek(static_cast<uint16_t>(address)),
                  program->At(static_cast<uint16_t>(address)))
            << std::hex << address;
      }
      if (program->is128K) {
        auto& m128 = static_cast<CMachine128&>(*machine);
        EXPECT_EQ(m128.PagingLatch(), program->paging);
        for (int bank = 0; bank < 8; ++bank)
          EXPECT_EQ(std::memcmp(m128.Bank(bank), &program->memory[bank * 16384], 16384), 0)
              << "bank " << bank;
      }
    }
  }
}

// snapconv (another emulator's format library) converts each program's file to another format;
// loaded through our readers, both give the same machine.
TEST_F(DemoFolder, SnapconvReadsOurSnapshotsAsWeDo) {
  if (std::system("snapconv --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "snapconv is not installed";
  TempDir dir;
  const std::map<std::string, std::string> into = {
      {".szx", ".z80"}, {".z80", ".szx"}, {".sna", ".szx"}};
  for (const DemoFile& file : files_) {
    const std::string extension = fs::path(file.name).extension().string();
    if (!into.count(extension)) continue;
    SCOPED_TRACE(file.name);
    const std::string converted =
        dir.file(fs::path(file.name).stem().string() + into.at(extension));
    const std::string command =
        "snapconv '" + (Built() / file.name).string() + "' '" + converted + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::unique_ptr<CMachine> ours = Machine(file.is128K), theirs = Machine(file.is128K);
    ASSERT_EQ(LoadSnapshot(*ours, (Built() / file.name).string()), GX_NONE);
    ASSERT_EQ(LoadSnapshot(*theirs, converted), GX_NONE);
    EXPECT_EQ(theirs->GetModel(), ours->GetModel());
    for (const int reg : {REG_PC, REG_SP, REG_IM, REG_IFF1})
      EXPECT_EQ(Register(*theirs, reg), Register(*ours, reg)) << "register " << reg;
    EXPECT_TRUE(Memory(*theirs) == Memory(*ours));
    if (file.is128K) {
      EXPECT_EQ(static_cast<CMachine128&>(*theirs).PagingLatch(),
                static_cast<CMachine128&>(*ours).PagingLatch());
    }
  }
}

// The tapes: a BASIC loader (header and program) that clears below the code, loads it and runs it,
// then the code's header and the code as assembled; every block's checksum holds, and the .tzx
// holds the same blocks as standard-speed data blocks.
TEST_F(DemoFolder, TapesFollowThePublishedLayouts) {
  int tapes = 0;
  for (const DemoProgram& program : AssembledPrograms()) {
    if (!program.tape) continue;
    ++tapes;
    const std::string stem = fs::path(program.file).stem().string();
    SCOPED_TRACE(stem);
    const std::vector<Bytes> blocks = TapBlocks(ReadBytes(Built() / (stem + ".tap")));
    ASSERT_EQ(blocks.size(), 4u);
    for (const Bytes& block : blocks) {
      ASSERT_GE(block.size(), 2u);
      uint8_t sum = 0;
      for (const uint8_t b : block) sum ^= b;
      EXPECT_EQ(sum, 0) << "checksum";
    }
    // Headers: flag 0, type, 10-character name, data length, two parameters.
    const auto word = [](const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; };
    const Bytes &basicHeader = blocks[0], &basic = blocks[1], &codeHeader = blocks[2],
                &code = blocks[3];
    ASSERT_EQ(basicHeader.size(), 19u);
    ASSERT_EQ(codeHeader.size(), 19u);
    EXPECT_EQ(basicHeader[0], 0x00);
    EXPECT_EQ(basicHeader[1], 0);             // a program
    EXPECT_LT(word(basicHeader, 14), 10000);  // it starts itself from that line
    EXPECT_EQ(word(basicHeader, 12) + 2u, basic.size());
    EXPECT_EQ(basic[0], 0xFF);
    EXPECT_EQ(codeHeader[1], 3);  // bytes
    EXPECT_EQ(std::string(codeHeader.begin() + 2, codeHeader.begin() + 12),
              (stem + "          ").substr(0, 10));
    EXPECT_EQ(word(codeHeader, 12) + 2u, code.size());
    EXPECT_EQ(code[0], 0xFF);
    const uint16_t origin = static_cast<uint16_t>(word(codeHeader, 14));
    for (size_t k = 1; k + 1 < code.size(); ++k)
      ASSERT_EQ(code[k], program.At(static_cast<uint16_t>(origin + k - 1))) << k;
    // CLEAR, LOAD "" CODE, RANDOMIZE USR start, as tokens.
    const std::string listing(basic.begin(), basic.end());
    for (const std::string& token : {std::string("\xFD"), std::string("\xEF\"\"\xAF"),
                                     "\xF9\xC0" + std::to_string(program.pc)})
      EXPECT_NE(listing.find(token), std::string::npos);

    const Bytes tzx = ReadBytes(Built() / (stem + ".tzx"));
    ASSERT_GE(tzx.size(), 10u);
    EXPECT_EQ(std::string(tzx.begin(), tzx.begin() + 8), "ZXTape!\x1A");
    EXPECT_EQ(tzx[8], 1);
    std::vector<Bytes> tzxBlocks;
    for (size_t at = 10; at < tzx.size();) {
      ASSERT_EQ(tzx[at], 0x10) << "a standard-speed data block";
      ASSERT_LE(at + 5, tzx.size());
      const size_t length = word(tzx, at + 3);
      ASSERT_LE(at + 5 + length, tzx.size());
      tzxBlocks.emplace_back(tzx.begin() + static_cast<long>(at + 5),
                             tzx.begin() + static_cast<long>(at + 5 + length));
      at += 5 + length;
    }
    EXPECT_EQ(tzxBlocks, blocks);
  }
  EXPECT_GE(tapes, 1);
}
