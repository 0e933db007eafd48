// The mesher, in four sections:
//   [1] construction and the balls
//   [2] the field: corner values and vertex normals, sixteen at a time
//   [3] cells: polygonising one cell
//   [4] the walk from each ball and the flood fill
// Draw lives in IsoSurfaceDraw.cpp, so that the mesher links without a device.
//
// The output is the same, byte for byte, as polygonising each cell on its own
// with scalar sums: every sum over the balls runs in slot order in 32-bit
// floats (one lane each, no fused multiply-adds), and a vertex is worked out
// once per grid edge and copied into each later cell that uses it, in that
// cell's own slot. The field is summed with the widest vectors the processor
// has (16, 8 or 4 lanes); each lane's operations are the same in all three.
#include "visualiser/IsoSurface.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static_assert(FLT_EVAL_METHOD == 0, "float expressions must round at every step");

namespace {

constexpr int R = CIsoSurface::s_Resolution;
constexpr int CellTotal = R * R * R;
constexpr int PX = 36, PY = 34, PZ = 34;   // the padded corner grid
constexpr int PaddedTotal = PX * PY * PZ;
constexpr float MinDistance2 = 0.0001f;   // keeps a ball's own centre finite
constexpr uint16_t NoVertex = 0xFFFF;
constexpr int Batch = 16;   // lanes per field evaluation: a block of 4 x 2 x 2 corners

typedef uint16_t VU16 __attribute__((vector_size(16)));

// Padded-grid step from a cell's lowest corner to each cube corner.
constexpr int CornerStep[8] = {0, 1, 1 + PX * PY, PX * PY, PX, 1 + PX, 1 + PX + PX * PY, PX + PX * PY};

// Axis (0 x, 1 y, 2 z) along which each cube edge runs from its first corner.
constexpr uint8_t EdgeAxis[12] = {0, 2, 0, 2, 0, 2, 0, 2, 1, 1, 1, 1};

// Each edge's first corner and its second minus its first, as floats, in the
// unit cell (the same values the corner offsets give when converted).
constexpr float EdgeStart[12][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0},
                                      {0, 1, 1}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}};
