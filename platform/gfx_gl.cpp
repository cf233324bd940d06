// The OpenGL device. The program's matrices are row-vector, left-handed, with depth 0..1; a
// row-vector matrix's sixteen floats are the column-major OpenGL matrix of the same transform,
// so matrices load unchanged and only the projection gains the depth remapping, here in
// PrepareDraw and nowhere else. Front faces are clockwise on screen, as the original device's.
#include "platform/gfx_gl.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cstring>

#include "base/log.h"
#include "platform/gfx_format.h"
#include "platform/gfx_gl_resources.h"
#include "platform/gfx_math.h"

namespace {

// Framebuffer objects are newer than OpenGL 1.1, so they are looked up at run time.
struct FramebufferFunctions {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;

  bool Load() {
    genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(SDL_GL_GetProcAddress("glGenFramebuffers"));
    deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(SDL_GL_GetProcAddress("glDeleteFramebuffers"));
    bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBindFramebuffer"));
    checkFramebufferStatus = reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(SDL_GL_GetProcAddress("glCheckFramebufferStatus"));
    genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(SDL_GL_GetProcAddress("glGenRenderbuffers"));
    deleteRenderbuffers = reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(SDL_GL_GetProcAddress("glDeleteRenderbuffers"));
    bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(SDL_GL_GetProcAddress("glBindRenderbuffer"));
    renderbufferStorage = reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(SDL_GL_GetProcAddress("glRenderbufferStorage"));
    framebufferRenderbuffer = reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(SDL_GL_GetProcAddress("glFramebufferRenderbuffer"));
    return genFramebuffers && deleteFramebuffers && bindFramebuffer && checkFramebufferStatus &&
           genRenderbuffers && deleteRenderbuffers && bindRenderbuffer && renderbufferStorage &&
           framebufferRenderbuffer;
  }
};

FramebufferFunctions g_fbo;

GLenum GlBlend(uint32_t blend) {
  switch (blend) {
    case GFX_BLEND_ZERO: return GL_ZERO;
    case GFX_BLEND_SRCCOLOR: return GL_SRC_COLOR;
    case GFX_BLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case GFX_BLEND_SRCALPHA: return GL_SRC_ALPHA;
    case GFX_BLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    default: return GL_ONE;
  }
}

GLenum GlCompare(uint32_t compare) {
  switch (compare) {
    case GFX_CMP_NEVER: return GL_NEVER;
    case GFX_CMP_LESS: return GL_LESS;
    case GFX_CMP_EQUAL: return GL_EQUAL;
    case GFX_CMP_LESSEQUAL: return GL_LEQUAL;
    case GFX_CMP_GREATER: return GL_GREATER;
    case GFX_CMP_NOTEQUAL: return GL_NOTEQUAL;
    case GFX_CMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

void ArgbToFloats(uint32_t argb, float out[4]) {
  out[0] = ((argb >> 16) & 0xFF) / 255.0f;
  out[1] = ((argb >> 8) & 0xFF) / 255.0f;
  out[2] = (argb & 0xFF) / 255.0f;
  out[3] = (argb >> 24) / 255.0f;
}

GlTexture* AsGl(GfxTexture* texture) { return dynamic_cast<GlTexture*>(texture); }

}  // namespace

// ---- resources ---------------------------------------------------------------------------------

GlResource::GlResource(GlDevice* device, GfxPool pool) : device_(device), pool_(pool) {
  if (device_) device_->Register(this);
}

GlResource::~GlResource() {
  if (device_) device_->Unregister(this);
}

void GlResource::Detach() {
  DropGl();
  device_ = nullptr;
}

// ---- device ------------------------------------------------------------------------------------

GlDevice* GlDevice::Create(SDL_Window* window, bool offscreen, uint32_t width, uint32_t height,
                           std::string* error) {
  if (!SDL_GL_GetCurrentContext()) {
    if (error) *error = "no current OpenGL context";
    return nullptr;
  }
  auto* device = new GlDevice;
  device->window_ = window;
  device->offscreen_ = offscreen;
  device->width_ = std::max<uint32_t>(width, 1);
  device->height_ = std::max<uint32_t>(height, 1);
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  device->caps_ = {static_cast<uint32_t>(maxSize), static_cast<uint32_t>(maxSize)};
  if (offscreen && !device->CreateBackBuffer(error)) {
    delete device;
    return nullptr;
  }
  device->ApplyDefaultState();
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  WriteLog(std::string("GfxDevice: OpenGL ") + (version ? version : "?") + " on " +
           (renderer ? renderer : "?") + (offscreen ? ", off-screen back buffer" : ""));
  return device;
}

GlDevice::~GlDevice() {
  if (!live_.empty())
    WriteLog("GfxDevice: " + std::to_string(live_.size()) +
             " resources still alive when the device was destroyed");
  // Detach unregisters nothing (the set is cleared here), so copy first.
  const std::vector<GlResource*> survivors(live_.begin(), live_.end());
  live_.clear();
  for (GlResource* resource : survivors) resource->Detach();
  DestroyBackBuffer();
}

void GlDevice::Unregister(GlResource* resource) {
  live_.erase(resource);
  if (pixelShader_ && resource == static_cast<GlResource*>(pixelShader_)) SetPixelShader(nullptr);
  if (resource == textureResource_) {
    texture_ = nullptr;
    textureResource_ = nullptr;
  }
  if (resource == streamResource_) {
    stream_ = nullptr;
    streamResource_ = nullptr;
  }
  // A state block holding a released resource would bind it again: it binds nothing instead.
  auto forget = [resource](StateBlock& block) {
    if (block.textureResource == resource) {
      block.texture = nullptr;
      block.textureResource = nullptr;
    }
    if (block.streamResource == resource) {
      block.stream = nullptr;
      block.streamResource = nullptr;
    }
  };
  for (auto& [handle, block] : stateBlocks_) forget(block);
  if (recording_) forget(*recording_);
}

uint32_t GlDevice::LiveResourceCount(GfxPool pool) const {
  return static_cast<uint32_t>(std::count_if(
      live_.begin(), live_.end(), [pool](const GlResource* r) { return r->Pool() == pool; }));
}

bool GlDevice::CreateBackBuffer(std::string* error) {
  if (!g_fbo.genFramebuffers && !g_fbo.Load()) {
    if (error) *error = "the OpenGL driver has no framebuffer objects";
    return false;
  }
  g_fbo.genFramebuffers(1, &framebuffer_);
  g_fbo.genRenderbuffers(1, &colourBuffer_);
  g_fbo.genRenderbuffers(1, &depthBuffer_);
  g_fbo.bindRenderbuffer(GL_RENDERBUFFER, colourBuffer_);
  g_fbo.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width_),
                            static_cast<GLsizei>(height_));
  g_fbo.bindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
  g_fbo.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width_),
                            static_cast<GLsizei>(height_));
  g_fbo.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  g_fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                colourBuffer_);
  g_fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                depthBuffer_);
  g_fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                depthBuffer_);
  if (g_fbo.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    if (error) *error = "the off-screen framebuffer is incomplete";
    DestroyBackBuffer();
    return false;
  }
  glDrawBuffer(GL_COLOR_ATTACHMENT0);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  return true;
}

