#include "render/Shader.h"

CTexture::~CTexture()
{
    if (m_Texture)
        m_Texture->Release();
}

CShader::~CShader()
{
    if (m_Effect)
        m_Effect->Release();
}
