#include "scene/object_pool.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <vector>

#include "platform/sanitizer_support.h"

#if defined(PE_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#define PE_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define PE_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define PE_POISON(p, n) ((void)(p), (void)(n))
#define PE_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

constexpr std::size_t kGranule = ObjectPool::kSlotAlignment;
constexpr std::size_t kClasses = 64;  // slots up to 4 KiB; larger objects use the heap
// Slabs are huge pages where the system offers them: a walk over 100,000 particles of
// nearly a kilobyte each would otherwise miss the address cache every few objects.
constexpr std::size_t kSlabBytes = 2 * 1024 * 1024;

struct SlabDeleter {
  void operator()(std::byte* slab) const { ::operator delete[](slab, std::align_val_t{kSlabBytes}); }
};
using Slab = std::unique_ptr<std::byte[], SlabDeleter>;

struct SizeClass {
  std::vector<Slab> slabs;
  std::vector<void*> free;  // freed slots, reused last-freed first (still warm in cache)
  std::size_t next = 0;     // first never-used slot of the newest slab
  std::size_t slotsPerSlab = 0;
};

struct Pool {
  std::array<std::array<SizeClass, kClasses>, 2> arenas;
  std::array<std::size_t, 2> live{};  // per arena
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

std::size_t ClassOf(std::size_t size) { return (size + kGranule - 1) / kGranule - 1; }

}  // namespace

void* ObjectPool::Allocate(std::size_t size, Arena arena) {
  Pool& pool = ThePool();
  const std::size_t index = ClassOf(size);
  if (size == 0 || index >= kClasses) return ::operator new(size, std::align_val_t{kGranule});
  SizeClass& c = pool.arenas[static_cast<std::size_t>(arena)][index];
  const std::size_t slot = (index + 1) * kGranule;
  void* pointer = nullptr;
  if (!c.free.empty()) {
    pointer = c.free.back();
    c.free.pop_back();
  } else {
    if (c.slabs.empty() || c.next == c.slotsPerSlab) {
      c.slotsPerSlab = std::max<std::size_t>(1, kSlabBytes / slot);
      c.slabs.push_back(
          Slab(static_cast<std::byte*>(::operator new[](kSlabBytes, std::align_val_t{kSlabBytes}))));
      madvise(c.slabs.back().get(), kSlabBytes, MADV_HUGEPAGE);
      PE_POISON(c.slabs.back().get(), c.slotsPerSlab * slot);
      c.next = 0;
    }
    pointer = c.slabs.back().get() + c.next++ * slot;
  }
  PE_UNPOISON(pointer, slot);
  ++pool.live[static_cast<std::size_t>(arena)];
  return pointer;
}

void ObjectPool::Free(void* pointer, std::size_t size, Arena arena) noexcept {
  if (!pointer) return;
  Pool& pool = ThePool();
  const std::size_t index = ClassOf(size);
  if (size == 0 || index >= kClasses) {
    ::operator delete(pointer, std::align_val_t{kGranule});
    return;
  }
  SizeClass& c = pool.arenas[static_cast<std::size_t>(arena)][index];
  // A freed slot is poisoned, so the sanitizer build still catches a use after the registry deleted it.
  PE_POISON(pointer, (index + 1) * kGranule);
  c.free.push_back(pointer);
  --pool.live[static_cast<std::size_t>(arena)];
}

std::size_t ObjectPool::LiveObjects(Arena arena) { return ThePool().live[static_cast<std::size_t>(arena)]; }
