#pragma once
// Renders one emission of one effect into files, a frame at a time, so that a caller can show
// progress and stop between frames: from the emission (frame 0, before any step) one fixed step
// a frame to the end of its life or the length asked, drawn by the scene's device and drawing
// code into a render target of the frame's size, only the effect (no floor, no pointer), and
// handed to the writer the output's name asks for.
//
// The emission lives in a scene of its own (its own registry and random sources, seeded from
// the settings), so the render plays beside the editor's scene without touching it, and two
// renders of one document and seed give the same bytes. Each call leaves the device's
// transforms, fill mode and render target as it found them.

#include <memory>
#include <string>
#include <vector>

#include "particle/particle_emitter.h"
#include "platform/gfx/device.h"
#include "render/frame_writer.h"
#include "render/render_settings.h"

struct SharedState;

class EffectRenderer {
 public:
  // A render of the manager's effect table on its scene device. Null, with the reason, for an
  // effect the table lacks, a life too long to render without a length, a render target the
  // device cannot make or an output that cannot be written.
  static std::unique_ptr<EffectRenderer> Start(const RenderSettings& settings, std::string* error);
  // One not finished leaves no file behind.
  ~EffectRenderer();
  EffectRenderer(const EffectRenderer&) = delete;
  EffectRenderer& operator=(const EffectRenderer&) = delete;

  // Draws the next frame the writer wants and hands it over; after the last, puts the files in
  // place. False, with the reason, on failure: nothing is then left behind.
  bool RenderNext(std::string* error);
  bool Done() const { return finished_; }
  // Frames drawn so far and frames to draw (a sheet draws one a cell).
  int FramesDone() const { return done_; }
  int FramesToDraw() const { return static_cast<int>(wanted_.size()); }
  // The frames of the effect rendered: its life, or the length asked.
  int Length() const { return length_; }
  // The camera the frames are seen from.
  const D3DXMATRIX& View() const { return view_; }

 private:
  EffectRenderer(const RenderSettings& settings, std::unique_ptr<FrameWriter> writer);
  // Plays the emission once without drawing: its length, and where it goes for the camera.
  bool Measure(std::string* error);
  void DrawFrame(gfx::Device* device, gfx::Image* frame);

  RenderSettings settings_;
  std::unique_ptr<FrameWriter> writer_;
  std::unique_ptr<SharedState> scene_;
  std::unique_ptr<gfx::Surface> target_;
  EmissionRecord record_;
  D3DXMATRIX view_, projection_;
  std::vector<int> wanted_;
  int length_ = 0;
  int frame_ = -1;  // the emission's frame now, -1 before it is made
  int done_ = 0;
  bool finished_ = false;
};
