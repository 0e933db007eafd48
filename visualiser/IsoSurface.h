#pragma once
// Marching-cubes mesher for up to sixteen metaballs: walks from each ball to
// the surface, flood-fills the cells the surface crosses, and draws the mesh
// with the "Twister" technique of Shader.fx. Main thread only.
#include <cstdint>

struct CBall
{
    float m_Pos[3];
    float m_Strength;
};

class CIsoSurface
{
public:
    explicit CIsoSurface(float isoLevel);
    ~CIsoSurface();
    CIsoSurface(const CIsoSurface&) = delete;
    CIsoSurface& operator=(const CIsoSurface&) = delete;

    CBall* AddBall();       // next free slot, null once all 16 are taken
    void BuildMesh();
    void Draw();
    void Release();         // frees the vertex and index buffers early

    int VertexCount() const;
    int IndexCount() const;
    const float* Vertices() const;   // position then normal, 6 floats each
    const uint16_t* Indices() const;

    // (The implementation's members follow the mesher's own layout.)
};
