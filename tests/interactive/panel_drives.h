#pragma once
// Where the editor's widgets are when the real program draws them, and the drives that build
// the effects the picture tests look at. The windows always open in the same places:
// "Particles" at kPanelWindow, 500x600, with the "Movement" section opened first.

#include "editor_session.h"

namespace e2e {

// The main window.
constexpr Point kPlusButton{322, 170};
constexpr Point kSecondItem{138, 186};
// The particle icon, clear of "Particles" once it is open.
constexpr Point kParticleIconClearOfPanel{30, 272};
constexpr Point kParticleIcon{58, 272};
constexpr Point kMovementHeader = InPanel(250, 106);
constexpr Point kObjectTypeCombo = InPanel(170, 36);
constexpr Point kObjectMeshEntry = InPanel(170, 78);
// Billboard panel, "Movement" open.
constexpr Point kBehaviorCombo = InPanel(170, 128);
constexpr Point kBehaviorNoneEntry = InPanel(170, 149);
constexpr Point kBehaviorCircleEntry = InPanel(170, 170);
constexpr Point kMoveAttenuation = InPanel(170, 198);
constexpr Point kBillboardQuantity = InPanel(90, 523);  // below the "Plot" header
constexpr Point kUpVector = InPanel(170, 174);
// Billboard panel, "Movement" closed again.
constexpr Point kUseTrail = InPanel(51, 366);
constexpr Point kTrailWidth = InPanel(170, 389);
// Mesh panel, "Movement" open.
constexpr Point kEnableShader = InPanel(54, 60);
constexpr Point kModelCombo = InPanel(170, 82);
constexpr Point kCubeEntry = InPanel(170, 124);
constexpr int kScaleColumns[3] = {kPanelWindow.x + 60, kPanelWindow.x + 170, kPanelWindow.x + 280};
constexpr int kScaleRow = kPanelWindow.y + 362;
constexpr Point kRotate = InPanel(170, 408);
// The same with "Use Texture" set and "Create" opened.
constexpr Point kUseTexture = InPanel(58, 106);
constexpr Point kTextureCombo = InPanel(170, 128);
// The list shows a picture of each texture, an entry every 36 pixels: RING is the fourth.
constexpr Point kRingTextureEntry = InPanel(170, 264);
constexpr Point kUVMovementU = InPanel(88, 152);
constexpr Point kCreateHeader = InPanel(244, 198);
constexpr Point kPosOffsetY = InPanel(170, 244);
constexpr int kTexturedScaleRow = kPanelWindow.y + 500;

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
