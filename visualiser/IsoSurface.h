#pragma once
// Marching-cubes mesher for up to sixteen metaballs: walks from each ball to
// the surface, flood-fills the cells the surface crosses, and draws the mesh
// with the "Twister" technique of Shader.fx. Main thread only.
//
// Grid: 32 cells per axis over the cube -1..1. Cell (x, y, z) spans grid
// corners x..x+1, y..y+1, z..z+1; corner (i, j, k) sits at (i, j, k) x 0.0625 - 1.
// The outer layer of corners is always outside, which closes every surface
// inside the cube and keeps the flood fill inside the grid.
#include <cstdint>
#include <memory>

struct CBall
{
    float m_Pos[3];
    float m_Strength;
};

class CIsoSurface
{
public:
    static constexpr int s_MaxBalls = 16;
    static constexpr int s_Resolution = 32;
    static constexpr int s_Corners = s_Resolution + 1;
    // 16-bit indices address at most 65535 vertices; three indices per vertex
    // is more than any closed surface on this grid needs.
    static constexpr int s_VertexCapacity = 65535;
    static constexpr int s_IndexCapacity = 3 * 65535;
    static constexpr int s_InitialStack = 1024;

    // The capacities can be lowered (tests); they are clamped to 0..65535
    // vertices and 0..3 x 65535 indices.
    explicit CIsoSurface(float isoLevel, int vertexCapacity = s_VertexCapacity,
                         int indexCapacity = s_IndexCapacity);
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

    // What the last BuildMesh did, for tests and the benchmark.
    bool Truncated() const { return m_Truncated; }   // stopped at a cell that did not fit
    uint8_t CellState(int x, int y, int z) const;    // 0 untouched, 1 polygonised, 2 queued
    int StackCapacity() const { return m_Stack.m_Capacity; }
    int StackPeak() const { return m_StackPeak; }
    // The cell a ball's walk starts from (clamped into the grid).
    static void StartCell(const CBall& ball, int cell[3]);

    // Caps the width of the field sums (16, 8 or 4 lanes; the output is the
    // same at every width) for all meshers; returns the width now in use.
    static int UseLanes(int maxLanes);

    // Marching-cubes tables in this mesher's numbering.
    static const int8_t s_CornerOffsets[8][3];   // (dx, dy, dz) of each cube corner
    static const int8_t s_EdgeCorners[12][2];    // first and second corner of each edge
    static const int8_t s_TriTable[256][16];     // edge triples, -1 terminated
    static uint8_t s_FaceFlags[256];             // bit per face whose corners are mixed

    // Per cube index: the row's edges in order of first use and each index as
    // a slot among them; a cell emits exactly these vertices, in this order.
    struct SRow
    {
        uint8_t m_VertexCount;
        uint8_t m_IndexCount;
        uint8_t m_Edges[12];
        uint16_t m_Slots[16];   // 16-bit, added to the first vertex 8 at a time; the 16th is padding
    };
    static SRow s_Rows[256];

private:
    struct SStackItem
    {
        uint16_t m_X, m_Y, m_Z;
    };

    int Polygonise(int x, int y, int z);   // cube index, or -1 when the cell did not fit
    void PushNeighbours(int cubeIndex, int x, int y, int z);
    bool Push(int x, int y, int z);
    void EvaluateBlocks(int x, int y, int z);
    void EvaluateBlock(int bi, int bj, int bk);
    void Walk();
    void FinishVertices();
    static void FillTables();

    float m_IsoLevel;
    struct
    {
        int m_Capacity = s_MaxBalls;
        int m_Count = 0;
        std::unique_ptr<CBall[]> m_Items;
    } m_Balls;
    struct
    {
        int m_Count = 0;
        int m_Capacity = s_InitialStack;
        std::unique_ptr<SStackItem[]> m_Items;
    } m_Stack;
    uint16_t m_Resolution = s_Resolution;
    float m_CellSize = 0.0625f;
    // Corner values are summed a block of 4 x 2 x 2 corners at a time (16
    // lanes), the first time a cell needs one of them. Corner (i, j, k) is
    // kept at i + s_PadX x (j + s_PadY x k); the padding holds the lanes of
    // the last blocks that fall off the grid.
    static constexpr int s_BlockX = 4, s_BlockY = 2, s_BlockZ = 2;
    static constexpr int s_PadX = 36, s_PadY = 34, s_PadZ = 34;
    static constexpr int s_BlocksY = s_PadY / s_BlockY, s_BlocksZ = s_PadZ / s_BlockZ;
    std::unique_ptr<float[]> m_Values;
    float m_Coord[s_PadX];   // i x cell size - 1, the position of grid plane i
    std::unique_ptr<float[]> m_Squares;   // per ball, squared distances to the grid planes
    // Per corner, the first vertex made this build on the grid edge leaving it
    // along +x, +y, +z (0xFFFF: none yet), then one unused entry. A vertex is
    // worked out once per build and copied into every other cell using its edge.
    std::unique_ptr<uint16_t[]> m_EdgeVertex;
    // Bit bi of entry bj + s_BlocksY x bk: block (bi, bj, bk) summed this build.
    uint16_t m_BlockDone[s_BlocksY * s_BlocksZ];
    std::unique_ptr<uint8_t[]> m_CellState;
    struct
    {
        int m_Capacity = 0;
        int m_Count = 0;
        std::unique_ptr<float[]> m_Items;     // 6 floats per vertex
    } m_Vertices;
    struct
    {
        int m_Capacity = 0;
        int m_Count = 0;
        std::unique_ptr<uint16_t[]> m_Items;
    } m_Indices;

    // Per frame: the balls that contribute (finite, strength above 0), in
    // slot order, as x, y, z, strength, 2 x strength.
    int m_ActiveCount = 0;
    float m_Active[s_MaxBalls][5];
    // Positions and normals are worked out once the walk is done, sixteen
    // vertices at a time: the vertices made this build, then the copies
    // (destination in the top 16 bits, source in the low 16) take them over.
    std::unique_ptr<uint64_t[]> m_Fresh;   // vertex, cell x, y, z, edge: 16, 8, 8, 8, 8 bits
    int m_FreshCount = 0;
    std::unique_ptr<uint32_t[]> m_Copies;
    int m_CopyCount = 0;
    bool m_Truncated = false;
    int m_StackPeak = 0;
};