void GlDevice::DestroyBackBuffer() {
  if (!framebuffer_) return;
  g_fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
  g_fbo.deleteFramebuffers(1, &framebuffer_);
  g_fbo.deleteRenderbuffers(1, &colourBuffer_);
  g_fbo.deleteRenderbuffers(1, &depthBuffer_);
  framebuffer_ = colourBuffer_ = depthBuffer_ = 0;
}

// The original device's state after creation or reset.
void GlDevice::ApplyDefaultState() {
  recording_.reset();
  world_ = view_ = projection_ = GfxMatrixIdentity();
  zEnable_ = 1;
  zWrite_ = 1;
  alphaTest_ = 0;
  srcBlend_ = GFX_BLEND_ONE;
  destBlend_ = GFX_BLEND_ZERO;
  cullMode_ = GFX_CULL_CCW;
  alphaRef_ = 0;
  alphaFunc_ = GFX_CMP_ALWAYS;
  alphaBlend_ = 0;
  lighting_ = 1;
  ambient_ = 0;
  fvf_ = 0;
  stream_ = nullptr;
  streamResource_ = nullptr;
  stride_ = 0;
  texture_ = nullptr;
  textureResource_ = nullptr;
  SetPixelShader(nullptr);

  glViewport(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
  glDepthFunc(GL_LEQUAL);
  glFrontFace(GL_CW);
  glDisable(GL_DITHER);
  for (int light = 0; light < 8; ++light) glDisable(GL_LIGHT0 + light);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_2D);
  const GfxMaterial none{};
  SetMaterial(none);
  for (GfxRenderState state :
       {GFX_RS_ZENABLE, GFX_RS_ZWRITEENABLE, GFX_RS_ALPHATESTENABLE, GFX_RS_SRCBLEND,
        GFX_RS_DESTBLEND, GFX_RS_CULLMODE, GFX_RS_ALPHAREF, GFX_RS_ALPHAFUNC,
        GFX_RS_ALPHABLENDENABLE, GFX_RS_LIGHTING, GFX_RS_AMBIENT}) {
    uint32_t value = 0;
    GetRenderState(state, &value);
    ApplyRenderState(state, value);
  }
}

