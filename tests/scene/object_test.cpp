#include "scene/object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// A scene object that records what the registry does to it.
class Probe : public CObject {
 public:
  explicit Probe(std::string name, std::vector<std::string>* log, int priority = kDefaultPriority)
      : CObject(priority), name_(std::move(name)), log_(log) {}
  ~Probe() override { log_->push_back("delete " + name_); }

  HRESULT Init() override { return S_OK; }
  void Uninit() override {
    log_->push_back("uninit " + name_);
    SetDeath();
    if (onUninit) std::exchange(onUninit, nullptr)();
  }
  void Update() override {
    log_->push_back("update " + name_);
    if (onUpdate) onUpdate();
  }
  void Draw() override {
    log_->push_back("draw " + name_);
    if (onDraw) onDraw();
  }
  DrawGroup GetDrawGroup() const override { return group; }
  void SetPos(D3DXVECTOR3 pos) override { pos_ = pos; }
  D3DXVECTOR3 GetPos() override { return pos_; }

  std::function<void()> onUpdate;
  std::function<void()> onUninit;
  std::function<void()> onDraw;
  DrawGroup group = DrawGroup::kInOrder;

 private:
  std::string name_;
  std::vector<std::string>* log_;
  D3DXVECTOR3 pos_;
};

// Walks its runs of neighbours in one call, as particles do, counting the calls.
class RunProbe final : public Probe {
 public:
  RunProbe(std::string name, std::vector<std::string>* log, int* runs)
      : Probe(std::move(name), log), runs_(runs) {}

 protected:
  CObject* UpdateRun(std::vector<CObject*>& walked) override {
    ++*runs_;
    return UpdateRunOf(this, walked, [](RunProbe* probe) { probe->Probe::Update(); });
  }

 private:
  int* runs_;
};

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { CObject::ReleaseAll(); }

  // Walks every level from head to tail, checking the back links on the way.
  std::vector<CObject*> Walk(int priority = CObject::kDefaultPriority) {
    std::vector<CObject*> objects;
    CObject* previous = nullptr;
    for (CObject* o = CObject::Head(priority); o; o = o->Next()) {
      EXPECT_EQ(o->Prev(), previous);
      objects.push_back(o);
      previous = o;
    }
    EXPECT_EQ(CObject::Tail(priority), previous);
    return objects;
  }

  std::vector<std::string> log_;
};

TEST_F(RegistryTest, ConstructionAppendsAtTheTailOfItsLevel) {
  auto* a = new Probe("a", &log_);
  auto* b = new Probe("b", &log_);
  auto* other = new Probe("other", &log_, 0);
  EXPECT_EQ(Walk(), (std::vector<CObject*>{a, b}));
  EXPECT_EQ(Walk(0), (std::vector<CObject*>{other}));
  EXPECT_EQ(a->GetPriority(), 2);
  EXPECT_EQ(a->GetType(), 0);
  EXPECT_FALSE(a->IsStopped());
  EXPECT_FALSE(a->IsHidden());
}

// The counts by type follow objects as they are made, take their type and are purged, on
// every level; types past the counted ones share the last slot.
TEST_F(RegistryTest, CountsItsObjectsByTypeWithoutWalking) {
  class Typed final : public Probe {
   public:
    Typed(int type, std::vector<std::string>* log, int priority) : Probe("typed", log, priority) {
      SetType(type);
    }
  };
  const int last = ObjectLists::kCountedTypes - 1;
  const std::int64_t untyped = CObject::CountOfType(0), all = CObject::CountAll();
  Typed* a = new Typed(3, &log_, 0);
  new Typed(3, &log_, 4);
  new Typed(last, &log_, 2);
  new Typed(last + 5, &log_, 2);
  new Probe("plain", &log_);
  EXPECT_EQ(CObject::CountOfType(3), 2);
  EXPECT_EQ(CObject::CountOfType(last), 2);
  EXPECT_EQ(CObject::CountOfType(last + 9), 2);
  EXPECT_EQ(CObject::CountOfType(0), untyped + 1);
  EXPECT_EQ(CObject::CountAll(), all + 5);
  a->SetDeath();
  EXPECT_EQ(CObject::CountOfType(3), 2) << "until the purge";
  CObject::UpdateAll();
  EXPECT_EQ(CObject::CountOfType(3), 1);
  CObject::ReleaseAll();
  EXPECT_EQ(CObject::CountAll(), 0);
}

TEST_F(RegistryTest, LevelsAreVisitedInAscendingOrder) {
  new Probe("two", &log_, 2);
  new Probe("zero", &log_, 0);
  new Probe("four", &log_, 4);
  CObject::UpdateAll();
  CObject::DrawAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"update zero", "update two", "update four", "draw zero",
                                            "draw two", "draw four"}));
}

