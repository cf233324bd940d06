#include "platform/xmesh.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

// Three materials used out of order by four faces, one of them a quad; a template, comments and
// an unknown object to step over; normals and texture coordinates.
const std::string kModel = R"(xof 0303txt 0032
template Mesh {
 <3D82AB44-62DA-11cf-AB39-0020AF71E433>
 DWORD nVertices;
 array Vector vertices[nVertices];
 [...]
}
// a comment
# another comment
Header { 1; 0; 1; }
Material Shared {
 0.1;0.2;0.3;1.0;;
 5.0;
 0.4;0.5;0.6;;
 0.0;0.0;0.0;;
 TextureFilename { "shared.tga"; }
}
Frame Root {
 Mesh Box {
  6;
  0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;, 2.0;0.0;0.0;, 2.0;1.0;0.0;;
  4;
  3;0,3,2;,
  4;1,2,5,4;,
  3;0,2,1;,
  3;1,5,4;;
  MeshMaterialList {
   3;
   4;
   2,
   0,
   1,
   0;;
   Material Red {
    1.0;0.0;0.0;0.5;;
    12.5;
    0.9;0.8;0.7;;
    0.25;0.0;0.0;;
    TextureFileName { "TV_Scree.tga"; }
   }
   { Shared }
   Material Plain { 0.0;1.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
  }
  MeshNormals { 1; 0.0;0.0;-1.0;; 4; 3;0,0,0;, 4;0,0,0,0;, 3;0,0,0;, 3;0,0,0;; }
  MeshTextureCoords { 6; 0;0;, 1;0;, 1;1;, 0;1;, 0.5;0.5;, 0.25;0.75;; }
  VertexDuplicationIndices { 6; 6; 0,1,2,3,4,5; }
 }
}
)";

struct Corner {
  float x, y;
};

std::vector<Corner> Triangle(const XMesh& mesh, uint32_t face) {
  std::vector<Corner> corners;
  for (int k = 0; k < 3; ++k) {
    const GfxMeshVertex& v = mesh.geometry.vertices[mesh.geometry.indices[face * 3 + k]];
    corners.push_back({v.position[0], v.position[1]});
  }
  return corners;
}

}  // namespace

