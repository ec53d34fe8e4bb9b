#include "scene/shared_state.h"

namespace {

struct SharedHome {
  SharedState own;
  SharedState* active = &own;
};

SharedHome& Home() {
  static SharedHome home;
  return home;
}

}  // namespace

SharedState& Shared() { return *Home().active; }

SharedStateScope::SharedStateScope(SharedState& state) : previous_(Home().active) { Home().active = &state; }

SharedStateScope::~SharedStateScope() { Home().active = previous_; }