GfxResult GlDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t, uint32_t usage,
                                  GfxFormat format, GfxPool pool, GfxTexture** texture) {
  if (!texture) return GFX_E_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || width > caps_.maxTextureWidth ||
      height > caps_.maxTextureHeight || pool < GFX_POOL_DEFAULT || pool > GFX_POOL_SYSTEMMEM)
    return GFX_E_INVALIDCALL;
  const GfxFormatInfo* info = GfxFindFormat(GfxChooseTextureFormat(format));
  if (!info) return GFX_E_INVALIDCALL;
  // Only level 0 is kept: the device samples without mipmaps.
  auto* made = new GlTexture(this, width, height, usage, *info, pool);
  if (!made->CreateGl()) {
    delete made;
    return GFX_E_OUTOFMEMORY;
  }
  *texture = made;
  return GFX_OK;
}

GfxResult GlDevice::CreateTextureFromFile(const std::string& path, uint32_t width,
                                          uint32_t height, uint32_t mipLevels, uint32_t usage,
                                          GfxFormat format, GfxPool pool, GfxTexture** texture) {
  if (!texture) return GFX_E_INVALIDCALL;
  *texture = nullptr;
  SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
  if (!file) return GFX_E_NOTFOUND;
  // Named by extension: TGA has no signature to recognise it by.
  const std::string::size_type dot = path.find_last_of("./");
  const std::string type =
      dot != std::string::npos && path[dot] == '.' ? path.substr(dot + 1) : std::string();
  SDL_Surface* image = IMG_LoadTyped_RW(file, 1, type.c_str());
  if (!image) {
    WriteLog("GfxDevice: cannot decode " + path + ": " + IMG_GetError());
    return GFX_E_INVALIDDATA;
  }
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(image);
  if (!argb) return GFX_E_OUTOFMEMORY;
  const uint32_t w = width == GFX_DEFAULT || width == 0 ? static_cast<uint32_t>(argb->w) : width;
  const uint32_t h =
      height == GFX_DEFAULT || height == 0 ? static_cast<uint32_t>(argb->h) : height;
  GfxTexture* made = nullptr;
  GfxResult result = CreateTexture(w, h, mipLevels, usage, format, pool, &made);
  if (result < 0) {
    SDL_FreeSurface(argb);
    return result;
  }
  // Copied without filtering: what lies outside the image stays transparent black.
  auto* gl = static_cast<GlTexture*>(made);
  const GfxFormatInfo& info = gl->Format();
  SDL_LockSurface(argb);
  const uint32_t copyW = std::min<uint32_t>(w, static_cast<uint32_t>(argb->w));
  const uint32_t copyH = std::min<uint32_t>(h, static_cast<uint32_t>(argb->h));
  for (uint32_t y = 0; y < copyH; ++y) {
    const auto* row = static_cast<const uint8_t*>(argb->pixels) + static_cast<size_t>(y) * argb->pitch;
    uint8_t* out = gl->Texels() + static_cast<size_t>(y) * gl->Pitch();
    for (uint32_t x = 0; x < copyW; ++x) {
      uint32_t pixel;
      std::memcpy(&pixel, row + x * 4, 4);
      GfxWriteTexel(out + x * info.bytesPerTexel, info.bytesPerTexel, GfxPackArgb(info, pixel));
    }
  }
  SDL_UnlockSurface(argb);
  SDL_FreeSurface(argb);
  gl->Upload({0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)});
  *texture = made;
  return GFX_OK;
}

