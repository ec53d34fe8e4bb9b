#include "particle/physics_grid.h"

#include <algorithm>

#include "particle/particle.h"

PhysicsGrid::PhysicsGrid() : cells_(std::make_unique<std::vector<CParticle*>[]>(kCells)) {}

// Particles filed here may outlive it: they reach it only through their emitter's id, which
// names nobody once the emitter has ended and freed its grids.
PhysicsGrid::~PhysicsGrid() = default;

int PhysicsGrid::FilingIndex(float coordinate) {
  // Compared as a float before any conversion: a huge or not-a-number coordinate from a
  // document has no integer, so it lands in an edge cell instead.
  const float cell = coordinate / static_cast<float>(kCellSize);
  if (!(cell >= 1.0f)) return 0;
  if (cell >= static_cast<float>(kCellsPerAxis - 1)) return kCellsPerAxis - 1;
  return static_cast<int>(cell);
}

int PhysicsGrid::QueryIndex(float coordinate) {
  constexpr float kSize = static_cast<float>(kCellSize);
  const float cell = (kSize * 0.5f + coordinate) / kSize;
  // Truncation towards zero puts (-1, 0) in the first cell.
  if (!(cell > -1.0f && cell < static_cast<float>(kCellsPerAxis))) return -1;
  return static_cast<int>(cell);
}

int PhysicsGrid::FilingCell(const D3DXVECTOR3& at) {
  return Flatten(FilingIndex(at.x), FilingIndex(at.y), FilingIndex(at.z));
}

PhysicsGrid::Id PhysicsGrid::Add(CParticle* particle) {
  const int cell = FilingCell(particle->GetPos());
  cells_[cell].push_back(particle);
  ++filed_;
  return filings_.Insert({particle, cell});
}

void PhysicsGrid::Unlist(const Filing& filing) {
  std::vector<CParticle*>& cell = cells_[filing.cell];
  const auto at = std::find(cell.begin(), cell.end(), filing.particle);
  if (at != cell.end()) cell.erase(at);
}

void PhysicsGrid::Remove(Id id) {
  const Filing* filing = filings_.Find(id);
  if (!filing) return;
  Unlist(*filing);
  filings_.Erase(id);
  --filed_;
}

void PhysicsGrid::Refile(Id id) {
  Filing* filing = filings_.Find(id);
  if (!filing) return;
  Unlist(*filing);
  filing->cell = FilingCell(filing->particle->GetPos());
  cells_[filing->cell].push_back(filing->particle);
}

CParticle* PhysicsGrid::Resolve(Id id) const {
  const Filing* filing = filings_.Find(id);
  return filing ? filing->particle : nullptr;
}

std::span<CParticle* const> PhysicsGrid::Query(const D3DXVECTOR3& at) const {
  const int x = QueryIndex(at.x), y = QueryIndex(at.y), z = QueryIndex(at.z);
  if (x < 0 || y < 0 || z < 0) return {};
  return cells_[Flatten(x, y, z)];
}

int PhysicsGrid::CellOf(Id id) const {
  const Filing* filing = filings_.Find(id);
  return filing ? filing->cell : -1;
}

std::size_t PhysicsGrid::Listings(const CParticle* particle) const {
  std::size_t found = 0;
  for (int i = 0; i < kCells; ++i)
    found += static_cast<std::size_t>(std::count(cells_[i].begin(), cells_[i].end(), particle));
  return found;
}

// ---- response ---------------------------------------------------------------------------------

D3DXVECTOR3 PhysicsResponse(PhysicsParams& physics, const D3DXVECTOR3& v, const D3DXVECTOR3& w) {
  switch (physics.PhysicsType) {
    case PHYSICS_NONE:
      return v;
    case PHYSICS_BOUNCE: {
      // Along the bounce normal, which no panel sets: with it at zero a bounce stops the particle.
      const D3DXVECTOR3& n = physics.BounceNormal;
      const float e = physics.ElasticityCoefficient;
      const float b = physics.BounceFactor;
      const float d = D3DXVec3Dot(&n, &v);
      const D3DXVECTOR3 result((v.x - e) * d * n.x * b, (v.y - e) * d * n.y * b, (v.z - e) * d * n.z * b);
      physics.BounceFactor *= 0.5f;  // each bounce is weaker than the last
      return result;
    }
    case PHYSICS_AIR: {
      // The difference to the partner's velocity, scaled by minus the drag: a positive drag
      // pushes the velocity away from the partner's, a negative one pulls it closer.
      const float k = -physics.DragCoefficient;
      const float f = physics.VectorFactor;
      return {v.x + (w.x - v.x) * k * f, v.y + (w.y - v.y) * k * f, v.z + (w.z - v.z) * k * f};
    }
    default:
      return {};
  }
}
