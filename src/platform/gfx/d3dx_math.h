#pragma once
// The D3DX math subset with Direct3D's conventions: row vectors (v * M), row-major
// storage, left-handed coordinates, projection depth in 0..1.

#include <cmath>

#include "platform/gfx/d3d_types.h"

inline constexpr float D3DX_PI = 3.141592654f;
// Degrees to radians, as the program's angles in degrees are converted.
inline constexpr float kDegreeToRadian = 0.017453292f;

struct D3DXVECTOR2 {
  float x = 0, y = 0;
  constexpr D3DXVECTOR2() = default;
  constexpr D3DXVECTOR2(float x_, float y_) : x(x_), y(y_) {}
  constexpr bool operator==(const D3DXVECTOR2&) const = default;
};

struct D3DXVECTOR3 {
  float x = 0, y = 0, z = 0;
  constexpr D3DXVECTOR3() = default;
  constexpr D3DXVECTOR3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  constexpr D3DXVECTOR3& operator+=(const D3DXVECTOR3& o) { x += o.x; y += o.y; z += o.z; return *this; }
  constexpr D3DXVECTOR3& operator-=(const D3DXVECTOR3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
  constexpr D3DXVECTOR3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
  constexpr D3DXVECTOR3 operator+(const D3DXVECTOR3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  constexpr D3DXVECTOR3 operator-(const D3DXVECTOR3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  constexpr D3DXVECTOR3 operator*(float s) const { return {x * s, y * s, z * s}; }
  constexpr D3DXVECTOR3 operator-() const { return {-x, -y, -z}; }
  constexpr bool operator==(const D3DXVECTOR3&) const = default;
};

struct D3DXVECTOR4 {
  float x = 0, y = 0, z = 0, w = 0;
  constexpr D3DXVECTOR4() = default;
  constexpr D3DXVECTOR4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
  constexpr bool operator==(const D3DXVECTOR4&) const = default;
};

struct D3DXCOLOR {
  float r = 0, g = 0, b = 0, a = 0;
  constexpr D3DXCOLOR() = default;
  constexpr D3DXCOLOR(float r_, float g_, float b_, float a_) : r(r_), g(g_), b(b_), a(a_) {}
  // Unpacks a D3DCOLOR (ARGB, 8 bits each) to 0..1.
  explicit constexpr D3DXCOLOR(D3DCOLOR argb)
      : r(static_cast<float>((argb >> 16) & 0xff) / 255.0f),
        g(static_cast<float>((argb >> 8) & 0xff) / 255.0f),
        b(static_cast<float>(argb & 0xff) / 255.0f),
        a(static_cast<float>((argb >> 24) & 0xff) / 255.0f) {}
  constexpr bool operator==(const D3DXCOLOR&) const = default;
  constexpr operator D3DCOLORVALUE() const { return {r, g, b, a}; }
};

// Packs a colour as D3DCOLOR: 1 or more gives 255, 0 or less gives 0, else x * 255 + 0.5 truncated.
D3DCOLOR D3DXColorToD3DCOLOR(const D3DXCOLOR& c);

struct D3DXMATRIX {
  float m[4][4] = {};
  constexpr float& operator()(int row, int col) { return m[row][col]; }
  constexpr float operator()(int row, int col) const { return m[row][col]; }
  D3DXMATRIX operator*(const D3DXMATRIX& o) const;
  bool operator==(const D3DXMATRIX&) const = default;
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
// Roll about z, then pitch about x, then yaw about y.
D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf);

// Transforms the point (x, y, z, 1) and divides by the resulting w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// Transforms a point given as a four-float vector, treating it as (x, y, z, 1).
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR4* v, const D3DXMATRIX* m);
// Leaves a zero vector at zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
float D3DXVec3Length(const D3DXVECTOR3* v);
float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
