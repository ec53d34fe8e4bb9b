#pragma once
// Where scene objects live: slabs of equal-sized slots per size class, so the thousands of
// particles an effect makes and drops every second sit close together in memory instead of
// scattered over the heap by churn. Only the registry deletes scene objects, through
// CObject's operator delete.

#include <cstddef>

class ObjectPool {
 public:
  // Every pointer handed out starts on a cache line: objects never share one.
  static constexpr std::size_t kSlotAlignment = 64;

  static void* Allocate(std::size_t size);
  static void Free(void* pointer, std::size_t size) noexcept;
  // Slots handed out and not yet freed, for tests and benchmarks.
  static std::size_t LiveObjects();
};
