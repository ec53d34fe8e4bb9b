#include "render/view_bounds.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// The smallest half extent framed, and the margin kept around the bounds.
constexpr float kSmallestHalf = 5.0f;
constexpr float kMargin = 1.08f;

}  // namespace

ViewBounds::ViewBounds(const D3DXVECTOR3& forward, float fovY, float aspect)
    : tanX_(std::tan(fovY / 2) * aspect / kMargin), tanY_(std::tan(fovY / 2) / kMargin) {
  D3DXVECTOR3 ahead = forward;
  if (D3DXVec3Length(&ahead) < 1e-6f) ahead = {0.0f, 0.0f, 1.0f};
  D3DXVec3Normalize(&ahead, &ahead);
  // Straight down or up, the world's y cannot be the picture's up: the world's z is.
  up_ = std::fabs(ahead.y) > 0.999f ? D3DXVECTOR3(0.0f, 0.0f, 1.0f) : D3DXVECTOR3(0.0f, 1.0f, 0.0f);
  const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
  D3DXMatrixLookAtLH(&rotation_, &origin, &ahead, &up_);
}

void ViewBounds::AddSphere(const D3DXVECTOR3& centre, float radius) {
  if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(centre.z) ||
      !std::isfinite(radius))
    return;
  D3DXVECTOR3 p;
  D3DXVec3TransformCoord(&p, &centre, &rotation_);
  const float r = std::fabs(radius);
  const D3DXVECTOR3 low(p.x - r, p.y - r, p.z - r), high(p.x + r, p.y + r, p.z + r);
  const float reach[4] = {high.x / tanX_ - low.z, -low.x / tanX_ - low.z, high.y / tanY_ - low.z,
                          -low.y / tanY_ - low.z};
  if (empty_) {
    min_ = low;
    max_ = high;
    std::copy(std::begin(reach), std::end(reach), reach_);
    empty_ = false;
    return;
  }
  for (int side = 0; side < 4; ++side) reach_[side] = std::max(reach_[side], reach[side]);
  min_ = {std::min(min_.x, low.x), std::min(min_.y, low.y), std::min(min_.z, low.z)};
  max_ = {std::max(max_.x, high.x), std::max(max_.y, high.y), std::max(max_.z, high.z)};
}

ViewBounds::Camera ViewBounds::Frame() const {
  const D3DXVECTOR3 low = empty_ ? D3DXVECTOR3() : min_;
  const D3DXVECTOR3 high = empty_ ? D3DXVECTOR3() : max_;
  const D3DXVECTOR3 middle((low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2);
  const float depth = std::max(high.z - low.z, 0.0f);
  // Standing at depth low.z - distance, a point (x, z) shows when |x - middle.x| is at most
  // (z - low.z + distance) * tanX: the reach of each side says how far that is for all of them.
  const float distance =
      std::max({kSmallestHalf / tanX_, kSmallestHalf / tanY_, reach_[0] - middle.x / tanX_ + low.z,
                reach_[1] + middle.x / tanX_ + low.z, reach_[2] - middle.y / tanY_ + low.z,
                reach_[3] + middle.y / tanY_ + low.z});

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
