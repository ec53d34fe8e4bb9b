#pragma once
// Base of every scene object, and the registry that owns them all: one intrusive doubly
// linked list per priority. Constructing an object links it; the registry alone deletes
// it, at a fixed point of the frame, once the object says it is dead.

#include <cstdint>
#include <new>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "platform/gfx/d3d_types.h"
#include "platform/gfx/d3dx_math.h"
#include "scene/object_pool.h"
#include "scene/shared_state.h"

class CObject {
 public:
  static constexpr int OBJECT_PRIORITY_MAX = ObjectLists::kLevels;
  static constexpr int kDefaultPriority = 2;

  explicit CObject(int priority = kDefaultPriority);
  virtual ~CObject() = default;
  // Scene objects live in the object pool; the registry is the one that deletes them.
  static void* operator new(std::size_t size) { return ObjectPool::Allocate(size); }
  static void operator delete(void* pointer, std::size_t size) noexcept { ObjectPool::Free(pointer, size); }
  // Pool slots start on a cache line, so objects with members aligned to one live there too.
  static void* operator new(std::size_t size, std::align_val_t alignment) {
    if (static_cast<std::size_t>(alignment) > ObjectPool::kSlotAlignment) throw std::bad_alloc();
    return ObjectPool::Allocate(size);
  }
  static void operator delete(void* pointer, std::size_t size, std::align_val_t) noexcept {
    ObjectPool::Free(pointer, size);
  }
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

  virtual HRESULT Init() = 0;
  virtual void Uninit() = 0;
  virtual void Update() = 0;
  virtual void Draw() = 0;
  // Dead objects are deleted by the registry at its next purge; nothing else deletes them.
  void SetDeath() {
    if (death_) return;
    death_ = true;
    ++Shared().objects.dying[priority_];
  }
  bool IsDeath() const { return death_; }
  virtual void Hide() { hidden_ = true; }
  virtual void Show() { hidden_ = false; }
  virtual void Stop() { stopped_ = true; }
  virtual void Resume() { stopped_ = false; }
  virtual void SetPos(D3DXVECTOR3 pos) = 0;
  virtual D3DXVECTOR3 GetPos() = 0;
  virtual bool IsStopped() { return stopped_; }
  virtual bool IsHidden() { return hidden_; }

  // Objects that blend additively and write no depth make the same picture in any order
  // among themselves (to the last bit of the blend's rounding). A run of them is drawn group
  // by group, particles and then trails, so the device meets long runs of one state instead
  // of a particle, its trail, the next particle, which breaks every batch.
  enum class DrawGroup { kInOrder, kAdditiveParticle, kAdditiveTrail };
  virtual DrawGroup GetDrawGroup() const { return DrawGroup::kInOrder; }

  int GetType() const { return type_; }
  int GetKind() const { return kind_; }
  int GetPriority() const { return priority_; }
  // How many objects of the type the registry holds (dead ones until their purge), without
  // walking the lists; the types from ObjectLists::kCountedTypes - 1 on are counted together.
  static std::int64_t CountOfType(int type) {
    return Shared().objects.linkedByType[ObjectLists::TypeSlot(type)];
  }
  static std::int64_t CountAll();

  // The registry's frame steps.
  static void UpdateAll();
  static void DrawAll();
  static void ReleaseAll();
  // Deletes every dead object now, and those that their ending marks dead in turn.
  static void PurgeDead();

  // For inspection (tests, tools): the head of a level's list and an object's neighbours.
  static CObject* Head(int priority) { return Shared().objects.top[priority]; }
  static CObject* Tail(int priority) { return Shared().objects.cur[priority]; }
  CObject* Prev() const { return prev_; }
  CObject* Next() const { return next_; }

 protected:
  void SetType(int type) {
    auto& counts = Shared().objects.linkedByType;
    --counts[ObjectLists::TypeSlot(type_)];
    ++counts[ObjectLists::TypeSlot(type)];
    type_ = type;
  }
  void SetKind(int kind) { kind_ = kind; }

  // The registry's walk from this object: records it among the walked, updates it unless it
  // is stopped and returns the object after it, read before the update (so an object may die,
  // or create others at the tail, without breaking the walk). A class with thousands of
  // objects overrides it with UpdateRunOf, which walks on through its neighbours of the same
  // class in one call.
  virtual CObject* UpdateRun(std::vector<CObject*>& walked);
  // The same walk over this object and the neighbours after it of its class T (a final one),
  // running step(object), T's Update, on each: no virtual call an object, and the update
  // inlined into the loop. Visits exactly what the walk one object at a time visits, in the
  // same order.
  template <typename T, typename Step>
  static CObject* UpdateRunOf(T* object, std::vector<CObject*>& walked, Step step) {
    static_assert(std::is_final_v<T>, "a run holds the class itself, never one derived from it");
    for (;;) {
      CObject* next = object->next_;
      walked.push_back(object);
      if (!object->IsStopped()) step(object);
      if (!next || typeid(*next) != typeid(T)) return next;
      object = static_cast<T*>(next);
    }
  }

 private:
  static void PurgeIfDead(CObject* object);
  static void PurgeWalked(ObjectLists& lists, int priority);
  static void DrawAdditiveRun(std::vector<CObject*>& run);

  CObject* prev_ = nullptr;
  CObject* next_ = nullptr;
  int type_ = 0;
  int kind_ = 0;
  int priority_;
  bool stopped_ = false;
  bool hidden_ = false;
  bool death_ = false;
};