GfxResult GlDevice::UpdateTexture(GfxTexture* source, GfxTexture* destination) {
  GlTexture* src = AsGl(source);
  GlTexture* dst = AsGl(destination);
  if (!src || !dst || src->Pool() != GFX_POOL_SYSTEMMEM || dst->Pool() != GFX_POOL_DEFAULT ||
      src->Format().format != dst->Format().format || src->Width() != dst->Width() ||
      src->Height() != dst->Height() || src->IsLocked() || dst->IsLocked())
    return GFX_E_INVALIDCALL;
  GfxRect r;
  if (!src->DirtyRect(&r)) return GFX_OK;
  const uint32_t bpp = src->Format().bytesPerTexel;
  const size_t rowBytes = static_cast<size_t>(r.right - r.left) * bpp;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const size_t at = static_cast<size_t>(y) * src->Pitch() + static_cast<size_t>(r.left) * bpp;
    std::memcpy(dst->Texels() + at, src->Texels() + at, rowBytes);
  }
  dst->Upload(r);
  src->ClearDirty();
  return GFX_OK;
}

GfxResult GlDevice::CreateVertexBuffer(uint32_t length, uint32_t, uint32_t fvf, GfxPool pool,
                                       GfxVertexBuffer** buffer) {
  if (!buffer) return GFX_E_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || pool < GFX_POOL_DEFAULT || pool > GFX_POOL_SYSTEMMEM) return GFX_E_INVALIDCALL;
  *buffer = new GlVertexBuffer(this, length, fvf, pool);
  return GFX_OK;
}

GfxResult GlDevice::CreateMesh(const GfxMeshData& data, GfxMesh** mesh) {
  if (!mesh) return GFX_E_INVALIDCALL;
  *mesh = nullptr;
  if (data.indices.size() % 3 != 0) return GFX_E_INVALIDCALL;
  for (uint32_t index : data.indices)
    if (index >= data.vertices.size()) return GFX_E_INVALIDCALL;
  const uint64_t faces = data.indices.size() / 3;
  for (const GfxMeshSubset& s : data.subsets)
    if (static_cast<uint64_t>(s.faceStart) + s.faceCount > faces) return GFX_E_INVALIDCALL;
  *mesh = new GlMesh(this, data);
  return GFX_OK;
}

GfxResult GlDevice::SetTransform(GfxTransformType type, const GfxMatrix& matrix) {
  if (recording_ && (type == GFX_TS_WORLD || type == GFX_TS_VIEW || type == GFX_TS_PROJECTION)) {
    recording_->transforms[type] = matrix;
    return GFX_OK;
  }
  switch (type) {
    case GFX_TS_WORLD: world_ = matrix; return GFX_OK;
    case GFX_TS_VIEW: view_ = matrix; return GFX_OK;
    case GFX_TS_PROJECTION: projection_ = matrix; return GFX_OK;
  }
  return GFX_E_INVALIDCALL;
}

GfxResult GlDevice::GetTransform(GfxTransformType type, GfxMatrix* matrix) {
  if (!matrix) return GFX_E_INVALIDCALL;
  switch (type) {
    case GFX_TS_WORLD: *matrix = world_; return GFX_OK;
    case GFX_TS_VIEW: *matrix = view_; return GFX_OK;
    case GFX_TS_PROJECTION: *matrix = projection_; return GFX_OK;
  }
  return GFX_E_INVALIDCALL;
}

GfxResult GlDevice::SetMaterial(const GfxMaterial& m) {
  if (recording_) {
    recording_->hasMaterial = true;
    recording_->material = m;
    return GFX_OK;
  }
  material_ = m;
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &m.diffuse.r);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &m.ambient.r);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, &m.specular.r);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &m.emissive.r);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(m.power, 0.0f, 128.0f));
  return GFX_OK;
}

