#include "scene/object.h"


CObject* CObject::top_[OBJECT_PRIORITY_MAX] = {};
CObject* CObject::cur_[OBJECT_PRIORITY_MAX] = {};

CObject::CObject(int priority) : priority_(priority) {
  prev_ = cur_[priority_];
  if (prev_) {
    prev_->next_ = this;
  } else {
    top_[priority_] = this;
  }
  cur_[priority_] = this;
}

void CObject::UpdateAll() {
  for (int priority = 0; priority < OBJECT_PRIORITY_MAX; ++priority) {
    // The next pointer is taken before Update, so an object may die, or create others at
    // the tail, without breaking the walk.
    for (CObject* object = top_[priority]; object;) {
      CObject* next = object->next_;
      if (!object->IsStopped()) object->Update();
      object = next;
    }
    for (CObject* object = top_[priority]; object;) {
      CObject* next = object->next_;
      PurgeIfDead(object);
      object = next;
    }
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
