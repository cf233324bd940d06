// The .x text reader: a tokenizer, then a recursive reader of data objects that knows Frame,
// FrameTransformMatrix, Mesh, MeshNormals, MeshTextureCoords, MeshMaterialList, Material and
// TextureFilename and steps over everything else.
#include "platform/xmesh.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include "base/log.h"
#include "platform/gfx_math.h"

namespace {

constexpr int kMaxDepth = 64;  // nested frames deeper than this are a broken file

enum class Kind { Word, String, Open, Close };

struct Token {
  Kind kind;
  std::string_view text;
};

bool Tokenize(std::string_view s, std::vector<Token>* tokens, std::string* error) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const char c = s[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';') {
      ++i;
    } else if (c == '#' || (c == '/' && i + 1 < n && s[i + 1] == '/')) {
      while (i < n && s[i] != '\n') ++i;
    } else if (c == '{' || c == '}') {
      tokens->push_back({c == '{' ? Kind::Open : Kind::Close, s.substr(i, 1)});
      ++i;
    } else if (c == '<') {  // a GUID: not needed
      const size_t end = s.find('>', i);
      if (end == std::string_view::npos) {
        *error = "unterminated GUID";
        return false;
      }
      i = end + 1;
    } else if (c == '"') {
      const size_t end = s.find('"', i + 1);
      if (end == std::string_view::npos) {
        *error = "unterminated string";
        return false;
      }
      tokens->push_back({Kind::String, s.substr(i + 1, end - i - 1)});
      i = end + 1;
    } else {
      const size_t start = i;
      while (i < n && std::string_view(" \t\r\n,;{}\"<#").find(s[i]) == std::string_view::npos) {
        if (s[i] == '/' && i + 1 < n && s[i + 1] == '/') break;
        ++i;
      }
      tokens->push_back({Kind::Word, s.substr(start, i - start)});
    }
  }
  return true;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

struct Corner {
  uint32_t position;
  int64_t normal;  // -1 when the mesh has no normals
};

// One Mesh object as read, before it joins the merged model.
struct RawMesh {
  std::vector<float> positions;  // 3 per vertex
  std::vector<std::vector<uint32_t>> faces;
  std::vector<float> normals;  // 3 per normal
  std::vector<std::vector<uint32_t>> normalFaces;
  std::vector<float> uvs;  // 2 per vertex
  std::vector<uint32_t> faceMaterials;
  std::vector<XMaterial> materials;
  bool hasMaterialList = false;
};

class Reader {
 public:
  Reader(const std::vector<Token>& tokens, XMesh* out) : t_(tokens), out_(out) {}

  bool Run(std::string* error) {
    while (ok_ && pos_ < t_.size()) {
      if (t_[pos_].kind == Kind::Word && t_[pos_].text == "template") {
        ++pos_;
        SkipHeaderAndBody();
      } else {
        Object(GfxMatrixIdentity(), 0);
      }
    }
    if (ok_) Finish();
    if (!ok_) *error = error_;
    return ok_;
  }

 private:
  bool Fail(const std::string& why) {
    if (ok_) error_ = why;
    ok_ = false;
    return false;
  }

  bool AtEnd() const { return pos_ >= t_.size(); }
  size_t Remaining() const { return t_.size() - pos_; }

  bool Expect(Kind kind) {
    if (AtEnd()) return Fail("unexpected end of file");
    if (t_[pos_].kind != kind) return Fail("unexpected '" + std::string(t_[pos_].text) + "'");
    ++pos_;
    return true;
  }

  bool Float(float* value) {
    if (AtEnd()) return Fail("unexpected end of file");
    const Token& tok = t_[pos_++];
    if (tok.kind != Kind::Word) return Fail("a number was expected");
    const std::string text(tok.text);
    char* end = nullptr;
    *value = std::strtof(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(*value))
      return Fail("bad number '" + text + "'");
    return true;
  }

