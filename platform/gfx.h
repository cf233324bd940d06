// The graphics device layer: textures in the Spectrum-era pixel formats with lock and update,
// materials, transforms, render states and drawing, over OpenGL. This header carries no OpenGL
// or SDL types, so code above it (the picture conversion, the scene) builds without them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Result codes: 0 success, negative failure (the values of the original device's codes).
using GfxResult = int32_t;
constexpr GfxResult GFX_OK = 0;
constexpr GfxResult GFX_E_FAIL = static_cast<int32_t>(0x80004005);
constexpr GfxResult GFX_E_INVALIDCALL = static_cast<int32_t>(0x8876086C);
constexpr GfxResult GFX_E_OUTOFMEMORY = static_cast<int32_t>(0x8007000E);
constexpr GfxResult GFX_E_NOTFOUND = static_cast<int32_t>(0x88760866);
constexpr GfxResult GFX_E_INVALIDDATA = static_cast<int32_t>(0x88760B59);  // an undecodable file
constexpr GfxResult GFX_E_NOTAVAILABLE = static_cast<int32_t>(0x8876086A);  // the device cannot

// Pixel formats, numbered as the formats the program was designed around.
enum GfxFormat : int32_t {
  GFX_FMT_UNKNOWN = 0,
  GFX_FMT_R8G8B8 = 20,
  GFX_FMT_A8R8G8B8 = 21,
  GFX_FMT_X8R8G8B8 = 22,
  GFX_FMT_R5G6B5 = 23,
  GFX_FMT_X1R5G5B5 = 24,
  GFX_FMT_A1R5G5B5 = 25,
  GFX_FMT_A4R4G4B4 = 26,
  GFX_FMT_R3G3B2 = 27,
  GFX_FMT_A8 = 28,
  GFX_FMT_A8R3G3B2 = 29,
  GFX_FMT_X4R4G4B4 = 30,
};

enum GfxPool : int32_t { GFX_POOL_DEFAULT = 0, GFX_POOL_MANAGED = 1, GFX_POOL_SYSTEMMEM = 2 };

constexpr uint32_t GFX_LOCK_NOSYSLOCK = 0x800;
constexpr uint32_t GFX_LOCK_NO_DIRTY_UPDATE = 0x8000;
constexpr uint32_t GFX_DEFAULT = 0xFFFFFFFF;  // "the image's own size" / "a full mip chain"

struct GfxRect {
  int32_t left, top, right, bottom;
};

struct GfxLockedRect {
  int32_t pitch;  // bytes from one row to the next
  void* bits;     // first texel of the locked rectangle
};

struct GfxSurfaceDesc {
  GfxFormat format;
  int32_t type;
  uint32_t usage;
  GfxPool pool;
  uint32_t size;
  int32_t multiSampleType;
  uint32_t width, height;
};

// A texture; deleting it releases it.
class GfxTexture {
 public:
  virtual ~GfxTexture() = default;
  virtual GfxResult GetLevelDesc(uint32_t level, GfxSurfaceDesc* desc) = 0;
  virtual GfxResult LockRect(uint32_t level, GfxLockedRect* locked, const GfxRect* rect, uint32_t flags) = 0;
  virtual GfxResult UnlockRect(uint32_t level) = 0;
  virtual GfxResult AddDirtyRect(const GfxRect* rect) = 0;
};

// Colours as the device's materials hold them: four floats, 0 to 1.
struct GfxColourValue {
  float r, g, b, a;
};

struct GfxMaterial {
  GfxColourValue diffuse, ambient, specular, emissive;
  float power;
};

// A 4 x 4 matrix in row-vector form: a point is transformed as v' = v * M, so a product
// A * B applies A first. Translation sits in row 3.
struct GfxMatrix {
  float m[4][4];
};

enum GfxTransformType : int32_t { GFX_TS_VIEW = 2, GFX_TS_PROJECTION = 3, GFX_TS_WORLD = 256 };

// Render states, numbered as the original device's. Values are booleans (0/1) unless noted.
enum GfxRenderState : int32_t {
  GFX_RS_ZENABLE = 7,
  GFX_RS_ZWRITEENABLE = 14,
  GFX_RS_ALPHATESTENABLE = 15,
  GFX_RS_SRCBLEND = 19,   // a GfxBlend
  GFX_RS_DESTBLEND = 20,  // a GfxBlend
  GFX_RS_CULLMODE = 22,   // a GfxCull
  GFX_RS_ALPHAREF = 24,   // 0..255
  GFX_RS_ALPHAFUNC = 25,  // a GfxCompare
  GFX_RS_ALPHABLENDENABLE = 27,
  GFX_RS_LIGHTING = 137,
  GFX_RS_AMBIENT = 139,  // ARGB colour of the ambient light
};