TEST(XMesh, MaterialsKeepFileOrderAndSubsetsFollowThem) {
  XMesh mesh;
  std::string error;
  ASSERT_TRUE(ParseXMesh(kModel, &mesh, &error)) << error;
  ASSERT_EQ(mesh.materials.size(), 3u);
  const GfxMaterial& red = mesh.materials[0].material;
  EXPECT_FLOAT_EQ(red.diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(red.diffuse.a, 0.5f);
  EXPECT_FLOAT_EQ(red.power, 12.5f);
  EXPECT_FLOAT_EQ(red.specular.g, 0.8f);
  EXPECT_FLOAT_EQ(red.emissive.r, 0.25f);
  EXPECT_EQ(mesh.materials[0].textureFilename, "TV_Scree.tga");
  EXPECT_EQ(mesh.materials[1].textureFilename, "shared.tga") << "a material given by reference";
  EXPECT_FLOAT_EQ(mesh.materials[1].material.diffuse.b, 0.3f);
  EXPECT_EQ(mesh.materials[2].textureFilename, "");

  // Faces: material 2, 0 (a quad: two triangles), 1, 0. Sorted by material, file order within.
  const auto& subsets = mesh.geometry.subsets;
  ASSERT_EQ(subsets.size(), 3u);
  EXPECT_EQ(subsets[0].faceStart, 0u);
  EXPECT_EQ(subsets[0].faceCount, 3u);
  EXPECT_EQ(subsets[1].faceStart, 3u);
  EXPECT_EQ(subsets[1].faceCount, 1u);
  EXPECT_EQ(subsets[2].faceStart, 4u);
  EXPECT_EQ(subsets[2].faceCount, 1u);
  EXPECT_EQ(mesh.geometry.indices.size(), 15u);

  // The quad 1,2,5,4 is fanned from its first corner, keeping its winding.
  const auto first = Triangle(mesh, 0), second = Triangle(mesh, 1);
  EXPECT_FLOAT_EQ(first[0].x, 1);
  EXPECT_FLOAT_EQ(first[1].y, 1);
  EXPECT_FLOAT_EQ(first[2].x, 2);
  EXPECT_FLOAT_EQ(second[1].x, 2);
  EXPECT_FLOAT_EQ(second[1].y, 1);
  EXPECT_FLOAT_EQ(second[2].y, 0);
  EXPECT_EQ(Triangle(mesh, 4)[1].y, 1.0f) << "the material-2 face 0,3,2 comes last";

  // Every vertex carries the normal and its own texture coordinates.
  for (const GfxMeshVertex& v : mesh.geometry.vertices) {
    EXPECT_FLOAT_EQ(v.normal[2], -1.0f);
    if (v.position[0] == 2.0f && v.position[1] == 1.0f) {
      EXPECT_FLOAT_EQ(v.v, 0.75f);
    }
  }
  EXPECT_EQ(mesh.geometry.vertices.size(), 6u) << "only used vertices, each once";
}

TEST(XMesh, FrameTransformsApplyFromTheInnermostFrameOut) {
  // Inner frame: a quarter turn about z; outer frame: moved by (10, 0, 0). The matrix may come
  // after the frame's children.
  const std::string text = R"(xof 0303txt 0032
Frame Outer {
 Frame Inner {
  Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;; }
  FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,0,1;; }
 }
 FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1;; }
}
)";
  XMesh mesh;
  std::string error;
  ASSERT_TRUE(ParseXMesh(text, &mesh, &error)) << error;
  ASSERT_EQ(mesh.materials.size(), 1u) << "a mesh without materials gets a plain one";
  const GfxMeshVertex& v = mesh.geometry.vertices[mesh.geometry.indices[0]];
  EXPECT_NEAR(v.position[0], 10, 1e-6);  // (1, 0, 0) -> (0, 1, 0) -> (10, 1, 0)
  EXPECT_NEAR(v.position[1], 1, 1e-6);
}

TEST(XMesh, SeveralMeshesMergeWithTheirMaterialsInOrder) {
  const std::string text = R"(xof 0303txt 0032
Mesh A { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,2,1;;
 MeshMaterialList { 1; 1; 0;; Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; } } }
Mesh B { 3; 0;0;5;, 1;0;5;, 0;1;5;; 1; 3;0,1,2;;
 MeshMaterialList { 2; 1; 1;; Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; } } }
)";
  XMesh mesh;
  std::string error;
  ASSERT_TRUE(ParseXMesh(text, &mesh, &error)) << error;
  ASSERT_EQ(mesh.materials.size(), 3u);
  EXPECT_FLOAT_EQ(mesh.materials[2].material.diffuse.b, 1.0f);
  // A one-entry list for two faces repeats its last entry.
  EXPECT_EQ(mesh.geometry.subsets[0].faceCount, 2u);
  EXPECT_EQ(mesh.geometry.subsets[1].faceCount, 0u);
  EXPECT_EQ(mesh.geometry.subsets[2].faceCount, 1u);
  EXPECT_FLOAT_EQ(Triangle(mesh, 2)[0].x, 0.0f);
}