  bool Count(uint32_t* value) {
    if (AtEnd()) return Fail("unexpected end of file");
    const Token& tok = t_[pos_++];
    const std::string text(tok.text);
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (tok.kind != Kind::Word || text.empty() || text[0] == '-' || *end != '\0' ||
        v > 0xFFFFFFFFull)
      return Fail("bad count '" + text + "'");
    *value = static_cast<uint32_t>(v);
    return true;
  }

  // A count of items each taking at least `tokensEach` tokens must fit in what is left.
  bool Fits(uint64_t count, uint64_t tokensEach) {
    if (count * tokensEach > Remaining()) return Fail("truncated file");
    return true;
  }

  bool Floats(uint64_t count, std::vector<float>* out) {
    if (!Fits(count, 1)) return false;
    out->resize(count);
    for (uint64_t i = 0; i < count && ok_; ++i) Float(&(*out)[i]);
    return ok_;
  }

  // Skips "[name] { ... }" with everything nested in it.
  void SkipHeaderAndBody() {
    while (!AtEnd() && t_[pos_].kind != Kind::Open) ++pos_;
    if (!Expect(Kind::Open)) return;
    for (int depth = 1; depth > 0;) {
      if (AtEnd()) {
        Fail("unexpected end of file");
        return;
      }
      const Kind k = t_[pos_++].kind;
      depth += k == Kind::Open ? 1 : k == Kind::Close ? -1 : 0;
    }
  }

  // Reads "Type [name] {" and returns the type and name.
  bool Header(std::string_view* type, std::string_view* name) {
    if (AtEnd() || t_[pos_].kind != Kind::Word) return Fail("an object was expected");
    *type = t_[pos_++].text;
    *name = {};
    if (!AtEnd() && t_[pos_].kind == Kind::Word) *name = t_[pos_++].text;
    return Expect(Kind::Open);
  }

  bool AtClose() const { return !AtEnd() && t_[pos_].kind == Kind::Close; }

  // Reads one data object, or a "{ name }" reference, at the current position.
  void Object(const GfxMatrix& parent, int depth) {
    if (depth > kMaxDepth) {
      Fail("objects nested too deeply");
      return;
    }
    if (!AtEnd() && t_[pos_].kind == Kind::Open) {  // a reference outside a material list
      SkipHeaderAndBody();
      return;
    }
    const size_t start = pos_;
    std::string_view type, name;
    if (!Header(&type, &name)) return;
    if (type == "Frame") {
      Frame(parent, depth);
    } else if (type == "Mesh") {
      MeshObject(parent, depth);
    } else if (type == "Material") {
      XMaterial m;
      if (MaterialBody(&m, depth)) namedMaterials_[std::string(name)] = m;
    } else {
      pos_ = start;
      SkipHeaderAndBody();
    }
  }

  void Frame(const GfxMatrix& parent, int depth) {
    GfxMatrix local = GfxMatrixIdentity();
    std::vector<size_t> children;
    // The transform may follow children in the file, yet applies to them all: read it first.
    while (ok_ && !AtClose()) {
      if (AtEnd()) {
        Fail("unexpected end of file");
        return;
      }
      if (t_[pos_].kind == Kind::Word && t_[pos_].text == "FrameTransformMatrix") {
        std::string_view type, name;
        if (!Header(&type, &name)) return;
        for (int i = 0; i < 16 && ok_; ++i) Float(&local.m[i / 4][i % 4]);
        if (!Expect(Kind::Close)) return;
      } else {
        children.push_back(pos_);
        const size_t here = pos_;
        SkipHeaderAndBody();
        if (pos_ == here) return;
      }
    }
    const size_t end = pos_;
    const GfxMatrix world = GfxMatrixMultiply(local, parent);
    for (size_t child : children) {
      if (!ok_) return;
      pos_ = child;
      Object(world, depth + 1);
    }
    pos_ = end;
    Expect(Kind::Close);
  }

