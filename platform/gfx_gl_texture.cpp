// Textures: each keeps its texels in system memory in the device format's own layout; device and
// managed textures mirror them in an OpenGL texture, uploading only what changed.
#include <SDL_opengl.h>

#include <algorithm>

#include "platform/gfx_gl.h"
#include "platform/gfx_gl_resources.h"

namespace {

struct GlUpload {
  GLint internalFormat;
  GLenum format, type;
  bool expand;  // no OpenGL layout matches: upload as 8-bit BGRA
};

// Every OpenGL packed type below reads the texel with the same bit positions as our layouts.
GlUpload UploadFor(GfxFormat format) {
  switch (format) {
    case GFX_FMT_A8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
    case GFX_FMT_X8R8G8B8: return {GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
    case GFX_FMT_R8G8B8: return {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, false};
    case GFX_FMT_R5G6B5: return {GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false};
    case GFX_FMT_X1R5G5B5: return {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
    case GFX_FMT_A1R5G5B5: return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
    case GFX_FMT_A4R4G4B4: return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
    case GFX_FMT_X4R4G4B4: return {GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
    case GFX_FMT_R3G3B2: return {GL_R3_G3_B2, GL_RGB, GL_UNSIGNED_BYTE_3_3_2, false};
    case GFX_FMT_A8: return {GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, false};
    default: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true};
  }
}

bool ValidRect(const GfxRect& r, uint32_t width, uint32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         static_cast<uint32_t>(r.right) <= width && static_cast<uint32_t>(r.bottom) <= height;
}

}  // namespace

GlTexture::GlTexture(GlDevice* device, uint32_t width, uint32_t height, uint32_t usage,
                     const GfxFormatInfo& format, GfxPool pool)
    : GlResource(device, pool),
      width_(width),
      height_(height),
      usage_(usage),
      format_(format),
      pitch_(width * format.bytesPerTexel),
      texels_(static_cast<size_t>(pitch_) * height, 0),
      // A new texture counts as wholly changed, so its first update copies all of it.
      dirty_(true),
      dirtyRect_{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)} {}

GlTexture::~GlTexture() {
  if (device_) DropGl();
}

void GlTexture::DropGl() {
  if (glName_) glDeleteTextures(1, &glName_);
  glName_ = 0;
}

bool GlTexture::CreateGl() {
  if (pool_ == GFX_POOL_SYSTEMMEM) return true;
  glGenTextures(1, &glName_);
  if (!glName_) return false;
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, glName_);
  // The original device samples with point filtering and no mipmaps unless told otherwise.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  const GlUpload up = UploadFor(format_.format);
  glTexImage2D(GL_TEXTURE_2D, 0, up.internalFormat, static_cast<GLsizei>(width_),
               static_cast<GLsizei>(height_), 0, up.format, up.type, nullptr);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  const bool ok = glGetError() == GL_NO_ERROR;
  Upload({0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)});
  return ok;
}

void GlTexture::Upload(const GfxRect& rect) {
  if (!glName_ || !ValidRect(rect, width_, height_)) return;
  const GlUpload up = UploadFor(format_.format);
  const GLsizei w = rect.right - rect.left, h = rect.bottom - rect.top;
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, glName_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (up.expand) {
    std::vector<uint32_t> argb(static_cast<size_t>(w) * h);
    for (GLsizei y = 0; y < h; ++y)
      for (GLsizei x = 0; x < w; ++x) {
        const uint8_t* p = texels_.data() + static_cast<size_t>(rect.top + y) * pitch_ +
                           static_cast<size_t>(rect.left + x) * format_.bytesPerTexel;
        argb[static_cast<size_t>(y) * w + x] =
            GfxUnpackToArgb(format_, GfxReadTexel(p, format_.bytesPerTexel));
      }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, rect.left, rect.top, w, h, up.format, up.type, argb.data());
  } else {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(width_));
    const uint8_t* first = texels_.data() + static_cast<size_t>(rect.top) * pitch_ +
                           static_cast<size_t>(rect.left) * format_.bytesPerTexel;
    glTexSubImage2D(GL_TEXTURE_2D, 0, rect.left, rect.top, w, h, up.format, up.type, first);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
}

GfxResult GlTexture::GetLevelDesc(uint32_t level, GfxSurfaceDesc* desc) {
  if (level != 0 || !desc) return GFX_E_INVALIDCALL;
  *desc = {};
  desc->format = format_.format;
  desc->type = 1;  // a surface
  desc->usage = usage_;
  desc->pool = pool_;
  desc->size = pitch_ * height_;
  desc->width = width_;
  desc->height = height_;
  return GFX_OK;
}

GfxResult GlTexture::LockRect(uint32_t level, GfxLockedRect* locked, const GfxRect* rect,
                              uint32_t flags) {
  if (level != 0 || !locked || locked_) return GFX_E_INVALIDCALL;
  // Video memory cannot be read back cheaply, so only dynamic device textures may be locked.
  if (pool_ == GFX_POOL_DEFAULT && !(usage_ & GFX_USAGE_DYNAMIC)) return GFX_E_INVALIDCALL;
  const GfxRect whole{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
  const GfxRect r = rect ? *rect : whole;
  if (!ValidRect(r, width_, height_)) return GFX_E_INVALIDCALL;
  locked_ = true;
  lockedRect_ = r;
  lockFlags_ = flags;
  locked->pitch = static_cast<int32_t>(pitch_);
  locked->bits = texels_.data() + static_cast<size_t>(r.top) * pitch_ +
                 static_cast<size_t>(r.left) * format_.bytesPerTexel;
  return GFX_OK;
}

GfxResult GlTexture::UnlockRect(uint32_t level) {
  if (level != 0 || !locked_) return GFX_E_INVALIDCALL;
  locked_ = false;
  if (!(lockFlags_ & GFX_LOCK_NO_DIRTY_UPDATE)) Dirty(lockedRect_);
  if (device_ && pool_ != GFX_POOL_SYSTEMMEM) Upload(lockedRect_);
  return GFX_OK;
}

GfxResult GlTexture::AddDirtyRect(const GfxRect* rect) {
  if (!rect) {
    Dirty({0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)});
    return GFX_OK;
  }
  GfxRect r = *rect;
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, static_cast<int32_t>(width_));
  r.bottom = std::min(r.bottom, static_cast<int32_t>(height_));
  if (r.left < r.right && r.top < r.bottom) Dirty(r);
  return GFX_OK;
}

void GlTexture::Dirty(const GfxRect& r) {
  if (!dirty_) {
    dirtyRect_ = r;
    dirty_ = true;
    return;
  }
  dirtyRect_.left = std::min(dirtyRect_.left, r.left);
  dirtyRect_.top = std::min(dirtyRect_.top, r.top);
  dirtyRect_.right = std::max(dirtyRect_.right, r.right);
  dirtyRect_.bottom = std::max(dirtyRect_.bottom, r.bottom);
}

bool GlTexture::DirtyRect(GfxRect* rect) const {
  if (dirty_) *rect = dirtyRect_;
  return dirty_;
}
