#pragma once
// Where the editor's widgets are when the real program draws them, and the drives that build
// the effects the picture tests look at. The windows always open in the same places:
// "Particles" at (60,60), 500x600, with the "Movement" section opened first.

#include "editor_session.h"

namespace e2e {

// The main window.
constexpr Point kPlusButton{322, 170};
constexpr Point kSecondItem{138, 186};
// The particle icon where "Particles", once open, does not take the click (its border reaches
// a few pixels past its edge at x = 60).
constexpr Point kParticleIconClearOfPanel{30, 272};
constexpr Point kParticleIcon{58, 272};
constexpr Point kMovementHeader{310, 166};
constexpr Point kObjectTypeCombo{230, 96};
constexpr Point kObjectMeshEntry{230, 138};
// Billboard panel, "Movement" open.
constexpr Point kBehaviorCombo{230, 188};
constexpr Point kBehaviorNoneEntry{230, 209};
constexpr Point kBehaviorCircleEntry{230, 230};
constexpr Point kMoveAttenuation{230, 258};
constexpr Point kBillboardQuantity{150, 583};  // below the "Plot" header
constexpr Point kUpVector{230, 234};
// Billboard panel, "Movement" closed again.
constexpr Point kUseTrail{111, 426};
constexpr Point kTrailWidth{230, 449};
// Mesh panel, "Movement" open.
constexpr Point kEnableShader{114, 120};
constexpr Point kModelCombo{230, 142};
constexpr Point kCubeEntry{230, 184};
constexpr int kScaleColumns[3] = {120, 230, 340};
constexpr int kScaleRow = 422;
constexpr Point kRotate{230, 468};
// The same with "Use Texture" set and "Create" opened.
constexpr Point kUseTexture{118, 166};
constexpr Point kTextureCombo{230, 188};
constexpr Point kRingTextureEntry{230, 264};
constexpr Point kUVMovementU{148, 212};
constexpr Point kCreateHeader{304, 258};
constexpr Point kPosOffsetY{230, 304};
constexpr int kTexturedScaleRow = 560;

inline void OpenPanel(EditorSession& editor) {
  editor.Click(kParticleIcon);
  editor.Click(kMovementHeader);
}

// A mesh definition of CUBE models about 40 pixels across at the pointer: turned so that the
// light, from above and +x, shows on two of the faces in view.
inline void MakeLitCubesInOpenPanel(EditorSession& editor) {
  editor.Click(kObjectTypeCombo);
  editor.Click(kObjectMeshEntry);
  editor.Click(kModelCombo);
  editor.Click(kCubeEntry);
  // Drags of 0.1 per pixel (the library ignores the first pixels of a drag): about 13.
  for (const int column : kScaleColumns) editor.Drag({column, kScaleRow}, 130);
  editor.Drag(kRotate, 20);  // 0.01 per pixel: a turn of about 300 degrees by the picture
  editor.MoveAway();
}

inline void MakeLitCubes(EditorSession& editor) {
  OpenPanel(editor);
  MakeLitCubesInOpenPanel(editor);
}

// The same cubes drawn through the effect with the "RING" texture scrolling along u. The effect
// scales the position with the model, so the cubes are moved down to the floor's centre first.
inline void MakeScrollingCubes(EditorSession& editor) {
  OpenPanel(editor);
  editor.Click(kObjectTypeCombo);
  editor.Click(kObjectMeshEntry);
  editor.Click(kModelCombo);
  editor.Click(kCubeEntry);
  editor.Click(kEnableShader);
  editor.Click(kUseTexture);
  editor.Click(kTextureCombo);
  editor.Click(kRingTextureEntry);
  // 0.001 per pixel: about 0.013, so that five cubes move it 0.65 of a repeat in ten frames
  // (a tenth of a repeat per frame would bring the same picture back every ten frames).
  editor.Drag(kUVMovementU, 13);
  editor.Click(kCreateHeader);
  editor.Drag(kPosOffsetY, -100);
  for (const int column : kScaleColumns) editor.Drag({column, kTexturedScaleRow}, 130);
  editor.MoveAway();
}

// Five flares spreading on a rising cone from the pointer, each dragging a trail 2 wide.
inline void MakeRisingTrails(EditorSession& editor) {
  OpenPanel(editor);
  editor.Click(kBehaviorCombo);
  editor.Click(kBehaviorCircleEntry);
  editor.Enter(kMoveAttenuation, "3");
  editor.Enter(kUpVector, "0.5");
  editor.Click(kMovementHeader);
  editor.Click(kUseTrail);
  editor.Enter(kTrailWidth, "2");
  editor.MoveAway();
}

}  // namespace e2e
