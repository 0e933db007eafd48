#pragma once
// The mesher written the plain way, cell by cell, for comparison: every cell
// interpolates its own vertices and evaluates their normals itself, and every
// corner sum is a scalar loop over the balls. The real mesher must give the
// same bytes. Also a full-grid marching cubes over the same field (every
// corner, every cell), the baseline a surface-following mesher must beat.
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

#include "visualiser/IsoSurface.h"

namespace ref {

constexpr int R = 32;
constexpr int C = 33;
constexpr float s_CellSize = 0.0625f;

inline bool Finite(float v)
{
    return std::isfinite(v);
}

inline bool Contributes(const CBall& b)
{
    return b.m_Strength > 0.0f && Finite(b.m_Strength) && Finite(b.m_Pos[0]) && Finite(b.m_Pos[1]) &&
           Finite(b.m_Pos[2]);
}

inline float FieldValue(const CBall* balls, int count, const float p[3])
{
    float sum = 0.0f;
    for (int b = 0; b < count; ++b)
    {
        if (!Contributes(balls[b]))
            continue;
        const float dx = p[0] - balls[b].m_Pos[0];
        const float dy = p[1] - balls[b].m_Pos[1];
        const float dz = p[2] - balls[b].m_Pos[2];
        float d2 = dx * dx + dy * dy + dz * dz;
        d2 = std::max(d2, 0.0001f);
        sum = sum + balls[b].m_Strength / d2;
    }
    return sum;
}

inline void FieldNormal(const CBall* balls, int count, const float p[3], float n[3])
{
    n[0] = n[1] = n[2] = 0.0f;
    for (int b = 0; b < count; ++b)
    {
        if (!Contributes(balls[b]))
            continue;
        const float d[3] = {p[0] - balls[b].m_Pos[0], p[1] - balls[b].m_Pos[1], p[2] - balls[b].m_Pos[2]};
        const float r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        const float r4 = r2 * r2;
        for (int a = 0; a < 3; ++a)
        {
            if (r4 == 0.0f)
                n[a] = n[a] + FLT_MAX;
            else
                n[a] = n[a] + d[a] * (2.0f * balls[b].m_Strength) / r4;
        }
    }
}

inline float CornerPosition(int i)
{
    return float(i) * s_CellSize - 1.0f;
}

// Face masks in the order x+1, x, y+1, y, z+1, z.
constexpr uint8_t s_FaceMasks[6] = {0x66, 0x99, 0xF0, 0x0F, 0xCC, 0x33};
constexpr int s_FaceStep[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

struct CMesh
{
    std::vector<float> m_Vertices;   // 6 floats per vertex
    std::vector<uint16_t> m_Indices;
    bool m_Truncated = false;
};

// Appends one cell's triangles with its own vertex slots; false when they
// would not fit in the capacities.
inline bool EmitCell(const CBall* balls, int count, float iso, int x, int y, int z, const float value[8],
                     int cubeIndex, size_t vertexCapacity, size_t indexCapacity, CMesh& mesh)
{
    const int8_t* row = CIsoSurface::s_TriTable[cubeIndex];
    int edgesUsed = 0, indexCount = 0;
    bool seen[12] = {};
    for (int n = 0; row[n] >= 0; ++n)
    {
        ++indexCount;
        if (!seen[row[n]])
        {
            seen[row[n]] = true;
            ++edgesUsed;
        }
    }
    if (mesh.m_Vertices.size() / 6 + size_t(edgesUsed) > vertexCapacity ||
        mesh.m_Indices.size() + size_t(indexCount) > indexCapacity)
        return false;

    const float origin[3] = {float(x) * s_CellSize - 1.0f, float(y) * s_CellSize - 1.0f,
                             float(z) * s_CellSize - 1.0f};
    uint16_t slot[12];
    std::fill(slot, slot + 12, uint16_t(0xFFFF));
    for (int n = 0; row[n] >= 0; ++n)
    {
        const int e = row[n];
        if (slot[e] == 0xFFFF)
        {
            slot[e] = uint16_t(mesh.m_Vertices.size() / 6);
            const int c0 = CIsoSurface::s_EdgeCorners[e][0];
            const int c1 = CIsoSurface::s_EdgeCorners[e][1];
            float t = (iso - value[c0]) / (value[c1] - value[c0]);
            if (!(t >= 0.0f && t <= 1.0f))
                t = 0.5f;
            float pos[3];
            for (int a = 0; a < 3; ++a)
            {
                const float o0 = float(CIsoSurface::s_CornerOffsets[c0][a]);
                const float o1 = float(CIsoSurface::s_CornerOffsets[c1][a]);
                const float p = o0 + (o1 - o0) * t;
                pos[a] = p * s_CellSize + origin[a];
            }
            float normal[3];
            FieldNormal(balls, count, pos, normal);
            mesh.m_Vertices.insert(mesh.m_Vertices.end(), pos, pos + 3);
            mesh.m_Vertices.insert(mesh.m_Vertices.end(), normal, normal + 3);
        }
        mesh.m_Indices.push_back(slot[e]);
    }
    return true;
}

// The walk-and-flood-fill mesher, as plain as it can be written.
class CReferenceMesher
{
public:
    explicit CReferenceMesher(float iso, int vertexCapacity = CIsoSurface::s_VertexCapacity,
                              int indexCapacity = CIsoSurface::s_IndexCapacity)
        : m_Iso(iso), m_VertexCapacity(size_t(vertexCapacity)), m_IndexCapacity(size_t(indexCapacity))
    {
    }

    static std::array<int, 3> StartCell(const CBall& ball)
    {
        std::array<int, 3> cell{};
        for (int a = 0; a < 3; ++a)
        {
            const float v = (ball.m_Pos[a] + 1.0f) / s_CellSize + 0.5f;
            if (!(v > 0.0f))
                cell[a] = 0;
            else if (v >= float(R - 1))
                cell[a] = R - 1;
            else
                cell[a] = int(std::nearbyint(v));
        }
        return cell;
    }

    void Build(const CBall* balls, int count)
    {
        m_Balls = balls;
        m_Count = count;
        m_Mesh = CMesh{};
        m_CornerValue.assign(C * C * C, 0.0f);
        m_CornerDone.assign(C * C * C, 0);
        m_CellState.assign(R * R * R, 0);
        m_CubeIndex.assign(R * R * R, -1);
        m_Stack.clear();
        m_StackPeak = 0;
        m_Order.clear();

        for (int b = 0; b < count; ++b)
        {
            auto [x, y, z] = StartCell(balls[b]);
            if (State(x, y, z) == 1)
                continue;
            int cube = Polygonise(x, y, z);
            bool reached = true;
            while (cube == 255)
            {
                if (z == 0 || State(x, y, z - 1) == 1)
                {
                    reached = false;
                    break;
                }
                --z;
                cube = Polygonise(x, y, z);
            }
            if (cube < 0)
                return;
            if (!reached)
                continue;
            PushNeighbours(cube, x, y, z);
            while (!m_Stack.empty())
            {
                const std::array<int, 3> item = m_Stack.back();
                m_Stack.pop_back();
                cube = Polygonise(item[0], item[1], item[2]);
                if (cube < 0)
                    return;
                PushNeighbours(cube, item[0], item[1], item[2]);
            }
        }
    }

    const CMesh& Mesh() const { return m_Mesh; }
    int CubeIndex(int x, int y, int z) const { return m_CubeIndex[x + R * (y + R * z)]; }
    int StackPeak() const { return m_StackPeak; }
    // Cells in the order they were polygonised.
    const std::vector<std::array<int, 3>>& Order() const { return m_Order; }

private:
    uint8_t& State(int x, int y, int z) { return m_CellState[x + R * (y + R * z)]; }

    float CornerValue(int i, int j, int k)
    {
        const int ci = i + C * (j + C * k);
        if (!m_CornerDone[ci])
        {
            if (i == 0 || j == 0 || k == 0 || i == R || j == R || k == R)
                m_CornerValue[ci] = 0.0f;
            else
            {
                const float p[3] = {CornerPosition(i), CornerPosition(j), CornerPosition(k)};
                m_CornerValue[ci] = FieldValue(m_Balls, m_Count, p);
            }
            m_CornerDone[ci] = 1;
        }
        return m_CornerValue[ci];
    }

    int Polygonise(int x, int y, int z)
    {
        float value[8];
        int cube = 0;
        for (int n = 0; n < 8; ++n)
        {
            const int8_t* o = CIsoSurface::s_CornerOffsets[n];
            value[n] = CornerValue(x + o[0], y + o[1], z + o[2]);
            if (value[n] > m_Iso)
                cube |= 1 << n;
        }
        if (!EmitCell(m_Balls, m_Count, m_Iso, x, y, z, value, cube, m_VertexCapacity, m_IndexCapacity, m_Mesh))
        {
            m_Mesh.m_Truncated = true;
            return -1;
        }
        State(x, y, z) = 1;
        m_CubeIndex[x + R * (y + R * z)] = cube;
        m_Order.push_back({x, y, z});
        return cube;
    }

    void PushNeighbours(int cube, int x, int y, int z)
    {
        for (int f = 0; f < 6; ++f)
        {
            const int bits = cube & s_FaceMasks[f];
            if (bits == 0 || bits == s_FaceMasks[f])
                continue;
            const int nx = x + s_FaceStep[f][0], ny = y + s_FaceStep[f][1], nz = z + s_FaceStep[f][2];
            if (nx < 0 || ny < 0 || nz < 0 || nx >= R || ny >= R || nz >= R)
                continue;
            uint8_t& state = State(nx, ny, nz);
            if (state == 1 || state == 2)
                continue;
            m_Stack.push_back({nx, ny, nz});
            m_StackPeak = std::max(m_StackPeak, int(m_Stack.size()));
            state = 2;
        }
    }

    float m_Iso;
    size_t m_VertexCapacity;
    size_t m_IndexCapacity;
    const CBall* m_Balls = nullptr;
    int m_Count = 0;
    CMesh m_Mesh;
    std::vector<float> m_CornerValue;
    std::vector<uint8_t> m_CornerDone;
    std::vector<uint8_t> m_CellState;
    std::vector<int> m_CubeIndex;
    std::vector<std::array<int, 3>> m_Stack;
    int m_StackPeak = 0;
    std::vector<std::array<int, 3>> m_Order;
};

// Every corner evaluated, every cell polygonised in x, y, z order.
class CFullGridMesher
{
public:
    explicit CFullGridMesher(float iso) : m_Iso(iso), m_Values(C * C * C) {}

    void Build(const CBall* balls, int count)
    {
        m_Mesh.m_Vertices.clear();
        m_Mesh.m_Indices.clear();
        m_Mesh.m_Truncated = false;
        // The contributing balls once, then a tight scalar sum per corner.
        m_Active.clear();
        for (int b = 0; b < count; ++b)
            if (Contributes(balls[b]))
                m_Active.push_back(balls[b]);
        for (int k = 0; k < C; ++k)
            for (int j = 0; j < C; ++j)
                for (int i = 0; i < C; ++i)
                {
                    float v = 0.0f;
                    if (i > 0 && j > 0 && k > 0 && i < R && j < R && k < R)
                    {
                        const float p[3] = {CornerPosition(i), CornerPosition(j), CornerPosition(k)};
                        for (const CBall& b : m_Active)
                        {
                            const float dx = p[0] - b.m_Pos[0];
                            const float dy = p[1] - b.m_Pos[1];
                            const float dz = p[2] - b.m_Pos[2];
                            const float d2 = std::max(dx * dx + dy * dy + dz * dz, 0.0001f);
                            v = v + b.m_Strength / d2;
                        }
                    }
                    m_Values[i + C * (j + C * k)] = v;
                }
        balls = m_Active.data();
        count = int(m_Active.size());
        for (int z = 0; z < R; ++z)
            for (int y = 0; y < R; ++y)
                for (int x = 0; x < R; ++x)
                {
                    float value[8];
                    int cube = 0;
                    for (int n = 0; n < 8; ++n)
                    {
                        const int8_t* o = CIsoSurface::s_CornerOffsets[n];
                        value[n] = m_Values[(x + o[0]) + C * ((y + o[1]) + C * (z + o[2]))];
                        if (value[n] > m_Iso)
                            cube |= 1 << n;
                    }
                    if (!EmitCell(balls, count, m_Iso, x, y, z, value, cube, CIsoSurface::s_VertexCapacity,
                                  CIsoSurface::s_IndexCapacity, m_Mesh))
                    {
                        m_Mesh.m_Truncated = true;
                        return;
                    }
                }
    }

    const CMesh& Mesh() const { return m_Mesh; }

private:
    float m_Iso;
    std::vector<float> m_Values;
    std::vector<CBall> m_Active;
    CMesh m_Mesh;
};

} // namespace ref
