#pragma once
// A hidden 800 x 600 window with the real OpenGL device, plus an effect with
// the few techniques the tests draw with.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/D3DX9.h"

struct SVertexTColTex
{
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};

struct SVertexTCol
{
    float x, y, z, rhw;
    uint32_t color;
};

struct SVertexPos
{
    float x, y, z;
};

extern const char g_TestEffectSource[];

class VideoTest : public ::testing::Test
{
protected:
    static constexpr int Width = 800;
    static constexpr int Height = 600;

    void SetUp() override;
    void TearDown() override;
    // Creates the device (windowed unless told) on a fresh window.
    void Open(bool windowed);

    std::vector<uint32_t> Read();
    // Draws a strip quad the way the program's textured rectangles do:
    // corners at (x - 0.5, y - 0.5), texture 0..1, through technique "Tex".
    void DrawTexturedRect(float x, float y, float w, float h, IDirect3DTexture9* texture, uint32_t color);
    void DrawTriangle(const float (*xy)[2], uint32_t color);
    // A quad in clip space at depth z through technique "Depth".
    void DrawDepthQuad(float x0, float y0, float x1, float y1, float z, uint32_t color);
    IDirect3DTexture9* MakeTexture(UINT w, UINT h, const std::vector<uint32_t>& texels);

    static uint32_t At(const std::vector<uint32_t>& p, int x, int y) { return p[size_t(y) * Width + x]; }

    HWND m_Window = nullptr;
    IDirect3D9* m_D3D = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    ID3DXEffect* m_Effect = nullptr;
    IDirect3DVertexDeclaration9* m_DeclTColTex = nullptr;
    IDirect3DVertexDeclaration9* m_DeclTCol = nullptr;
    IDirect3DVertexDeclaration9* m_DeclPos = nullptr;
    D3DXMATRIX m_Ortho;
};
