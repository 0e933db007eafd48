#pragma once
// A look-at camera with its right-handed view and perspective matrices.
// Owners set the public fields, then rebuild the matching matrix.
#include "platform/D3DX9.h"

class CCamera final
{
public:
    CCamera(float width, float height);

    virtual void UpdateView();
    virtual void UpdateProjection();

    D3DXVECTOR3 m_Pos{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_Focus{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_Up{0.0f, 0.0f, 0.0f};
    D3DXMATRIX m_View{1.0f};
    D3DXMATRIX m_Projection{1.0f};
    float m_Fov = 60.0f;
    float m_Near = 0.1f;
    float m_Far = 2000.0f;
    float m_Width;
    float m_Height;
};
