#include "platform/gfx/gl/gl_device.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/gfx/gl/gl_enums.h"
#include "platform/gfx/gl/vertex_attribute.h"

namespace gfx {

// ---- resources -------------------------------------------------------------------------------

namespace {

class GlVertexBuffer final : public VertexBuffer {
 public:
  GlVertexBuffer(VertexArena* arena, VertexArena::Slot slot, UINT length, DWORD fvf, UINT stride)
      : VertexBuffer(slot.chunk->Data(slot.offset), length, fvf),
        arena_(arena),
        slot_(slot),
        stride_(stride) {}
  ~GlVertexBuffer() override { arena_->Free(slot_, Length(), stride_); }

  const VertexArena::Slot& Slot() const { return slot_; }

 protected:
  void Written(UINT offset, UINT size) override { slot_.chunk->MarkDirty(slot_.offset + offset, size); }

 private:
  VertexArena* arena_;
  VertexArena::Slot slot_;
  UINT stride_;
};

class GlIndexBuffer final : public IndexBuffer {
 public:
  GlIndexBuffer(GlDevice* owner, UINT count) : IndexBuffer(count), owner_(owner) {}
  ~GlIndexBuffer() override {
    if (!name_) return;
    owner_->MakeCurrent();
    glDeleteBuffers(1, &name_);
  }
  // Binds to the vertex array now bound, uploading the indices if they changed.
  void Bind() {
    if (!name_) glGenBuffers(1, &name_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name_);
    if (uploaded_ == Revision()) return;
    const auto indices = Indices();
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size_bytes()), indices.data(),
                 GL_STATIC_DRAW);
    uploaded_ = Revision();
  }

 private:
  GlDevice* owner_;
  GLuint name_ = 0;
  std::uint64_t uploaded_ = 0;
};

class GlTexture final : public Texture {
 public:
  GlTexture(GlDevice* owner, UINT width, UINT height, GLuint name)
      : Texture(width, height), owner_(owner), name_(name) {}
  ~GlTexture() override {
    owner_->MakeCurrent();
    glDeleteTextures(1, &name_);
  }
  GLuint Name() const { return name_; }
  std::uintptr_t NativeHandle() const override { return name_; }

 protected:
  void Upload(UINT width, UINT height, std::span<const std::uint8_t> rgba) override {
    owner_->UploadTexture(name_, width, height, rgba);
  }

 private:
  GlDevice* owner_;
  GLuint name_;
};

class GlSurface final : public Surface {
 public:
  GlSurface(GlDevice* owner, UINT width, UINT height, GLuint framebuffer, std::array<GLuint, 2> buffers)
      : Surface(owner, width, height), owner_(owner), framebuffer_(framebuffer), buffers_(buffers) {}
  ~GlSurface() override {
    owner_->MakeCurrent();
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteRenderbuffers(2, buffers_.data());
  }
  GLuint Framebuffer() const { return framebuffer_; }

 private:
  GlDevice* owner_;
  GLuint framebuffer_;
  std::array<GLuint, 2> buffers_;  // colour, depth-stencil
};

// Rows read from GL come bottom-up.
Image FlippedRows(int width, int height, const std::vector<std::uint8_t>& bottomUp) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(bottomUp.size());
  const size_t row = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) std::memcpy(&image.rgba[y * row], &bottomUp[(height - 1 - y) * row], row);
  return image;
}

void Toggle(GLenum cap, bool on, bool* applied) {
  if (*applied == on) return;
  if (on) {
    glEnable(cap);
  } else {
    glDisable(cap);
  }
  *applied = on;
}

template <size_t N>
bool Changed(std::array<GLint, N>* applied, const std::array<GLint, N>& wanted) {
  if (*applied == wanted) return false;
  *applied = wanted;
  return true;
}

}  // namespace

// ---- creation -----------------------------------------------------------------------------------

std::unique_ptr<GlDevice> GlDevice::Create(SDL_Window* window, std::string* error) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, SDL_GL_GetCurrentContext() ? 1 : 0);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  std::unique_ptr<GlDevice> device(
      new GlDevice(window, context, static_cast<UINT>(width), static_cast<UINT>(height)));
  if (!device->Setup(error)) return nullptr;
  return device;
}

