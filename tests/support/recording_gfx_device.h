// A graphics device that remembers what it was told: the last transform of each kind, render
// states, vertex buffers (kept in memory), textures bound and primitives drawn. The back buffer
// size is the test's choice.
#pragma once

#include <cstring>
#include <map>
#include <vector>

#include "platform/gfx.h"
#include "tests/support/null_gfx_device.h"

class RecordingVertexBuffer : public GfxVertexBuffer {
 public:
  RecordingVertexBuffer(uint32_t length, int* live) : bytes(length), live_(live) { ++*live_; }
  ~RecordingVertexBuffer() override { --*live_; }
  GfxResult Lock(uint32_t offset, uint32_t, void** data, uint32_t) override {
    *data = bytes.data() + offset;
    return GFX_OK;
  }
  GfxResult Unlock() override { return GFX_OK; }
  std::vector<uint8_t> bytes;

 private:
  int* live_;
};

class RecordingGfxDevice : public NullGfxDevice {
 public:
  struct Draw {
    GfxPrimitiveType type;
    uint32_t start, count;
    GfxTexture* texture;
    uint32_t fvf, stride;
    GfxVertexBuffer* stream;
  };

  GfxResult CreateVertexBuffer(uint32_t length, uint32_t, uint32_t, GfxPool,
                               GfxVertexBuffer** buffer) override {
    auto* made = new RecordingVertexBuffer(length, &liveBuffers);
    buffers.push_back(made);
    *buffer = made;
    return GFX_OK;
  }
  GfxResult SetTransform(GfxTransformType type, const GfxMatrix& matrix) override {
    transforms[type] = matrix;
    ++transformSets[type];
    return GFX_OK;
  }
  GfxResult GetTransform(GfxTransformType type, GfxMatrix* matrix) override {
    if (!transforms.count(type)) return GFX_E_FAIL;
    *matrix = transforms[type];
    return GFX_OK;
  }
  GfxResult SetRenderState(GfxRenderState state, uint32_t value) override {
    states[state] = value;
    return GFX_OK;
  }
  GfxResult SetTexture(uint32_t, GfxTexture* t) override {
    texture = t;
    return GFX_OK;
  }
  GfxResult SetVertexShader(uint32_t f) override {
    fvf = f;
    return GFX_OK;
  }
  GfxResult SetStreamSource(uint32_t, GfxVertexBuffer* buffer, uint32_t s) override {
    stream = buffer;
    stride = s;
    return GFX_OK;
  }
  GfxResult DrawPrimitive(GfxPrimitiveType type, uint32_t start, uint32_t count) override {
    draws.push_back({type, start, count, texture, fvf, stride, stream});
    return GFX_OK;
  }
  GfxResult Clear(uint32_t, uint32_t colour, float, uint32_t) override {
    clears.push_back(colour);
    return GFX_OK;
  }
  GfxResult ClearRect(const GfxRect& rect, uint32_t colour) override {
    rectClears.push_back({rect, colour});
    return GFX_OK;
  }
  void GetBackBufferSize(uint32_t* w, uint32_t* h) const override {
    *w = width;
    *h = height;
  }

  uint32_t width = 640, height = 480;
  std::map<int32_t, GfxMatrix> transforms;
  std::map<int32_t, int> transformSets;
  std::map<int32_t, uint32_t> states;
  std::vector<RecordingVertexBuffer*> buffers;  // not owned
  int liveBuffers = 0;
  std::vector<Draw> draws;
  std::vector<uint32_t> clears;
  struct RectClear {
    GfxRect rect;
    uint32_t colour;
  };
  std::vector<RectClear> rectClears;
  GfxTexture* texture = nullptr;
  uint32_t fvf = 0, stride = 0;
  GfxVertexBuffer* stream = nullptr;
};