TEST_F(RegistryTest, PurgeKeepsListsConsistentWhateverIsRemoved) {
  struct Case {
    const char* name;
    std::vector<int> kill;
    std::vector<int> survivors;
  };
  const Case cases[] = {
      {"head", {0}, {1, 2}},       {"tail", {2}, {0, 1}},         {"middle", {1}, {0, 2}},
      {"all", {0, 1, 2}, {}},      {"head and tail", {0, 2}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Probe*> probes;
    for (int i = 0; i < 3; ++i) probes.push_back(new Probe(std::to_string(i), &log_));
    for (int i : c.kill) probes[i]->SetDeath();
    CObject::UpdateAll();
    std::vector<CObject*> expected;
    for (int i : c.survivors) expected.push_back(probes[i]);
    EXPECT_EQ(Walk(), expected);
    CObject::ReleaseAll();
    EXPECT_EQ(CObject::Head(2), nullptr);
  }

  auto* only = new Probe("only", &log_);
  only->SetDeath();
  CObject::UpdateAll();
  EXPECT_EQ(CObject::Head(2), nullptr);
  EXPECT_EQ(CObject::Tail(2), nullptr);
  // A level emptied by purging accepts new objects as head and tail again.
  auto* fresh = new Probe("fresh", &log_);
  EXPECT_EQ(Walk(), (std::vector<CObject*>{fresh}));
}

TEST_F(RegistryTest, DeadObjectIsUninitialisedAndDeletedAfterTheWholeLevelUpdated) {
  auto* a = new Probe("a", &log_);
  new Probe("b", &log_);
  a->onUpdate = [a] { a->SetDeath(); };
  CObject::UpdateAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"update a", "update b", "uninit a", "delete a"}));
}

TEST_F(RegistryTest, ObjectKilledByAnotherDuringTheWalkIsStillUpdatedThenPurged) {
  auto* a = new Probe("a", &log_);
  auto* b = new Probe("b", &log_);
  a->onUpdate = [b] { b->SetDeath(); };
  CObject::UpdateAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"update a", "update b", "uninit b", "delete b"}));
}

// Objects made after the walk passed (by the tail's Update, or by an Uninit during the purge)
// are not updated in this frame, but a dead one among them is still purged in it, after
// every object that was walked; an Uninit kills later objects in time for this purge.
TEST_F(RegistryTest, PurgeReachesObjectsMadeAfterTheWalkInListOrder) {
  auto* a = new Probe("a", &log_);
  new Probe("b", &log_);
  auto* c = new Probe("c", &log_);
  auto* tail = new Probe("tail", &log_);
  a->onUpdate = [a] { a->SetDeath(); };
  a->onUninit = [this, c] {
    (new Probe("born in purge", &log_))->SetDeath();
    new Probe("other level", &log_, CObject::kDefaultPriority + 1);
    c->SetDeath();
  };
  tail->onUpdate = [this, tail] {
    (new Probe("born to the tail", &log_))->SetDeath();
    tail->onUpdate = nullptr;
  };
  CObject::UpdateAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"update a", "update b", "update c", "update tail", "uninit a",
                                            "delete a", "uninit c", "delete c", "uninit born to the tail",
                                            "delete born to the tail", "uninit born in purge",
                                            "delete born in purge", "update other level"}));
  EXPECT_EQ(Walk().size(), 2u);
}

TEST_F(RegistryTest, ObjectCreatedDuringTheWalkIsUpdatedInTheSamePass) {
  auto* a = new Probe("a", &log_);
  new Probe("b", &log_);
  a->onUpdate = [this, a] {
    new Probe("child of a", &log_);
    a->onUpdate = nullptr;
  };
  CObject::UpdateAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"update a", "update b", "update child of a"}));
}

TEST_F(RegistryTest, ObjectCreatedByTheTailWaitsForTheNextPass) {
  new Probe("a", &log_);
  auto* b = new Probe("b", &log_);
  b->onUpdate = [this, b] {
    new Probe("child of b", &log_);
    b->onUpdate = nullptr;
  };
  CObject::UpdateAll();
  // b's next pointer was remembered as null before it made the child.
  EXPECT_EQ(log_, (std::vector<std::string>{"update a", "update b"}));
  log_.clear();
  CObject::UpdateAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"update a", "update b", "update child of b"}));
}

TEST_F(RegistryTest, DeathMarkedAfterUpdateAllIsDrawnThatFrameAndPurgedNextFrame) {
  auto* a = new Probe("a", &log_);
  CObject::UpdateAll();
  a->SetDeath();  // as the editor does after the registry's update
  log_.clear();
  CObject::DrawAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"draw a"}));
  CObject::UpdateAll();
  EXPECT_EQ(CObject::Head(2), nullptr);
}

