// What a television needs from the 3D scene: the shared model, loaded on demand, and drawing a
// television on it. The scene implementation lives with the graphics; tests may run without one.
#pragma once

#include <string>

class CTV;

class CTelevisionScene {
 public:
  virtual ~CTelevisionScene() = default;
  virtual bool IsModelLoaded() const = 0;
  // Loads the shared model; on failure the caller still constructs the television.
  virtual bool LoadModel() = 0;
  virtual void DrawTelevision(CTV& tv) = 0;
  // Full path of the screen material's image, empty when the model has no screen.
  virtual const std::string& ScreenImagePath() const = 0;
};
