#include "platform/gfx/d3dx_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float tol = 1e-5f) {
  EXPECT_NEAR(v.x, x, tol);
  EXPECT_NEAR(v.y, y, tol);
  EXPECT_NEAR(v.z, z, tol);
}

void ExpectMatrix(const D3DXMATRIX& m, const float (&e)[4][4], float tol = 1e-5f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], e[r][c], tol) << "at [" << r << "][" << c << "]";
}

D3DXVECTOR3 Transform(const D3DXMATRIX& m, D3DXVECTOR3 p) {
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &p, &m);
  return out;
}

D3DXMATRIX YawPitchRoll(float yaw, float pitch, float roll) {
  D3DXMATRIX m;
  D3DXMatrixRotationYawPitchRoll(&m, yaw, pitch, roll);
  return m;
}

TEST(D3DXMath, YawPitchRollSingleAxes) {
  const float q = D3DX_PI / 2;
  ExpectVec(Transform(YawPitchRoll(q, 0, 0), {1, 0, 0}), 0, 0, -1);  // row 0 of Ry(90)
  ExpectVec(Transform(YawPitchRoll(0, q, 0), {0, 1, 0}), 0, 0, 1);   // row 1 of Rx(90)
  ExpectVec(Transform(YawPitchRoll(0, 0, q), {1, 0, 0}), 0, 1, 0);   // row 0 of Rz(90)
}

TEST(D3DXMath, YawPitchRollAppliesPitchBeforeYaw) {
  // Rx(90) takes (0,0,-1) to -(row 2) = (0,1,0), which Ry(180) keeps; the reverse order
  // would give (0,-1,0). (0.5,0,0) is untouched by Rx and negated by Ry(180).
  const D3DXMATRIX m = YawPitchRoll(D3DX_PI, D3DX_PI / 2, 0);
  const D3DXVECTOR3 a = Transform(m, {0, 0, -1}), c = Transform(m, {0.5f, 0, 0});
  ExpectVec(a, 0, 1, 0);
  ExpectVec(c, -0.5f, 0, 0);
  D3DXVECTOR3 dir = c - a, n;  // (-0.5, -1, 0) / sqrt(1.25)
  D3DXVec3Normalize(&n, &dir);
  ExpectVec(n, -0.4472136f, -0.8944272f, 0);
}

TEST(D3DXMath, YawPitchRollIsRollThenPitchThenYaw) {
  // Rz(r) * Rx(p) * Ry(y) multiplied out by hand.
  const float y = 0.4f, p = -0.9f, r = 1.3f;
  const float cy = std::cos(y), sy = std::sin(y), cp = std::cos(p), sp = std::sin(p);
  const float cr = std::cos(r), sr = std::sin(r);
  const float expected[4][4] = {{cr * cy + sr * sp * sy, sr * cp, sr * sp * cy - cr * sy, 0},
                                {cr * sp * sy - sr * cy, cr * cp, sr * sy + cr * sp * cy, 0},
                                {cp * sy, -sp, cp * cy, 0},
                                {0, 0, 0, 1}};
  ExpectMatrix(YawPitchRoll(y, p, r), expected);
}

TEST(D3DXMath, LookAtLH) {
  const D3DXVECTOR3 eye(0, 100, 300), at(0, 0, 0), up(0, 1, 0);
  D3DXMATRIX m;
  D3DXMatrixLookAtLH(&m, &eye, &at, &up);
  // z = (0,-1,-3)/sqrt(10); x = normalize(up x z) = (-1,0,0); y = z x x = (0,3,-1)/sqrt(10).
  // The axes are the columns; the last row is -(x.eye, y.eye, z.eye) = (0, 0, sqrt(100000)).
  const float a = 0.31622777f, b = 0.94868330f, d = 316.227766f;
  const float expected[4][4] = {{-1, 0, 0, 0}, {0, b, -a, 0}, {0, -a, -b, 0}, {0, 0, d, 1}};
  ExpectMatrix(m, expected, 1e-3f);
  ExpectVec(Transform(m, eye), 0, 0, 0, 1e-3f);
  ExpectVec(Transform(m, at), 0, 0, d, 1e-3f);
}

TEST(D3DXMath, PerspectiveFovLH) {
  D3DXMATRIX m;
  D3DXMatrixPerspectiveFovLH(&m, D3DX_PI / 4, 16.0f / 9.0f, 5, 10000);
  // yscale = cot(pi/8) = 1 + sqrt(2); xscale = yscale * 9/16; q = zf/(zf-zn) = 10000/9995.
  const float ys = 2.41421356f, xs = 1.35799513f, q = 1.00050025f;
  const float expected[4][4] = {{xs, 0, 0, 0}, {0, ys, 0, 0}, {0, 0, q, 1}, {0, 0, -5 * q, 0}};
  ExpectMatrix(m, expected);
  // After the divide by w = z the depth is q * (1 - zn/z): 0 at zn, 1 at zf, q/2 at z = 10.
  EXPECT_NEAR(Transform(m, {0, 0, 5}).z, 0, 1e-5f);
  EXPECT_NEAR(Transform(m, {0, 0, 10000}).z, 1, 1e-5f);
  ExpectVec(Transform(m, {1, 1, 10}), xs / 10, ys / 10, q / 2);
}