  bool Faces(std::vector<std::vector<uint32_t>>* faces, uint32_t limit, const char* what) {
    uint32_t count = 0;
    if (!Count(&count) || !Fits(count, 1)) return false;
    faces->resize(count);
    for (uint32_t f = 0; f < count && ok_; ++f) {
      uint32_t corners = 0;
      if (!Count(&corners) || !Fits(corners, 1)) return false;
      auto& face = (*faces)[f];
      face.resize(corners);
      for (uint32_t c = 0; c < corners && ok_; ++c) {
        if (!Count(&face[c])) return false;
        if (face[c] >= limit)
          return Fail(std::string(what) + " index " + std::to_string(face[c]) + " past the count " +
                      std::to_string(limit));
      }
    }
    return ok_;
  }

  void MeshObject(const GfxMatrix& world, int depth) {
    RawMesh mesh;
    uint32_t vertices = 0;
    if (!Count(&vertices) || !Floats(uint64_t{vertices} * 3, &mesh.positions)) return;
    if (!Faces(&mesh.faces, vertices, "face")) return;
    while (ok_ && !AtClose()) {
      if (AtEnd()) {
        Fail("unexpected end of file");
        return;
      }
      if (t_[pos_].kind == Kind::Open) {
        SkipHeaderAndBody();
        continue;
      }
      const size_t start = pos_;
      std::string_view type, name;
      if (!Header(&type, &name)) return;
      if (type == "MeshNormals") {
        uint32_t count = 0;
        if (!Count(&count) || !Floats(uint64_t{count} * 3, &mesh.normals)) return;
        if (!Faces(&mesh.normalFaces, count, "normal")) return;
        SkipRest(depth);
      } else if (type == "MeshTextureCoords") {
        uint32_t count = 0;
        if (!Count(&count) || !Floats(uint64_t{count} * 2, &mesh.uvs)) return;
        if (count != vertices) {
          Fail("texture coordinates for " + std::to_string(count) + " of " +
               std::to_string(vertices) + " vertices");
          return;
        }
        SkipRest(depth);
      } else if (type == "MeshMaterialList") {
        MaterialList(&mesh, depth);
      } else {
        pos_ = start;
        SkipHeaderAndBody();
      }
    }
    if (!Expect(Kind::Close)) return;
    Merge(mesh, world);
  }

  // Steps over whatever an object holds after the data this reader needs, then its close.
  void SkipRest(int) {
    while (ok_ && !AtClose()) {
      if (AtEnd()) {
        Fail("unexpected end of file");
        return;
      }
      const size_t here = pos_;
      SkipHeaderAndBody();
      if (pos_ == here) return;
    }
    Expect(Kind::Close);
  }

  void MaterialList(RawMesh* mesh, int depth) {
    uint32_t materials = 0, indexes = 0;
    if (!Count(&materials) || !Count(&indexes) || !Fits(indexes, 1)) return;
    mesh->faceMaterials.resize(indexes);
    for (uint32_t i = 0; i < indexes && ok_; ++i) {
      if (!Count(&mesh->faceMaterials[i])) return;
      if (mesh->faceMaterials[i] >= materials) {
        Fail("material index " + std::to_string(mesh->faceMaterials[i]) + " past the count " +
             std::to_string(materials));
        return;
      }
    }
    while (ok_ && !AtClose()) {
      if (AtEnd()) {
        Fail("unexpected end of file");
        return;
      }
      if (t_[pos_].kind == Kind::Open) {  // { MaterialName }: a material defined earlier
        ++pos_;
        if (AtEnd() || t_[pos_].kind != Kind::Word) {
          Fail("bad material reference");
          return;
        }
        const auto found = namedMaterials_.find(std::string(t_[pos_].text));
        if (found == namedMaterials_.end()) {
          Fail("unknown material '" + std::string(t_[pos_].text) + "'");
          return;
        }
        ++pos_;
        if (!Expect(Kind::Close)) return;
        mesh->materials.push_back(found->second);
        continue;
      }
      const size_t start = pos_;
      std::string_view type, name;
      if (!Header(&type, &name)) return;
      if (type == "Material") {
        XMaterial m;
        if (!MaterialBody(&m, depth)) return;
        mesh->materials.push_back(m);
      } else {
        pos_ = start;
        SkipHeaderAndBody();
      }
    }
    if (!Expect(Kind::Close)) return;
    if (mesh->materials.size() != materials) {
      Fail("material list names " + std::to_string(materials) + " materials but holds " +
           std::to_string(mesh->materials.size()));
      return;
    }
    mesh->hasMaterialList = true;
  }