GlDevice::GlDevice(SDL_Window* window, SDL_GLContext context, UINT width, UINT height)
    : Device(width, height), window_(window), context_(context) {
  for (D3DXMATRIX* m : {&appliedWorld_, &appliedView_, &appliedProjection_})
    for (auto& row : m->m)
      for (float& v : row) v = std::numeric_limits<float>::quiet_NaN();
}

bool GlDevice::Setup(std::string* error) {
  EnsureCurrent();
  // Frames are paced by the program's own 16 ms clock; waiting for vertical sync on two
  // windows would halve the rate.
  SDL_GL_SetSwapInterval(0);
  std::string log;
  if (!ff_.Build(&log)) {
    if (error) *error = "fixed-function program: " + log;
    return false;
  }
  ffProgram_.program = ff_.program;
  ffProgram_.alphaTest = ff_.alphaTest;
  ffProgram_.pixelOffset = glGetUniformLocation(ff_.program, "pe_PixelOffset");
  viewport_ = {static_cast<GLsizei>(BackBufferWidth()), static_cast<GLsizei>(BackBufferHeight())};
  glUseProgram(ff_.program);
  boundProgram_ = ff_.program;
  glUniform1i(ff_.sampler, 0);
  glGenSamplers(2, samplers_.data());
  glBindSampler(0, samplers_[0]);
  glBindSampler(1, samplers_[1]);
  glActiveTexture(GL_TEXTURE0);
  glViewport(0, 0, static_cast<GLsizei>(BackBufferWidth()), static_cast<GLsizei>(BackBufferHeight()));
  glFrontFace(GL_CCW);
  glDepthFunc(GL_LESS);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  const std::uint8_t white[4] = {255, 255, 255, 255};
  glGenTextures(1, &whiteTexture_);
  glBindTexture(GL_TEXTURE_2D, whiteTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

GlDevice::~GlDevice() {
  EnsureCurrent();
  batcher_.Destroy();
  arena_.Clear();
  glDeleteSamplers(2, samplers_.data());
  glDeleteTextures(1, &whiteTexture_);
  ff_.Destroy();
  SDL_GL_MakeCurrent(window_, nullptr);
  SDL_GL_DeleteContext(context_);
}

void GlDevice::MakeCurrent() {
  FlushBatch();
  EnsureCurrent();
}

void GlDevice::EnsureCurrent() {
  if (SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(window_, context_);
}

void GlDevice::SetBatching(bool on) {
  FlushBatch();
  batcher_.SetEnabled(on);
}

void GlDevice::FlushBatch() {
  if (batcher_.Empty()) return;
  EnsureCurrent();
  batcher_.Flush(&boundVao_);
  ++glDraws_;
  CountBatch();
}

std::unique_ptr<VertexBuffer> GlDevice::CreateVertexBuffer(UINT length, DWORD, DWORD fvf, D3DPOOL) {
  if (length == 0) return nullptr;
  FlushBatch();
  const UINT stride = VertexLayout::FromFVF(fvf).stride;
  return std::make_unique<GlVertexBuffer>(&arena_, arena_.Allocate(length, stride), length, fvf, stride);
}

std::unique_ptr<IndexBuffer> GlDevice::CreateIndexBuffer(UINT count) {
  if (count == 0) return nullptr;
  FlushBatch();
  return std::make_unique<GlIndexBuffer>(this, count);
}

std::unique_ptr<Texture> GlDevice::CreateTexture(UINT width, UINT height,
                                                 std::span<const std::uint8_t> rgba) {
  if (width == 0 || height == 0 || rgba.size() < std::size_t{width} * height * 4) return nullptr;
  MakeCurrent();
  GLuint name = 0;
  glGenTextures(1, &name);
  UploadTexture(name, width, height, rgba);
  return std::make_unique<GlTexture>(this, width, height, name);
}

void GlDevice::UploadTexture(GLuint name, UINT width, UINT height, std::span<const std::uint8_t> rgba) {
  MakeCurrent();
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
               GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  // The mip chain is box-filtered here rather than by glGenerateMipmap: the software renderer
  // compiles a program for that on first use, a fifth of a second at start-up.
  std::vector<std::uint8_t> level(rgba.begin(), rgba.begin() + std::size_t{width} * height * 4), next;
  UINT w = width, h = height;
  for (GLint mip = 1; w > 1 || h > 1; ++mip) {
    const UINT nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
    next.resize(std::size_t{nw} * nh * 4);
    for (UINT y = 0; y < nh; ++y) {
      const UINT y0 = std::min(2 * y, h - 1), y1 = std::min(2 * y + 1, h - 1);
      for (UINT x = 0; x < nw; ++x) {
        const UINT x0 = std::min(2 * x, w - 1), x1 = std::min(2 * x + 1, w - 1);
        for (UINT c = 0; c < 4; ++c) {
          const unsigned sum =
              level[(std::size_t{y0} * w + x0) * 4 + c] + level[(std::size_t{y0} * w + x1) * 4 + c] +
              level[(std::size_t{y1} * w + x0) * 4 + c] + level[(std::size_t{y1} * w + x1) * 4 + c];
          next[(std::size_t{y} * nw + x) * 4 + c] = static_cast<std::uint8_t>((sum + 2) / 4);
        }
      }
    }
    glTexImage2D(GL_TEXTURE_2D, mip, GL_RGBA8, static_cast<GLsizei>(nw), static_cast<GLsizei>(nh), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, next.data());
    level.swap(next);
    w = nw;
    h = nh;
  }
  // A smaller picture than before leaves fewer levels: the sampler must not reach the old ones.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL,
                  static_cast<GLint>(std::bit_width(std::max(width, height)) - 1));
  glBindTexture(GL_TEXTURE_2D, applied_.textures[applied_.activeUnit - GL_TEXTURE0]);
}

// ---- frame ----------------------------------------------------------------------------------------

HRESULT GlDevice::Clear(DWORD, const void*, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  MakeCurrent();
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    const D3DXCOLOR c(color);
    glClearColor(c.r, c.g, c.b, c.a);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(z);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  // A Direct3D clear ignores the depth-write state; GL's honours the depth mask.
  if ((mask & GL_DEPTH_BUFFER_BIT) && !applied_.depthMask) glDepthMask(GL_TRUE);
  glClear(mask);
  if ((mask & GL_DEPTH_BUFFER_BIT) && !applied_.depthMask) glDepthMask(GL_FALSE);
  return S_OK;
}

void GlDevice::SwapBuffers() {
  MakeCurrent();
  SDL_GL_SwapWindow(window_);
}

Image GlDevice::ReadBackBuffer() {
  MakeCurrent();
  const int width = static_cast<int>(BackBufferWidth());
  const int height = static_cast<int>(BackBufferHeight());
  std::vector<std::uint8_t> bottomUp(static_cast<size_t>(width) * height * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  Image image = FlippedRows(width, height, bottomUp);
  // The back buffer has no alpha channel of its own (as Direct3D's X8R8G8B8): the picture is opaque.
  for (size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = 255;
  return image;
}

// ---- render targets ---------------------------------------------------------------------------

std::unique_ptr<Surface> GlDevice::CreateRenderTarget(UINT width, UINT height, std::string* error) {
  MakeCurrent();
  GLint largest = 0;
  GLint viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  largest = std::min({largest, viewport[0], viewport[1]});
  if (width == 0 || height == 0 || width > static_cast<UINT>(largest) ||
      height > static_cast<UINT>(largest)) {
    if (error)
      *error = "the graphics driver draws offscreen pictures of 1 to " + std::to_string(largest) +
               " pixels on a side, not " + std::to_string(width) + "x" + std::to_string(height);
    return nullptr;
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  GLuint framebuffer = 0;
  std::array<GLuint, 2> buffers{};
  glGenFramebuffers(1, &framebuffer);
  glGenRenderbuffers(2, buffers.data());
  glBindRenderbuffer(GL_RENDERBUFFER, buffers[0]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
  glBindRenderbuffer(GL_RENDERBUFFER, buffers[1]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                        static_cast<GLsizei>(height));
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers[0]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  const GLenum problem = glGetError();
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  if (status != GL_FRAMEBUFFER_COMPLETE || problem != GL_NO_ERROR) {
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(2, buffers.data());
    if (error)
      *error = problem == GL_OUT_OF_MEMORY ? "the graphics driver has no memory for a picture of " +
                                                 std::to_string(width) + "x" + std::to_string(height)
                                           : "the graphics driver cannot draw into an offscreen picture";
    return nullptr;
  }
  return std::make_unique<GlSurface>(this, width, height, framebuffer, buffers);
}

void GlDevice::BindRenderTarget(Surface* target) {
  MakeCurrent();
  framebuffer_ = target ? static_cast<GlSurface*>(target)->Framebuffer() : 0;
  viewport_ = {static_cast<GLsizei>(target ? target->Width() : BackBufferWidth()),
               static_cast<GLsizei>(target ? target->Height() : BackBufferHeight())};
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glViewport(0, 0, viewport_[0], viewport_[1]);
  targetChanged_ = true;
}

HRESULT GlDevice::GetRenderTargetData(Surface* target, Image* image) {
  if (!target || !image) return D3DERR_INVALIDCALL;
  MakeCurrent();
  const int width = static_cast<int>(target->Width());
  const int height = static_cast<int>(target->Height());
  std::vector<std::uint8_t> bottomUp(static_cast<size_t>(width) * height * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GlSurface*>(target)->Framebuffer());
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  *image = FlippedRows(width, height, bottomUp);
  return S_OK;
}

// ---- drawing ---------------------------------------------------------------------------------------

HRESULT GlDevice::CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* effect,
                                       std::string* errors) {
  if (!effect) return D3DERR_INVALIDCALL;
  effect->reset();
  std::string error;
  auto source = EffectSource::Load(path, &error);
  std::unique_ptr<GlEffect> compiled;
  if (source) compiled = GlEffect::Create(this, std::move(*source), path, &error);
  if (!compiled) {
    if (errors) *errors = error;
    return E_FAIL;
  }
  *effect = std::move(compiled);
  return S_OK;
}

HRESULT GlDevice::DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) {
  if (batcher_.Batchable(type, vertexCount)) {
    const UINT stride = StreamStride();
    const auto bytes = StreamBuffer()->Bytes().subspan(StreamOffset() + std::size_t{startVertex} * stride,
                                                       std::size_t{vertexCount} * stride);
    batcher_.Gather({.bytes = bytes, .type = type, .count = vertexCount});
    return S_OK;
  }
  FlushBatch();
  const UINT first = PrepareDraw(StreamOffset() + startVertex * StreamStride(),
                                 StreamOffset() + (startVertex + vertexCount) * StreamStride());
  glDrawArrays(PrimitiveMode(type), static_cast<GLint>(first + startVertex),
               static_cast<GLsizei>(vertexCount));
  ++glDraws_;
  CountBatch();
  return S_OK;
}

HRESULT GlDevice::DrawIndexedStream(D3DPRIMITIVETYPE type, INT baseVertex, UINT startIndex, UINT indexCount,
                                    IndexBuffer::Bounds bounds) {
  if (batcher_.Batchable(type, indexCount)) {
    // Only the vertices the indices reach are copied.
    const std::uint32_t* indices = Indices()->Indices().data() + startIndex;
    const UINT stride = StreamStride();
    const std::size_t first =
        StreamOffset() + (std::size_t{static_cast<UINT>(baseVertex)} + bounds.lowest) * stride;
    const auto bytes =
        StreamBuffer()->Bytes().subspan(first, (std::size_t{bounds.highest} - bounds.lowest + 1) * stride);
    batcher_.Gather({.bytes = bytes,
                     .type = type,
                     .count = indexCount,
                     .indices = indices,
                     .lowestIndex = bounds.lowest});
    return S_OK;
  }
  FlushBatch();
  const UINT first = PrepareDraw(0, StreamBuffer()->Length());
  // The element binding belongs to the vertex array just bound, which other buffers share.
  static_cast<GlIndexBuffer*>(Indices())->Bind();
  glDrawElementsBaseVertex(PrimitiveMode(type), static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT,
                           reinterpret_cast<const void*>(std::uintptr_t{startIndex} * sizeof(std::uint32_t)),
                           static_cast<GLint>(first) + baseVertex);
  ++glDraws_;
  CountBatch();
  return S_OK;
}

// ---- state --------------------------------------------------------------------------------------------

UINT GlDevice::PrepareDraw(UINT firstByte, UINT endByte) {
  ApplyState(effect_ ? effect_->Program(technique_, false) : &ffProgram_, World());
  const auto& slot = static_cast<GlVertexBuffer*>(StreamBuffer())->Slot();
  const UINT stride = StreamStride();
  const UINT start = slot.offset + StreamOffset();
  boundVao_ = slot.chunk->Prepare(slot.offset + firstByte, slot.offset + endByte, Layout(), stride,
                                  start % stride, boundVao_);
  return start / stride;
}

void GlDevice::ApplyState(GlProgram* program, const D3DXMATRIX& world) {
  EnsureCurrent();
  const DWORD dirty = TakeDirty();
  ffDirty_ |= dirty;
  if ((dirty & kDirtyRenderStates) || std::exchange(targetChanged_, false)) ApplyRenderStates();
  if (dirty & kDirtySamplers) {
    ApplySampler(0);
    ApplySampler(1);
  }

  if (boundProgram_ != program->program) glUseProgram(boundProgram_ = program->program);
  if (program->pixelOffsetFor != viewport_) {
    SetPixelOffset(program->pixelOffset, viewport_[0], viewport_[1]);
    program->pixelOffsetFor = viewport_;
  }
  ApplyAlphaTest(program);
  const bool hasVertexColor = Layout().diffuse >= 0;
  if (effect_) {
    BindTexture(0);
    BindTexture(1);
    effect_->Upload(technique_, program != effect_->Program(technique_, false));
  } else {
    // The fixed-function uniforms only follow changes while that program draws.
    const DWORD ff = std::exchange(ffDirty_, 0);
    ApplyTransforms(world);
    ApplyLighting(ff, hasVertexColor);
    if (ff & (kDirtyStages | kDirtyTexture)) ApplyTextureStage();
  }
  // Direct3D's opaque white default.
  if (!hasVertexColor) glVertexAttrib4f(Location(VertexAttribute::kColor), 1.0f, 1.0f, 1.0f, 1.0f);
}

void GlDevice::ApplyRenderStates() {
  AppliedState& a = applied_;
  const bool depthTest = RenderState(D3DRS_ZENABLE) != D3DZB_FALSE;
  Toggle(GL_DEPTH_TEST, depthTest, &a.depthTest);
  const GLboolean depthMask = RenderState(D3DRS_ZWRITEENABLE) ? GL_TRUE : GL_FALSE;
  if (depthMask != a.depthMask) glDepthMask(a.depthMask = depthMask);
  const GLenum depthFunc = CompareFunction(RenderState(D3DRS_ZFUNC));
  if (depthFunc != a.depthFunc) glDepthFunc(a.depthFunc = depthFunc);

  Toggle(GL_BLEND, RenderState(D3DRS_ALPHABLENDENABLE) != FALSE, &a.blend);
  const GLenum src = BlendFactor(RenderState(D3DRS_SRCBLEND));
  const GLenum dest = BlendFactor(RenderState(D3DRS_DESTBLEND));
  const GLenum equation = BlendEquation(RenderState(D3DRS_BLENDOP));
  const bool coverage = framebuffer_ != 0;
  if (coverage != a.coverageAlpha) {
    a.coverageAlpha = coverage;
    a.srcBlend = a.destBlend = a.blendEquation = GL_NONE;
  }
  if (src != a.srcBlend || dest != a.destBlend) {
    if (coverage) {
      // A draw that only adds light hides nothing of the background behind it.
      glBlendFuncSeparate(src, dest, dest == GL_ONE ? GL_ZERO : GL_ONE, dest);
    } else {
      glBlendFunc(src, dest);
    }
    a.srcBlend = src;
    a.destBlend = dest;
  }
  if (equation != a.blendEquation) {
    if (coverage) {
      glBlendEquationSeparate(equation, GL_FUNC_ADD);
    } else {
      glBlendEquation(equation);
    }
    a.blendEquation = equation;
  }

  // Triangles Direct3D calls counter-clockwise are GL's front faces (glFrontFace(GL_CCW)).
  const DWORD cull = RenderState(D3DRS_CULLMODE);
  Toggle(GL_CULL_FACE, cull != D3DCULL_NONE, &a.cull);
  const GLenum face = cull == D3DCULL_CW ? GL_BACK : GL_FRONT;
  if (cull != D3DCULL_NONE && face != a.cullFace) glCullFace(a.cullFace = face);

  const DWORD fill = RenderState(D3DRS_FILLMODE);
  const GLenum polygonMode = fill == D3DFILL_WIREFRAME ? GL_LINE : fill == D3DFILL_POINT ? GL_POINT : GL_FILL;
  if (polygonMode != a.polygonMode) glPolygonMode(GL_FRONT_AND_BACK, a.polygonMode = polygonMode);
}

void GlDevice::ApplyAlphaTest(GlProgram* program) {
  const bool alphaTest = RenderState(D3DRS_ALPHATESTENABLE) != FALSE;
  const std::array<GLint, 2> test{
      static_cast<GLint>(alphaTest ? RenderState(D3DRS_ALPHAFUNC) : D3DCMP_ALWAYS),
      static_cast<GLint>(RenderState(D3DRS_ALPHAREF) & 0xff)};
  if (Changed(&program->alphaTestApplied, test)) glUniform2i(program->alphaTest, test[0], test[1]);
}

void GlDevice::ApplySampler(DWORD unit) {
  auto& a = applied_.samplers[unit];
  const GLint mag = SamplerState(unit, D3DSAMP_MAGFILTER) == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
  const GLint min = MinFilter(SamplerState(unit, D3DSAMP_MINFILTER), SamplerState(unit, D3DSAMP_MIPFILTER));
  const GLint s = AddressMode(SamplerState(unit, D3DSAMP_ADDRESSU));
  const GLint t = AddressMode(SamplerState(unit, D3DSAMP_ADDRESSV));
  const GLuint sampler = samplers_[unit];
  if (mag != a.magFilter) glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, a.magFilter = mag);
  if (min != a.minFilter) glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, a.minFilter = min);
  if (s != a.wrapS) glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, a.wrapS = s);
  if (t != a.wrapT) glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, a.wrapT = t);
}

