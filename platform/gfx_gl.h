// The graphics device over OpenGL (a compatibility context with fixed-function lighting), made
// current by its window before use. Everything runs on the one render thread.
//
//   GlDevice* device = GlDevice::Create(sdlWindow, offscreen, 600, 400, &error);
//   device->Clear(...); device->BeginScene(); ... device->EndScene(); device->Present();
//
// A headless device draws into a framebuffer object of its own (the back buffer) instead of the
// window. Resources record the device that made them: deleting the device first releases their
// OpenGL objects and logs how many were left alive.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/gfx.h"

struct SDL_Window;
class GlResource;
class GlPixelShader;

class GlDevice : public GfxDevice {
 public:
  // Needs `window`'s OpenGL context to be current. Returns null with a reason on failure.
  static GlDevice* Create(SDL_Window* window, bool offscreen, uint32_t width, uint32_t height,
                          std::string* error);
  ~GlDevice() override;

  GfxResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                          GfxFormat format, GfxPool pool, GfxTexture** texture) override;
  GfxResult CreateTextureFromFile(const std::string& path, uint32_t width, uint32_t height,
                                  uint32_t mipLevels, uint32_t usage, GfxFormat format,
                                  GfxPool pool, GfxTexture** texture) override;
  GfxResult UpdateTexture(GfxTexture* source, GfxTexture* destination) override;
  GfxResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, GfxPool pool,
                               GfxVertexBuffer** buffer) override;
  GfxResult CreateMesh(const GfxMeshData& data, GfxMesh** mesh) override;

  GfxResult SetTransform(GfxTransformType type, const GfxMatrix& matrix) override;
  GfxResult GetTransform(GfxTransformType type, GfxMatrix* matrix) override;
  GfxResult SetMaterial(const GfxMaterial& material) override;
  GfxResult SetRenderState(GfxRenderState state, uint32_t value) override;
  GfxResult GetRenderState(GfxRenderState state, uint32_t* value) override;
  GfxResult SetTexture(uint32_t stage, GfxTexture* texture) override;
  GfxResult SetVertexShader(uint32_t fvf) override;
  GfxResult SetStreamSource(uint32_t stream, GfxVertexBuffer* buffer, uint32_t stride) override;
  GfxResult DrawPrimitive(GfxPrimitiveType type, uint32_t startVertex,
                          uint32_t primitiveCount) override;
  GfxResult BeginStateBlock() override;
  GfxResult EndStateBlock(uint32_t* handle) override;
  GfxResult ApplyStateBlock(uint32_t handle) override;
  GfxResult CaptureStateBlock(uint32_t handle) override;
  GfxResult DeleteStateBlock(uint32_t handle) override;

  GfxResult Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) override;
  GfxResult ClearRect(const GfxRect& rect, uint32_t colour) override;
  GfxResult BeginScene() override;
  GfxResult EndScene() override;
  GfxResult Present() override;

  GfxCaps GetDeviceCaps() const override { return caps_; }
  void GetBackBufferSize(uint32_t* width, uint32_t* height) const override;
  void SetVerticalSync(bool on) override;
  GfxResult Reset(uint32_t width, uint32_t height) override;
  GfxResult ReadBackBuffer(std::vector<uint32_t>* pixels, uint32_t* width,
                           uint32_t* height) override;
  GfxResult CreatePixelShader(const std::string& source, GfxPixelShader** shader,
                              std::string* log) override;
  GfxResult SetPixelShader(GfxPixelShader* shader) override;
  GfxResult SetPixelShaderConstant(const char* name, const float* values, uint32_t count) override;

  // Resources alive on this device, all pools or one pool; for leak checks.
  uint32_t LiveResourceCount() const { return static_cast<uint32_t>(live_.size()); }
  uint32_t LiveResourceCount(GfxPool pool) const;
  // Reads a device or managed texture back from OpenGL as ARGB, top row first (for tests).
  GfxResult ReadTexture(GfxTexture* texture, std::vector<uint32_t>* pixels, uint32_t* width,
                        uint32_t* height);

  // Resources register and unregister themselves.
  void Register(GlResource* resource) { live_.insert(resource); }
  void Unregister(GlResource* resource);
  // Sets the fixed-function matrices and lighting for a draw of 3D or screen-space vertices.
  void PrepareDraw(bool pretransformed);

 private:
  struct StateBlock {
    std::map<int32_t, uint32_t> renderStates;
    std::map<int32_t, GfxMatrix> transforms;
    bool hasMaterial = false, hasTexture = false, hasShader = false, hasStream = false;
    GfxMaterial material{};
    GfxTexture* texture = nullptr;
    GlResource* textureResource = nullptr;
    uint32_t fvf = 0;
    GfxVertexBuffer* stream = nullptr;
    GlResource* streamResource = nullptr;
    uint32_t stride = 0;
  };

  GlDevice() = default;
  bool CreateBackBuffer(std::string* error);
  void DestroyBackBuffer();
  void ApplyDefaultState();
  void ApplyRenderState(GfxRenderState state, uint32_t value);

  SDL_Window* window_ = nullptr;
  bool offscreen_ = false;
  uint32_t width_ = 0, height_ = 0;
  uint32_t framebuffer_ = 0, colourBuffer_ = 0, depthBuffer_ = 0;
  GfxCaps caps_{};
  bool inScene_ = false;

  GfxMatrix world_{}, view_{}, projection_{};
  uint32_t zEnable_ = 1, zWrite_ = 1, alphaTest_ = 0, srcBlend_ = GFX_BLEND_ONE,
           destBlend_ = GFX_BLEND_ZERO, cullMode_ = GFX_CULL_CCW, alphaRef_ = 0,
           alphaFunc_ = GFX_CMP_ALWAYS, alphaBlend_ = 0, lighting_ = 1, ambient_ = 0;
  uint32_t fvf_ = 0;
  GfxVertexBuffer* stream_ = nullptr;
  GlResource* streamResource_ = nullptr;  // the same object, to forget it when it goes
  uint32_t stride_ = 0;
  GfxTexture* texture_ = nullptr;
  GlResource* textureResource_ = nullptr;
  GfxMaterial material_{};
  GlPixelShader* pixelShader_ = nullptr;

  std::map<uint32_t, StateBlock> stateBlocks_;
  std::unique_ptr<StateBlock> recording_;
  uint32_t nextStateBlock_ = 1;

  std::unordered_set<GlResource*> live_;
};