  bool MaterialBody(XMaterial* m, int) {
    GfxMaterial& g = m->material;
    g = {};
    float* targets[] = {&g.diffuse.r, &g.diffuse.g, &g.diffuse.b, &g.diffuse.a, &g.power,
                        &g.specular.r, &g.specular.g, &g.specular.b,
                        &g.emissive.r, &g.emissive.g, &g.emissive.b};
    for (float* target : targets)
      if (!Float(target)) return false;
    g.specular.a = 1;
    g.emissive.a = 1;
    while (ok_ && !AtClose()) {
      if (AtEnd()) return Fail("unexpected end of file");
      const size_t start = pos_;
      if (t_[pos_].kind == Kind::Word && SameNoCase(t_[pos_].text, "TextureFilename")) {
        std::string_view type, name;
        if (!Header(&type, &name)) return false;
        if (AtEnd() || t_[pos_].kind != Kind::String) return Fail("texture file name expected");
        m->textureFilename = std::string(t_[pos_++].text);
        if (!Expect(Kind::Close)) return false;
      } else {
        SkipHeaderAndBody();
        if (pos_ == start) return false;
      }
    }
    return Expect(Kind::Close);
  }

  void Merge(const RawMesh& mesh, const GfxMatrix& world) {
    const uint32_t materialBase = static_cast<uint32_t>(out_->materials.size());
    if (mesh.hasMaterialList) {
      out_->materials.insert(out_->materials.end(), mesh.materials.begin(), mesh.materials.end());
    } else {
      XMaterial plain{};
      plain.material.diffuse = {1, 1, 1, 1};
      plain.material.specular = plain.material.emissive = {0, 0, 0, 1};
      out_->materials.push_back(plain);
    }
    // Normals match the faces only when they pair up corner for corner.
    bool useNormals = mesh.normalFaces.size() == mesh.faces.size();
    for (size_t f = 0; useNormals && f < mesh.faces.size(); ++f)
      useNormals = mesh.normalFaces[f].size() == mesh.faces[f].size();

    std::map<std::pair<uint32_t, int64_t>, uint32_t> made;
    auto vertex = [&](uint32_t position, int64_t normal) -> uint32_t {
      const auto key = std::make_pair(position, normal);
      if (auto it = made.find(key); it != made.end()) return it->second;
      GfxMeshVertex v{};
      const float* p = &mesh.positions[size_t{position} * 3];
      for (int c = 0; c < 3; ++c)
        v.position[c] = p[0] * world.m[0][c] + p[1] * world.m[1][c] + p[2] * world.m[2][c] +
                        world.m[3][c];
      if (normal >= 0) {
        const float* q = &mesh.normals[static_cast<size_t>(normal) * 3];
        float length = 0;
        for (int c = 0; c < 3; ++c) {
          v.normal[c] = q[0] * world.m[0][c] + q[1] * world.m[1][c] + q[2] * world.m[2][c];
          length += v.normal[c] * v.normal[c];
        }
        if (length > 0)
          for (float& c : v.normal) c /= std::sqrt(length);
      }
      if (!mesh.uvs.empty()) {
        v.u = mesh.uvs[size_t{position} * 2];
        v.v = mesh.uvs[size_t{position} * 2 + 1];
      }
      const auto index = static_cast<uint32_t>(vertices_.size());
      vertices_.push_back(v);
      made.emplace(key, index);
      return index;
    };
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
      const auto& face = mesh.faces[f];
      // A short material list repeats its last entry for the remaining faces.
      uint32_t material = 0;
      if (!mesh.faceMaterials.empty())
        material = mesh.faceMaterials[std::min(f, mesh.faceMaterials.size() - 1)];
      for (size_t c = 1; c + 1 < face.size(); ++c) {
        Triangle t;
        const size_t corners[3] = {0, c, c + 1};
        for (int k = 0; k < 3; ++k)
          t.v[k] = vertex(face[corners[k]],
                          useNormals ? int64_t{mesh.normalFaces[f][corners[k]]} : int64_t{-1});
        t.material = materialBase + material;
        triangles_.push_back(t);
      }
    }
  }

  // Sorts the triangles by material (stable, so file order stays within a material), keeps only
  // the vertices they use, and makes one subset per material.
  void Finish() {
    std::stable_sort(triangles_.begin(), triangles_.end(),
                     [](const Triangle& a, const Triangle& b) { return a.material < b.material; });
    GfxMeshData& g = out_->geometry;
    std::vector<uint32_t> remap(vertices_.size(), UINT32_MAX);
    for (const Triangle& t : triangles_)
      for (uint32_t index : t.v) {
        if (remap[index] == UINT32_MAX) {
          remap[index] = static_cast<uint32_t>(g.vertices.size());
          g.vertices.push_back(vertices_[index]);
        }
        g.indices.push_back(remap[index]);
      }
    size_t next = 0;
    for (uint32_t m = 0; m < out_->materials.size(); ++m) {
      GfxMeshSubset s{static_cast<uint32_t>(next), 0};
      while (next < triangles_.size() && triangles_[next].material == m) {
        ++next;
        ++s.faceCount;
      }
      g.subsets.push_back(s);
    }
  }

  struct Triangle {
    uint32_t v[3];
    uint32_t material;
  };

  const std::vector<Token>& t_;
  XMesh* out_;
  size_t pos_ = 0;
  bool ok_ = true;
  std::string error_;
  std::map<std::string, XMaterial> namedMaterials_;
  std::vector<GfxMeshVertex> vertices_;
  std::vector<Triangle> triangles_;
};

}  // namespace

