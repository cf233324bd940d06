// The scene's camera: where the eye is and what it looks at. Scripts place both; the camera keys
// move them. Each has an anchor: a script's placement, which Left Control moves along with the
// camera and Right Control's nudges leave behind.
//
//   camera.SetPosition({0, 0, -300});  camera.SetLookAt({0, 0, 0});
//   each frame: if (camera.TakeChanged()) ...set the view from Eye() and LookAt()...
#pragma once

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

class CCamera {
 public:
  // gbox.SetCameraPos: the eye and its anchor.
  void SetPosition(Vec3 eye);
  // gbox.SetCameraLookAt: the target and its anchor.
  void SetLookAt(Vec3 target);
  // Moves both anchors by (dx, dy, dz); the eye and the target go to them.
  void Move(float dx, float dy, float dz);
  // Moves the eye and the target by (dx, dy) and the eye alone by eyeDz, away from the anchors.
  void Nudge(float dx, float dy, float eyeDz);

  const Vec3& Eye() const { return eye_; }
  const Vec3& LookAt() const { return lookAt_; }
  const Vec3& EyeAnchor() const { return eyeAnchor_; }
  const Vec3& LookAtAnchor() const { return lookAtAnchor_; }

  // The view must be set again (a device reset, the end of the exclusive view).
  void MarkChanged() { changed_ = true; }
  // Whether the view must be set; the answer is given once per change.
  bool TakeChanged();

 private:
  Vec3 eye_{0, 0, -300}, lookAt_{0, 0, 0}, eyeAnchor_{0, 0, -300}, lookAtAnchor_{0, 0, 0};
  bool changed_ = true;
};
