// The mesher, in four sections:
//   [1] construction and the balls
//   [2] the field: corner values and vertex normals
//   [3] cells: polygonising one cell
//   [4] the walk from each ball and the flood fill
// Draw lives in IsoSurfaceDraw.cpp, so that the mesher links without a device.
//
// Every sum over the balls runs in slot order in 32-bit floats, and a vertex
// is worked out once per grid edge and copied into each cell that uses it:
// the output is the same, byte for byte, as polygonising every cell on its own.
#include "visualiser/IsoSurface.h"

#include <cfloat>
#include <cmath>
#include <cstring>

static_assert(FLT_EVAL_METHOD == 0, "float expressions must round at every step");

namespace {

constexpr int R = CIsoSurface::s_Resolution;
constexpr int C = CIsoSurface::s_Corners;
constexpr int s_CornerTotal = C * C * C;
constexpr int s_CellTotal = R * R * R;
constexpr float s_MinDistance2 = 0.0001f;   // keeps a ball's own centre finite

// Four lanes of independent IEEE single-precision arithmetic: each lane gives
// exactly what the scalar expression would.
typedef float V4 __attribute__((vector_size(16)));

inline V4 Splat(float v)
{
    return V4{v, v, v, v};
}

// Flat corner-index step from a cell's lowest corner to each cube corner.
constexpr int s_CornerStep[8] = {0, 1, 1 + C * C, C * C, C, 1 + C, 1 + C + C * C, C + C * C};

// Axis (0 x, 1 y, 2 z) along which each cube edge runs from its first corner.
constexpr uint8_t s_EdgeAxis[12] = {0, 2, 0, 2, 0, 2, 0, 2, 1, 1, 1, 1};

inline bool IsFinite(float v)
{
    return v - v == 0.0f;
}

} // namespace

// [1] construction and the balls ---------------------------------------------

CIsoSurface::CIsoSurface(float isoLevel, int vertexCapacity, int indexCapacity)
    : m_IsoLevel(isoLevel)
{
    static bool tablesReady = false;
    if (!tablesReady)
    {
        FillTables();
        tablesReady = true;
    }
    vertexCapacity = vertexCapacity < 0 ? 0 : vertexCapacity > s_VertexCapacity ? s_VertexCapacity : vertexCapacity;
    indexCapacity = indexCapacity < 0 ? 0 : indexCapacity > s_IndexCapacity ? s_IndexCapacity : indexCapacity;

    m_Balls.m_Items = std::make_unique<CBall[]>(s_MaxBalls);
    m_Stack.m_Items = std::make_unique<SStackItem[]>(s_InitialStack);
    m_CornerValues = std::make_unique<float[]>(s_CornerTotal);
    m_CornerDone = std::make_unique<uint8_t[]>(s_CornerTotal);
    m_CellState = std::make_unique<uint8_t[]>(s_CellTotal);
    m_Vertices.m_Capacity = vertexCapacity;
    m_Vertices.m_Items = std::make_unique<float[]>(size_t(vertexCapacity) * 6);
    m_Indices.m_Capacity = indexCapacity;
    m_Indices.m_Items = std::make_unique<uint16_t[]>(size_t(indexCapacity));
    m_EdgeVertex = std::make_unique<uint32_t[]>(size_t(s_CornerTotal) * 3);
}

CIsoSurface::~CIsoSurface() = default;

CBall* CIsoSurface::AddBall()
{
    if (m_Balls.m_Count >= m_Balls.m_Capacity)
        return nullptr;
    return &m_Balls.m_Items[m_Balls.m_Count++];
}

void CIsoSurface::Release()
{
    m_Vertices.m_Items.reset();
    m_Vertices.m_Capacity = 0;
    m_Vertices.m_Count = 0;
    m_Indices.m_Items.reset();
    m_Indices.m_Capacity = 0;
    m_Indices.m_Count = 0;
}

int CIsoSurface::VertexCount() const { return m_Vertices.m_Count; }
int CIsoSurface::IndexCount() const { return m_Indices.m_Count; }
const float* CIsoSurface::Vertices() const { return m_Vertices.m_Items.get(); }
const uint16_t* CIsoSurface::Indices() const { return m_Indices.m_Items.get(); }

