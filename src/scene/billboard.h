#pragma once
// A textured, coloured quad that always faces the camera: it moves by a velocity, spins
// about its facing axis, can play a sprite-sheet animation, and draws either with the
// fixed-function pipeline (normal, additive or subtractive blending) or through an effect.

#include <memory>
#include <string>

#include "platform/gfx/device.h"
#include "scene/object.h"

class CBillboard : public CObject {
 public:
  static constexpr int kKind = 1;
  static constexpr int kStartDelay = 15;  // frames before a sprite-sheet animation's first step

  enum BlendMode { kBlendNormal = 0, kBlendAdd = 1, kBlendSubtract = 2 };

  CBillboard() { SetKind(kKind); }

  HRESULT Init() override;
  void Uninit() override;
  // Inline: thousands of particles run it every frame, from another file.
  void Update() override {
    pos_ += move_;
    rot_.z += spin_;
    if (spin_ == 0.0f) upright_ = false;
    verticesStale_ = true;
    if (animate_) StepAnimation();
  }
  void Draw() override;
  void SetPos(D3DXVECTOR3 pos) override { pos_ = pos; }
  D3DXVECTOR3 GetPos() override { return pos_; }

  // The texture of a catalog label on the scene's device; null when unknown.
  void SetTexture(const std::string& label);
  void SetAnimation(int columns, int rows, int framesPerCell, bool loop);
  void SetTexUV(float left, float right, float top, float bottom);
  void DrawShader(const std::string& label);

  // ---- state the particle sets and reads -----------------------------------------------------
  void SetMove(D3DXVECTOR3 move) { move_ = move; }
  D3DXVECTOR3 GetMove() const { return move_; }
  void SetSize(D3DXVECTOR3 size) { size_ = size; }
  D3DXVECTOR3 GetSize() const { return size_; }
  void SetColor(D3DXCOLOR color) { color_ = color; }
  D3DXCOLOR GetColor() const { return color_; }
  void SetRot(D3DXVECTOR3 rot) { rot_ = rot; }
  D3DXVECTOR3 GetRot() const { return rot_; }
  void SetSpin(float spin) { spin_ = spin; }
  void SetUpright(bool upright) { upright_ = upright; }
  bool IsUpright() const { return upright_; }
  void SetBlendMode(int mode) { look_->blendMode = mode; }
  void SetAlphaTest(bool on) { look_->alphaTest = on; }
  void SetShaderLabel(std::string label) { look_->shaderLabel = std::move(label); }
  const std::string& GetShaderLabel() const { return look_->shaderLabel; }
  const D3DXMATRIX& GetWorld() const { return look_->world; }
  // The world of the last draw; before the first one, the world a draw through an effect
  // would use now (what follows the quad must not start from a matrix never set).
  D3DXMATRIX CurrentWorld() const;
  // Faces the scene's view as a draw through an effect does, without drawing: the world that
  // what follows the quad (a trail) reads is then the same however many steps a frame runs
  // between draws, none included.
  void FaceView();
  gfx::Texture* GetTexture() const { return look_->texture; }

  // The sprite-sheet cell and the texture rectangle now shown (left, right, top, bottom).
  int GetAnimColumn() const { return look_->animColumn; }
  int GetAnimRow() const { return look_->animRow; }
  struct TexRect {
    float left, right, top, bottom;
  };
  TexRect GetTexUV() const { return look_->uv; }
  // The vertex colour of all four corners, as packed for drawing.
  D3DCOLOR PackedColor() const { return D3DXColorToD3DCOLOR(color_); }

 private:
  // Vertex positions and colours follow size and colour; they are written just before a
  // draw, so a quad that is not drawn costs nothing to keep up to date.
  void WriteVertices();
  void PlaceFacing(const D3DXMATRIX& view);
  // The sprite sheet's frame: the next cell once its time came; a sheet that does not loop
  // ends the billboard after its last cell.
  void StepAnimation();
  D3DXMATRIX FacingMatrix(const D3DXMATRIX& view, bool keepUpright) const;

  // Layout: what every frame touches, right after the registry's links, fills the object's
  // first two cache lines (a derived particle's frame state follows at once); what only
  // drawing and sprite-sheet animation read lives apart.
  bool animate_ = false;
  bool loop_ = false;
  bool upright_ = false;
  bool verticesStale_ = true;
  bool placed_ = false;  // world was computed by a draw
  float spin_ = 0.0f;
  D3DXVECTOR3 pos_;
  D3DXVECTOR3 move_;
  D3DXVECTOR3 rot_;
  D3DXVECTOR3 size_{100.0f, 100.0f, 0.0f};
  D3DXCOLOR color_{1.0f, 1.0f, 1.0f, 1.0f};

  struct Appearance {
    std::unique_ptr<gfx::VertexBuffer> vertexBuffer;
    gfx::Texture* texture = nullptr;
    D3DXMATRIX world;
    D3DXHANDLE technique = nullptr;
    D3DXHANDLE viewParameter = nullptr;
    D3DXHANDLE projectionParameter = nullptr;
    D3DXHANDLE worldParameter = nullptr;
    int blendMode = kBlendNormal;
    bool alphaTest = false;
    std::string shaderLabel;
    TexRect uv{0.0f, 1.0f, 0.0f, 1.0f};
    int animColumn = 0;
    int animRow = 0;
    int columns = 0;
    int rows = 0;
    int framesPerCell = 0;
    int intervalCounter = 0;
    int startDelay = 0;
    int delayCounter = 0;
  };
  PoolPtr<Appearance> look_ = MakePooled<Appearance>();
};