GfxResult GlDevice::GetRenderState(GfxRenderState state, uint32_t* value) {
  if (!value) return GFX_E_INVALIDCALL;
  switch (state) {
    case GFX_RS_ZENABLE: *value = zEnable_; break;
    case GFX_RS_ZWRITEENABLE: *value = zWrite_; break;
    case GFX_RS_ALPHATESTENABLE: *value = alphaTest_; break;
    case GFX_RS_SRCBLEND: *value = srcBlend_; break;
    case GFX_RS_DESTBLEND: *value = destBlend_; break;
    case GFX_RS_CULLMODE: *value = cullMode_; break;
    case GFX_RS_ALPHAREF: *value = alphaRef_; break;
    case GFX_RS_ALPHAFUNC: *value = alphaFunc_; break;
    case GFX_RS_ALPHABLENDENABLE: *value = alphaBlend_; break;
    case GFX_RS_LIGHTING: *value = lighting_; break;
    case GFX_RS_AMBIENT: *value = ambient_; break;
    default: return GFX_E_INVALIDCALL;
  }
  return GFX_OK;
}

GfxResult GlDevice::SetRenderState(GfxRenderState state, uint32_t value) {
  if (uint32_t known; GetRenderState(state, &known) < 0) return GFX_E_INVALIDCALL;
  if (recording_) {
    recording_->renderStates[state] = value;
    return GFX_OK;
  }
  switch (state) {
    case GFX_RS_ZENABLE: zEnable_ = value; break;
    case GFX_RS_ZWRITEENABLE: zWrite_ = value; break;
    case GFX_RS_ALPHATESTENABLE: alphaTest_ = value; break;
    case GFX_RS_SRCBLEND: srcBlend_ = value; break;
    case GFX_RS_DESTBLEND: destBlend_ = value; break;
    case GFX_RS_CULLMODE: cullMode_ = value; break;
    case GFX_RS_ALPHAREF: alphaRef_ = value & 0xFF; break;
    case GFX_RS_ALPHAFUNC: alphaFunc_ = value; break;
    case GFX_RS_ALPHABLENDENABLE: alphaBlend_ = value; break;
    case GFX_RS_LIGHTING: lighting_ = value; break;
    case GFX_RS_AMBIENT: ambient_ = value; break;
    default: return GFX_E_INVALIDCALL;
  }
  ApplyRenderState(state, value);
  return GFX_OK;
}

void GlDevice::ApplyRenderState(GfxRenderState state, uint32_t) {
  switch (state) {
    case GFX_RS_ZENABLE: zEnable_ ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); break;
    case GFX_RS_ZWRITEENABLE: glDepthMask(zWrite_ ? GL_TRUE : GL_FALSE); break;
    case GFX_RS_ALPHATESTENABLE: alphaTest_ ? glEnable(GL_ALPHA_TEST) : glDisable(GL_ALPHA_TEST); break;
    case GFX_RS_SRCBLEND:
    case GFX_RS_DESTBLEND: glBlendFunc(GlBlend(srcBlend_), GlBlend(destBlend_)); break;
    case GFX_RS_CULLMODE:
      if (cullMode_ == GFX_CULL_NONE) {
        glDisable(GL_CULL_FACE);
      } else {
        // Faces are front when clockwise, so culling counter-clockwise ones culls back faces.
        glEnable(GL_CULL_FACE);
        glCullFace(cullMode_ == GFX_CULL_CW ? GL_FRONT : GL_BACK);
      }
      break;
    case GFX_RS_ALPHAREF:
    case GFX_RS_ALPHAFUNC: glAlphaFunc(GlCompare(alphaFunc_), alphaRef_ / 255.0f); break;
    case GFX_RS_ALPHABLENDENABLE: alphaBlend_ ? glEnable(GL_BLEND) : glDisable(GL_BLEND); break;
    case GFX_RS_LIGHTING: break;  // applied per draw: screen-space vertices are never lit
    case GFX_RS_AMBIENT: {
      float colour[4];
      ArgbToFloats(ambient_, colour);
      glLightModelfv(GL_LIGHT_MODEL_AMBIENT, colour);
      break;
    }
  }
}

