#include "platform/gfx/gl/draw_batch.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>
#include <tuple>
#include <utility>

#include "platform/gfx/gl/gl_device.h"
#include "platform/gfx/gl/gl_enums.h"

namespace gfx {

namespace {

const D3DXMATRIX& Identity() {
  static const D3DXMATRIX identity = [] {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
  }();
  return identity;
}

// Whether the fixed-function pipeline can take a world matrix as a CPU transform of
// positions: an affine one only (the last column 0, 0, 0, 1).
bool Affine(const D3DXMATRIX& world) {
  return world.m[0][3] == 0.0f && world.m[1][3] == 0.0f && world.m[2][3] == 0.0f && world.m[3][3] == 1.0f;
}

}  // namespace

Batcher::Batcher(GlDevice& device) : device_(device) {
  const char* noBatch = std::getenv("PE_NO_BATCH");
  enabled_ = !(noBatch && std::string_view(noBatch) == "1");
}

bool Batcher::Batchable(D3DPRIMITIVETYPE type, UINT count) const {
  if (!enabled_) return false;
  if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN) return false;
  if (count >= kDirectDrawVertices) return false;
  // The fixed-function pipeline's world goes onto the vertices as a 3D point transform.
  return device_.effect_ || Affine(device_.World());
}

// ---- the key ----------------------------------------------------------------------------------

BatchKey Batcher::CurrentKey(bool perVertex) const {
  static constexpr D3DRENDERSTATETYPE kStates[] = {
      D3DRS_ZENABLE,          D3DRS_ZWRITEENABLE, D3DRS_ZFUNC,
      D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,     D3DRS_DESTBLEND,
      D3DRS_BLENDOP,          D3DRS_CULLMODE,     D3DRS_FILLMODE,
      D3DRS_ALPHATESTENABLE,  D3DRS_ALPHAFUNC,    D3DRS_ALPHAREF,
      D3DRS_LIGHTING,         D3DRS_COLORVERTEX,  D3DRS_DIFFUSEMATERIALSOURCE,
      D3DRS_NORMALIZENORMALS, D3DRS_AMBIENT};
  static constexpr D3DSAMPLERSTATETYPE kSamplerStates[] = {
      D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER, D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV};
  static constexpr D3DTEXTURESTAGESTATETYPE kStageStates[] = {
      D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP, D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2};
  static_assert(std::size(kStates) == std::tuple_size_v<decltype(BatchKey::renderStates)>);
  const GlDevice& d = device_;
  BatchKey key;
  key.program = d.effect_ ? d.effect_->Program(d.technique_, perVertex) : nullptr;
  for (std::size_t i = 0; i < std::size(kStates); ++i) key.renderStates[i] = d.RenderState(kStates[i]);
  for (DWORD unit = 0; unit < 2; ++unit)
    for (std::size_t i = 0; i < std::size(kSamplerStates); ++i)
      key.samplers[unit * std::size(kSamplerStates) + i] = d.SamplerState(unit, kSamplerStates[i]);
  for (std::size_t i = 0; i < std::size(kStageStates); ++i) key.stage[i] = d.StageState(0, kStageStates[i]);
  key.textures = {d.GetTexture(0), d.GetTexture(1)};
  key.layout = d.Layout();
  key.stride = d.StreamStride();
  if (d.effect_) return key;
  key.view = d.View();
  key.projection = d.Projection();
  if (!d.RenderState(D3DRS_LIGHTING)) return key;
  const D3DLIGHT9& light = d.Light(0);
  const D3DMATERIAL9& mat = d.Material();
  key.lighting = {light.Direction.x, light.Direction.y, light.Direction.z, light.Diffuse.r, light.Diffuse.g,
                  light.Diffuse.b,   light.Diffuse.a,   light.Ambient.r,   light.Ambient.g, light.Ambient.b,
                  light.Ambient.a,   mat.Diffuse.r,     mat.Diffuse.g,     mat.Diffuse.b,   mat.Diffuse.a,
                  mat.Ambient.r,     mat.Ambient.g,     mat.Ambient.b,     mat.Ambient.a,   mat.Emissive.r,
                  mat.Emissive.g,    mat.Emissive.b,    mat.Emissive.a};
  key.lightEnabled = d.LightEnabled(0);
  return key;
}

