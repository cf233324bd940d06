// Vertex buffers and meshes of the OpenGL device. Both keep their data in system memory and draw
// it through client-side arrays, so a device reset never loses them.
#include <SDL_opengl.h>

#include <cstddef>

#include "platform/gfx_gl.h"
#include "platform/gfx_gl_resources.h"

uint32_t GlVertexSize(uint32_t fvf) {
  uint32_t size = 0;
  if (fvf & GFX_FVF_XYZ) size += 12;
  else if (fvf & GFX_FVF_XYZRHW) size += 16;
  else return 0;
  if (fvf & GFX_FVF_NORMAL) size += 12;
  if (fvf & GFX_FVF_DIFFUSE) size += 4;
  if (fvf & GFX_FVF_TEX1) size += 8;
  return size;
}

GlVertexBuffer::GlVertexBuffer(GlDevice* device, uint32_t length, uint32_t, GfxPool pool)
    : GlResource(device, pool), bytes_(length, 0) {}

GlVertexBuffer::~GlVertexBuffer() = default;

GfxResult GlVertexBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t) {
  if (!data || locked_ || offset > bytes_.size()) return GFX_E_INVALIDCALL;
  if (size != 0 && size > bytes_.size() - offset) return GFX_E_INVALIDCALL;
  locked_ = true;
  *data = bytes_.data() + offset;
  return GFX_OK;
}

GfxResult GlVertexBuffer::Unlock() {
  if (!locked_) return GFX_E_INVALIDCALL;
  locked_ = false;
  return GFX_OK;
}

GlMesh::GlMesh(GlDevice* device, const GfxMeshData& data)
    : GlResource(device, GFX_POOL_MANAGED), data_(data) {}

GlMesh::~GlMesh() = default;

GfxResult GlMesh::DrawSubset(uint32_t subset) {
  if (!device_ || subset >= data_.subsets.size()) return GFX_E_INVALIDCALL;
  const GfxMeshSubset& s = data_.subsets[subset];
  if (s.faceCount == 0) return GFX_OK;
  device_->PrepareDraw(false);
  const GfxMeshVertex* v = data_.vertices.data();
  constexpr GLsizei stride = sizeof(GfxMeshVertex);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, stride, v->position);
  glNormalPointer(GL_FLOAT, stride, v->normal);
  glTexCoordPointer(2, GL_FLOAT, stride, &v->u);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(s.faceCount * 3), GL_UNSIGNED_INT,
                 data_.indices.data() + static_cast<size_t>(s.faceStart) * 3);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  return GFX_OK;
}
