#include "presentation/picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <vector>

#include "base/error_box.h"
#include "base/log.h"
#include "presentation/television_scene.h"
#include "tests/support/null_gfx_device.h"
#include "tests/support/temp_dir.h"

namespace {

int BytesPerTexel(GfxFormat format) {
  switch (format) {
    case GFX_FMT_A8R8G8B8: case GFX_FMT_X8R8G8B8: return 4;
    case GFX_FMT_R8G8B8: return 3;
    case GFX_FMT_R3G3B2: case GFX_FMT_A8: return 1;
    default: return 2;
  }
}

// A texture in plain memory that records how it is used.
class MemoryTexture : public GfxTexture {
 public:
  MemoryTexture(GfxFormat format, GfxPool pool, int* live) : format(format), pool(pool), live(live) {
    ++*live;
    texels.assign(PICTURE_TEXTURE_HEIGHT * Pitch(), 0xAA);
  }
  ~MemoryTexture() override { --*live; }
  // Rows padded, as devices do.
  int32_t Pitch() const { return PICTURE_TEXTURE_WIDTH * BytesPerTexel(format) + 16; }
  uint32_t Texel(int x, int y) const {
    uint32_t value = 0;
    std::memcpy(&value, &texels[y * Pitch() + x * BytesPerTexel(format)], BytesPerTexel(format));
    return value;
  }
  GfxResult GetLevelDesc(uint32_t, GfxSurfaceDesc* desc) override {
    *desc = GfxSurfaceDesc{format, 3, 0, pool, 0, 0, PICTURE_TEXTURE_WIDTH, PICTURE_TEXTURE_HEIGHT};
    return GFX_OK;
  }
  GfxResult LockRect(uint32_t, GfxLockedRect* locked, const GfxRect* rect, uint32_t flags) override {
    lockFlags = flags;
    lockedRect = *rect;
    if (failLock) return GFX_E_INVALIDCALL;
    *locked = GfxLockedRect{Pitch(), &texels[rect->top * Pitch() + rect->left * BytesPerTexel(format)]};
    return GFX_OK;
  }
  GfxResult UnlockRect(uint32_t) override { return GFX_OK; }
  GfxResult AddDirtyRect(const GfxRect* rect) override {
    dirty.push_back(*rect);
    return GFX_OK;
  }

  GfxFormat format;
  GfxPool pool;
  int* live;
  std::vector<uint8_t> texels;
  uint32_t lockFlags = 0;
  GfxRect lockedRect{};
  std::vector<GfxRect> dirty;
  bool failLock = false;
};

// A device that offers one texture format and may refuse either kind of creation.
class FakeDevice : public NullGfxDevice {
 public:
  GfxResult CreateTexture(uint32_t, uint32_t, uint32_t, uint32_t, GfxFormat, GfxPool pool,
                          GfxTexture** texture) override {
    if (failCreate) return GFX_E_OUTOFMEMORY;
    *texture = new MemoryTexture(offered, pool, &live);
    return GFX_OK;
  }
  GfxResult CreateTextureFromFile(const std::string&, uint32_t, uint32_t, uint32_t, uint32_t, GfxFormat,
                                  GfxPool pool, GfxTexture** texture) override {
    if (failFile) return GFX_E_NOTFOUND;
    *texture = new MemoryTexture(offered, pool, &live);
    return GFX_OK;
  }
  GfxResult UpdateTexture(GfxTexture* source, GfxTexture* destination) override {
    updates.push_back({source, destination});
    return GFX_OK;
  }
  GfxFormat offered = GFX_FMT_A8R8G8B8;
  bool failCreate = false, failFile = false;
  int live = 0;
  std::vector<std::pair<GfxTexture*, GfxTexture*>> updates;
};

class FakeScene : public CTelevisionScene {
 public:
  bool IsModelLoaded() const override { return true; }
  bool LoadModel() override { return true; }
  void DrawTelevision(CTV&) override {}
  const std::string& ScreenImagePath() const override { return path; }
  std::string path = "/models/TV_Scree.tga";
};

std::vector<std::string> g_boxes;  // "caption|text"
void RecordBox(const std::string& caption, const std::string& text) { g_boxes.push_back(caption + "|" + text); }

// The device and the scene of the test running.
FakeDevice* g_device = nullptr;
FakeScene* g_scene = nullptr;

// A machine's television: its picture state, textures and display line buffer.
struct Machine {
  ~Machine() { ReleasePictureTextures(staging, screen); }
  void Restore() { RestorePictureTextures(state, g_device, g_scene->ScreenImagePath(), staging, screen); }
  bool Render(int phase = 0) {
    const PictureFrame frame{lines.data(), border.empty() ? nullptr : border.data(), uniformBorder, phase};
    return RenderPicture(state, g_device, staging, screen, frame, changed);
  }
  MemoryTexture& Staging() { return *static_cast<MemoryTexture*>(staging); }
  PictureState state;
  GfxTexture* staging = nullptr;
  GfxTexture* screen = nullptr;
  std::vector<uint8_t> lines = std::vector<uint8_t>(DISPLAY_LINE_BUFFER_SIZE, 0);
  std::vector<uint8_t> border;  // none: the border texels are left alone
  int32_t uniformBorder = -1;
  bool changed = true;
};

class Picture : public ::testing::Test {
 protected:
  void SetUp() override {
    g_device = &device;
    g_scene = &scene;
    SetErrorBoxPresenter(RecordBox);
    g_boxes.clear();
    FreeColourTables();
    RequestColourTableRebuild();
    ASSERT_TRUE(OpenLog(logDir.file("log.txt")));
  }
  void TearDown() override {
    CloseLog();
    FreeColourTables();
    SetErrorBoxPresenter(nullptr);
  }
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::istringstream text(ReadWholeFile(logDir.file("log.txt")));
    for (std::string line; std::getline(text, line);) lines.push_back(line.substr(11));
    return std::vector<std::string>(lines.begin() + 1, lines.end());
  }
  static void BuildFor(GfxFormat format) {
    const PixelFormat f = LookUpPixelFormat(format);
    BuildColourTables(PictureState{{}, f.bitsPerPixel, f.redMask, f.greenMask, f.blueMask});
  }