void GlDevice::BindTexture(DWORD unit) {
  const auto* texture = static_cast<const GlTexture*>(GetTexture(unit));
  // A stage without a texture reads opaque white; effects sample the white texture for it.
  const GLuint name = texture ? texture->Name() : effect_ ? whiteTexture_ : 0;
  if (applied_.textures[unit] == name) return;
  const GLenum target = GL_TEXTURE0 + unit;
  if (applied_.activeUnit != target) glActiveTexture(applied_.activeUnit = target);
  glBindTexture(GL_TEXTURE_2D, applied_.textures[unit] = name);
}

void GlDevice::ApplyTransforms(const D3DXMATRIX& world) {
  const bool sameWorld = world == appliedWorld_;
  if (sameWorld && View() == appliedView_ && Projection() == appliedProjection_) return;
  const D3DXMATRIX wvp = world * View() * Projection();
  glUniformMatrix4fv(ff_.wvp, 1, GL_FALSE, &wvp.m[0][0]);
  appliedView_ = View();
  appliedProjection_ = Projection();
  if (sameWorld) return;
  appliedWorld_ = world;
  float c[3][3];
  // A flattened world has its normals renormalised (see NormalMatrix). GLSL reads the
  // row-major array transposed: uploading C gives C^T, so C^T * n is Direct3D's n * C.
  normaliseNormals_ = !NormalMatrix(world, c);
  glUniformMatrix3fv(ff_.normalMatrix, 1, GL_FALSE, &c[0][0]);
}