constexpr float EdgeRun[12][3] = {{1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1},
                                    {1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};

// Where an edge's shared vertex is kept, relative to the cell's lowest corner
// in m_EdgeVertex: its first corner's entry plus its axis.
constexpr int EdgeVertexOffset(int e)
{
    constexpr int8_t first[12] = {0, 1, 3, 0, 4, 5, 7, 4, 0, 1, 3, 2};
    return CornerStep[first[e]] * 4 + EdgeAxis[e];
}
constexpr int EdgeVertexOffsets[12] = {EdgeVertexOffset(0), EdgeVertexOffset(1), EdgeVertexOffset(2),
                                        EdgeVertexOffset(3), EdgeVertexOffset(4), EdgeVertexOffset(5),
                                        EdgeVertexOffset(6), EdgeVertexOffset(7), EdgeVertexOffset(8),
                                        EdgeVertexOffset(9), EdgeVertexOffset(10), EdgeVertexOffset(11)};

// Cube index bits of the corners compared four at a time: lanes (0, 1, 4, 5)
// and (3, 2, 7, 6), the two pairs of each x-row.
constexpr uint8_t SpreadBits(int mask, const int (&corner)[4])
{
    int bits = 0;
    for (int l = 0; l < 4; ++l)
        bits |= ((mask >> l) & 1) << corner[l];
    return uint8_t(bits);
}
constexpr int LowLanes[4] = {0, 1, 4, 5};
constexpr int HighLanes[4] = {3, 2, 7, 6};
constexpr uint8_t LowBits[16] = {
    SpreadBits(0, LowLanes),  SpreadBits(1, LowLanes),  SpreadBits(2, LowLanes),  SpreadBits(3, LowLanes),
    SpreadBits(4, LowLanes),  SpreadBits(5, LowLanes),  SpreadBits(6, LowLanes),  SpreadBits(7, LowLanes),
    SpreadBits(8, LowLanes),  SpreadBits(9, LowLanes),  SpreadBits(10, LowLanes), SpreadBits(11, LowLanes),
    SpreadBits(12, LowLanes), SpreadBits(13, LowLanes), SpreadBits(14, LowLanes), SpreadBits(15, LowLanes)};
constexpr uint8_t HighBits[16] = {
    SpreadBits(0, HighLanes),  SpreadBits(1, HighLanes),  SpreadBits(2, HighLanes),
    SpreadBits(3, HighLanes),  SpreadBits(4, HighLanes),  SpreadBits(5, HighLanes),
    SpreadBits(6, HighLanes),  SpreadBits(7, HighLanes),  SpreadBits(8, HighLanes),
    SpreadBits(9, HighLanes),  SpreadBits(10, HighLanes), SpreadBits(11, HighLanes),
    SpreadBits(12, HighLanes), SpreadBits(13, HighLanes), SpreadBits(14, HighLanes),
    SpreadBits(15, HighLanes)};

// Bit n set when corner n of the cell whose lowest corner is at values[0] is
// inside (strictly above the iso level).
inline int CubeIndex(const float* values, float iso)
{
#if defined(__SSE2__)
    const __m128 level = _mm_set1_ps(iso);
    __m128 low = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(values));
    low = _mm_loadh_pi(low, reinterpret_cast<const __m64*>(values + PX));
    __m128 high = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(values + PX * PY));
    high = _mm_loadh_pi(high, reinterpret_cast<const __m64*>(values + PX + PX * PY));
    return LowBits[_mm_movemask_ps(_mm_cmpgt_ps(low, level))] |
           HighBits[_mm_movemask_ps(_mm_cmpgt_ps(high, level))];
#else
    int cubeIndex = 0;
    for (int n = 0; n < 8; ++n)
        cubeIndex |= int(values[CornerStep[n]] > iso) << n;
    return cubeIndex;
#endif
}

inline bool IsFinite(float v)
{
    return v - v == 0.0f;
}

// The two kernels, written once for any vector width W dividing 16. They
// take and give plain arrays of 16 lanes, so that they inline into the
// width-specific entry points below and are compiled for those processors.
// Every lane v (a sign of zero is kept, unlike adding v to zeros).
template <typename V>
__attribute__((always_inline)) inline void Fill(V& out, float v)
{
    for (int l = 0; l < int(sizeof(V) / sizeof(float)); ++l)
        out[l] = v;
}

// Per ball, the squared distance along each axis from its centre to every
// grid plane, laid out as the 16 lanes of a block: one lane vector per block
// column along x, then per block row along y, then per block layer along z.
constexpr int BlocksX = PX / 4;
constexpr int SquaresY = BlocksX * Batch;
constexpr int BlocksY = PY / 2, BlocksZ = PZ / 2;
constexpr int SquaresZ = SquaresY + BlocksY * Batch;
constexpr int BallSquares = SquaresZ + BlocksZ * Batch;

// Field at the 16 corners of a block: strength / max(d^2, 0.0001) over the
// balls in order, with d^2 = dx^2 + dy^2 + dz^2 from the tables above (each
// square rounded as it would be if worked out here). sqx, sqy, sqz: the
// block's vectors for the first ball.
template <typename V>
__attribute__((always_inline)) inline void FieldKernel(const float* sqx, const float* sqy, const float* sqz,
                                                       const float (*balls)[5], int count, float* out)
{
    constexpr int W = int(sizeof(V) / sizeof(float));
    constexpr int N = Batch / W;
    V sum[N], minDistance2{}, strength{};
    for (int c = 0; c < N; ++c)
        Fill(sum[c], 0.0f);
    Fill(minDistance2, MinDistance2);
    for (int b = 0; b < count; ++b)
    {
        Fill(strength, balls[b][3]);
        const size_t ball = size_t(b) * BallSquares;
        for (int c = 0; c < N; ++c)
        {
            V dx2, dy2, dz2;
            std::memcpy(&dx2, sqx + ball + c * W, sizeof(V));
            std::memcpy(&dy2, sqy + ball + c * W, sizeof(V));
            std::memcpy(&dz2, sqz + ball + c * W, sizeof(V));
            V d2 = dx2 + dy2 + dz2;
            d2 = d2 < minDistance2 ? minDistance2 : d2;
            sum[c] = sum[c] + strength / d2;
        }
    }
    std::memcpy(out, sum, sizeof sum);
}

