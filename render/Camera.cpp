#include "render/Camera.h"

namespace {
const float s_DegToRad = 0.017453292f;
}

CCamera::CCamera(float width, float height)
    : m_Width(width), m_Height(height)
{
    D3DXMatrixIdentity(&m_View);
    D3DXMatrixIdentity(&m_Projection);
    CCamera::UpdateProjection();
}

void CCamera::UpdateView()
{
    D3DXMatrixLookAtRH(&m_View, &m_Pos, &m_Focus, &m_Up);
}

void CCamera::UpdateProjection()
{
    const float fov = m_Fov * s_DegToRad;
    const float aspect = m_Width / m_Height;
    D3DXMatrixPerspectiveFovRH(&m_Projection, fov, aspect, m_Near, m_Far);
}
