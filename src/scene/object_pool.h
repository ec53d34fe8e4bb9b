#pragma once
// Where scene objects live: slabs of equal-sized slots per size class, so the thousands of
// particles an effect makes and drops every second sit close together in memory instead of
// scattered over the heap by churn. Only the registry deletes scene objects, through
// CObject's operator delete.

#include <cstddef>
#include <memory>

class ObjectPool {
 public:
  // Every pointer handed out starts on a cache line: objects never share one.
  static constexpr std::size_t kSlotAlignment = 64;

  // Scene objects and what they keep apart come from separate slabs, so the objects a frame
  // walks lie next to each other, not between their owners' seldom-read parts.
  enum class Arena { kObjects, kApart };

  static void* Allocate(std::size_t size, Arena arena = Arena::kObjects);
  static void Free(void* pointer, std::size_t size, Arena arena = Arena::kObjects) noexcept;
  // Slots of an arena handed out and not yet freed, for tests and benchmarks.
  static std::size_t LiveObjects(Arena arena = Arena::kObjects);
};

// Pool storage for what an object keeps apart from itself (what its frames seldom read), so
// the objects a frame walks stay few cache lines each, side by side. Released with its owner.
template <typename T>
struct PoolDeleter {
  void operator()(T* pointer) const noexcept {
    std::destroy_at(pointer);
    ObjectPool::Free(pointer, sizeof(T), ObjectPool::Arena::kApart);
  }
};
template <typename T>
using PoolPtr = std::unique_ptr<T, PoolDeleter<T>>;

template <typename T>
PoolPtr<T> MakePooled() {
  static_assert(alignof(T) <= ObjectPool::kSlotAlignment);
  return PoolPtr<T>(
      std::construct_at(static_cast<T*>(ObjectPool::Allocate(sizeof(T), ObjectPool::Arena::kApart))));
}