enum GfxBlend : uint32_t {
  GFX_BLEND_ZERO = 1,
  GFX_BLEND_ONE = 2,
  GFX_BLEND_SRCCOLOR = 3,
  GFX_BLEND_INVSRCCOLOR = 4,
  GFX_BLEND_SRCALPHA = 5,
  GFX_BLEND_INVSRCALPHA = 6,
};

enum GfxCull : uint32_t { GFX_CULL_NONE = 1, GFX_CULL_CW = 2, GFX_CULL_CCW = 3 };

enum GfxCompare : uint32_t {
  GFX_CMP_NEVER = 1,
  GFX_CMP_LESS = 2,
  GFX_CMP_EQUAL = 3,
  GFX_CMP_LESSEQUAL = 4,
  GFX_CMP_GREATER = 5,
  GFX_CMP_NOTEQUAL = 6,
  GFX_CMP_GREATEREQUAL = 7,
  GFX_CMP_ALWAYS = 8,
};

// Flexible vertex formats: which fields a vertex holds, in this order: position (x, y, z, or
// screen-space x, y, z, 1/w), normal, diffuse colour (ARGB), one texture coordinate pair.
constexpr uint32_t GFX_FVF_XYZ = 0x002;
constexpr uint32_t GFX_FVF_XYZRHW = 0x004;
constexpr uint32_t GFX_FVF_NORMAL = 0x010;
constexpr uint32_t GFX_FVF_DIFFUSE = 0x040;
constexpr uint32_t GFX_FVF_TEX1 = 0x100;

enum GfxPrimitiveType : int32_t { GFX_PT_TRIANGLELIST = 4, GFX_PT_TRIANGLEFAN = 6 };

constexpr uint32_t GFX_USAGE_WRITEONLY = 0x8;
constexpr uint32_t GFX_USAGE_DYNAMIC = 0x200;
constexpr uint32_t GFX_LOCK_DISCARD = 0x2000;

constexpr uint32_t GFX_CLEAR_TARGET = 1;
constexpr uint32_t GFX_CLEAR_ZBUFFER = 2;
constexpr uint32_t GFX_CLEAR_STENCIL = 4;

struct GfxCaps {
  uint32_t maxTextureWidth, maxTextureHeight;
};

// A vertex buffer; deleting it releases it.
class GfxVertexBuffer {
 public:
  virtual ~GfxVertexBuffer() = default;
  virtual GfxResult Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
  virtual GfxResult Unlock() = 0;
};

// Geometry for a mesh: vertices, triangles, and one subset per material, each a run of
// triangles (as a loaded and optimised model has them).
struct GfxMeshVertex {
  float position[3];
  float normal[3];
  float u, v;
};

struct GfxMeshSubset {
  uint32_t faceStart, faceCount;  // in triangles
};

struct GfxMeshData {
  std::vector<GfxMeshVertex> vertices;
  std::vector<uint32_t> indices;  // three per triangle
  std::vector<GfxMeshSubset> subsets;
};

// A mesh on the device; deleting it releases it.
class GfxMesh {
 public:
  virtual ~GfxMesh() = default;
  virtual uint32_t SubsetCount() const = 0;
  // Draws subset `subset` with the current transforms, material and texture.
  virtual GfxResult DrawSubset(uint32_t subset) = 0;
};

// A pixel shader: a GLSL 1.20 fragment program run over the fixed-function vertex stage, which
// reads gl_TexCoord[0] and gl_Color and samples stage 0 through the sampler uniform "picture".
// Deleting it releases it.
class GfxPixelShader {
 public:
  virtual ~GfxPixelShader() = default;
};