  TempDir logDir;
  FakeDevice device;
  FakeScene scene;
};

constexpr uint32_t INK = 256;  // table index offset of a set pixel

}  // namespace

TEST_F(Picture, ColourLevelsForEveryFormatAndBothIntensities) {
  struct Case { GfxFormat format; int32_t bits; uint32_t normal[3], bright[3]; };  // red, green, blue
  const Case cases[] = {
      {GFX_FMT_X8R8G8B8, 32, {0xBF0000, 0x00BF00, 0x0000BF}, {0xE50000, 0x00E500, 0x0000E5}},
      {GFX_FMT_A8R8G8B8, 32, {0xBF0000, 0x00BF00, 0x0000BF}, {0xE50000, 0x00E500, 0x0000E5}},
      {GFX_FMT_R5G6B5, 16, {0xB800, 0x05E0, 0x0017}, {0xD800, 0x0700, 0x001B}},
      {GFX_FMT_X1R5G5B5, 16, {0x5C00, 0x02E0, 0x0017}, {0x6C00, 0x0360, 0x001B}},
      {GFX_FMT_A1R5G5B5, 16, {0x5C00, 0x02E0, 0x0017}, {0x6C00, 0x0360, 0x001B}},
      {GFX_FMT_A4R4G4B4, 16, {0x0B00, 0x00B0, 0x000B}, {0x0D00, 0x00D0, 0x000D}},
      {GFX_FMT_X4R4G4B4, 16, {0x0B00, 0x00B0, 0x000B}, {0x0D00, 0x00D0, 0x000D}},
      {GFX_FMT_R3G3B2, 8, {0xA0, 0x14, 0x02}, {0xC0, 0x18, 0x02}},
      {GFX_FMT_A8R3G3B2, 16, {0xA0, 0x14, 0x02}, {0xC0, 0x18, 0x02}},
  };
  for (GfxFormat unsupported : {GFX_FMT_R8G8B8, GFX_FMT_A8, GFX_FMT_UNKNOWN})
    EXPECT_EQ(LookUpPixelFormat(unsupported).bitsPerPixel, 0);
  for (const Case& c : cases) {
    const PixelFormat f = LookUpPixelFormat(c.format);
    ASSERT_EQ(f.bitsPerPixel, c.bits) << c.format;
    BuildFor(c.format);
    for (uint32_t phase = 0; phase < 2; ++phase) {
      for (uint32_t i = 0; i < 512; ++i) {
        const uint32_t entry = ColourTableEntry(phase, i);
        ASSERT_EQ(entry & ~(f.redMask | f.greenMask | f.blueMask), 0u) << "alpha bits, format " << c.format;
        if ((i & 0x3F) == 0) {
          ASSERT_EQ(entry, 0u) << "black, format " << c.format << " index " << i;
        }
      }
      for (uint32_t bright = 0; bright < 2; ++bright) {
        const uint32_t* levels = bright ? c.bright : c.normal;
        const uint32_t attr = bright << 6;
        EXPECT_EQ(ColourTableEntry(phase, INK + (attr | 2)), levels[0]) << c.format;  // red ink
        EXPECT_EQ(ColourTableEntry(phase, INK + (attr | 4)), levels[1]) << c.format;  // green ink
        EXPECT_EQ(ColourTableEntry(phase, attr | (1 << 3)), levels[2]) << c.format;   // blue paper
        EXPECT_EQ(ColourTableEntry(phase, INK + (attr | 7)), levels[0] | levels[1] | levels[2]);
      }
    }
  }
}

