// The camera's placements and moves.
#include "presentation/camera.h"

void CCamera::SetPosition(Vec3 eye) {
  eye_ = eyeAnchor_ = eye;
  changed_ = true;
}

void CCamera::SetLookAt(Vec3 target) {
  lookAt_ = lookAtAnchor_ = target;
  changed_ = true;
}

void CCamera::Move(float dx, float dy, float dz) {
  eyeAnchor_ = {eyeAnchor_.x + dx, eyeAnchor_.y + dy, eyeAnchor_.z + dz};
  eye_ = eyeAnchor_;
  lookAtAnchor_ = {lookAtAnchor_.x + dx, lookAtAnchor_.y + dy, lookAtAnchor_.z + dz};
  lookAt_ = lookAtAnchor_;
  changed_ = true;
}

void CCamera::Nudge(float dx, float dy, float eyeDz) {
  eye_ = {eye_.x + dx, eye_.y + dy, eye_.z + eyeDz};
  lookAt_ = {lookAt_.x + dx, lookAt_.y + dy, lookAt_.z};
  changed_ = true;
}

bool CCamera::TakeChanged() {
  const bool changed = changed_;
  changed_ = false;
  return changed;
}
