// The mesher, in four sections:
//   [1] construction and the balls
//   [2] the field: corner values and vertex normals, four at a time
//   [3] cells: polygonising one cell
//   [4] the walk from each ball and the flood fill
// Draw lives in IsoSurfaceDraw.cpp, so that the mesher links without a device.
//
// The output is the same, byte for byte, as polygonising each cell on its own
// with scalar sums: every sum over the balls runs in slot order in 32-bit
// floats (one lane each), and a vertex is worked out once per grid edge and
// copied into each later cell that uses it, in that cell's own slot.
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
constexpr uint16_t s_NoVertex = 0xFFFF;

// Four lanes of independent IEEE single-precision arithmetic: each lane gives
// exactly what the scalar expression would.
constexpr int s_Lanes = 4;
typedef float VF __attribute__((vector_size(4 * s_Lanes)));
static_assert(s_Lanes == 4, "the balls are kept repeated across four lanes");

typedef uint16_t VU16 __attribute__((vector_size(16)));

inline VF Splat(float v)
{
    return VF{} + v;
}

inline VF Load(const float* lanes)
{
    VF v;
    std::memcpy(&v, lanes, sizeof v);
    return v;
}

// Flat corner-index step from a cell's lowest corner to each cube corner.
constexpr int s_CornerStep[8] = {0, 1, 1 + C * C, C * C, C, 1 + C, 1 + C + C * C, C + C * C};

// Axis (0 x, 1 y, 2 z) along which each cube edge runs from its first corner.
constexpr uint8_t s_EdgeAxis[12] = {0, 2, 0, 2, 0, 2, 0, 2, 1, 1, 1, 1};

// Each edge's first corner and its second minus its first, as floats, in the
// unit cell (the same values the corner offsets give when converted).
constexpr float s_EdgeStart[12][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0},
                                      {0, 1, 1}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}};