TEST_F(Picture, FlashSwapsInkAndPaperInPhaseOne) {
  BuildFor(GFX_FMT_X8R8G8B8);
  const uint32_t blue = 0xBF, yellow = 0xBFBF00;
  const uint32_t flashing = 0x80 | (6 << 3) | 1, steady = (6 << 3) | 1;
  EXPECT_EQ(ColourTableEntry(0, INK + flashing), blue);
  EXPECT_EQ(ColourTableEntry(0, flashing), yellow);
  EXPECT_EQ(ColourTableEntry(1, INK + flashing), yellow);
  EXPECT_EQ(ColourTableEntry(1, flashing), blue);
  EXPECT_EQ(ColourTableEntry(1, INK + steady), blue);
}

TEST_F(Picture, TexturesAreCreatedWithTheirLogLines) {
  device.offered = GFX_FMT_R5G6B5;
  Machine machine;
  machine.Restore();
  ASSERT_NE(machine.staging, nullptr);
  ASSERT_NE(machine.screen, nullptr);
  EXPECT_EQ(machine.Staging().pool, GFX_POOL_SYSTEMMEM);
  EXPECT_EQ(static_cast<MemoryTexture*>(machine.screen)->pool, GFX_POOL_DEFAULT);
  EXPECT_EQ(machine.state.bitsPerPixel, 16);
  EXPECT_EQ(machine.state.greenMask, 0x07E0u);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Creating (restoring) Speccy screen texture",
                                                  "Texture width 320, height\t256,\tformat 23 in pool 2 created OK",
                                                  "Created texture from /models/TV_Scree.tga OK",
                                                  "Speccy screen texture created OK"}));
  EXPECT_TRUE(g_boxes.empty());
  machine.Restore();  // again without a release: the first pair is not leaked
  EXPECT_EQ(device.live, 2);
  ReleasePictureTextures(machine.staging, machine.screen);
  EXPECT_EQ(device.live, 0);
  EXPECT_EQ(machine.staging, nullptr);
}

TEST_F(Picture, CreationFailuresAreReportedAndNothingBreaks) {
  struct Case { bool failCreate, failFile; GfxFormat offered; const char* box; bool staging, screen, drawn; };
  const Case cases[] = {
      {true, false, GFX_FMT_A8R8G8B8, "Glimmerbox - Error 0x8007000e|Couldn't\tcreate the Speccy screen texture",
       false, false, false},
      {false, false, GFX_FMT_R8G8B8, "Glimmerbox - Error|Unknown texture format\tfor\tTV display texture", true, false,
       false},
      {false, true, GFX_FMT_A8R8G8B8,
       "Glimmerbox - Error 0x88760866|CSpeccy::RestoreScreenTexture couldn't create texture from file: "
       "/models/TV_Scree.tga",
       true, false, true},
  };
  for (const Case& c : cases) {
    g_boxes.clear();
    device.failCreate = c.failCreate;
    device.failFile = c.failFile;
    device.offered = c.offered;
    device.updates.clear();
    FreeColourTables();
    Machine machine;
    machine.Restore();
    EXPECT_EQ(g_boxes, std::vector<std::string>{c.box});
    EXPECT_EQ(machine.staging != nullptr, c.staging) << c.box;
    EXPECT_EQ(machine.screen != nullptr, c.screen) << c.box;
    EXPECT_EQ(machine.Render(), c.drawn) << c.box;
    EXPECT_TRUE(device.updates.empty()) << "no copy into a missing screen texture";
    if (c.drawn) {
      EXPECT_EQ(machine.Staging().dirty.size(), 1u) << "the staging texture is still filled";
    }
  }
  EXPECT_EQ(LogLines().back(), "Speccy screen texture created OK");  // after the file failure too
}

TEST_F(Picture, NoScreenImageMeansNoTexturesAndNoLog) {
  scene.path.clear();
  Machine machine;
  machine.Restore();
  EXPECT_EQ(machine.staging, nullptr);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_FALSE(machine.Render());
}

