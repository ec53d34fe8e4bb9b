#include "scene/object.h"

CObject::CObject(int priority) : priority_(priority) {
  ObjectLists& lists = Shared().objects;
  prev_ = lists.cur[priority_];
  if (prev_) {
    prev_->next_ = this;
  } else {
    lists.top[priority_] = this;
  }
  lists.cur[priority_] = this;
  ++lists.constructed[priority_];
  ++lists.linkedByType[ObjectLists::TypeSlot(type_)];
}

std::int64_t CObject::CountAll() {
  std::int64_t count = 0;
  for (const std::int64_t linked : Shared().objects.linkedByType) count += linked;
  return count;
}

void CObject::UpdateAll() {
  ObjectLists& lists = Shared().objects;
  std::vector<CObject*>& walked = lists.walked;
  for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority) {
    walked.clear();
    for (CObject* object = lists.top[priority]; object;) object = object->UpdateRun(walked);
    if (lists.dying[priority] == 0) continue;  // nothing to purge, so no Uninit to make more
    // Objects the tail's Update created were not visited, but are purged like the rest.
    for (CObject* object = walked.empty() ? nullptr : walked.back()->next_; object; object = object->next_)
      walked.push_back(object);
    PurgeWalked(lists, priority);
  }
}

CObject* CObject::UpdateRun(std::vector<CObject*>& walked) {
  CObject* next = next_;
  walked.push_back(this);
  if (!IsStopped()) Update();
  return next;
}

// Purges, in list order, the dead among the objects the walk collected, then among those
// their Uninit created meanwhile at the tail: the order a walk along the list would have.
// Reading the collected pointers in sequence lets the memory fetch many objects at once,
// where chasing the links fetches one after another.
void CObject::PurgeWalked(ObjectLists& lists, int priority) {
  const std::vector<CObject*>& walked = lists.walked;
  const std::uint64_t constructedBefore = lists.constructed[priority];
  constexpr std::size_t kAhead = 32;
  for (std::size_t i = 0; i < walked.size(); ++i) {
    if (i + kAhead < walked.size()) __builtin_prefetch(walked[i + kAhead]);
    PurgeIfDead(walked[i]);
  }
  std::uint64_t createdMeanwhile = lists.constructed[priority] - constructedBefore;
  if (createdMeanwhile == 0) return;
  CObject* object = lists.cur[priority];  // the newest objects end the list
  while (--createdMeanwhile > 0 && object->prev_) object = object->prev_;
  while (object) {
    CObject* next = object->next_;
    PurgeIfDead(object);
    object = next;
  }
}

void CObject::DrawAll() {
  ObjectLists& lists = Shared().objects;
  std::vector<CObject*>& run = lists.additiveRun;
  for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority) {
    for (CObject* object = lists.top[priority]; object; object = object->next_) {
      if (object->GetDrawGroup() != DrawGroup::kInOrder) {
        run.push_back(object);
        continue;
      }
      DrawAdditiveRun(run);
      if (!object->IsHidden()) object->Draw();
    }
    DrawAdditiveRun(run);
  }
}

void CObject::DrawAdditiveRun(std::vector<CObject*>& run) {
  // Hidden is asked at drawing time: a particle's draw shows or hides its trail.
  for (DrawGroup group : {DrawGroup::kAdditiveParticle, DrawGroup::kAdditiveTrail})
    for (CObject* object : run)
      if (object->GetDrawGroup() == group && !object->IsHidden()) object->Draw();
  run.clear();
}

void CObject::ReleaseAll() {
  ObjectLists& lists = Shared().objects;
  for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority) {
    for (CObject* object = lists.top[priority]; object;) {
      CObject* next = object->next_;
      object->Uninit();
      object = next;
    }
    for (CObject* object = lists.top[priority]; object;) {
      CObject* next = object->next_;
      PurgeIfDead(object);
      object = next;
    }
  }
}

void CObject::PurgeDead() {
  ObjectLists& lists = Shared().objects;
  for (bool purged = true; purged;) {
    purged = false;
    for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority) {
      for (CObject* object = lists.top[priority]; object;) {
        CObject* next = object->next_;
        purged = purged || object->IsDeath();
        PurgeIfDead(object);
        object = next;
      }
    }
  }
}

void CObject::PurgeIfDead(CObject* object) {
  if (!object->IsDeath()) return;
  ObjectLists& lists = Shared().objects;
  const int priority = object->priority_;
  --lists.dying[priority];
  if (object->prev_) {
    object->prev_->next_ = object->next_;
  } else {
    lists.top[priority] = object->next_;
  }
  if (object->next_) {
    object->next_->prev_ = object->prev_;
  } else {
    lists.cur[priority] = object->prev_;
  }
  --lists.linkedByType[ObjectLists::TypeSlot(object->type_)];
  object->Uninit();
  delete object;
}
