// The marching-cubes tables: the published rows in this numbering, the edges
// each row must use, surfaces that close up across neighbouring cells in every
// configuration, outward winding, and the face flags.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

#include "visualiser/IsoSurface.h"

namespace {

std::vector<int> Row(int c)
{
    std::vector<int> row;
    for (int n = 0; n < 16 && CIsoSurface::s_TriTable[c][n] >= 0; ++n)
        row.push_back(CIsoSurface::s_TriTable[c][n]);
    return row;
}

bool Inside(int cube, int corner)
{
    return (cube >> corner) & 1;
}

} // namespace

TEST(McTables, SampleRowsMatchThePublishedTableInThisNumbering)
{
    EXPECT_TRUE(Row(0).empty());
    EXPECT_TRUE(Row(255).empty());
    EXPECT_EQ(Row(1), (std::vector<int>{3, 0, 8}));
    EXPECT_EQ(Row(2), (std::vector<int>{9, 0, 1}));
    EXPECT_EQ(Row(3), (std::vector<int>{3, 1, 8, 1, 9, 8}));
    EXPECT_EQ(Row(4), (std::vector<int>{11, 1, 2}));
    EXPECT_EQ(Row(8), (std::vector<int>{2, 3, 10}));
    EXPECT_EQ(Row(16), (std::vector<int>{8, 4, 7}));
    EXPECT_EQ(Row(128), (std::vector<int>{10, 7, 6}));
    EXPECT_EQ(Row(254), (std::vector<int>{8, 0, 3}));
}

TEST(McTables, EveryRowUsesExactlyTheEdgesThatCrossTheSurface)
{
    for (int c = 0; c < 256; ++c)
    {
        const std::vector<int> row = Row(c);
        ASSERT_EQ(CIsoSurface::s_TriTable[c][15], -1) << c;
        ASSERT_EQ(row.size() % 3, 0u) << c;
        ASSERT_LE(row.size(), 15u) << c;
        unsigned used = 0, crossing = 0;
        for (int e : row)
        {
            ASSERT_GE(e, 0);
            ASSERT_LT(e, 12);
            used |= 1u << e;
        }
        for (int e = 0; e < 12; ++e)
            if (Inside(c, CIsoSurface::s_EdgeCorners[e][0]) != Inside(c, CIsoSurface::s_EdgeCorners[e][1]))
                crossing |= 1u << e;
        EXPECT_EQ(used, crossing) << "row " << c;
        // No triangle repeats an edge.
        for (size_t t = 0; t < row.size(); t += 3)
            EXPECT_TRUE(row[t] != row[t + 1] && row[t + 1] != row[t + 2] && row[t] != row[t + 2]) << c;
    }
}

TEST(McTables, EdgesJoinNeighbouringCornersInPositiveDirection)
{
    for (int e = 0; e < 12; ++e)
    {
        const int8_t* a = CIsoSurface::s_CornerOffsets[CIsoSurface::s_EdgeCorners[e][0]];
        const int8_t* b = CIsoSurface::s_CornerOffsets[CIsoSurface::s_EdgeCorners[e][1]];
        EXPECT_EQ((b[0] - a[0]) + (b[1] - a[1]) + (b[2] - a[2]), 1) << e;
        EXPECT_EQ(std::abs(b[0] - a[0]) + std::abs(b[1] - a[1]) + std::abs(b[2] - a[2]), 1) << e;
    }
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(CIsoSurface::s_CornerOffsets[n][1], 0);
}

// Cells of random inside/outside grids (outer layer outside), vertices at edge
// midpoints in doubled integer coordinates: every directed triangle edge must
// meet its reverse exactly once, so the surface is closed and consistently
// wound in every configuration and across every shared face.
TEST(McTables, SurfacesCloseAcrossNeighbouringCellsWithConsistentWinding)
{
    constexpr int N = 7;
    std::mt19937 rng(12345);
    bool caseSeen[256] = {};
    for (int trial = 0; trial < 300; ++trial)
    {
        bool inside[N + 1][N + 1][N + 1] = {};
        for (int i = 1; i < N; ++i)
            for (int j = 1; j < N; ++j)
                for (int k = 1; k < N; ++k)
                    inside[i][j][k] = (rng() & 1) != 0;
        std::map<std::array<int, 6>, int> directed;
        for (int x = 0; x < N; ++x)
            for (int y = 0; y < N; ++y)
                for (int z = 0; z < N; ++z)
                {
                    int cube = 0;
                    for (int n = 0; n < 8; ++n)
                    {
                        const int8_t* o = CIsoSurface::s_CornerOffsets[n];
                        if (inside[x + o[0]][y + o[1]][z + o[2]])
                            cube |= 1 << n;
                    }
                    caseSeen[cube] = true;
                    const std::vector<int> row = Row(cube);
                    auto point = [&](int e) {
                        const int8_t* a = CIsoSurface::s_CornerOffsets[CIsoSurface::s_EdgeCorners[e][0]];
                        const int8_t* b = CIsoSurface::s_CornerOffsets[CIsoSurface::s_EdgeCorners[e][1]];
                        return std::array<int, 3>{2 * x + a[0] + b[0], 2 * y + a[1] + b[1], 2 * z + a[2] + b[2]};
                    };
                    for (size_t t = 0; t < row.size(); t += 3)
                        for (int s = 0; s < 3; ++s)
                        {
                            const auto p = point(row[t + s]);
                            const auto q = point(row[t + (s + 1) % 3]);
                            ++directed[{p[0], p[1], p[2], q[0], q[1], q[2]}];
                        }
                }
        for (const auto& [edge, count] : directed)
        {
            ASSERT_EQ(count, 1) << "trial " << trial;
            const auto reverse = directed.find({edge[3], edge[4], edge[5], edge[0], edge[1], edge[2]});
            ASSERT_TRUE(reverse != directed.end()) << "trial " << trial;
            ASSERT_EQ(reverse->second, 1);
        }
    }
    for (int c = 0; c < 256; ++c)
        EXPECT_TRUE(caseSeen[c]) << c;
}