TEST_F(Picture, ConversionFillsTheDisplayAreaAndUploadsIt) {
  Machine machine;
  machine.Restore();
  for (int n = 0; n < DISPLAY_LINES; ++n) {
    std::memset(&machine.lines[n * 64], 0xF0, 32);      // 4 ink pixels, 4 paper pixels
    std::memset(&machine.lines[n * 64 + 32], 0x38, 32);  // black ink on white paper
  }
  machine.lines[9 * 64 + 32 + 3] = 0x0A;  // line 9 only: red ink on blue paper in column 3
  ASSERT_TRUE(machine.Render());
  EXPECT_FALSE(machine.changed);
  MemoryTexture& t = machine.Staging();
  EXPECT_EQ(t.lockFlags, 0x8800u);
  ASSERT_EQ(t.dirty.size(), 1u);
  for (const GfxRect& r : {t.lockedRect, t.dirty[0]})
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({32, 32, 288, 224}));
  ASSERT_EQ(device.updates.size(), 1u);
  EXPECT_EQ(device.updates[0], std::make_pair(machine.staging, machine.screen));
  for (int line : {8, 9, 10}) {
    const bool changed = line == 9;
    EXPECT_EQ(t.Texel(32 + 24, 32 + line), changed ? 0xBF0000u : 0u) << line;
    EXPECT_EQ(t.Texel(32 + 28, 32 + line), changed ? 0x0000BFu : 0xBFBFBFu) << line;
    EXPECT_EQ(t.Texel(32 + 16, 32 + line), 0u) << line;
  }
  EXPECT_EQ(t.Texel(32, 31), 0xAAAAAAAAu);
  EXPECT_EQ(t.Texel(287, 224), 0xAAAAAAAAu);
  EXPECT_EQ(t.Texel(31, 32), 0xAAAAAAAAu);

  t.failLock = true;  // a failed lock skips the frame but clears the flag
  machine.changed = true;
  EXPECT_TRUE(machine.Render());
  EXPECT_FALSE(machine.changed);
  EXPECT_EQ(t.dirty.size(), 1u);
}

TEST_F(Picture, EightSixteenAndThirtyTwoBitTexturesShowTheSamePicture) {
  std::mt19937 random(1982);
  std::vector<uint8_t> lines(DISPLAY_LINE_BUFFER_SIZE);
  for (uint8_t& byte : lines) byte = static_cast<uint8_t>(random());
  for (int phase = 0; phase < 2; ++phase) {
    for (GfxFormat format : {GFX_FMT_R3G3B2, GFX_FMT_A4R4G4B4, GFX_FMT_X8R8G8B8}) {
      device.offered = format;
      Machine machine;
      machine.lines = lines;
      machine.Restore();
      ASSERT_TRUE(machine.Render(phase));
      const PixelFormat f = LookUpPixelFormat(format);
      for (int y = 0; y < DISPLAY_LINES; ++y) {
        for (int x = 0; x < 256; ++x) {
          const uint8_t bitmap = lines[y * 64 + x / 8], attr = lines[y * 64 + 32 + x / 8];
          const bool ink = ((bitmap >> (7 - x % 8)) & 1) != ((attr >> 7) & phase);
          const uint32_t colour = ink ? attr & 7 : (attr >> 3) & 7;
          const uint32_t texel = machine.Staging().Texel(32 + x, 32 + y);
          const uint32_t seen = ((texel & f.blueMask) ? 1 : 0) | ((texel & f.redMask) ? 2 : 0) | ((texel & f.greenMask) ? 4 : 0);
          ASSERT_EQ(seen, colour) << "format " << format << " x " << x << " y " << y;
        }
      }
    }
  }
}

TEST_F(Picture, TablesFollowTheFormatAfterARestore) {
  device.offered = GFX_FMT_R5G6B5;
  Machine a, b;
  a.Restore();
  b.Restore();
  ASSERT_TRUE(a.Render());
  EXPECT_FALSE(ColourTablesNeedRebuild());
  EXPECT_EQ(ColourTableEntry(0, INK + 2), 0xB800u);

  device.offered = GFX_FMT_X8R8G8B8;  // the device came back with another format
  ReleasePictureTextures(a.staging, a.screen);
  ReleasePictureTextures(b.staging, b.screen);
  a.Restore();
  b.Restore();
  EXPECT_TRUE(ColourTablesNeedRebuild());
  ASSERT_TRUE(a.Render());
  EXPECT_EQ(ColourTableEntry(0, INK + 2), 0xBF0000u);
  EXPECT_FALSE(ColourTablesNeedRebuild());
}

