// The OpenGL device's pixel shaders: GLSL fragment programs linked without a vertex shader, so
// the fixed-function stage still transforms, lights and passes the texture coordinates. The
// OpenGL 2.0 entry points are looked up at run time; a driver without them has no shaders.
#include <SDL.h>
#include <SDL_opengl.h>

#include "platform/gfx_gl.h"
#include "platform/gfx_gl_resources.h"

namespace {

struct ShaderFunctions {
  PFNGLCREATESHADERPROC createShader = nullptr;
  PFNGLSHADERSOURCEPROC shaderSource = nullptr;
  PFNGLCOMPILESHADERPROC compileShader = nullptr;
  PFNGLGETSHADERIVPROC getShaderiv = nullptr;
  PFNGLGETSHADERINFOLOGPROC getShaderInfoLog = nullptr;
  PFNGLDELETESHADERPROC deleteShader = nullptr;
  PFNGLCREATEPROGRAMPROC createProgram = nullptr;
  PFNGLATTACHSHADERPROC attachShader = nullptr;
  PFNGLLINKPROGRAMPROC linkProgram = nullptr;
  PFNGLGETPROGRAMIVPROC getProgramiv = nullptr;
  PFNGLGETPROGRAMINFOLOGPROC getProgramInfoLog = nullptr;
  PFNGLDELETEPROGRAMPROC deleteProgram = nullptr;
  PFNGLUSEPROGRAMPROC useProgram = nullptr;
  PFNGLGETUNIFORMLOCATIONPROC getUniformLocation = nullptr;
  PFNGLUNIFORM1IPROC uniform1i = nullptr;
  PFNGLUNIFORM1FVPROC uniform1fv = nullptr;
  PFNGLUNIFORM2FVPROC uniform2fv = nullptr;
  PFNGLUNIFORM3FVPROC uniform3fv = nullptr;
  PFNGLUNIFORM4FVPROC uniform4fv = nullptr;
  bool tried = false, loaded = false;

  template <typename F>
  static bool Find(F& function, const char* name) {
    function = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
    return function != nullptr;
  }

  bool Load() {
    if (tried) return loaded;
    tried = true;
    // OpenGL 2.0 is the first with GLSL in the core.
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version || version[0] < '2' || version[1] != '.') return false;
    loaded = Find(createShader, "glCreateShader") & Find(shaderSource, "glShaderSource") &
             Find(compileShader, "glCompileShader") & Find(getShaderiv, "glGetShaderiv") &
             Find(getShaderInfoLog, "glGetShaderInfoLog") & Find(deleteShader, "glDeleteShader") &
             Find(createProgram, "glCreateProgram") & Find(attachShader, "glAttachShader") &
             Find(linkProgram, "glLinkProgram") & Find(getProgramiv, "glGetProgramiv") &
             Find(getProgramInfoLog, "glGetProgramInfoLog") & Find(deleteProgram, "glDeleteProgram") &
             Find(useProgram, "glUseProgram") & Find(getUniformLocation, "glGetUniformLocation") &
             Find(uniform1i, "glUniform1i") & Find(uniform1fv, "glUniform1fv") &
             Find(uniform2fv, "glUniform2fv") & Find(uniform3fv, "glUniform3fv") &
             Find(uniform4fv, "glUniform4fv");
    return loaded;
  }
};

ShaderFunctions g_gl;

}  // namespace

GlPixelShader::GlPixelShader(GlDevice* device, uint32_t program)
    : GlResource(device, GFX_POOL_MANAGED), program_(program) {}

GlPixelShader::~GlPixelShader() { DropGl(); }

void GlPixelShader::DropGl() {
  if (program_ && g_gl.loaded) g_gl.deleteProgram(program_);
  program_ = 0;
}

GfxResult GlDevice::CreatePixelShader(const std::string& source, GfxPixelShader** shader,
                                      std::string* log) {
  if (!shader) return GFX_E_INVALIDCALL;
  *shader = nullptr;
  if (!g_gl.Load()) return GFX_E_NOTAVAILABLE;
  const GLuint fragment = g_gl.createShader(GL_FRAGMENT_SHADER);
  const char* text = source.c_str();
  g_gl.shaderSource(fragment, 1, &text, nullptr);
  g_gl.compileShader(fragment);
  GLint ok = GL_FALSE;
  g_gl.getShaderiv(fragment, GL_COMPILE_STATUS, &ok);
  char words[1024] = {};
  if (!ok) {
    g_gl.getShaderInfoLog(fragment, sizeof words, nullptr, words);
    g_gl.deleteShader(fragment);
    if (log) *log = words;
    return GFX_E_FAIL;
  }
  const GLuint program = g_gl.createProgram();
  g_gl.attachShader(program, fragment);
  g_gl.linkProgram(program);
  g_gl.deleteShader(fragment);  // kept alive by the program
  g_gl.getProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    g_gl.getProgramInfoLog(program, sizeof words, nullptr, words);
    g_gl.deleteProgram(program);
    if (log) *log = words;
    return GFX_E_FAIL;
  }
  *shader = new GlPixelShader(this, program);
  return GFX_OK;
}

GfxResult GlDevice::SetPixelShader(GfxPixelShader* shader) {
  auto* gl = dynamic_cast<GlPixelShader*>(shader);
  if (shader && (!gl || gl->Device() != this || !gl->Program())) return GFX_E_INVALIDCALL;
  if (!g_gl.loaded) return shader ? GFX_E_NOTAVAILABLE : GFX_OK;
  pixelShader_ = gl;
  g_gl.useProgram(gl ? gl->Program() : 0);
  // The picture is always on stage 0.
  if (gl) g_gl.uniform1i(g_gl.getUniformLocation(gl->Program(), "picture"), 0);
  return GFX_OK;
}

GfxResult GlDevice::SetPixelShaderConstant(const char* name, const float* values, uint32_t count) {
  if (!pixelShader_ || !name || !values || count < 1 || count > 4) return GFX_E_INVALIDCALL;
  const GLint at = g_gl.getUniformLocation(pixelShader_->Program(), name);
  if (at < 0) return GFX_E_NOTFOUND;
  switch (count) {
    case 1: g_gl.uniform1fv(at, 1, values); break;
    case 2: g_gl.uniform2fv(at, 1, values); break;
    case 3: g_gl.uniform3fv(at, 1, values); break;
    default: g_gl.uniform4fv(at, 1, values); break;
  }
  return GFX_OK;
}
