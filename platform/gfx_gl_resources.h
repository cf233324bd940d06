// The OpenGL device's resources: textures with system-memory copies, vertex buffers, meshes and pixel
// shaders.
// Private to platform/: only the device and its tests include it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx.h"
#include "platform/gfx_format.h"

class GlDevice;

// Something the device made. If the device goes first it calls Detach, after which the resource
// holds no OpenGL object and can only be deleted.
class GlResource {
 public:
  GlResource(GlDevice* device, GfxPool pool);
  virtual ~GlResource();
  GlResource(const GlResource&) = delete;
  GlResource& operator=(const GlResource&) = delete;

  GfxPool Pool() const { return pool_; }
  GlDevice* Device() const { return device_; }
  void Detach();

 protected:
  // Releases the OpenGL objects; called once, by the destructor or by Detach.
  virtual void DropGl() {}

  GlDevice* device_;
  GfxPool pool_;
};

class GlTexture : public GfxTexture, public GlResource {
 public:
  GlTexture(GlDevice* device, uint32_t width, uint32_t height, uint32_t usage,
            const GfxFormatInfo& format, GfxPool pool);
  ~GlTexture() override;

  GfxResult GetLevelDesc(uint32_t level, GfxSurfaceDesc* desc) override;
  GfxResult LockRect(uint32_t level, GfxLockedRect* locked, const GfxRect* rect,
                     uint32_t flags) override;
  GfxResult UnlockRect(uint32_t level) override;
  GfxResult AddDirtyRect(const GfxRect* rect) override;

  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  const GfxFormatInfo& Format() const { return format_; }
  uint32_t GlName() const { return glName_; }
  uint8_t* Texels() { return texels_.data(); }
  uint32_t Pitch() const { return pitch_; }
  bool IsLocked() const { return locked_; }

  // The dirty rectangle, if any, and forgetting it (after an update copied it).
  bool DirtyRect(GfxRect* rect) const;
  void ClearDirty() { dirty_ = false; }
  // Creates the OpenGL texture (device and managed pools) and uploads every texel.
  bool CreateGl();
  // Uploads one rectangle of the system-memory copy to the OpenGL texture.
  void Upload(const GfxRect& rect);

 protected:
  void DropGl() override;

 private:
  void Dirty(const GfxRect& rect);

  uint32_t width_, height_, usage_;
  const GfxFormatInfo& format_;
  uint32_t pitch_;
  std::vector<uint8_t> texels_;
  uint32_t glName_ = 0;
  bool locked_ = false;
  GfxRect lockedRect_{};
  uint32_t lockFlags_ = 0;
  bool dirty_ = false;
  GfxRect dirtyRect_{};
};

class GlVertexBuffer : public GfxVertexBuffer, public GlResource {
 public:
  GlVertexBuffer(GlDevice* device, uint32_t length, uint32_t fvf, GfxPool pool);
  ~GlVertexBuffer() override;

  GfxResult Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override;
  GfxResult Unlock() override;

  const uint8_t* Bytes() const { return bytes_.data(); }
  uint32_t Length() const { return static_cast<uint32_t>(bytes_.size()); }

 private:
  std::vector<uint8_t> bytes_;
  bool locked_ = false;
};

class GlMesh : public GfxMesh, public GlResource {
 public:
  GlMesh(GlDevice* device, const GfxMeshData& data);
  ~GlMesh() override;

  uint32_t SubsetCount() const override { return static_cast<uint32_t>(data_.subsets.size()); }
  GfxResult DrawSubset(uint32_t subset) override;

 private:
  GfxMeshData data_;
};

// A linked GLSL program holding one fragment shader (platform/gfx_gl_shader.cpp).
class GlPixelShader : public GfxPixelShader, public GlResource {
 public:
  GlPixelShader(GlDevice* device, uint32_t program);
  ~GlPixelShader() override;
  uint32_t Program() const { return program_; }

 protected:
  void DropGl() override;

 private:
  uint32_t program_;
};

// The size in bytes of one vertex of flexible format `fvf`; 0 when the layer cannot draw it.
uint32_t GlVertexSize(uint32_t fvf);
