#pragma once
// One model of the model catalog placed in the scene, drawn with the fixed-function
// pipeline in its materials, the first one tinted by the object's colour. The floor is one.

#include <string>

#include "platform/gfx/mesh.h"
#include "scene/object.h"

class CObjectX : public CObject {
 public:
  // A label the model catalog does not know gives an object that takes part in the frame
  // but draws nothing.
  static CObjectX* Create(const std::string& label, D3DXVECTOR3 pos);

  HRESULT Init() override;
  void Uninit() override;
  void Update() override;
  void Draw() override;
  void SetPos(D3DXVECTOR3 pos) override { pos_ = pos; }
  D3DXVECTOR3 GetPos() override { return pos_; }

  void SetScale(D3DXVECTOR3 scale) { scale_ = scale; }
  D3DXVECTOR3 GetScale() const { return scale_; }
  void SetColor(D3DXCOLOR color) { color_ = color; }
  void SetRot(D3DXVECTOR3 rot) { rot_ = rot; }
  void SetMove(D3DXVECTOR3 move) { move_ = move; }
  D3DXVECTOR3 GetVtxMax() const { return vtxMax_; }
  D3DXVECTOR3 GetVtxMin() const { return vtxMin_; }

 private:
  gfx::Mesh* mesh_ = nullptr;
  gfx::MaterialBuffer* materials_ = nullptr;
  gfx::Texture* texture_ = nullptr;
  D3DXVECTOR3 pos_;
  D3DXVECTOR3 move_;
  D3DXVECTOR3 rot_;
  D3DXVECTOR3 scale_{1.0f, 1.0f, 1.0f};
  D3DXVECTOR3 vtxMax_;
  D3DXVECTOR3 vtxMin_;
  D3DXCOLOR color_{1.0f, 1.0f, 1.0f, 1.0f};
  D3DXMATRIX world_;
};