TEST(XMesh, BadInputIsRefusedWithAReason) {
  const std::string mesh = "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,";
  const struct {
    const char* name;
    std::string text;
    const char* reason;
  } cases[] = {
      {"empty", "", "not a .x file"},
      {"binary", "xof 0303bin 0032\x01\x02", "text form"},
      {"compressed", "xof 0303tzip0032xxxx", "text form"},
      {"truncated in the faces", mesh, "truncated"},
      {"face index past the vertices", mesh + "3;;}", "face index 3 past the count 3"},
      {"normal index past the normals",
       mesh + "2;; MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }", "normal index 1"},
      {"material index past the materials",
       mesh + "2;; MeshMaterialList { 1; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }",
       "material index 1"},
      {"too few materials", mesh + "2;; MeshMaterialList { 2; 1; 0;; } }", "names 2 materials"},
      {"unknown material reference", mesh + "2;; MeshMaterialList { 1; 1; 0;; { Nowhere } } }",
       "unknown material"},
      {"texture coordinates for too few vertices",
       mesh + "2;; MeshTextureCoords { 1; 0;0;; } }", "texture coordinates"},
      {"a vertex count far past the file",
       "xof 0303txt 0032\nMesh { 4000000000; 0;0;0;; }", "truncated"},
      {"a number that is not one", "xof 0303txt 0032\nMesh { 1; 0;zero;0;; }", "bad number"},
      {"unterminated string",
       "xof 0303txt 0032\nMaterial M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"a",
       "unterminated"},
      {"no faces at all", "xof 0303txt 0032\nHeader { 1; 0; 1; }\n", "no faces"},
  };
  for (const auto& c : cases) {
    XMesh out;
    std::string error;
    EXPECT_FALSE(ParseXMesh(c.text, &out, &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    EXPECT_TRUE(out.geometry.indices.empty()) << c.name;
  }
}

TEST(XMesh, EveryTruncationOfAGoodFileFailsCleanly) {
  const size_t lastBrace = kModel.rfind('}');
  for (size_t length = 0; length < lastBrace; ++length) {
    XMesh mesh;
    std::string error;
    EXPECT_FALSE(ParseXMesh(kModel.substr(0, length), &mesh, &error)) << length;
  }
}

TEST(XMesh, DeeplyNestedFramesAreRefusedWithoutExhaustingTheStack) {
  std::string text = "xof 0303txt 0032\n";
  for (int i = 0; i < 100000; ++i) text += "Frame {";
  for (int i = 0; i < 100000; ++i) text += "}";
  XMesh mesh;
  std::string error;
  EXPECT_FALSE(ParseXMesh(text, &mesh, &error));
  EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
}

TEST(XMesh, AMissingFileIsReported) {
  TempDir dir;
  XMesh mesh;
  std::string error;
  EXPECT_FALSE(LoadXMeshFile(dir.file("tv.x"), &mesh, &error));
  EXPECT_EQ(error, "cannot open the file");
  WriteWholeFile(dir.file("tv.x"), kModel);
  EXPECT_TRUE(LoadXMeshFile(dir.file("tv.x"), &mesh, &error)) << error;
}

TEST(XMesh, TheShippedTelevisionHasItsScreenAndANeverDrawnSecondMaterial) {
  XMesh mesh;
  std::string error;
  ASSERT_TRUE(LoadXMeshFile(std::string(GLIMMERBOX_SOURCE_DATA) + "/Models/tv.x", &mesh, &error))
      << error;
  ASSERT_GE(mesh.materials.size(), 4u);
  EXPECT_EQ(mesh.materials[2].textureFilename, "TV_Scree.tga");
  EXPECT_GT(mesh.geometry.subsets[1].faceCount, 0u);
  for (const XMaterial& m : mesh.materials) EXPECT_FALSE(m.textureFilename.empty());
  // The screen's texture coordinates span u 0..1 and texture rows 8..248: the picture and the
  // 24 border lines above and below it.
  const GfxMeshSubset& screen = mesh.geometry.subsets[2];
  float uMin = 1, uMax = 0, vMin = 1, vMax = 0;
  for (uint32_t i = screen.faceStart * 3; i < (screen.faceStart + screen.faceCount) * 3; ++i) {
    const GfxMeshVertex& v = mesh.geometry.vertices[mesh.geometry.indices[i]];
    uMin = std::min(uMin, v.u);
    uMax = std::max(uMax, v.u);
    vMin = std::min(vMin, v.v);
    vMax = std::max(vMax, v.v);
  }
  EXPECT_FLOAT_EQ(uMin, 0.0f);
  EXPECT_FLOAT_EQ(uMax, 1.0f);
  EXPECT_FLOAT_EQ(vMin, 8.0f / 256);
  EXPECT_FLOAT_EQ(vMax, 248.0f / 256);
}