GfxResult GlDevice::SetTexture(uint32_t stage, GfxTexture* texture) {
  if (stage != 0) return texture ? GFX_E_INVALIDCALL : GFX_OK;
  GlTexture* gl = texture ? AsGl(texture) : nullptr;
  if (texture && (!gl || gl->Pool() == GFX_POOL_SYSTEMMEM || gl->Device() != this))
    return GFX_E_INVALIDCALL;
  if (recording_) {
    recording_->hasTexture = true;
    recording_->texture = texture;
    recording_->textureResource = gl;
    return GFX_OK;
  }
  texture_ = texture;
  textureResource_ = gl;
  if (gl) {
    glBindTexture(GL_TEXTURE_2D, gl->GlName());
    glEnable(GL_TEXTURE_2D);
  } else {
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
  }
  return GFX_OK;
}

GfxResult GlDevice::SetVertexShader(uint32_t fvf) {
  if (GlVertexSize(fvf) == 0) return GFX_E_INVALIDCALL;
  if (recording_) {
    recording_->hasShader = true;
    recording_->fvf = fvf;
    return GFX_OK;
  }
  fvf_ = fvf;
  return GFX_OK;
}

GfxResult GlDevice::SetStreamSource(uint32_t stream, GfxVertexBuffer* buffer, uint32_t stride) {
  if (stream != 0) return GFX_E_INVALIDCALL;
  auto* gl = dynamic_cast<GlVertexBuffer*>(buffer);
  if (buffer && (!gl || gl->Device() != this)) return GFX_E_INVALIDCALL;
  if (recording_) {
    recording_->hasStream = true;
    recording_->stream = buffer;
    recording_->streamResource = gl;
    recording_->stride = stride;
    return GFX_OK;
  }
  stream_ = buffer;
  streamResource_ = gl;
  stride_ = stride;
  return GFX_OK;
}

void GlDevice::PrepareDraw(bool pretransformed) {
  if (pretransformed) {
    // Screen pixels, y down, pixel centres on whole numbers as the original device has them
    // (OpenGL's sit half a pixel further on); z 0..1 to -1..1.
    const float w = static_cast<float>(width_), h = static_cast<float>(height_);
    const GfxMatrix screen = {{{2 / w, 0, 0, 0},
                               {0, -2 / h, 0, 0},
                               {0, 0, 2, 0},
                               {1 / w - 1, 1 - 1 / h, -1, 1}}};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(&screen.m[0][0]);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    return;
  }
  // Depth 0..1 of the program's projection becomes OpenGL's -1..1: z' = 2z - w.
  const GfxMatrix depth = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 2, 0}, {0, 0, -1, 1}}};
  const GfxMatrix projection = GfxMatrixMultiply(projection_, depth);
  const GfxMatrix modelView = GfxMatrixMultiply(world_, view_);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(&projection.m[0][0]);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(&modelView.m[0][0]);
  if (lighting_) {
    glEnable(GL_LIGHTING);
  } else {
    glDisable(GL_LIGHTING);
  }
  // Unlit vertices without a colour of their own are white.
  glColor4f(1, 1, 1, 1);
}