uint8_t CIsoSurface::CellState(int x, int y, int z) const
{
    if (x < 0 || y < 0 || z < 0 || x >= R || y >= R || z >= R)
        return 0;
    return m_CellState[x + R * (y + R * z)];
}

void CIsoSurface::StartCell(const CBall& ball, int cell[3])
{
    for (int a = 0; a < 3; ++a)
    {
        // The nearest integer to (centre + 1) / cell size + 0.5, ties to even:
        // one more than the index of the cell holding the centre.
        float v = ball.m_Pos[a] + 1.0f;
        v = v / 0.0625f;
        v = v + 0.5f;
        // Centres off the grid (or not numbers) start from its edge instead.
        if (!(v > 0.0f))
            cell[a] = 0;
        else if (v >= float(R - 1))
            cell[a] = R - 1;
        else
            cell[a] = int(std::nearbyint(v));
    }
}

// [2] the field ----------------------------------------------------------------

// Values of the listed corners (not yet cached), four at a time. Outer corners
// are 0; inner ones the sum over the balls of strength / max(d^2, 0.0001).
void CIsoSurface::EvaluateCorners(const int* corners, int count)
{
    int inner[8];
    int innerCount = 0;
    for (int n = 0; n < count; ++n)
    {
        const int ci = corners[n];
        const int i = ci % C;
        const int j = (ci / C) % C;
        const int k = ci / (C * C);
        m_CornerDone[ci] = 1;
        if (i == 0 || j == 0 || k == 0 || i == R || j == R || k == R)
            m_CornerValues[ci] = 0.0f;
        else
            inner[innerCount++] = ci;
    }

    const V4 minDistance2 = Splat(s_MinDistance2);
    for (int first = 0; first < innerCount; first += 4)
    {
        V4 px, py, pz;
        for (int l = 0; l < 4; ++l)
        {
            const int ci = inner[first + l < innerCount ? first + l : first];
            px[l] = float(ci % C) * m_CellSize - 1.0f;
            py[l] = float((ci / C) % C) * m_CellSize - 1.0f;
            pz[l] = float(ci / (C * C)) * m_CellSize - 1.0f;
        }
        V4 sum = Splat(0.0f);
        for (int b = 0; b < m_ActiveCount; ++b)
        {
            const V4 dx = px - Splat(m_Active[b][0]);
            const V4 dy = py - Splat(m_Active[b][1]);
            const V4 dz = pz - Splat(m_Active[b][2]);
            V4 d2 = dx * dx + dy * dy + dz * dz;
            d2 = d2 < minDistance2 ? minDistance2 : d2;
            sum = sum + Splat(m_Active[b][3]) / d2;
        }
        for (int l = 0; l < 4 && first + l < innerCount; ++l)
            m_CornerValues[inner[first + l]] = sum[l];
    }
}

// Normals of the listed vertices (position filled in), four at a time: the
// negative field gradient, sum over the balls of d x (2 x strength) / |d|^4;
// a vertex exactly on a centre gets the largest float per ball.
void CIsoSurface::EvaluateNormals(float* const* vertices, int count) const
{
    const V4 zero = Splat(0.0f);
    const V4 huge = Splat(FLT_MAX);
    for (int first = 0; first < count; first += 4)
    {
        V4 px, py, pz;
        for (int l = 0; l < 4; ++l)
        {
            const float* v = vertices[first + l < count ? first + l : first];
            px[l] = v[0];
            py[l] = v[1];
            pz[l] = v[2];
        }
        V4 nx = zero, ny = zero, nz = zero;
        for (int b = 0; b < m_ActiveCount; ++b)
        {
            const V4 dx = px - Splat(m_Active[b][0]);
            const V4 dy = py - Splat(m_Active[b][1]);
            const V4 dz = pz - Splat(m_Active[b][2]);
            const V4 r2 = dx * dx + dy * dy + dz * dz;
            const V4 r4 = r2 * r2;
            const V4 s2 = Splat(2.0f * m_Active[b][3]);
            const auto atCentre = r4 == zero;
            nx = nx + (atCentre ? huge : dx * s2 / r4);
            ny = ny + (atCentre ? huge : dy * s2 / r4);
            nz = nz + (atCentre ? huge : dz * s2 / r4);
        }
        for (int l = 0; l < 4 && first + l < count; ++l)
        {
            float* v = vertices[first + l];
            v[3] = nx[l];
            v[4] = ny[l];
            v[5] = nz[l];
        }
    }
}

