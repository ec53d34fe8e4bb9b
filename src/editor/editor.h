#pragma once
// The editor's data: its own copy of every effect, the tags it lists, which tag and which
// definition are selected, and the emission interval. Every frame the selected effect is
// copied into the manager's effect table, which the emitters read.

#include <string>
#include <vector>

#include "particle/particle_params.h"

class CEditor {
 public:
  static constexpr int kDefaultEmissionInterval = 150;

  // Fills the first effect, "Begin", and puts it in the effect table. Always 0.
  int Init();
  void Uninit() {}
  // One frame: the selected effect goes to the effect table. Returns the new showAnother.
  bool Update(bool show, bool showAnother);
  std::string GetTag() const { return CurrentTag; }

  // The definition every new effect starts from.
  static ParticleParams BeginDefinition();

  EffectTable Effects;
  std::vector<std::string> Tags;
  std::string CurrentTag;
  int TagIndex = 0;
  int ItemIndex = 0;
  int EmissionInterval = kDefaultEmissionInterval;
  bool MouseOverWindow = false;
  bool ShowMain = true;
  bool ShowAnother = false;
  // The 3D pointer stays hidden while set; it takes the pointer's visibility at the first
  // frame, so a pointer that starts visible is hidden from then on.
  bool PointerHidden = false;

 private:
  bool firstUpdate_ = true;
};