class GfxDevice {
 public:
  virtual ~GfxDevice() = default;
  // Creates a texture; an unavailable format is replaced by the nearest one the device offers.
  virtual GfxResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                  GfxFormat format, GfxPool pool, GfxTexture** texture) = 0;
  // Creates a texture from an image file (TGA, PNG, ...); GFX_DEFAULT sizes take the image's own.
  // A requested size other than the image's crops it or pads it with transparent black.
  virtual GfxResult CreateTextureFromFile(const std::string& path, uint32_t width, uint32_t height,
                                          uint32_t mipLevels, uint32_t usage, GfxFormat format,
                                          GfxPool pool, GfxTexture** texture) = 0;
  // Copies the dirty rectangles of a system-memory texture into a device texture.
  virtual GfxResult UpdateTexture(GfxTexture* source, GfxTexture* destination) = 0;

  virtual GfxResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, GfxPool pool,
                                       GfxVertexBuffer** buffer) = 0;
  virtual GfxResult CreateMesh(const GfxMeshData& data, GfxMesh** mesh) = 0;

  virtual GfxResult SetTransform(GfxTransformType type, const GfxMatrix& matrix) = 0;
  virtual GfxResult GetTransform(GfxTransformType type, GfxMatrix* matrix) = 0;
  virtual GfxResult SetMaterial(const GfxMaterial& material) = 0;
  virtual GfxResult SetRenderState(GfxRenderState state, uint32_t value) = 0;
  virtual GfxResult GetRenderState(GfxRenderState state, uint32_t* value) = 0;
  // Binds a device or managed texture to stage 0 (null unbinds); system-memory textures cannot be
  // drawn with.
  virtual GfxResult SetTexture(uint32_t stage, GfxTexture* texture) = 0;
  virtual GfxResult SetVertexShader(uint32_t fvf) = 0;
  virtual GfxResult SetStreamSource(uint32_t stream, GfxVertexBuffer* buffer, uint32_t stride) = 0;
  virtual GfxResult DrawPrimitive(GfxPrimitiveType type, uint32_t startVertex,
                                  uint32_t primitiveCount) = 0;

  // State blocks: between Begin and End, the Set calls above (render states, transforms,
  // material, texture, vertex shader, stream source) are recorded instead of done. Apply replays
  // the recording; Capture replaces its values with the device's current ones. Handles are
  // never 0.
  virtual GfxResult BeginStateBlock() = 0;
  virtual GfxResult EndStateBlock(uint32_t* handle) = 0;
  virtual GfxResult ApplyStateBlock(uint32_t handle) = 0;
  virtual GfxResult CaptureStateBlock(uint32_t handle) = 0;
  virtual GfxResult DeleteStateBlock(uint32_t handle) = 0;

  // Clears the whole back buffer; colour is ARGB.
  virtual GfxResult Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) = 0;
  // Fills a rectangle of the back buffer (pixels, top-left origin, right and bottom exclusive)
  // with an ARGB colour; the depth buffer and the render states stay as they are.
  virtual GfxResult ClearRect(const GfxRect& rect, uint32_t colour) = 0;
  virtual GfxResult BeginScene() = 0;
  virtual GfxResult EndScene() = 0;
  virtual GfxResult Present() = 0;

  virtual GfxCaps GetDeviceCaps() const = 0;
  virtual void GetBackBufferSize(uint32_t* width, uint32_t* height) const = 0;
  virtual void SetVerticalSync(bool on) = 0;
  // Resizes the back buffer. Fails with GFX_E_INVALIDCALL while any default-pool resource is
  // alive: they must be released first (invalidate) and created again afterwards (restore).
  virtual GfxResult Reset(uint32_t width, uint32_t height) = 0;
  // Reads the back buffer as ARGB pixels, top row first.
  virtual GfxResult ReadBackBuffer(std::vector<uint32_t>* pixels, uint32_t* width,
                                   uint32_t* height) = 0;

  // Compiles a pixel shader that survives a Reset. GFX_E_NOTAVAILABLE when the device runs no
  // shaders (draw fixed-function instead); GFX_E_FAIL with the compiler's words in `log`.
  virtual GfxResult CreatePixelShader(const std::string&, GfxPixelShader** shader, std::string*) {
    if (shader) *shader = nullptr;
    return GFX_E_NOTAVAILABLE;
  }
  // Draws with `shader` from now on; null goes back to fixed-function drawing.
  virtual GfxResult SetPixelShader(GfxPixelShader* shader) { return shader ? GFX_E_INVALIDCALL : GFX_OK; }
  // Sets a float, vec2, vec3 or vec4 uniform (count 1 to 4) of the shader in use.
  virtual GfxResult SetPixelShaderConstant(const char*, const float*, uint32_t) {
    return GFX_E_INVALIDCALL;
  }
};