// Negative field gradient at 16 points: sum over the balls of
// d x (2 x strength) / |d|^4, the largest float per ball at a centre.
template <typename V>
__attribute__((always_inline)) inline void NormalKernel(const float* px, const float* py, const float* pz,
                                                        const float (*balls)[5], int count, float* nx,
                                                        float* ny, float* nz)
{
    constexpr int W = int(sizeof(V) / sizeof(float));
    constexpr int N = Batch / W;
    V zero{}, huge{}, bx{}, by{}, bz{}, s2{};
    Fill(zero, 0.0f);
    Fill(huge, FLT_MAX);
    for (int c = 0; c < N; ++c)
    {
        V x, y, z;
        std::memcpy(&x, px + c * W, sizeof x);
        std::memcpy(&y, py + c * W, sizeof y);
        std::memcpy(&z, pz + c * W, sizeof z);
        V sx = zero, sy = zero, sz = zero;
        for (int b = 0; b < count; ++b)
        {
            Fill(bx, balls[b][0]);
            Fill(by, balls[b][1]);
            Fill(bz, balls[b][2]);
            Fill(s2, balls[b][4]);
            const V dx = x - bx;
            const V dy = y - by;
            const V dz = z - bz;
            const V r2 = dx * dx + dy * dy + dz * dz;
            const V r4 = r2 * r2;
            const auto atCentre = r4 == zero;
            sx = sx + (atCentre ? huge : dx * s2 / r4);
            sy = sy + (atCentre ? huge : dy * s2 / r4);
            sz = sz + (atCentre ? huge : dz * s2 / r4);
        }
        std::memcpy(nx + c * W, &sx, sizeof sx);
        std::memcpy(ny + c * W, &sy, sizeof sy);
        std::memcpy(nz + c * W, &sz, sizeof sz);
    }
}

typedef float V4 __attribute__((vector_size(16)));

void Field4(const float* px, const float* py, const float* pz, const float (*balls)[5], int count, float* out)
{
    FieldKernel<V4>(px, py, pz, balls, count, out);
}

void Normal4(const float* px, const float* py, const float* pz, const float (*balls)[5], int count, float* nx,
             float* ny, float* nz)
{
    NormalKernel<V4>(px, py, pz, balls, count, nx, ny, nz);
}

typedef void (*FieldFn)(const float*, const float*, const float*, const float (*)[5], int, float*);
typedef void (*NormalFn)(const float*, const float*, const float*, const float (*)[5], int, float*, float*,
                         float*);

#if defined(__x86_64__) || defined(__i386__)
typedef float V8 __attribute__((vector_size(32)));
typedef float V16 __attribute__((vector_size(64)));

__attribute__((target("avx2"))) void Field8(const float* px, const float* py, const float* pz,
                                            const float (*balls)[5], int count, float* out)
{
    FieldKernel<V8>(px, py, pz, balls, count, out);
}

__attribute__((target("avx2"))) void Normal8(const float* px, const float* py, const float* pz,
                                             const float (*balls)[5], int count, float* nx, float* ny,
                                             float* nz)
{
    NormalKernel<V8>(px, py, pz, balls, count, nx, ny, nz);
}