// [3] cells --------------------------------------------------------------------

int CIsoSurface::Polygonise(int x, int y, int z)
{
    const int base = x + C * (y + C * z);
    int corner[8];
    int missing[8];
    int missingCount = 0;
    for (int n = 0; n < 8; ++n)
    {
        corner[n] = base + s_CornerStep[n];
        if (!m_CornerDone[corner[n]])
            missing[missingCount++] = corner[n];
    }
    if (missingCount > 0)
        EvaluateCorners(missing, missingCount);

    float value[8];
    int cubeIndex = 0;
    for (int n = 0; n < 8; ++n)
    {
        value[n] = m_CornerValues[corner[n]];
        if (value[n] > m_IsoLevel)
            cubeIndex |= 1 << n;
    }

    const SRow& row = s_Rows[cubeIndex];
    if (row.m_IndexCount > 0)
    {
        // A cell's vertices and indices go in whole or not at all.
        if (m_Vertices.m_Count + row.m_VertexCount > m_Vertices.m_Capacity ||
            m_Indices.m_Count + row.m_IndexCount > m_Indices.m_Capacity)
        {
            m_Truncated = true;
            return -1;
        }

        const float origin[3] = {float(x) * m_CellSize - 1.0f, float(y) * m_CellSize - 1.0f,
                                 float(z) * m_CellSize - 1.0f};
        float* const vertices = m_Vertices.m_Items.get();
        const int first = m_Vertices.m_Count;
        float* fresh[12];
        int freshCount = 0;
        for (int s = 0; s < row.m_VertexCount; ++s)
        {
            const int e = row.m_Edges[s];
            const int c0 = s_EdgeCorners[e][0];
            const int c1 = s_EdgeCorners[e][1];
            float* const out = vertices + size_t(first + s) * 6;

            const size_t gridEdge = size_t(corner[c0]) * 3 + s_EdgeAxis[e];
            const uint32_t known = m_EdgeVertex[gridEdge];
            if ((known >> 16) == m_Stamp)
            {
                std::memcpy(out, vertices + size_t(known & 0xFFFF) * 6, 6 * sizeof(float));
                continue;
            }
            m_EdgeVertex[gridEdge] = (m_Stamp << 16) | uint32_t(first + s);

            float t = (m_IsoLevel - value[c0]) / (value[c1] - value[c0]);
            // Only a corner whose sum overflowed to infinity gives no number here.
            if (!(t >= 0.0f && t <= 1.0f))
                t = 0.5f;
            for (int a = 0; a < 3; ++a)
            {
                const float o0 = float(s_CornerOffsets[c0][a]);
                const float o1 = float(s_CornerOffsets[c1][a]);
                const float p = o0 + (o1 - o0) * t;
                out[a] = p * m_CellSize + origin[a];
            }
            fresh[freshCount++] = out;
        }
        EvaluateNormals(fresh, freshCount);

        uint16_t* const indices = m_Indices.m_Items.get() + m_Indices.m_Count;
        for (int n = 0; n < row.m_IndexCount; ++n)
            indices[n] = uint16_t(first + row.m_Slots[n]);
        m_Vertices.m_Count += row.m_VertexCount;
        m_Indices.m_Count += row.m_IndexCount;
    }

    m_CellState[x + R * (y + R * z)] = 1;
    return cubeIndex;
}

// [4] the walk and the flood fill ------------------------------------------