// With vertices at edge midpoints, each triangle's (b - a) x (c - a) must lean
// from its edges' inside corners towards their outside corners.
TEST(McTables, TrianglesWindOutward)
{
    for (int c = 1; c < 255; ++c)
    {
        const std::vector<int> row = Row(c);
        for (size_t t = 0; t < row.size(); t += 3)
        {
            double p[3][3];
            double outward[3] = {0, 0, 0};
            for (int s = 0; s < 3; ++s)
            {
                const int c0 = CIsoSurface::s_EdgeCorners[row[t + s]][0];
                const int c1 = CIsoSurface::s_EdgeCorners[row[t + s]][1];
                const int8_t* a = CIsoSurface::s_CornerOffsets[c0];
                const int8_t* b = CIsoSurface::s_CornerOffsets[c1];
                const double sign = Inside(c, c0) ? 1.0 : -1.0;
                for (int k = 0; k < 3; ++k)
                {
                    p[s][k] = 0.5 * (a[k] + b[k]);
                    outward[k] += sign * (b[k] - a[k]);
                }
            }
            const double u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
            const double v[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
            const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
            EXPECT_GT(n[0] * outward[0] + n[1] * outward[1] + n[2] * outward[2], 0.0) << "row " << c;
        }
    }
}

TEST(McTables, FaceFlagsMarkFacesWithMixedCorners)
{
    CIsoSurface surface(100.0f);   // fills the face flags
    EXPECT_EQ(CIsoSurface::s_FaceFlags[0], 0);
    EXPECT_EQ(CIsoSurface::s_FaceFlags[255], 0);
    // Corner 0 alone touches the x, y and z sides.
    EXPECT_EQ(CIsoSurface::s_FaceFlags[0x01], 0x02 | 0x08 | 0x20);
    // Corner 6 alone touches the x+1, y+1 and z+1 sides.
    EXPECT_EQ(CIsoSurface::s_FaceFlags[0x40], 0x01 | 0x04 | 0x10);
    // The bottom face inside: every side face is mixed, top and bottom are not.
    EXPECT_EQ(CIsoSurface::s_FaceFlags[0x0F], 0x01 | 0x02 | 0x10 | 0x20);

    // A face is mixed exactly when one of its four edges crosses the surface.
    static const uint8_t masks[6] = {0x66, 0x99, 0xF0, 0x0F, 0xCC, 0x33};
    for (int c = 0; c < 256; ++c)
        for (int f = 0; f < 6; ++f)
        {
            bool crossed = false;
            for (int e = 0; e < 12; ++e)
            {
                const int a = CIsoSurface::s_EdgeCorners[e][0], b = CIsoSurface::s_EdgeCorners[e][1];
                if (((masks[f] >> a) & 1) && ((masks[f] >> b) & 1) && Inside(c, a) != Inside(c, b))
                    crossed = true;
            }
            EXPECT_EQ(((CIsoSurface::s_FaceFlags[c] >> f) & 1) != 0, crossed) << c << " face " << f;
        }
}

TEST(McTables, RowsListEachEdgeOnceInOrderOfFirstUse)
{
    CIsoSurface surface(100.0f);
    for (int c = 0; c < 256; ++c)
    {
        const std::vector<int> row = Row(c);
        const CIsoSurface::SRow& r = CIsoSurface::s_Rows[c];
        ASSERT_EQ(r.m_IndexCount, row.size()) << c;
        std::vector<int> order;
        for (int e : row)
            if (std::find(order.begin(), order.end(), e) == order.end())
                order.push_back(e);
        ASSERT_EQ(r.m_VertexCount, order.size()) << c;
        for (size_t n = 0; n < row.size(); ++n)
            EXPECT_EQ(r.m_Edges[r.m_Slots[n]], row[n]) << c;
        for (size_t s = 0; s < order.size(); ++s)
            EXPECT_EQ(r.m_Edges[s], order[s]) << c;
    }
}
