#pragma once
// The OpenGL 3.3 core back end. The Direct3D state stays on the CPU (in Device); at each
// draw this back end compares it with what it last gave GL and issues only the calls
// whose state really changed, because scene objects set and restore states around every
// single draw.

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "platform/gfx/device.h"
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
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) override;
  std::unique_ptr<IndexBuffer> CreateIndexBuffer(UINT count) override;
  std::unique_ptr<Texture> CreateTexture(UINT width, UINT height, std::span<const std::uint8_t> rgba) override;

  HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* effect,
                               std::string* errors) override;

  // Makes this device's context current if another one is.
  void MakeCurrent();
  // The program of the effect pass now on, bound at once so its uniforms can be set; null
  // returns to the fixed-function program at the next draw.
  void UseEffectProgram(GlProgram* program) {
    effectProgram_ = program;
    if (!program || boundProgram_ == program->program) return;
    MakeCurrent();
    glUseProgram(boundProgram_ = program->program);
  }
  // Someone else changed the GL program: bind ours again at the next draw.
  void ForgetProgram() { boundProgram_ = ~0u; }
  // An effect program is going away: stop using it and forget it was bound.
  void ReleaseProgram(const GlProgram* program) {
    if (effectProgram_ == program) effectProgram_ = nullptr;
    if (boundProgram_ == program->program) ForgetProgram();
  }

 protected:
  HRESULT DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) override;
  HRESULT DrawIndexedStream(D3DPRIMITIVETYPE type, INT baseVertex, UINT startIndex, UINT indexCount) override;
  void SwapBuffers() override;
  void ResetShaders() override { effectProgram_ = nullptr; }
  Image ReadBackBuffer() override;

 private:
  // What GL currently has; compared against the Direct3D state at every draw.
  struct AppliedState {
    bool depthTest = false;
    GLboolean depthMask = GL_TRUE;
    GLenum depthFunc = GL_LESS;
    bool blend = false;
    GLenum srcBlend = GL_ONE, destBlend = GL_ZERO, blendEquation = GL_FUNC_ADD;
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
  // Applies what changed and binds program and vertex array; returns the stream's first vertex.
  UINT PrepareDraw();
  void ApplyRenderStates();
  void ApplySampler(DWORD unit);
  void BindTexture(DWORD unit);
  void ApplyAlphaTest(GlProgram* program);
  void ApplyTransforms(DWORD dirty);
  void ApplyLighting(DWORD dirty, bool hasVertexColor);
  void UploadAmbient();
  void ApplyTextureStage();

  SDL_Window* window_;
  SDL_GLContext context_;
  FixedFunctionProgram ff_;
  VertexArena arena_;
  GlProgram ffProgram_;
  GlProgram* effectProgram_ = nullptr;
  GLuint boundProgram_ = 0;
  std::array<GLuint, 2> samplers_{};
  GLuint boundVao_ = 0;
  GLuint whiteTexture_ = 0;
  DWORD ffDirty_ = kDirtyAll;  // what the fixed-function uniforms have not seen yet
  AppliedState applied_;
  bool normaliseNormals_ = false;
  DWORD pendingLighting_ = 0;
};

}  // namespace gfx