__attribute__((target("avx512f"))) void Field16(const float* px, const float* py, const float* pz,
                                                const float (*balls)[5], int count, float* out)
{
    FieldKernel<V16>(px, py, pz, balls, count, out);
}

__attribute__((target("avx512f"))) void Normal16(const float* px, const float* py, const float* pz,
                                                 const float (*balls)[5], int count, float* nx, float* ny,
                                                 float* nz)
{
    NormalKernel<V16>(px, py, pz, balls, count, nx, ny, nz);
}
#endif

struct SKernels
{
    FieldFn m_Field;
    NormalFn m_Normal;
};

// The widest kernels the processor runs, up to maxLanes; their width.
int PickKernels(int maxLanes, SKernels& kernels)
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (maxLanes >= 16 && __builtin_cpu_supports("avx512f"))
    {
        kernels = {Field16, Normal16};
        return 16;
    }
    if (maxLanes >= 8 && __builtin_cpu_supports("avx2"))
    {
        kernels = {Field8, Normal8};
        return 8;
    }
#endif
    kernels = {Field4, Normal4};
    return 4;
}

// Picked by the first mesher constructed, unless UseLanes came first.
SKernels s_Kernels = {Field4, Normal4};
int s_KernelLanes = 0;

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
    if (s_KernelLanes == 0)
        s_KernelLanes = PickKernels(16, s_Kernels);
    vertexCapacity = vertexCapacity < 0 ? 0 : vertexCapacity > s_VertexCapacity ? s_VertexCapacity : vertexCapacity;
    indexCapacity = indexCapacity < 0 ? 0 : indexCapacity > s_IndexCapacity ? s_IndexCapacity : indexCapacity;

    m_Balls.m_Items = std::make_unique<CBall[]>(s_MaxBalls);
    m_Stack.m_Items = std::make_unique<SStackItem[]>(s_InitialStack);
    m_Values = std::make_unique<float[]>(PaddedTotal);
    m_Squares = std::make_unique<float[]>(size_t(s_MaxBalls) * BallSquares);
    m_EdgeVertex = std::make_unique<uint16_t[]>(size_t(PaddedTotal) * 4);
    m_CellState = std::make_unique<uint8_t[]>(CellTotal);
    m_Vertices.m_Capacity = vertexCapacity;
    m_Vertices.m_Items = std::make_unique<float[]>(size_t(vertexCapacity) * 6);
    m_Indices.m_Capacity = indexCapacity;
    m_Indices.m_Items = std::make_unique<uint16_t[]>(size_t(indexCapacity));
    m_Fresh = std::make_unique<uint64_t[]>(size_t(vertexCapacity));
    m_Copies = std::make_unique<uint32_t[]>(size_t(vertexCapacity));
    for (int i = 0; i < s_PadX; ++i)
        m_Coord[i] = float(i) * m_CellSize - 1.0f;
}

int CIsoSurface::UseLanes(int maxLanes)
{
    s_KernelLanes = PickKernels(maxLanes, s_Kernels);
    return s_KernelLanes;
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

// Sums the blocks holding the eight corners of cell (x, y, z) that are not
// summed yet this build.
void CIsoSurface::EvaluateBlocks(int x, int y, int z)
{
    const int bi[2] = {x >> 2, (x + 1) >> 2};
    const int bj[2] = {y >> 1, (y + 1) >> 1};
    const int bk[2] = {z >> 1, (z + 1) >> 1};
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i)
                if (!(m_BlockDone[bj[j] + s_BlocksY * bk[k]] & (1u << bi[i])))
                    EvaluateBlock(bi[i], bj[j], bk[k]);
}