bool ParseXMesh(const std::string& text, XMesh* mesh, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  *mesh = {};
  // "xof 0303txt 0032": magic, version, format, float size.
  if (text.size() < 16 || text.compare(0, 4, "xof ") != 0) {
    *error = "not a .x file";
    return false;
  }
  if (text.compare(8, 4, "txt ") != 0) {
    *error = "only the text form of .x files is read, not '" + text.substr(8, 4) + "'";
    return false;
  }
  std::vector<Token> tokens;
  if (!Tokenize(std::string_view(text).substr(16), &tokens, error)) return false;
  Reader reader(tokens, mesh);
  if (!reader.Run(error)) {
    *mesh = {};
    return false;
  }
  if (mesh->geometry.indices.empty()) {
    *error = "no faces";
    *mesh = {};
    return false;
  }
  return true;
}

bool LoadXMeshFile(const std::string& path, XMesh* mesh, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open the file";
    WriteLog("XMesh: " + path + ": " + *error);
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!ParseXMesh(text, mesh, error)) {
    WriteLog("XMesh: " + path + ": " + *error);
    return false;
  }
  return true;
}

GfxResult LoadMeshFromX(GfxDevice* device, const std::string& path, GfxMesh** mesh,
                        std::vector<XMaterial>* materials) {
  if (!device || !mesh || !materials) return GFX_E_INVALIDCALL;
  *mesh = nullptr;
  XMesh x;
  std::string error;
  if (!LoadXMeshFile(path, &x, &error))
    return error == "cannot open the file" ? GFX_E_NOTFOUND : GFX_E_INVALIDDATA;
  const GfxResult result = device->CreateMesh(x.geometry, mesh);
  if (result < 0) return result;
  *materials = std::move(x.materials);
  return GFX_OK;
}