void CIsoSurface::Push(int x, int y, int z)
{
    uint8_t& state = m_CellState[x + R * (y + R * z)];
    if (state != 0)
        return;
    if (m_Stack.m_Count == m_Stack.m_Capacity)
    {
        const int capacity = m_Stack.m_Capacity * 2;
        auto items = std::make_unique<SStackItem[]>(size_t(capacity));
        std::memcpy(items.get(), m_Stack.m_Items.get(), sizeof(SStackItem) * size_t(m_Stack.m_Count));
        m_Stack.m_Items = std::move(items);
        m_Stack.m_Capacity = capacity;
    }
    m_Stack.m_Items[m_Stack.m_Count++] = SStackItem{uint16_t(x), uint16_t(y), uint16_t(z)};
    if (m_Stack.m_Count > m_StackPeak)
        m_StackPeak = m_Stack.m_Count;
    state = 2;
}

void CIsoSurface::PushNeighbours(int cubeIndex, int x, int y, int z)
{
    // The outer corners keep every crossed face inside the grid for any iso
    // level above 0; the bounds keep a lower one from stepping off it.
    const uint8_t flags = s_FaceFlags[cubeIndex];
    if ((flags & 0x01) && x + 1 < R) Push(x + 1, y, z);
    if ((flags & 0x02) && x > 0) Push(x - 1, y, z);
    if ((flags & 0x04) && y + 1 < R) Push(x, y + 1, z);
    if ((flags & 0x08) && y > 0) Push(x, y - 1, z);
    if ((flags & 0x10) && z + 1 < R) Push(x, y, z + 1);
    if ((flags & 0x20) && z > 0) Push(x, y, z - 1);
}

void CIsoSurface::BuildMesh()
{
    m_Vertices.m_Count = 0;
    m_Indices.m_Count = 0;
    m_Stack.m_Count = 0;
    m_StackPeak = 0;
    m_Truncated = false;
    std::memset(m_CellState.get(), 0, s_CellTotal);
    std::memset(m_CornerDone.get(), 0, s_CornerTotal);
    m_Stamp = (m_Stamp + 1) & 0xFFFF;
    if (m_Stamp == 0)
    {
        std::memset(m_EdgeVertex.get(), 0, sizeof(uint32_t) * size_t(s_CornerTotal) * 3);
        m_Stamp = 1;
    }

    // Balls that add nothing (strength not above 0, or not a number anywhere)
    // are left out of every sum; they still start a walk.
    m_ActiveCount = 0;
    for (int b = 0; b < m_Balls.m_Count; ++b)
    {
        const CBall& ball = m_Balls.m_Items[b];
        if (!(ball.m_Strength > 0.0f) || !IsFinite(ball.m_Strength) || !IsFinite(ball.m_Pos[0]) ||
            !IsFinite(ball.m_Pos[1]) || !IsFinite(ball.m_Pos[2]))
            continue;
        m_Active[m_ActiveCount][0] = ball.m_Pos[0];
        m_Active[m_ActiveCount][1] = ball.m_Pos[1];
        m_Active[m_ActiveCount][2] = ball.m_Pos[2];
        m_Active[m_ActiveCount][3] = ball.m_Strength;
        ++m_ActiveCount;
    }

    for (int b = 0; b < m_Balls.m_Count; ++b)
    {
        int cell[3];
        StartCell(m_Balls.m_Items[b], cell);
        const int x = cell[0], y = cell[1];
        int z = cell[2];
        if (CellState(x, y, z) == 1)
            continue;

        // Walk down z until the surface is crossed; the bottom layer of
        // corners is outside, so this ends by z = 0.
        int cubeIndex = Polygonise(x, y, z);
        bool reached = true;
        while (cubeIndex == 255)
        {
            if (z == 0 || CellState(x, y, z - 1) == 1)
            {
                reached = false;
                break;
            }
            --z;
            cubeIndex = Polygonise(x, y, z);
        }
        if (cubeIndex < 0)
            return;
        if (!reached)
            continue;

        // Depth-first flood fill across crossed faces.
        PushNeighbours(cubeIndex, x, y, z);
        while (m_Stack.m_Count > 0)
        {
            const SStackItem item = m_Stack.m_Items[--m_Stack.m_Count];
            cubeIndex = Polygonise(item.m_X, item.m_Y, item.m_Z);
            if (cubeIndex < 0)
            {
                m_Stack.m_Count = 0;
                return;
            }
            PushNeighbours(cubeIndex, item.m_X, item.m_Y, item.m_Z);
        }
    }
}
