#include "render/view_bounds.h"

#include <algorithm>
#include <cmath>

namespace {

// The smallest half extent framed, and the margin kept around the bounds.
constexpr float kSmallestHalf = 5.0f;
constexpr float kMargin = 1.08f;

}  // namespace

ViewBounds::ViewBounds(const D3DXVECTOR3& forward) {
  D3DXVECTOR3 ahead = forward;
  if (D3DXVec3Length(&ahead) < 1e-6f) ahead = {0.0f, 0.0f, 1.0f};
  D3DXVec3Normalize(&ahead, &ahead);
  // Straight down or up, the world's y cannot be the picture's up: the world's z is.
  up_ = std::fabs(ahead.y) > 0.999f ? D3DXVECTOR3(0.0f, 0.0f, 1.0f) : D3DXVECTOR3(0.0f, 1.0f, 0.0f);
  const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
  D3DXMatrixLookAtLH(&rotation_, &origin, &ahead, &up_);
}

void ViewBounds::AddSphere(const D3DXVECTOR3& centre, float radius) {
  if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(centre.z) || !std::isfinite(radius))
    return;
  D3DXVECTOR3 p;
  D3DXVec3TransformCoord(&p, &centre, &rotation_);
  const float r = std::fabs(radius);
  const D3DXVECTOR3 low(p.x - r, p.y - r, p.z - r), high(p.x + r, p.y + r, p.z + r);
  if (empty_) {
    min_ = low;
    max_ = high;
    empty_ = false;
    return;
  }
  min_ = {std::min(min_.x, low.x), std::min(min_.y, low.y), std::min(min_.z, low.z)};
  max_ = {std::max(max_.x, high.x), std::max(max_.y, high.y), std::max(max_.z, high.z)};
}

ViewBounds::Camera ViewBounds::Frame(float fovY, float aspect) const {
  const D3DXVECTOR3 low = empty_ ? D3DXVECTOR3() : min_;
  const D3DXVECTOR3 high = empty_ ? D3DXVECTOR3() : max_;
  const D3DXVECTOR3 middle((low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2);
  const float halfWidth = std::max((high.x - low.x) / 2, kSmallestHalf) * kMargin;
  const float halfHeight = std::max((high.y - low.y) / 2, kSmallestHalf) * kMargin;
  const float depth = std::max(high.z - low.z, 0.0f);
  const float tanY = std::tan(fovY / 2);
  const float tanX = tanY * aspect;
  // Far enough that the face nearest the camera fits: everything behind it then fits too.
  const float distance = std::max(halfWidth / tanX, halfHeight / tanY);

  // Back from the camera's axes to the world: the rotation's inverse is its transpose.
  D3DXMATRIX toWorld;
  D3DXMatrixTranspose(&toWorld, &rotation_);
  const D3DXVECTOR3 eyeView(middle.x, middle.y, low.z - distance);
  Camera camera;
  D3DXVec3TransformCoord(&camera.eye, &eyeView, &toWorld);
  D3DXVec3TransformCoord(&camera.target, &middle, &toWorld);
  camera.up = up_;
  camera.nearZ = distance / 2;
  camera.farZ = distance + depth + distance / 2;
  return camera;
}