TEST_F(RegistryTest, StoppedObjectsAreDrawnNotUpdatedAndHiddenOnesTheReverse) {
  auto* stopped = new Probe("stopped", &log_);
  auto* hidden = new Probe("hidden", &log_);
  stopped->Stop();
  hidden->Hide();
  CObject::UpdateAll();
  CObject::DrawAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"update hidden", "draw stopped"}));
  log_.clear();
  stopped->Resume();
  hidden->Show();
  CObject::UpdateAll();
  CObject::DrawAll();
  EXPECT_EQ(log_,
            (std::vector<std::string>{"update stopped", "update hidden", "draw stopped", "draw hidden"}));
}

// Additive objects in a row draw particles first, then trails, each in list order; any
// other object ends the row where it stands, and so does the end of a level. A particle's
// draw may show its trail: hidden is asked when the trail's turn comes.
TEST_F(RegistryTest, RunsOfAdditiveObjectsDrawParticlesThenTrailsAndOthersKeepTheirPlace) {
  using Group = CObject::DrawGroup;
  auto make = [this](const char* name, Group group, int priority = CObject::kDefaultPriority) {
    auto* probe = new Probe(name, &log_, priority);
    probe->group = group;
    return probe;
  };
  auto* p1 = make("p1", Group::kAdditiveParticle);
  auto* t1 = make("t1", Group::kAdditiveTrail);
  make("p2", Group::kAdditiveParticle);
  make("t2", Group::kAdditiveTrail);
  make("mesh", Group::kInOrder);
  make("t3", Group::kAdditiveTrail);
  make("p3", Group::kAdditiveParticle);
  make("t4", Group::kAdditiveTrail, 3);
  make("p4", Group::kAdditiveParticle, 3);
  t1->Hide();
  p1->onDraw = [t1] { t1->Show(); };
  CObject::DrawAll();
  EXPECT_EQ(log_, (std::vector<std::string>{"draw p1", "draw p2", "draw t1", "draw t2", "draw mesh",
                                            "draw p3", "draw t3", "draw p4", "draw t4"}));
  log_.clear();
  p1->onDraw = [t1] { t1->Hide(); };
  CObject::DrawAll();
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "draw t1"), 0);
}

// ---- runs of one class ---------------------------------------------------------------------

// Objects whose class walks its runs in one call are walked exactly as objects one at a time
// are: the same updates in the same order, over three passes with a death, births in the
// middle of the list and at its tail, a stop and objects of another class in between.
TEST_F(RegistryTest, RunsOfOneClassAreWalkedAsObjectsOneAtATimeAre) {
  using Make = std::function<Probe*(const std::string&)>;
  const auto play = [this](const Make& make) {
    log_.clear();
    Probe* a = make("a");
    Probe* b = make("b");
    Probe* c = make("c");
    new Probe("other class", &log_);
    Probe* d = make("d");
    Probe* e = make("e");
    int pass = 0;
    a->onUpdate = [&pass, a, c] {
      if (pass == 1) c->SetDeath();  // still updated in this pass, then purged
      if (pass == 2) a->SetDeath();
    };
    b->onUpdate = [&pass, &make, b] {
      if (pass != 1) return;
      Probe* child = make("child of b");  // at the tail, and reached in this pass
      child->onUpdate = [&pass, &make] {
        if (pass == 2) make("child of the tail");  // after the tail: waits for the next pass
      };
      b->onUpdate = nullptr;
    };
    d->onUpdate = [&pass, e] { pass == 1 ? e->Stop() : e->Resume(); };  // e skipped in pass 1 alone
    for (pass = 1; pass <= 3; ++pass) {
      log_.push_back("pass " + std::to_string(pass));
      CObject::UpdateAll();
    }
    std::vector<std::string> walked;
    for (CObject* o = CObject::Head(CObject::kDefaultPriority); o; o = o->Next())
      walked.push_back(o == a || o == b || o == d || o == e ? "kept" : "made");
    CObject::ReleaseAll();
    return std::pair(log_, walked);
  };
  const auto oneAtATime = play([this](const std::string& name) { return new Probe(name, &log_); });
  ASSERT_EQ(std::count(oneAtATime.first.begin(), oneAtATime.first.end(), "update e"), 2);
  ASSERT_EQ(std::count(oneAtATime.first.begin(), oneAtATime.first.end(), "update child of the tail"), 1);

  int runs = 0;
  EXPECT_EQ(play([&](const std::string& name) { return new RunProbe(name, &log_, &runs); }), oneAtATime);
  int made = 0;
  const auto mixed = play([&](const std::string& name) -> Probe* {
    if (made++ % 2 == 0) return new Probe(name, &log_);
    return new RunProbe(name, &log_, &runs);
  });
  EXPECT_EQ(mixed, oneAtATime);
}

