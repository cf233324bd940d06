// A reader for DirectX .x meshes in the text format: the television model and its materials.
//
// Materials keep the file's order (model code depends on their indices), with their colours,
// power, specular and emissive colours and texture file name. Faces are fanned into triangles,
// frames' transforms are applied, every mesh of the file is merged into one, and the triangles
// are sorted by material so that subset i draws exactly the faces of material i. Templates,
// comments and unknown objects are skipped. Bad input gives false and a reason, never a crash.
#pragma once

#include <string>
#include <vector>

#include "platform/gfx.h"

struct XMaterial {
  GfxMaterial material;         // ambient is left black, as the file has no ambient colour
  std::string textureFilename;  // empty when the material names no texture
};

struct XMesh {
  GfxMeshData geometry;  // one subset per material, in material order
  std::vector<XMaterial> materials;
};

bool ParseXMesh(const std::string& text, XMesh* mesh, std::string* error);

// Reads and parses a file; on failure logs "XMesh: <path>: <reason>".
bool LoadXMeshFile(const std::string& path, XMesh* mesh, std::string* error);

// Loads a file and creates its mesh on the device: GFX_E_NOTFOUND for a missing file,
// GFX_E_INVALIDDATA for one that does not parse.
GfxResult LoadMeshFromX(GfxDevice* device, const std::string& path, GfxMesh** mesh,
                        std::vector<XMaterial>* materials);