constexpr float s_EdgeRun[12][3] = {{1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1},
                                    {1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};

// The neighbour across each face (x+1, x, y+1, y, z+1, z): its corners that
// the cell does not share, as flat steps from the cell's lowest corner.
constexpr int s_FarCorners[6][4] = {
    {2, 2 + C, 2 + C * C, 2 + C + C * C},
    {-1, -1 + C, -1 + C * C, -1 + C + C * C},
    {2 * C, 2 * C + 1, 2 * C + C * C, 2 * C + 1 + C * C},
    {-C, -C + 1, -C + C * C, -C + 1 + C * C},
    {2 * C * C, 2 * C * C + 1, 2 * C * C + C, 2 * C * C + C + 1},
    {-C * C, -C * C + 1, -C * C + C, -C * C + C + 1},
};

inline bool IsFinite(float v)
{
    return v - v == 0.0f;
}

inline bool IsOuterCorner(int ci)
{
    const int i = ci % C;
    const int j = (ci / C) % C;
    const int k = ci / (C * C);
    return i == 0 || j == 0 || k == 0 || i == R || j == R || k == R;
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
    m_Corners = std::make_unique<SCorner[]>(s_CornerTotal);
    m_CornerDone = std::make_unique<uint8_t[]>(s_CornerTotal);
    m_CellState = std::make_unique<uint8_t[]>(s_CellTotal);
    m_Pending = std::make_unique<int[]>(s_PendingCapacity);
    m_Vertices.m_Capacity = vertexCapacity;
    m_Vertices.m_Items = std::make_unique<float[]>(size_t(vertexCapacity) * 6);
    m_Indices.m_Capacity = indexCapacity;
    m_Indices.m_Items = std::make_unique<uint16_t[]>(size_t(indexCapacity));
    m_Fresh = std::make_unique<uint16_t[]>(size_t(vertexCapacity));
    m_Copies = std::make_unique<uint32_t[]>(size_t(vertexCapacity));
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

// Marks a corner as cached this build and clears its edge vertices; true when
// its value still has to be summed (outer corners are 0).
inline bool CIsoSurface::Claim(int ci)
{
    if (m_CornerDone[ci])
        return false;
    m_CornerDone[ci] = 1;
    SCorner& corner = m_Corners[ci];
    corner.m_Value = 0.0f;
    corner.m_Vertex[0] = corner.m_Vertex[1] = corner.m_Vertex[2] = s_NoVertex;
    return !IsOuterCorner(ci);
}

// Sums the field at claimed corners (at most eight), a batch of lanes at a
// time, the last batch topped up with pending corners: strength /
// max(d^2, 0.0001) over the balls in order.
void CIsoSurface::EvaluateCorners(int* corners, int count)
{
    while (count > s_Lanes)
    {
        EvaluateLanes(corners, s_Lanes);
        corners += s_Lanes;
        count -= s_Lanes;
    }
    while (count < s_Lanes && m_PendingCount > 0)
    {
        const int ci = m_Pending[--m_PendingCount];
        if (Claim(ci))
            corners[count++] = ci;
    }
    // Lanes still free cost nothing: give them the grid neighbours of the
    // first corner, which the surface is likely to reach next.
    static const int around[6] = {1, -1, C, -C, C * C, -C * C};
    for (int n = 0; n < 6 && count < s_Lanes; ++n)
        if (Claim(corners[0] + around[n]))
            corners[count++] = corners[0] + around[n];
    EvaluateLanes(corners, count);
}

void CIsoSurface::EvaluateLanes(const int* corners, int count)
{
    VF px, py, pz;
    for (int l = 0; l < s_Lanes; ++l)
    {
        const int ci = corners[l < count ? l : 0];
        px[l] = float(ci % C) * m_CellSize - 1.0f;
        py[l] = float((ci / C) % C) * m_CellSize - 1.0f;
        pz[l] = float(ci / (C * C)) * m_CellSize - 1.0f;
    }
    const VF minDistance2 = Splat(s_MinDistance2);
    VF sum = Splat(0.0f);
    for (int b = 0; b < m_ActiveCount; ++b)
    {
        const VF dx = px - Load(m_ActiveLanes[b][0]);
        const VF dy = py - Load(m_ActiveLanes[b][1]);
        const VF dz = pz - Load(m_ActiveLanes[b][2]);
        VF d2 = dx * dx + dy * dy + dz * dz;
        d2 = d2 < minDistance2 ? minDistance2 : d2;
        sum = sum + Load(m_ActiveLanes[b][3]) / d2;
    }
    for (int l = 0; l < count; ++l)
        m_Corners[corners[l]].m_Value = sum[l];
}

// Normals of the vertices made this build, four at a time: the negative
// field gradient, sum over the balls of d x (2 x strength) / |d|^4; a vertex
// exactly on a centre gets the largest float per ball. Then the copies.
void CIsoSurface::FinishVertices()
{
    float* const vertices = m_Vertices.m_Items.get();
    const VF zero = Splat(0.0f);
    const VF huge = Splat(FLT_MAX);
    for (int first = 0; first < m_FreshCount; first += s_Lanes)
    {
        float* v[s_Lanes];
        VF px, py, pz;
        for (int l = 0; l < s_Lanes; ++l)
        {
            v[l] = vertices + size_t(m_Fresh[first + l < m_FreshCount ? first + l : first]) * 6;
            px[l] = v[l][0];
            py[l] = v[l][1];
            pz[l] = v[l][2];
        }
        VF nx = zero, ny = zero, nz = zero;
        for (int b = 0; b < m_ActiveCount; ++b)
        {
            const VF dx = px - Load(m_ActiveLanes[b][0]);
            const VF dy = py - Load(m_ActiveLanes[b][1]);
            const VF dz = pz - Load(m_ActiveLanes[b][2]);
            const VF r2 = dx * dx + dy * dy + dz * dz;
            const VF r4 = r2 * r2;
            const VF s2 = 2.0f * Load(m_ActiveLanes[b][3]);
            const auto atCentre = r4 == zero;
            nx = nx + (atCentre ? huge : dx * s2 / r4);
            ny = ny + (atCentre ? huge : dy * s2 / r4);
            nz = nz + (atCentre ? huge : dz * s2 / r4);
        }
        for (int l = 0; l < s_Lanes && first + l < m_FreshCount; ++l)
        {
            v[l][3] = nx[l];
            v[l][4] = ny[l];
            v[l][5] = nz[l];
        }
    }
    for (int n = 0; n < m_CopyCount; ++n)
    {
        const uint32_t copy = m_Copies[n];
        std::memcpy(vertices + size_t(copy >> 16) * 6, vertices + size_t(copy & 0xFFFF) * 6, 6 * sizeof(float));
    }
    m_FreshCount = 0;
    m_CopyCount = 0;
}

// [3] cells --------------------------------------------------------------------

int CIsoSurface::Polygonise(int x, int y, int z)
{
    // Byte stores may alias anything, so the arrays and counters are held in
    // locals here rather than reloaded from the members after every store.
    const int base = x + C * (y + C * z);
    const uint8_t* const done = m_CornerDone.get();
    unsigned lacking = 0;
    for (int n = 0; n < 8; ++n)
        lacking |= unsigned(done[base + s_CornerStep[n]] ^ 1) << n;
    if (lacking != 0)
    {
        int missing[8];
        int missingCount = 0;
        for (; lacking != 0; lacking &= lacking - 1)
        {
            const int ci = base + s_CornerStep[__builtin_ctz(lacking)];
            if (Claim(ci))
                missing[missingCount++] = ci;
        }
        if (missingCount > 0)
            EvaluateCorners(missing, missingCount);
    }

    SCorner* const corners = m_Corners.get();
    const float iso = m_IsoLevel;
    SCorner* corner[8];
    float value[8];
    int cubeIndex = 0;
    for (int n = 0; n < 8; ++n)
    {
        corner[n] = corners + base + s_CornerStep[n];
        value[n] = corner[n]->m_Value;
        cubeIndex |= int(value[n] > iso) << n;
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
        uint16_t* const fresh = m_Fresh.get();
        uint32_t* const copies = m_Copies.get();
        int freshCount = m_FreshCount;
        int copyCount = m_CopyCount;
        const float cellSize = m_CellSize;
        for (int s = 0; s < row.m_VertexCount; ++s)
        {
            const int e = row.m_Edges[s];
            const int c0 = s_EdgeCorners[e][0];
            const int c1 = s_EdgeCorners[e][1];
            const uint32_t vertex = uint32_t(first + s);

            // A copy of the vertex an earlier cell made on this edge (filled in
            // after the walk), or a new one.
            uint16_t& known = corner[c0]->m_Vertex[s_EdgeAxis[e]];
            if (known != s_NoVertex)
            {
                copies[copyCount++] = (vertex << 16) | known;
                continue;
            }
            known = uint16_t(vertex);
            fresh[freshCount++] = uint16_t(vertex);

            float t = (iso - value[c0]) / (value[c1] - value[c0]);
            // Only a corner whose sum overflowed to infinity gives no number here.
            if (!(t >= 0.0f && t <= 1.0f))
                t = 0.5f;
            float* const out = vertices + size_t(vertex) * 6;
            for (int a = 0; a < 3; ++a)
            {
                const float p = s_EdgeStart[e][a] + s_EdgeRun[e][a] * t;
                out[a] = p * cellSize + origin[a];
            }
        }
        m_FreshCount = freshCount;
        m_CopyCount = copyCount;

        uint16_t* const indices = m_Indices.m_Items.get() + m_Indices.m_Count;
        if (m_Indices.m_Count + 16 <= m_Indices.m_Capacity)
        {
            // All sixteen at once; those past the row are overwritten later.
            VU16 lo, hi;
            for (int n = 0; n < 8; ++n)
            {
                lo[n] = row.m_Slots[n];
                hi[n] = row.m_Slots[n + 8];
            }
            lo += uint16_t(first);
            hi += uint16_t(first);
            std::memcpy(indices, &lo, sizeof lo);
            std::memcpy(indices + 8, &hi, sizeof hi);
        }
        else
        {
            for (int n = 0; n < row.m_IndexCount; ++n)
                indices[n] = uint16_t(first + row.m_Slots[n]);
        }
        m_Vertices.m_Count += row.m_VertexCount;
        m_Indices.m_Count += row.m_IndexCount;
    }

    m_CellState[x + R * (y + R * z)] = 1;
    return cubeIndex;
}

// [4] the walk and the flood fill ------------------------------------------

inline bool CIsoSurface::Push(int x, int y, int z)
{
    uint8_t& state = m_CellState[x + R * (y + R * z)];
    if (state != 0)
        return false;
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
    return true;
}

void CIsoSurface::PushNeighbours(int cubeIndex, int x, int y, int z)
{
    // The outer corners keep every crossed face inside the grid for any iso
    // level above 0; the bounds keep a lower one from stepping off it.
    static const int8_t step[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    unsigned flags = s_FaceFlags[cubeIndex];
    const int base = x + C * (y + C * z);
    while (flags != 0)
    {
        const int f = __builtin_ctz(flags);
        flags &= flags - 1;
        const int nx = x + step[f][0], ny = y + step[f][1], nz = z + step[f][2];
        if (unsigned(nx) >= unsigned(R) || unsigned(ny) >= unsigned(R) || unsigned(nz) >= unsigned(R) ||
            !Push(nx, ny, nz))
            continue;
        // Pending corners beyond the capacity are simply left to be claimed
        // when their cell comes up.
        int pendingCount = m_PendingCount;
        if (pendingCount + 4 > s_PendingCapacity)
            continue;
        int* const pending = m_Pending.get();
        const uint8_t* const done = m_CornerDone.get();
        for (int q = 0; q < 4; ++q)
        {
            const int ci = base + s_FarCorners[f][q];
            pending[pendingCount] = ci;
            pendingCount += done[ci] ^ 1;
        }
        m_PendingCount = pendingCount;
    }
}

void CIsoSurface::BuildMesh()
{
    m_Vertices.m_Count = 0;
    m_Indices.m_Count = 0;
    m_Stack.m_Count = 0;
    m_StackPeak = 0;
    m_PendingCount = 0;
    m_FreshCount = 0;
    m_CopyCount = 0;
    m_Truncated = false;
    std::memset(m_CellState.get(), 0, s_CellTotal);
    std::memset(m_CornerDone.get(), 0, s_CornerTotal);

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
        for (int a = 0; a < 4; ++a)
            for (int l = 0; l < 4; ++l)
                m_ActiveLanes[m_ActiveCount][a][l] = m_Active[m_ActiveCount][a];
        ++m_ActiveCount;
    }

    Walk();
    FinishVertices();
}

void CIsoSurface::Walk()
{
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
