#include "scene/shared_state.h"

SharedState& Shared() {
  static SharedState state;
  return state;
}