int Batcher::DifferingParameter(int skip) {
  const auto& parameters = device_.effect_->Parameters();
  int found = -1;
  std::size_t offset = 0;
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const auto& p = parameters[i];
    const std::size_t at = std::exchange(offset, offset + p.values.size());
    if (static_cast<int>(i) == skip || revisions_[i] == p.revision) continue;
    if (std::memcmp(&values_[at], p.values.data(), p.values.size() * sizeof(float)) == 0) {
      revisions_[i] = p.revision;  // set back to the same values
      continue;
    }
    if (found != -1) return -2;
    found = static_cast<int>(i);
  }
  return found;
}

// ---- gathering ----------------------------------------------------------------------------------

void Batcher::Gather(const BatchGeometry::Source& drawn) {
  GlEffect* effect = device_.effect_;
  const std::size_t technique = device_.technique_;
  int perVertex = effect ? effect->PerVertexParameter(technique) : -1;
  BatchKey key = CurrentKey(perVertex >= 0);
  const bool sameState = !geometry_.Empty() && key == key_;
  const int differing =
      sameState && effect ? DifferingParameter(geometry_.PerVertexMatrix() ? perVertex : -1) : -1;
  if (!sameState || differing != -1 || geometry_.Vertices().size() >= kMaxBytes) {
    // Draws of an effect that differ in one matrix alone (a world matrix) can share a run
    // once the effect reads that matrix from the vertices.
    if (differing >= 0 && perVertex < 0 &&
        effect->TakePerVertex(technique, static_cast<std::size_t>(differing))) {
      perVertex = differing;
      key.program = effect->Program(technique, true);
    }
    device_.FlushBatch();
    Start(key, perVertex >= 0);
  }

  BatchGeometry::Source source = drawn;
  if (geometry_.PerVertexMatrix()) {
    source.matrix = effect->Parameters()[static_cast<std::size_t>(perVertex)].values.data();
  } else if (!effect) {
    // Vertices already in world space (trails) are copied as they are.
    if (!(device_.World() == Identity())) source.world = &device_.World();
    source.transformNormals = device_.RenderState(D3DRS_LIGHTING) != FALSE;
  }
  geometry_.Append(source);
}

void Batcher::Start(const BatchKey& key, bool perVertex) {
  GlEffect* effect = device_.effect_;
  GlProgram* program = effect ? effect->Program(device_.technique_, perVertex) : &device_.ffProgram_;
  device_.ApplyState(program, Identity());
  if (effect) {
    values_.clear();
    revisions_.clear();
    for (const auto& p : effect->Parameters()) {
      values_.insert(values_.end(), p.values.begin(), p.values.end());
      revisions_.push_back(p.revision);
    }
  }
  key_ = key;
  geometry_.Begin(key.layout, key.stride, perVertex, device_.RenderState(D3DRS_CULLMODE) == D3DCULL_NONE);
}

// ---- drawing ------------------------------------------------------------------------------------

void Batcher::Flush(GLuint* boundVao) {
  const auto placement =
      stream_.Write(geometry_.Vertices(), geometry_.Stride(), geometry_.Indices(), key_.layout,
                    geometry_.PerVertexMatrix() ? static_cast<int>(key_.stride) : -1, boundVao);
  if (geometry_.Unindexed()) {
    const auto count = static_cast<GLsizei>(geometry_.Vertices().size() / geometry_.Stride());
    glDrawArrays(PrimitiveMode(geometry_.UnindexedType()), placement.baseVertex, count);
  } else {
    glDrawElementsBaseVertex(GL_TRIANGLES, static_cast<GLsizei>(geometry_.Indices().size()), GL_UNSIGNED_INT,
                             reinterpret_cast<const void*>(placement.indexOffset), placement.baseVertex);
  }
  geometry_.Clear();
}

void Batcher::Destroy() {
  geometry_.Clear();
  stream_.Destroy();
}

}  // namespace gfx
