#include "scene/object.h"

CObject* CObject::top_[OBJECT_PRIORITY_MAX] = {};
CObject* CObject::cur_[OBJECT_PRIORITY_MAX] = {};
std::vector<CObject*> CObject::walked_;
std::uint64_t CObject::constructed_[OBJECT_PRIORITY_MAX] = {};

CObject::CObject(int priority) : priority_(priority) {
  prev_ = cur_[priority_];
  if (prev_) {
    prev_->next_ = this;
  } else {
    top_[priority_] = this;
  }
  cur_[priority_] = this;
  ++constructed_[priority_];
}

void CObject::UpdateAll() {
  for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority) {
    // The next pointer is taken before Update, so an object may die, or create others at
    // the tail, without breaking the walk.
    walked_.clear();
    CObject* last = nullptr;
    for (CObject* object = top_[priority]; object;) {
      CObject* next = object->next_;
      walked_.push_back(object);
      if (!object->IsStopped()) object->Update();
      last = object;
      object = next;
    }
    // Objects the tail's Update created were not visited, but are purged like the rest.
    for (CObject* object = last ? last->next_ : nullptr; object; object = object->next_) walked_.push_back(object);
    PurgeWalked(priority);
  }
}

// Purges, in list order, the dead among the objects the walk collected, then among those
// their Uninit created meanwhile at the tail: the order a walk along the list would have.
// Reading the collected pointers in sequence lets the memory fetch many objects at once,
// where chasing the links fetches one after another.
void CObject::PurgeWalked(int priority) {
  const std::uint64_t constructedBefore = constructed_[priority];
  constexpr std::size_t kAhead = 8;
  for (std::size_t i = 0; i < walked_.size(); ++i) {
    if (i + kAhead < walked_.size()) __builtin_prefetch(walked_[i + kAhead]);
    PurgeIfDead(walked_[i]);
  }
  std::uint64_t createdMeanwhile = constructed_[priority] - constructedBefore;
  if (createdMeanwhile == 0) return;
  CObject* object = cur_[priority];  // the newest objects end the list
  while (--createdMeanwhile > 0 && object->prev_) object = object->prev_;
  while (object) {
    CObject* next = object->next_;
    PurgeIfDead(object);
    object = next;
  }
}

void CObject::DrawAll() {
  for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority)
    for (CObject* object = top_[priority]; object; object = object->next_)
      if (!object->IsHidden()) object->Draw();
}

void CObject::ReleaseAll() {
  for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority) {
    for (CObject* object = top_[priority]; object;) {
      CObject* next = object->next_;
      object->Uninit();
      object = next;
    }
    for (CObject* object = top_[priority]; object;) {
      CObject* next = object->next_;
      PurgeIfDead(object);
      object = next;
    }
  }
}

void CObject::PurgeIfDead(CObject* object) {
  if (!object->IsDeath()) return;
  const int priority = object->priority_;
  if (object->prev_) {
    object->prev_->next_ = object->next_;
  } else {
    top_[priority] = object->next_;
  }
  if (object->next_) {
    object->next_->prev_ = object->prev_;
  } else {
    cur_[priority] = object->prev_;
  }
  object->Uninit();
  delete object;
}
