#include "platform/gfx/gl/batch_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gfx {

namespace {

constexpr UINT kMatrixBytes = 16 * sizeof(float);

void TransformPoint(float* p, const D3DXMATRIX& w) {
  const float x = p[0], y = p[1], z = p[2];
  for (int i = 0; i < 3; ++i) p[i] = x * w.m[0][i] + y * w.m[1][i] + z * w.m[2][i] + w.m[3][i];
}

void TransformNormal(float* n, const float c[3][3], bool renormalise) {
  const float x = n[0], y = n[1], z = n[2];
  for (int i = 0; i < 3; ++i) n[i] = x * c[0][i] + y * c[1][i] + z * c[2][i];
  if (!renormalise) return;
  const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (length > 0.0f)
    for (int i = 0; i < 3; ++i) n[i] /= length;
}

}  // namespace

bool NormalMatrix(const D3DXMATRIX& world, float c[3][3]) {
  const auto& m = world.m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      c[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
    }
  const float det = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
  if (std::fabs(det) < 1e-12f) return false;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) c[i][j] /= det;
  return true;
}

void BatchGeometry::Begin(const VertexLayout& layout, UINT stride, bool perVertexMatrix, bool cullsNothing) {
  Clear();
  layout_ = layout;
  inStride_ = stride;
  perVertexMatrix_ = perVertexMatrix;
  cullsNothing_ = cullsNothing;
  stride_ = stride + (perVertexMatrix ? kMatrixBytes : 0);
}

void BatchGeometry::Clear() {
  vertexBytes_ = 0;
  indexCount_ = 0;
  draws_ = 0;
  chained_ = false;
}

std::byte* BatchGeometry::VertexRoom(std::size_t bytes) {
  if (vertexBytes_ + bytes > vertices_.size())
    vertices_.resize(std::max(2 * vertices_.size(), vertexBytes_ + bytes));
  std::byte* at = vertices_.data() + vertexBytes_;
  vertexBytes_ += bytes;
  return at;
}

std::uint32_t* BatchGeometry::IndexRoom(std::size_t count) {
  if (indexCount_ + count > indices_.size())
    indices_.resize(std::max(2 * indices_.size(), indexCount_ + count));
  std::uint32_t* at = indices_.data() + indexCount_;
  indexCount_ += count;
  return at;
}

void BatchGeometry::Append(const Source& source) {
  const UINT vertexCount = static_cast<UINT>(source.bytes.size() / inStride_);
  if (chained_ && Chainable(source)) {
    Chain(source, vertexCount);
    return;
  }
  if (chained_) {
    // A draw that cannot join: the chain so far is listed as the one strip it is.
    chained_ = false;
    AppendTriangles(first_, 0);
  }
  const auto base = static_cast<std::uint32_t>(vertexBytes_ / stride_);
  AppendVertices(source, vertexCount);
  if (++draws_ == 1 && !source.indices) {
    first_ = Source{};
    first_.type = source.type;
    first_.count = source.count;
    chained_ = Chainable(source);
    return;
  }
  if (draws_ == 2 && indexCount_ == 0) AppendTriangles(first_, 0);
  AppendTriangles(source, base - source.lowestIndex);
}

bool BatchGeometry::Chainable(const Source& source) const {
  return cullsNothing_ && !source.indices && source.type == D3DPT_TRIANGLESTRIP &&
         source.count >= kChainTriangles + 2;
}

void BatchGeometry::Chain(const Source& source, UINT vertexCount) {
  // The last vertex so far and the first of this strip, each drawn twice: the four triangles
  // across the join have no area, whichever way round they turn.
  const std::size_t last = vertexBytes_ - stride_;
  VertexRoom(stride_);
  std::memcpy(vertices_.data() + last + stride_, vertices_.data() + last, stride_);
  const std::size_t first = vertexBytes_;
  VertexRoom(stride_);
  AppendVertices(source, vertexCount);
  std::memcpy(vertices_.data() + first, vertices_.data() + first + stride_, stride_);
  ++draws_;
  first_.count = static_cast<UINT>(vertexBytes_ / stride_);
}

void BatchGeometry::AppendVertices(const Source& source, UINT vertexCount) {
  const UINT inStride = inStride_;
  std::byte* out = VertexRoom(std::size_t{vertexCount} * stride_);
  const std::byte* in = source.bytes.data();
  if (stride_ == inStride) {
    std::memcpy(out, in, std::size_t{vertexCount} * inStride);
  } else {
    for (UINT i = 0; i < vertexCount; ++i) {
      std::memcpy(out + std::size_t{i} * stride_, in + std::size_t{i} * inStride, inStride);
      std::memcpy(out + std::size_t{i} * stride_ + inStride, source.matrix, kMatrixBytes);
    }
  }
  if (!source.world) return;

  const VertexLayout& layout = layout_;
  float normal[3][3];
  const bool normals = source.transformNormals && layout.normal >= 0;
  const bool renormalise = normals && !NormalMatrix(*source.world, normal);
  for (UINT i = 0; i < vertexCount; ++i) {
    std::byte* v = out + std::size_t{i} * stride_;
    float values[3];
    std::memcpy(values, v + layout.position, sizeof values);
    TransformPoint(values, *source.world);
    std::memcpy(v + layout.position, values, sizeof values);
    if (!normals) continue;
    std::memcpy(values, v + layout.normal, sizeof values);
    TransformNormal(values, normal, renormalise);
    std::memcpy(v + layout.normal, values, sizeof values);
  }
}

void BatchGeometry::AppendTriangles(const Source& source, std::uint32_t base) {
  const std::uint32_t* indices = source.indices;
  const UINT count = source.count;
  if (count < 3) return;
  auto at = [&](UINT i) { return base + (indices ? indices[i] : i); };
  switch (source.type) {
    case D3DPT_TRIANGLESTRIP: {
      // Every other triangle of a strip runs the other way round; swapping its first two
      // vertices keeps all of them facing as the strip does, so culling sees the same faces.
      std::uint32_t* out = IndexRoom(3 * std::size_t{count - 2});
      for (UINT i = 0; i + 2 < count; ++i, out += 3) {
        const bool odd = i & 1;
        out[0] = at(odd ? i + 1 : i);
        out[1] = at(odd ? i : i + 1);
        out[2] = at(i + 2);
      }
      break;
    }
    case D3DPT_TRIANGLEFAN: {
      std::uint32_t* out = IndexRoom(3 * std::size_t{count - 2});
      for (UINT i = 1; i + 1 < count; ++i, out += 3) {
        out[0] = at(0);
        out[1] = at(i);
        out[2] = at(i + 1);
      }
      break;
    }
    default: {
      std::uint32_t* out = IndexRoom(count / 3 * std::size_t{3});
      for (UINT i = 0; i + 2 < count; i += 3, out += 3) {
        out[0] = at(i);
        out[1] = at(i + 1);
        out[2] = at(i + 2);
      }
      break;
    }
  }
}

}  // namespace gfx