GfxResult GlDevice::DrawPrimitive(GfxPrimitiveType type, uint32_t startVertex,
                                  uint32_t primitiveCount) {
  auto* buffer = dynamic_cast<GlVertexBuffer*>(stream_);
  const uint32_t size = GlVertexSize(fvf_);
  if (!buffer || size == 0 || stride_ < size) return GFX_E_INVALIDCALL;
  uint64_t vertices;
  GLenum mode;
  switch (type) {
    case GFX_PT_TRIANGLELIST: vertices = uint64_t{primitiveCount} * 3; mode = GL_TRIANGLES; break;
    case GFX_PT_TRIANGLEFAN: vertices = uint64_t{primitiveCount} + 2; mode = GL_TRIANGLE_FAN; break;
    default: return GFX_E_INVALIDCALL;
  }
  if (primitiveCount == 0) return GFX_OK;
  if ((uint64_t{startVertex} + vertices - 1) * stride_ + size > buffer->Length())
    return GFX_E_INVALIDCALL;
  const bool pretransformed = (fvf_ & GFX_FVF_XYZRHW) != 0;
  PrepareDraw(pretransformed);
  const uint8_t* base = buffer->Bytes() + static_cast<size_t>(startVertex) * stride_;
  const auto stride = static_cast<GLsizei>(stride_);
  size_t offset = 0;
  glEnableClientState(GL_VERTEX_ARRAY);
  if (pretransformed) {
    // 1/w only matters for perspective texturing, which flat screen quads do not need.
    glVertexPointer(3, GL_FLOAT, stride, base);
    offset = 16;
  } else {
    glVertexPointer(3, GL_FLOAT, stride, base);
    offset = 12;
  }
  if (fvf_ & GFX_FVF_NORMAL) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, base + offset);
    offset += 12;
  }
  if (fvf_ & GFX_FVF_DIFFUSE) {
    // An ARGB dword lies in memory as B, G, R, A.
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, stride, base + offset);
    offset += 4;
  }
  if (fvf_ & GFX_FVF_TEX1) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, base + offset);
  }
  glDrawArrays(mode, 0, static_cast<GLsizei>(vertices));
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  return GFX_OK;
}

GfxResult GlDevice::Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) {
  GLbitfield mask = 0;
  if (flags & GFX_CLEAR_TARGET) {
    float c[4];
    ArgbToFloats(colour, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & GFX_CLEAR_ZBUFFER) {
    glClearDepth(z);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & GFX_CLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  // A clear ignores the depth-write state, as the original device's does.
  glDepthMask(GL_TRUE);
  glClear(mask);
  glDepthMask(zWrite_ ? GL_TRUE : GL_FALSE);
  return GFX_OK;
}

GfxResult GlDevice::ClearRect(const GfxRect& rect, uint32_t colour) {
  const int32_t w = static_cast<int32_t>(width_), h = static_cast<int32_t>(height_);
  const int32_t left = std::clamp(rect.left, 0, w), right = std::clamp(rect.right, 0, w);
  const int32_t top = std::clamp(rect.top, 0, h), bottom = std::clamp(rect.bottom, 0, h);
  if (left >= right || top >= bottom) return GFX_OK;
  float c[4];
  ArgbToFloats(colour, c);
  glClearColor(c[0], c[1], c[2], c[3]);
  // OpenGL counts rows from the bottom.
  glScissor(left, h - bottom, right - left, bottom - top);
  glEnable(GL_SCISSOR_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  return GFX_OK;
}

GfxResult GlDevice::BeginScene() {
  if (inScene_) return GFX_E_INVALIDCALL;
  inScene_ = true;
  return GFX_OK;
}

GfxResult GlDevice::EndScene() {
  if (!inScene_) return GFX_E_INVALIDCALL;
  inScene_ = false;
  return GFX_OK;
}

GfxResult GlDevice::Present() {
  if (inScene_) return GFX_E_INVALIDCALL;
  if (offscreen_ || !window_) {
    glFlush();
  } else {
    SDL_GL_SwapWindow(window_);
  }
  return GFX_OK;
}

void GlDevice::GetBackBufferSize(uint32_t* width, uint32_t* height) const {
  if (width) *width = width_;
  if (height) *height = height_;
}

void GlDevice::SetVerticalSync(bool on) {
  if (SDL_GL_SetSwapInterval(on ? 1 : 0) != 0)
    WriteLog(std::string("GfxDevice: cannot set the swap interval: ") + SDL_GetError());
}

GfxResult GlDevice::Reset(uint32_t width, uint32_t height) {
  if (const uint32_t held = LiveResourceCount(GFX_POOL_DEFAULT); held != 0) {
    WriteLog("GfxDevice: reset refused, " + std::to_string(held) +
             " device resources not released");
    return GFX_E_INVALIDCALL;
  }
  if (inScene_) return GFX_E_INVALIDCALL;
  width_ = std::max<uint32_t>(width, 1);
  height_ = std::max<uint32_t>(height, 1);
  if (offscreen_) {
    DestroyBackBuffer();
    std::string error;
    if (!CreateBackBuffer(&error)) {
      WriteLog("GfxDevice: reset failed: " + error);
      return GFX_E_FAIL;
    }
  }
  ApplyDefaultState();
  return GFX_OK;
}

GfxResult GlDevice::ReadBackBuffer(std::vector<uint32_t>* pixels, uint32_t* width,
                                   uint32_t* height) {
  if (!pixels) return GFX_E_INVALIDCALL;
  const size_t w = width_, h = height_;
  std::vector<uint32_t> upsideDown(w * h);
  glReadBuffer(offscreen_ ? GL_COLOR_ATTACHMENT0 : GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA,
               GL_UNSIGNED_INT_8_8_8_8_REV, upsideDown.data());
  if (glGetError() != GL_NO_ERROR) return GFX_E_FAIL;
  pixels->resize(w * h);
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x)
      (*pixels)[y * w + x] = upsideDown[(h - 1 - y) * w + x] | 0xFF000000u;
  if (width) *width = width_;
  if (height) *height = height_;
  return GFX_OK;
}

GfxResult GlDevice::ReadTexture(GfxTexture* texture, std::vector<uint32_t>* pixels,
                                uint32_t* width, uint32_t* height) {
  GlTexture* gl = AsGl(texture);
  if (!gl || !pixels || !gl->GlName()) return GFX_E_INVALIDCALL;
  pixels->assign(static_cast<size_t>(gl->Width()) * gl->Height(), 0);
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, gl->GlName());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels->data());
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  if (width) *width = gl->Width();
  if (height) *height = gl->Height();
  return glGetError() == GL_NO_ERROR ? GFX_OK : GFX_E_FAIL;
}

