#pragma once
// The OpenGL 3.3 core back end. The Direct3D state stays on the CPU (in Device); at each
// draw this back end compares it with what it last gave GL and issues only the calls
// whose state really changed, because scene objects set and restore states around every
// single draw.
//
// Draws go to the Batcher (draw_batch.h), which gathers runs of draws of equal state; the
// device has it draw what it holds whenever something needs the picture or the GL context
// (a clear, the end of the scene, a read-back, resource creation, another user of the
// context). PE_NO_BATCH=1 at creation, or SetBatching(false), draws each call on its own.

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "platform/gfx/device.h"
#include "platform/gfx/gl/draw_batch.h"
#include "platform/gfx/gl/fixed_function_program.h"
#include "platform/gfx/gl/gl_effect.h"
#include "platform/gfx/gl/vertex_arena.h"

namespace gfx {

class GlDevice final : public Device {
 public:
  // A context of its own on the window, sharing objects with the context current at the call.
  // Null, with the reason in *error, when GL 3.3 core is not available.
  static std::unique_ptr<GlDevice> Create(SDL_Window* window, std::string* error);
  ~GlDevice() override;

  HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf,
                                                   D3DPOOL pool) override;
  std::unique_ptr<IndexBuffer> CreateIndexBuffer(UINT count) override;
  std::unique_ptr<Texture> CreateTexture(UINT width, UINT height,
                                         std::span<const std::uint8_t> rgba) override;

  HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* effect,
                               std::string* errors) override;
  // A framebuffer object of RGBA8 colour and 24-bit depth with 8-bit stencil.
  std::unique_ptr<Surface> CreateRenderTarget(UINT width, UINT height, std::string* error) override;
  HRESULT GetRenderTargetData(Surface* target, Image* image) override;

  // Makes this device's context current, first drawing what is batched: the caller may
  // use GL itself, or the context of another window may have been current.
  void MakeCurrent();
  // The effect technique whose pass is on; a null effect returns to the fixed-function
  // program at the next draw.
  void UseEffect(GlEffect* effect, std::size_t technique) {
    effect_ = effect;
    technique_ = technique;
  }
  // Fills every level of the texture from the pixels (the mip chain box-filtered here),
  // first drawing what is batched.
  void UploadTexture(GLuint name, UINT width, UINT height, std::span<const std::uint8_t> rgba);
  // Someone else changed the GL program: bind ours again at the next draw.
  void ForgetProgram() { boundProgram_ = ~0u; }
  // An effect program is going away: forget it was bound.
  void ReleaseProgram(const GlProgram* program) {
    if (boundProgram_ == program->program) ForgetProgram();
  }
  // An effect is going away: stop drawing with it.
  void ReleaseEffect(const GlEffect* effect) {
    if (effect_ == effect) effect_ = nullptr;
  }

  // Batching is on unless PE_NO_BATCH=1 was set when the device was made.
  void SetBatching(bool on);
  bool Batching() const { return batcher_.Enabled(); }
  // Draw calls GL has received since the device was made, batched or not.
  std::uint64_t GlDrawCount() const { return glDraws_; }

 protected:
  HRESULT DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) override;
  HRESULT DrawIndexedStream(D3DPRIMITIVETYPE type, INT baseVertex, UINT startIndex, UINT indexCount,
                            IndexBuffer::Bounds bounds) override;
  void SwapBuffers() override;
  void ResetShaders() override { effect_ = nullptr; }
  Image ReadBackBuffer() override;
  void SceneEnded() override { FlushBatch(); }
  void BindRenderTarget(Surface* target) override;

 private:
  // Reads the Direct3D state at each draw, applies it when a run starts and has the device
  // draw the run before the next.
  friend class Batcher;

  // What GL currently has; compared against the Direct3D state at every draw.
  struct AppliedState {
    bool depthTest = false;
    GLboolean depthMask = GL_TRUE;
    GLenum depthFunc = GL_LESS;
    bool blend = false;
    GLenum srcBlend = GL_ONE, destBlend = GL_ZERO, blendEquation = GL_FUNC_ADD;
    bool coverageAlpha = false;  // blending into a render target's alpha (see SetRenderTarget)
    bool cull = false;
    GLenum cullFace = GL_BACK;
    GLenum polygonMode = GL_FILL;
    struct Sampler {
      GLint minFilter = -1, magFilter = -1, wrapS = -1, wrapT = -1;
    };
    std::array<Sampler, 2> samplers;
    std::array<GLuint, 2> textures{};
    GLenum activeUnit = GL_TEXTURE0;
    std::array<GLint, 4> lightFlags{-1, -1, -1, -1};
    std::array<GLint, 4> colorOp{-1, -1, -1, -1};
    std::array<GLint, 4> alphaOp{-1, -1, -1, -1};
    std::optional<D3DCOLOR> ambient;
  };

  GlDevice(SDL_Window* window, SDL_GLContext context, UINT width, UINT height);
  bool Setup(std::string* error);
  void EnsureCurrent();

  // Draws what the batcher holds.
  void FlushBatch();

  // Applies what changed, uploads what changed of the stream's bytes [firstByte, endByte)
  // and binds program and vertex array; returns the stream's first vertex.
  UINT PrepareDraw(UINT firstByte, UINT endByte);
  // The device's state to GL for a draw with this program; the fixed-function program
  // places vertices with the given world matrix.
  void ApplyState(GlProgram* program, const D3DXMATRIX& world);
  void ApplyRenderStates();
  void ApplySampler(DWORD unit);
  void BindTexture(DWORD unit);
  void ApplyAlphaTest(GlProgram* program);
  void ApplyTransforms(const D3DXMATRIX& world);
  void ApplyLighting(DWORD dirty, bool hasVertexColor);
  void UploadAmbient();
  void ApplyTextureStage();

  SDL_Window* window_;
  SDL_GLContext context_;
  FixedFunctionProgram ff_;
  VertexArena arena_;
  GlProgram ffProgram_;
  GlEffect* effect_ = nullptr;
  std::size_t technique_ = 0;
  GLuint boundProgram_ = 0;
  std::array<GLuint, 2> samplers_{};
  GLuint boundVao_ = 0;
  GLuint whiteTexture_ = 0;
  DWORD ffDirty_ = kDirtyAll;  // what the fixed-function uniforms have not seen yet
  AppliedState applied_;
  // The transforms the fixed-function uniforms hold (NaN: none yet).
  D3DXMATRIX appliedWorld_, appliedView_, appliedProjection_;
  bool normaliseNormals_ = false;
  DWORD pendingLighting_ = 0;

  // The framebuffer drawn into (0: the window's) and its size.
  GLuint framebuffer_ = 0;
  std::array<GLsizei, 2> viewport_{};
  bool targetChanged_ = false;  // the blend's alpha follows the target: apply it again

  Batcher batcher_{*this};
  std::uint64_t glDraws_ = 0;
};

}  // namespace gfx