// One block of 4 x 2 x 2 corners, lane i + 4 x (j + 2 x k); the outer layer
// of corners is 0, and its edges have no vertices yet.
void CIsoSurface::EvaluateBlock(int bi, int bj, int bk)
{
    m_BlockDone[bj + s_BlocksY * bk] |= uint16_t(1u << bi);
    const int i0 = bi * s_BlockX, j0 = bj * s_BlockY, k0 = bk * s_BlockZ;
    alignas(64) float value[Batch];
    const float* const squares = m_Squares.get();
    s_Kernels.m_Field(squares + bi * Batch, squares + SquaresY + bj * Batch,
                      squares + SquaresZ + bk * Batch, m_Active, m_ActiveCount, value);

    const bool inner = i0 > 0 && i0 + s_BlockX <= R && j0 > 0 && j0 + s_BlockY <= R && k0 > 0 && k0 + s_BlockZ <= R;
    for (int r = 0; r < 4; ++r)
    {
        const int j = j0 + (r & 1);
        const int k = k0 + (r >> 1);
        const int row = i0 + PX * (j + PY * k);
        if (inner)
            std::memcpy(&m_Values[row], value + r * 4, 4 * sizeof(float));
        else
        {
            const bool outerRow = j == 0 || k == 0 || j >= R || k >= R;
            for (int l = 0; l < 4; ++l)
                m_Values[row + l] = outerRow || i0 + l == 0 || i0 + l >= R ? 0.0f : value[r * 4 + l];
        }
        std::memset(&m_EdgeVertex[size_t(row) * 4], 0xFF, 4 * 4 * sizeof(uint16_t));
    }
}