GfxResult GlDevice::BeginStateBlock() {
  if (recording_) return GFX_E_INVALIDCALL;
  recording_ = std::make_unique<StateBlock>();
  return GFX_OK;
}

GfxResult GlDevice::EndStateBlock(uint32_t* handle) {
  if (!recording_ || !handle) return GFX_E_INVALIDCALL;
  *handle = nextStateBlock_++;
  stateBlocks_[*handle] = *recording_;
  recording_.reset();
  return GFX_OK;
}

GfxResult GlDevice::ApplyStateBlock(uint32_t handle) {
  const auto found = stateBlocks_.find(handle);
  if (found == stateBlocks_.end() || recording_) return GFX_E_INVALIDCALL;
  const StateBlock block = found->second;
  for (const auto& [state, value] : block.renderStates)
    SetRenderState(static_cast<GfxRenderState>(state), value);
  for (const auto& [type, matrix] : block.transforms)
    SetTransform(static_cast<GfxTransformType>(type), matrix);
  if (block.hasMaterial) SetMaterial(block.material);
  if (block.hasTexture) SetTexture(0, block.texture);
  if (block.hasShader) SetVertexShader(block.fvf);
  if (block.hasStream) SetStreamSource(0, block.stream, block.stride);
  return GFX_OK;
}

GfxResult GlDevice::CaptureStateBlock(uint32_t handle) {
  const auto found = stateBlocks_.find(handle);
  if (found == stateBlocks_.end() || recording_) return GFX_E_INVALIDCALL;
  StateBlock& block = found->second;
  for (auto& [state, value] : block.renderStates)
    GetRenderState(static_cast<GfxRenderState>(state), &value);
  for (auto& [type, matrix] : block.transforms)
    GetTransform(static_cast<GfxTransformType>(type), &matrix);
  if (block.hasMaterial) block.material = material_;
  if (block.hasTexture) {
    block.texture = texture_;
    block.textureResource = textureResource_;
  }
  if (block.hasShader) block.fvf = fvf_;
  if (block.hasStream) {
    block.stream = stream_;
    block.streamResource = streamResource_;
    block.stride = stride_;
  }
  return GFX_OK;
}

GfxResult GlDevice::DeleteStateBlock(uint32_t handle) {
  return stateBlocks_.erase(handle) ? GFX_OK : GFX_E_INVALIDCALL;
}
