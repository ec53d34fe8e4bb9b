#pragma once
// The room what an effect draws takes, measured along a camera's axes (x right, y up, z ahead),
// and the camera of that heading that frames it.

#include "platform/gfx/d3dx_math.h"

class ViewBounds {
 public:
  // A camera looking along `forward` (the scene camera's eye to target), the world's y up, with
  // a vertical field of view fovY and the picture's aspect (width / height).
  ViewBounds(const D3DXVECTOR3& forward, float fovY, float aspect);

  void AddSphere(const D3DXVECTOR3& centre, float radius);
  void AddPoint(const D3DXVECTOR3& point) { AddSphere(point, 0.0f); }
  bool Empty() const { return empty_; }
  // The picture's up: the world's y, or its z for a camera looking straight down or up.
  const D3DXVECTOR3& Up() const { return up_; }
  // Along the camera's axes.
  const D3DXVECTOR3& Min() const { return min_; }
  const D3DXVECTOR3& Max() const { return max_; }

  struct Camera {
    D3DXVECTOR3 eye, target, up;
    float nearZ, farZ;
  };
  // Looking along forward at the middle of the bounds from just far enough for everything added
  // to show with a small margin. Bounds smaller than a few units are framed as that much.
  Camera Frame() const;

 private:
  D3DXMATRIX rotation_;  // world to the camera's axes
  D3DXVECTOR3 up_;
  float tanX_, tanY_;  // half the field of view's tangents, the margin taken off
  D3DXVECTOR3 min_, max_;
  // Per side of the picture (+x, -x, +y, -y), the largest of side / tangent - depth over the
  // spheres' extremes: how far back the camera must stand for the side's nearest sphere.
  float reach_[4] = {};
  bool empty_ = true;
};