void GlDevice::ApplyLighting(DWORD dirty, bool hasVertexColor) {
  const bool lighting = RenderState(D3DRS_LIGHTING) != FALSE;
  const bool diffuseFromVertex = hasVertexColor && RenderState(D3DRS_COLORVERTEX) != FALSE &&
                                 RenderState(D3DRS_DIFFUSEMATERIALSOURCE) == D3DMCS_COLOR1;
  const bool normalise = normaliseNormals_ || RenderState(D3DRS_NORMALIZENORMALS) != FALSE;
  const std::array<GLint, 4> flags{lighting, LightEnabled(0), diffuseFromVertex, normalise};
  if (Changed(&applied_.lightFlags, flags))
    glUniform4i(ff_.lightFlags, flags[0], flags[1], flags[2], flags[3]);

  // Light and material only matter while lighting is on; changes made while it is off wait.
  pendingLighting_ |= dirty & (kDirtyLights | kDirtyMaterial);
  if (!lighting || !pendingLighting_) {
    if (lighting) UploadAmbient();
    return;
  }
  if (pendingLighting_ & kDirtyLights) {
    const D3DLIGHT9& light = Light(0);
    D3DXVECTOR3 toLight(-light.Direction.x, -light.Direction.y, -light.Direction.z);
    D3DXVec3Normalize(&toLight, &toLight);
    glUniform3f(ff_.lightDir, toLight.x, toLight.y, toLight.z);
    glUniform4f(ff_.lightDiffuse, light.Diffuse.r, light.Diffuse.g, light.Diffuse.b, light.Diffuse.a);
    glUniform4f(ff_.lightAmbient, light.Ambient.r, light.Ambient.g, light.Ambient.b, light.Ambient.a);
  }
  if (pendingLighting_ & kDirtyMaterial) {
    const D3DMATERIAL9& mat = Material();
    glUniform4f(ff_.matDiffuse, mat.Diffuse.r, mat.Diffuse.g, mat.Diffuse.b, mat.Diffuse.a);
    glUniform4f(ff_.matAmbient, mat.Ambient.r, mat.Ambient.g, mat.Ambient.b, mat.Ambient.a);
    glUniform4f(ff_.matEmissive, mat.Emissive.r, mat.Emissive.g, mat.Emissive.b, mat.Emissive.a);
  }
  pendingLighting_ = 0;
  UploadAmbient();
}

