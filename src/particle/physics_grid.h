#pragma once
// The collision grid of an emitter's physics particles: 20 cells a side over 0..5000 world
// units from the origin, each listing the particles filed in it in filing order. The grid
// remembers the cell of every particle it holds, so a particle is taken out of the cell it
// was filed in, wherever it moved since; particles hold each other as checked ids of the
// grid, which stop naming a particle once it has left.
// The collision response, which turns a collision into a new velocity, lives here too.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "effect/particle_params.h"
#include "platform/gfx/d3dx_math.h"
#include "scene/slot_table.h"

class CParticle;

class PhysicsGrid {
 public:
  static constexpr int kExtent = 5000;
  static constexpr int kCellSize = 250;
  static constexpr int kCellsPerAxis = kExtent / kCellSize;
  static constexpr int kCells = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;
  // Half the side of a particle's collision box, whatever its size.
  static constexpr float kHalfBox = 20.0f;

  // A filed particle, as long as it stays filed: a slot of the grid and that slot's generation.
  using Id = SlotId;

  PhysicsGrid();
  ~PhysicsGrid();
  PhysicsGrid(const PhysicsGrid&) = delete;
  PhysicsGrid& operator=(const PhysicsGrid&) = delete;

  // Files the particle in the cell of its position, clamped into the grid.
  Id Add(CParticle* particle);
  // Takes it out of the cell where it was filed, keeping the order of the rest; its id no
  // longer resolves. An id that names nobody is ignored.
  void Remove(Id id);
  // Takes it out and files it again, at the end of the cell of its position now.
  void Refile(Id id);
  CParticle* Resolve(Id id) const;
  // The particles a collision test at this point walks: the cell half a cell further on
  // each axis, not clamped; empty outside the grid. A view of the cell, valid until the
  // next change of the grid.
  std::span<CParticle* const> Query(const D3DXVECTOR3& at) const;

  // The cell index on one axis where a coordinate is filed (0 to 19), and where a query
  // looks (-1 outside the grid).
  static int FilingIndex(float coordinate);
  static int QueryIndex(float coordinate);
  // The cell a filed particle is listed in (x, y, z flattened), -1 for an id naming nobody.
  int CellOf(Id id) const;
  // Particles filed, and how many times a particle is listed in all cells together.
  std::size_t Filed() const { return filed_; }
  std::size_t Listings(const CParticle* particle) const;

 private:
  struct Filing {
    CParticle* particle = nullptr;
    int cell = -1;
  };
  static int Flatten(int x, int y, int z) { return (x * kCellsPerAxis + y) * kCellsPerAxis + z; }
  static int FilingCell(const D3DXVECTOR3& at);
  void Unlist(const Filing& filing);

  std::unique_ptr<std::vector<CParticle*>[]> cells_;
  SlotTable<Filing> filings_;
  std::size_t filed_ = 0;
};

// The velocity a particle takes from a collision, by its PhysicsType: v its own velocity this
// frame, w its partner's. A bounce halves the block's BounceFactor for the next one.
D3DXVECTOR3 PhysicsResponse(PhysicsParams& physics, const D3DXVECTOR3& v, const D3DXVECTOR3& w);