TEST(D3DXMath, TransformCoordDividesByW) {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  m.m[0][3] = 1;  // w = x + 1
  ExpectVec(Transform(m, {1, 2, 3}), 0.5f, 1, 1.5f);
  const D3DXVECTOR4 v4(1, 2, 3, 7);  // the given w is ignored in favour of 1
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &v4, &m);
  ExpectVec(out, 0.5f, 1, 1.5f);
}

TEST(D3DXMath, Normalize) {
  D3DXVECTOR3 out, v(3, 4, 0);
  D3DXVec3Normalize(&out, &v);
  ExpectVec(out, 0.6f, 0.8f, 0);
  const D3DXVECTOR3 zero;
  out = {9, 9, 9};
  D3DXVec3Normalize(&out, &zero);
  EXPECT_EQ(out, D3DXVECTOR3(0, 0, 0));
}

TEST(D3DXMath, IdentityTranslationScalingTranspose) {
  D3DXMATRIX m;
  m.m[1][2] = 7;
  D3DXMatrixIdentity(&m);
  const float identity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  ExpectMatrix(m, identity, 0);
  D3DXMatrixTranslation(&m, 10, 20, 30);
  ExpectVec(Transform(m, {1, 2, 3}), 11, 22, 33);
  D3DXMatrixScaling(&m, 2, 3, 4);
  ExpectVec(Transform(m, {1, -1, 0.5f}), 2, -3, 2);

  D3DXMATRIX t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = float(r * 4 + c);
  D3DXMatrixTranspose(&t, &m);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.m[r][c], float(c * 4 + r));
}

TEST(D3DXMath, MultiplyOrderMatters) {
  D3DXMATRIX s, t, st, ts;
  D3DXMatrixScaling(&s, 2, 3, 4);
  D3DXMatrixTranslation(&t, 1, 2, 3);
  D3DXMatrixMultiply(&st, &s, &t);
  D3DXMatrixMultiply(&ts, &t, &s);
  // Scale then translate keeps the offset; translate then scale scales it as well.
  const float scaleFirst[4][4] = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {1, 2, 3, 1}};
  const float translateFirst[4][4] = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {2, 6, 12, 1}};
  ExpectMatrix(st, scaleFirst, 0);
  ExpectMatrix(ts, translateFirst, 0);
  EXPECT_EQ(s * t, st);
  // A translation by (5,0,0) and a 90-degree yaw, applied to the origin in both orders.
  const D3DXMATRIX r = YawPitchRoll(D3DX_PI / 2, 0, 0);
  D3DXMatrixTranslation(&t, 5, 0, 0);
  ExpectVec(Transform(t * r, {0, 0, 0}), 0, 0, -5);
  ExpectVec(Transform(r * t, {0, 0, 0}), 5, 0, 0);
}

TEST(D3DXMath, ColorToD3DCOLOR) {
  const std::pair<D3DXCOLOR, D3DCOLOR> cases[] = {
      // colour is (r, g, b, a); result 0xAARRGGBB
      {{0, 0, 0, 0}, 0x00000000},
      {{1, 1, 1, 1}, 0xFFFFFFFF},
      {{1.5f, -0.5f, 2, -1}, 0x00FF00FF},
      // a 0.75*255+0.5 = 191.75 -> BF; r 128.0 -> 80; g 64.25 -> 40; b 0.998*255+0.5 = 254.99 -> FE
      {{0.5f, 0.25f, 0.998f, 0.75f}, 0xBF8040FE},
      // r 0.999*255+0.5 = 255.245 -> FF; g 0.002*255+0.5 = 1.01 -> 01; b 0.001*255+0.5 = 0.755 -> 00
      {{0.999f, 0.002f, 0.001f, 1}, 0xFFFF0100},
  };
  for (const auto& [color, expected] : cases)
    EXPECT_EQ(D3DXColorToD3DCOLOR(color), expected)
        << color.r << ", " << color.g << ", " << color.b << ", " << color.a;
}

TEST(D3DXMath, D3DCOLORUnpacksToEachChannelAndPacksBack) {
  // Alpha sits in the top byte, then red, green and blue.
  const D3DXCOLOR c(D3DCOLOR{0x80FF3300});
  EXPECT_FLOAT_EQ(c.a, 128.0f / 255.0f);
  EXPECT_FLOAT_EQ(c.r, 1.0f);
  EXPECT_FLOAT_EQ(c.g, 51.0f / 255.0f);
  EXPECT_FLOAT_EQ(c.b, 0.0f);
  for (const D3DCOLOR argb : {0x00000000u, 0xFFFFFFFFu, 0x01020304u, 0xFE7F8081u, 0x12345678u})
    EXPECT_EQ(D3DXColorToD3DCOLOR(D3DXCOLOR(argb)), argb) << std::hex << argb;
}

}  // namespace
