// The border as the beam drew it, against programs that write port 0xFE at known T-states.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "emulation/display.h"
#include "tests/emulation/machine_fixture.h"

namespace {

struct Write {
  uint32_t tstate;  // where the OUT instruction starts
  uint8_t colour;
};

// DI, then for each write LD A,colour and OUT (0xFE),A starting at its T-state; then HALT.
std::vector<uint8_t> BorderProgram(const std::vector<Write>& writes) {
  std::vector<uint8_t> code = {0xF3};
  uint32_t t = 4;
  for (const Write& w : writes) {
    const std::vector<uint8_t> delay = Delay(w.tstate - 7 - t);
    code.insert(code.end(), delay.begin(), delay.end());
    code.insert(code.end(), {0x3E, w.colour, 0xD3, 0xFE});
    t = w.tstate + 11;
  }
  code.push_back(0x76);
  return code;
}

struct Model {
  const char* name;
  int32_t model;
  uint32_t firstPixel, lineLength;  // T-state of the first display pixel, of a line
};
const Model kModels[] = {
    {"48K", SPECTRUM_48, 14336, 224},
    {"128K", SPECTRUM_128, 14364, 228},
    {"Pentagon", SPECTRUM_PENTAGON, 17988, 224},
};

// When the beam reaches a border cell: two pixels a T-state, a line every lineLength.
uint32_t CellTime(const Model& m, int line, int cell) {
  return m.firstPixel + (line - BORDER_TOP) * m.lineLength - BORDER_LEFT / 2 + cell * BORDER_CELL_PIXELS / 2;
}

class Border : public MachineTest {
 protected:
  std::unique_ptr<CMachine> Make(const Model& m) {
    if (m.model == SPECTRUM_48) return std::make_unique<Machine48>(Setup());
    auto machine = std::make_unique<Machine128>(Setup());
    machine->SetVariant(m.model);
    return machine;
  }
  static uint8_t Cell(const CMachine& machine, int line, int cell) {
    return machine.BorderBuffer()[line * BORDER_CELLS + cell];
  }
};

// 48K: an OUT (n),A ending at T-states 14339-14342 colours the chunk of the first display pixel.
TEST_F(Border, The48KFirstPixelChunkTakesAWriteEndingAt14339To14342) {
  const int line = BORDER_TOP, cell = BORDER_LEFT / BORDER_CELL_PIXELS;
  for (uint32_t start : {14327u, 14328u, 14331u, 14332u}) {
    Machine48 machine(Setup());
    LoadProgram(machine, 0x8000, BorderProgram({{start, 2}}));
    RunFrames(machine, 1);
    EXPECT_EQ(Cell(machine, line, cell - 1), start < 14328 ? 2 : 0) << start;
    EXPECT_EQ(Cell(machine, line, cell), start <= 14331 ? 2 : 0) << start;
    EXPECT_EQ(Cell(machine, line, cell + 1), 2) << start;
  }
}

TEST_F(Border, ChangesLandOnTheirLineAndMidLineCell) {
  struct Case {
    const char* what;
    int line, cell;  // where the first write must show
    int late;        // T-states after the latest start that still shows there
  };
  const Case cases[] = {
      {"line start", 42, 0, 0},
      {"one T-state late: the next cell", 42, 1, 1},
      {"mid-line, behind the picture", 100, 20, 0},
      {"right border, bottom", 250, 37, 0},
  };
  for (const Model& m : kModels) {
    for (const Case& c : cases) {
      const int cell = c.late ? c.cell - 1 : c.cell;
      const uint32_t first = CellTime(m, c.line, cell) - 5 + c.late;
      // A second write back to blue two cells before the line's end (or on the next line).
      const int backLine = c.cell + 20 < BORDER_CELLS ? c.line : c.line + 1;
      const int backCell = c.cell + 20 < BORDER_CELLS ? c.cell + 18 : 2;
      auto machine = Make(m);
      LoadProgram(*machine, 0x8000, BorderProgram({{first, 6}, {CellTime(m, backLine, backCell) - 5, 1}}));
      RunFrames(*machine, 1);
      const auto at = [&](int line, int cell) { return Cell(*machine, line, cell); };
      const std::string where = std::string(m.name) + ", " + c.what;
      EXPECT_EQ(machine->UniformBorder(), -1) << where;
      EXPECT_EQ(at(0, 0), 0) << where;
      const int beforeLine = c.cell == 0 ? c.line - 1 : c.line;
      const int beforeCell = c.cell == 0 ? BORDER_CELLS - 1 : c.cell - 1;
      EXPECT_EQ(at(beforeLine, beforeCell), 0) << where;
      EXPECT_EQ(at(c.line, c.cell), 6) << where;
      const int lastLine = backCell == 0 ? backLine - 1 : backLine;
      EXPECT_EQ(at(lastLine, backCell == 0 ? BORDER_CELLS - 1 : backCell - 1), 6) << where;
      EXPECT_EQ(at(backLine, backCell), 1) << where;
      EXPECT_EQ(at(BORDER_LINES - 1, BORDER_CELLS - 1), 1) << where;
      EXPECT_EQ(machine->GetBorder(), 1) << where;
    }
  }
}

TEST_F(Border, AFrameWithoutChangesIsOneColourAndSaysSo) {
  for (const Model& m : kModels) {
    auto machine = Make(m);
    LoadProgram(*machine, 0x8000, BorderProgram({{30000, 3}}));
    RunFrames(*machine, 1);
    EXPECT_EQ(machine->UniformBorder(), -1) << m.name;
    RunFrames(*machine, 1);  // halted: no write in this frame
    EXPECT_EQ(machine->UniformBorder(), 3) << m.name;
    for (int i = 0; i < BORDER_BUFFER_SIZE; ++i) ASSERT_EQ(machine->BorderBuffer()[i], 3) << m.name << " " << i;
    machine->SetPortFE(0x05);  // a snapshot's border shows at once
    EXPECT_EQ(machine->UniformBorder(), 5) << m.name;
    EXPECT_EQ(machine->BorderBuffer()[BORDER_BUFFER_SIZE - 1], 5) << m.name;
  }
}

}  // namespace