// Two devices may give two widths; tables of the other width must never be read.
TEST_F(Picture, AMachineOfAnotherWidthGetsTablesOfItsOwn) {
  device.offered = GFX_FMT_R3G3B2;
  Machine narrow;
  narrow.Restore();
  device.offered = GFX_FMT_X8R8G8B8;
  Machine wide;
  wide.Restore();
  std::memset(wide.lines.data(), 0xFF, DISPLAY_LINE_BUFFER_SIZE);
  ASSERT_TRUE(narrow.Render());
  ASSERT_TRUE(wide.Render());
  EXPECT_EQ(wide.Staging().Texel(287, 223), 0xE5E5E5u);
}

// The display area of the bordered texture holds, byte for byte, the picture of the flat
// 256 x 192 conversion the program made before it had a border (hashes taken from that code).
TEST_F(Picture, TheDisplayAreaIsByteIdenticalToTheFlatPicture) {
  struct Case {
    GfxFormat format;
    int phase;
    uint32_t fnv1a;
  };
  const Case cases[] = {
      {GFX_FMT_R3G3B2, 0, 0x63A3D053u},   {GFX_FMT_R3G3B2, 1, 0xED1032E3u},
      {GFX_FMT_R5G6B5, 0, 0xE47091B1u},   {GFX_FMT_R5G6B5, 1, 0xE61F54CDu},
      {GFX_FMT_X8R8G8B8, 0, 0x7D800FE7u}, {GFX_FMT_X8R8G8B8, 1, 0x827625FFu},
  };
  std::mt19937 random(1982);
  std::vector<uint8_t> lines(DISPLAY_LINE_BUFFER_SIZE);
  for (uint8_t& byte : lines) byte = static_cast<uint8_t>(random());
  for (const Case& c : cases) {
    for (const bool withBorder : {false, true}) {
      device.offered = c.format;
      Machine machine;
      machine.lines = lines;
      if (withBorder) machine.border.assign(BORDER_BUFFER_SIZE, 2);
      machine.Restore();
      ASSERT_TRUE(machine.Render(c.phase));
      const MemoryTexture& t = machine.Staging();
      const int bytes = BytesPerTexel(c.format);
      uint32_t hash = 2166136261u;
      for (int y = PICTURE_TOP; y < PICTURE_TOP + DISPLAY_LINES; ++y)
        for (int i = 0; i < 256 * bytes; ++i) {
          hash ^= t.texels[y * t.Pitch() + PICTURE_LEFT * bytes + i];
          hash *= 16777619u;
        }
      EXPECT_EQ(hash, c.fnv1a) << "format " << c.format << " phase " << c.phase << " border " << withBorder;
    }
  }
}

// A border that keeps the colour already drawn costs nothing: only the display area is locked.
TEST_F(Picture, TheBorderIsDrawnWhenItChangesAndOnlyThen) {
  struct Frame {
    int32_t uniform;  // -1: stripes, a new colour every 5 cells
    bool whole;       // the whole texture locked and uploaded, not only the display area
  };
  const Frame frames[] = {{1, true}, {1, false}, {-1, true}, {-1, true}, {1, true}, {4, true}, {4, false}};
  Machine machine;
  machine.Restore();
  for (size_t n = 0; n < std::size(frames); ++n) {
    const Frame& f = frames[n];
    machine.uniformBorder = f.uniform;
    machine.border.assign(BORDER_BUFFER_SIZE, static_cast<uint8_t>(f.uniform));
    if (f.uniform < 0)
      for (int i = 0; i < BORDER_BUFFER_SIZE; ++i) machine.border[i] = static_cast<uint8_t>((i / 5) & 7);
    machine.changed = true;
    ASSERT_TRUE(machine.Render());
    const GfxRect r = machine.Staging().lockedRect;
    EXPECT_EQ(r.left == 0 && r.top == 0 && r.right == 320 && r.bottom == 256, f.whole) << n;
    EXPECT_EQ(machine.Staging().dirty.back().top, f.whole ? 0 : 32) << n;
    if (!f.whole) continue;
    const MemoryTexture& t = machine.Staging();
    // Paper colours without BRIGHT: blue 0x0000BF, red 0xBF0000, green 0x00BF00.
    const uint32_t levels[8] = {0, 0xBF, 0xBF0000, 0xBF00BF, 0xBF00, 0xBFBF, 0xBFBF00, 0xBFBFBF};
    const auto expected = [&](int line, int x) { return levels[machine.border[line * BORDER_CELLS + x / 8]]; };
    for (const auto& [x, y] : {std::pair{0, 0}, {319, 255}, {31, 32}, {288, 223}, {100, 31}, {100, 224}, {47, 9}})
      EXPECT_EQ(t.Texel(x, y), expected(y, x)) << n << " at " << x << ", " << y;
  }
}