void GlDevice::UploadAmbient() {
  const D3DCOLOR amb = RenderState(D3DRS_AMBIENT);
  if (applied_.ambient == amb) return;
  applied_.ambient = amb;
  const D3DXCOLOR c(amb);
  glUniform4f(ff_.ambient, c.r, c.g, c.b, c.a);
}

void GlDevice::ApplyTextureStage() {
  BindTexture(0);
  const GLuint name = applied_.textures[0];
  const std::array<GLint, 4> colorOp{static_cast<GLint>(StageState(0, D3DTSS_COLOROP)),
                                     static_cast<GLint>(StageState(0, D3DTSS_COLORARG1)),
                                     static_cast<GLint>(StageState(0, D3DTSS_COLORARG2)), name != 0};
  const std::array<GLint, 4> alphaOp{static_cast<GLint>(StageState(0, D3DTSS_ALPHAOP)),
                                     static_cast<GLint>(StageState(0, D3DTSS_ALPHAARG1)),
                                     static_cast<GLint>(StageState(0, D3DTSS_ALPHAARG2)), 0};
  if (Changed(&applied_.colorOp, colorOp))
    glUniform4i(ff_.colorOp, colorOp[0], colorOp[1], colorOp[2], colorOp[3]);
  if (Changed(&applied_.alphaOp, alphaOp))
    glUniform4i(ff_.alphaOp, alphaOp[0], alphaOp[1], alphaOp[2], alphaOp[3]);
}

}  // namespace gfx