TEST_F(RegistryTest, NeighboursOfOneClassAreOneCallAndAnotherClassEndsTheRun) {
  int runs = 0;
  for (const char* name : {"a", "b", "c"}) new RunProbe(name, &log_, &runs);
  new Probe("plain", &log_);
  for (const char* name : {"d", "e"}) new RunProbe(name, &log_, &runs);
  CObject::UpdateAll();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(log_, (std::vector<std::string>{"update a", "update b", "update c", "update plain", "update d",
                                            "update e"}));
}

// A walk purges only when something of its level died; a death on a level already walked is
// purged by the next walk, not forgotten.
TEST_F(RegistryTest, DeathOnALevelAlreadyWalkedIsPurgedByTheNextWalk) {
  auto* low = new Probe("low", &log_, 0);
  auto* high = new Probe("high", &log_, 3);
  high->onUpdate = [low, high] {
    low->SetDeath();
    low->SetDeath();  // twice is still one death
    high->onUpdate = nullptr;
  };
  CObject::UpdateAll();
  EXPECT_EQ(Walk(0), (std::vector<CObject*>{low}));
  CObject::UpdateAll();
  EXPECT_EQ(Walk(0), std::vector<CObject*>{});
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "delete low"), 1);
  auto* later = new Probe("later", &log_, 0);
  later->SetDeath();
  CObject::UpdateAll();
  EXPECT_EQ(Walk(0), std::vector<CObject*>{}) << "the count of the dying is back to its own";
}

TEST_F(RegistryTest, ReleaseAllUninitialisesAndDeletesEveryObjectOnEveryLevel) {
  const std::size_t liveBefore = ObjectPool::LiveObjects();
  for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority)
    new Probe(std::string("p").append(std::to_string(priority)), &log_, priority);
  CObject::ReleaseAll();
  for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority) {
    EXPECT_EQ(CObject::Head(priority), nullptr);
    EXPECT_EQ(CObject::Tail(priority), nullptr);
  }
  int deletes = 0;
  for (const auto& line : log_) deletes += line.rfind("delete", 0) == 0;
  EXPECT_EQ(deletes, CObject::OBJECT_PRIORITY_MAX);
  EXPECT_EQ(ObjectPool::LiveObjects(), liveBefore) << "every slot went back to the pool";
  // The purge calls Uninit again on an object that already released itself; that must be harmless.
  EXPECT_EQ(log_[0], "uninit p0");
}

// Objects with members aligned to a cache line get one from the pool, whatever their size,
// and the registry gives their slots back.
TEST_F(RegistryTest, ObjectsAlignedToACacheLineAreAlignedWhateverTheirSize) {
  struct alignas(64) Small : Probe {
    using Probe::Probe;
    char bytes[8];
  };
  struct alignas(64) Large : Probe {
    using Probe::Probe;
    char bytes[8192];  // beyond the pool's size classes
  };
  const std::size_t liveBefore = ObjectPool::LiveObjects();
  CObject* small = new Small("small", &log_);
  CObject* large = new Large("large", &log_);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(small) % 64, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(large) % 64, 0u);
  EXPECT_EQ(ObjectPool::LiveObjects(), liveBefore + 1) << "the large one comes from the heap";
  CObject::ReleaseAll();
  EXPECT_EQ(ObjectPool::LiveObjects(), liveBefore);
}

// What objects keep apart comes from slabs of its own, never from a slot an object left
// (nor an object from a part's): the objects a frame walks stay side by side.
TEST_F(RegistryTest, PartsKeptApartNeverTakeTheObjectsSlots) {
  struct Part {
    char bytes[sizeof(Probe)];
  };
  const std::size_t objectsBefore = ObjectPool::LiveObjects();
  const std::size_t partsBefore = ObjectPool::LiveObjects(ObjectPool::Arena::kApart);
  const void* objectSlot = new Probe("p", &log_);
  CObject::ReleaseAll();
  PoolPtr<Part> part = MakePooled<Part>();
  EXPECT_NE(static_cast<const void*>(part.get()), objectSlot);
  EXPECT_EQ(ObjectPool::LiveObjects(ObjectPool::Arena::kApart), partsBefore + 1);
  EXPECT_EQ(ObjectPool::LiveObjects(), objectsBefore);
  const void* partSlot = part.get();
  part.reset();
  EXPECT_NE(static_cast<const void*>(new Probe("q", &log_)), partSlot);
  CObject::ReleaseAll();
  EXPECT_EQ(ObjectPool::LiveObjects(), objectsBefore);
  EXPECT_EQ(ObjectPool::LiveObjects(ObjectPool::Arena::kApart), partsBefore);
}

}  // namespace