// The vertices made this build, sixteen at a time: the position on the edge
// where the field crosses the iso level, then the normal there. Then the
// copies take position and normal from them.
void CIsoSurface::FinishVertices()
{
    float* const vertices = m_Vertices.m_Items.get();
    const float* const values = m_Values.get();
    const float iso = m_IsoLevel;
    const float cellSize = m_CellSize;
    for (int first = 0; first < m_FreshCount; first += Batch)
    {
        alignas(64) float p[3][Batch], nx[Batch], ny[Batch], nz[Batch];
        float* v[Batch];
        const int count = m_FreshCount - first < Batch ? m_FreshCount - first : Batch;
        for (int l = 0; l < Batch; ++l)
        {
            const uint64_t record = m_Fresh[first + (l < count ? l : 0)];
            v[l] = vertices + size_t(record & 0xFFFF) * 6;
            const int cell[3] = {int(record >> 16) & 0xFF, int(record >> 24) & 0xFF, int(record >> 32) & 0xFF};
            const int e = int(record >> 40) & 0xF;
            const float* const corner = values + cell[0] + PX * (cell[1] + PY * cell[2]);
            const float v0 = corner[CornerStep[s_EdgeCorners[e][0]]];
            float t = (iso - v0) / (corner[CornerStep[s_EdgeCorners[e][1]]] - v0);
            // Only a corner whose sum overflowed to infinity gives no number here.
            if (!(t >= 0.0f && t <= 1.0f))
                t = 0.5f;
            for (int a = 0; a < 3; ++a)
            {
                const float unit = EdgeStart[e][a] + EdgeRun[e][a] * t;
                p[a][l] = unit * cellSize + m_Coord[cell[a]];
            }
        }
        s_Kernels.m_Normal(p[0], p[1], p[2], m_Active, m_ActiveCount, nx, ny, nz);
        for (int l = 0; l < count; ++l)
        {
            v[l][0] = p[0][l];
            v[l][1] = p[1][l];
            v[l][2] = p[2][l];
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
    {
        const unsigned want = (1u << (x >> 2)) | (1u << ((x + 1) >> 2));
        const uint16_t* const done = m_BlockDone;
        const int j0 = y >> 1, j1 = (y + 1) >> 1, k0 = (z >> 1) * s_BlocksY, k1 = ((z + 1) >> 1) * s_BlocksY;
        if ((done[j0 + k0] & done[j1 + k0] & done[j0 + k1] & done[j1 + k1] & want) != want)
            EvaluateBlocks(x, y, z);
    }

    const int base = x + PX * (y + PY * z);
    const float* const values = m_Values.get() + base;
    const float iso = m_IsoLevel;
    const int cubeIndex = CubeIndex(values, iso);

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

        // Each vertex is a copy of the one an earlier cell made on its edge,
        // or a new one; new ones are placed and given normals after the walk.
        // Both records are written and one of them counted, without branches.
        const int first = m_Vertices.m_Count;
        uint64_t* const fresh = m_Fresh.get();
        uint32_t* const copies = m_Copies.get();
        int freshCount = m_FreshCount;
        int copyCount = m_CopyCount;
        uint16_t* const edgeVertex = m_EdgeVertex.get() + size_t(base) * 4;
        const uint64_t cell = (uint64_t(x) << 16) | (uint64_t(y) << 24) | (uint64_t(z) << 32);
        for (int s = 0; s < row.m_VertexCount; ++s)
        {
            const int e = row.m_Edges[s];
            const uint32_t vertex = uint32_t(first + s);
            uint16_t& slot = edgeVertex[EdgeVertexOffsets[e]];
            const uint32_t known = slot;
            const bool isNew = known == NoVertex;
            copies[copyCount] = (vertex << 16) | known;
            copyCount += int(!isNew);
            fresh[freshCount] = cell | (uint64_t(e) << 40) | vertex;
            freshCount += int(isNew);
            slot = uint16_t(isNew ? vertex : known);
        }
        m_FreshCount = freshCount;
        m_CopyCount = copyCount;

        uint16_t* const indices = m_Indices.m_Items.get() + m_Indices.m_Count;
        if (m_Indices.m_Count + 16 <= m_Indices.m_Capacity)
        {
            // All sixteen at once; those past the row are overwritten later.
            VU16 lo, hi;
            std::memcpy(&lo, row.m_Slots, sizeof lo);
            std::memcpy(&hi, row.m_Slots + 8, sizeof hi);
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
    while (flags != 0)
    {
        const int f = __builtin_ctz(flags);
        flags &= flags - 1;
        const int nx = x + step[f][0], ny = y + step[f][1], nz = z + step[f][2];
        if (unsigned(nx) < unsigned(R) && unsigned(ny) < unsigned(R) && unsigned(nz) < unsigned(R))
            Push(nx, ny, nz);
    }
}

void CIsoSurface::BuildMesh()
{
    m_Vertices.m_Count = 0;
    m_Indices.m_Count = 0;
    m_Stack.m_Count = 0;
    m_StackPeak = 0;
    m_FreshCount = 0;
    m_CopyCount = 0;
    m_Truncated = false;
    std::memset(m_CellState.get(), 0, CellTotal);
    std::memset(m_BlockDone, 0, sizeof m_BlockDone);

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
        m_Active[m_ActiveCount][4] = 2.0f * ball.m_Strength;
        float* const squares = m_Squares.get() + size_t(m_ActiveCount) * BallSquares;
        float square[3][s_PadX];
        for (int a = 0; a < 3; ++a)
            for (int i = 0; i < s_PadX; ++i)
            {
                const float d = m_Coord[i] - ball.m_Pos[a];
                square[a][i] = d * d;
            }
        for (int bi = 0; bi < BlocksX; ++bi)
            for (int l = 0; l < Batch; ++l)
                squares[bi * Batch + l] = square[0][bi * s_BlockX + (l & 3)];
        for (int bj = 0; bj < s_BlocksY; ++bj)
            for (int l = 0; l < Batch; ++l)
                squares[SquaresY + bj * Batch + l] = square[1][bj * s_BlockY + ((l >> 2) & 1)];
        for (int bk = 0; bk < s_BlocksZ; ++bk)
            for (int l = 0; l < Batch; ++l)
                squares[SquaresZ + bk * Batch + l] = square[2][bk * s_BlockZ + (l >> 3)];
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
