// The mesher: the walk and flood fill on known fields, byte-for-byte agreement
// with the plain cell-by-cell mesher, the shape of what comes out (closed,
// wound outward, inside the cube), the capacity guard and bad balls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "ReferenceMesher.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

namespace {

constexpr float s_Iso = 100.0f;

std::unique_ptr<CIsoSurface> BuildSurface(const std::vector<CBall>& balls,
                                          int vertexCapacity = CIsoSurface::s_VertexCapacity,
                                          int indexCapacity = CIsoSurface::s_IndexCapacity)
{
    auto surface = std::make_unique<CIsoSurface>(s_Iso, vertexCapacity, indexCapacity);
    for (const CBall& b : balls)
        *surface->AddBall() = b;
    surface->BuildMesh();
    return surface;
}

ref::CMesh BuildReference(const std::vector<CBall>& balls, int vertexCapacity = CIsoSurface::s_VertexCapacity,
                          int indexCapacity = CIsoSurface::s_IndexCapacity)
{
    ref::CReferenceMesher mesher(s_Iso, vertexCapacity, indexCapacity);
    mesher.Build(balls.data(), int(balls.size()));
    return mesher.Mesh();
}

::testing::AssertionResult SameBytes(const CIsoSurface& surface, const ref::CMesh& mesh)
{
    if (size_t(surface.VertexCount()) * 6 != mesh.m_Vertices.size())
        return ::testing::AssertionFailure() << "vertices " << surface.VertexCount() << " vs "
                                             << mesh.m_Vertices.size() / 6;
    if (size_t(surface.IndexCount()) != mesh.m_Indices.size())
        return ::testing::AssertionFailure() << "indices " << surface.IndexCount() << " vs " << mesh.m_Indices.size();
    if (surface.Truncated() != mesh.m_Truncated)
        return ::testing::AssertionFailure() << "truncation differs";
    if (!mesh.m_Vertices.empty() &&
        std::memcmp(surface.Vertices(), mesh.m_Vertices.data(), mesh.m_Vertices.size() * sizeof(float)) != 0)
        return ::testing::AssertionFailure() << "vertex bytes differ";
    if (!mesh.m_Indices.empty() &&
        std::memcmp(surface.Indices(), mesh.m_Indices.data(), mesh.m_Indices.size() * sizeof(uint16_t)) != 0)
        return ::testing::AssertionFailure() << "index bytes differ";
    return ::testing::AssertionSuccess();
}

// Closed (every directed edge, by position, met once by its reverse), wound
// outward (face normals agree with the vertex normals), inside the cube.
::testing::AssertionResult WellFormed(const CIsoSurface& surface, bool expectClosed)
{
    const float* v = surface.Vertices();
    const uint16_t* idx = surface.Indices();
    const int vertexCount = surface.VertexCount();
    if (surface.IndexCount() % 3 != 0)
        return ::testing::AssertionFailure() << "index count " << surface.IndexCount();
    for (int i = 0; i < vertexCount * 6; i += 6)
        for (int a = 0; a < 3; ++a)
            if (!(v[i + a] >= -1.0f && v[i + a] <= 1.0f))
                return ::testing::AssertionFailure() << "vertex " << i / 6 << " off the cube: " << v[i + a];

    using Key = std::array<uint32_t, 6>;
    std::map<Key, int> directed;
    auto bits = [&](int vertex, int a) {
        uint32_t u;
        std::memcpy(&u, &v[vertex * 6 + a], 4);
        return u;
    };
    for (int t = 0; t < surface.IndexCount(); t += 3)
    {
        const int i0 = idx[t], i1 = idx[t + 1], i2 = idx[t + 2];
        if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount)
            return ::testing::AssertionFailure() << "index past the vertices at " << t;
        const float* a = v + i0 * 6;
        const float* b = v + i1 * 6;
        const float* c = v + i2 * 6;
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        const double area = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (area > 1e-9)
        {
            double agree = 0.0;
            for (const float* p : {a, b, c})
            {
                const double len = std::sqrt(double(p[3]) * p[3] + double(p[4]) * p[4] + double(p[5]) * p[5]);
                agree += (n[0] * p[3] + n[1] * p[4] + n[2] * p[5]) / (len * area);
            }
            if (!(agree > 0.0))
                return ::testing::AssertionFailure() << "triangle " << t / 3 << " winds inward (" << agree << ")";
        }
        const int tri[3] = {i0, i1, i2};
        for (int s = 0; s < 3; ++s)
        {
            const int p = tri[s], q = tri[(s + 1) % 3];
            ++directed[{bits(p, 0), bits(p, 1), bits(p, 2), bits(q, 0), bits(q, 1), bits(q, 2)}];
        }
    }
    if (expectClosed)
        for (const auto& [e, count] : directed)
        {
            const auto reverse = directed.find({e[3], e[4], e[5], e[0], e[1], e[2]});
            if (count != 1 || reverse == directed.end() || reverse->second != 1)
                return ::testing::AssertionFailure() << "open or doubled edge";
        }
    return ::testing::AssertionSuccess();
}

std::vector<CBall> RandomBalls(std::mt19937& rng)
{
    std::uniform_int_distribution<int> count(1, 16);
    std::uniform_real_distribution<float> pos(-0.75f, 0.75f);
    std::uniform_real_distribution<float> strength(0.3f, 14.0f);
    std::vector<CBall> balls(size_t(count(rng)));
    for (CBall& b : balls)
    {
        b = CBall{{pos(rng), pos(rng), pos(rng)}, strength(rng)};
        if (rng() % 10 == 0)
            b.m_Strength = 0.0f;
    }
    return balls;
}

std::vector<CBall> PathBalls(double timeMs, float strength)
{
    std::vector<CBall> balls(16);
    CBall* slots[16];
    for (int i = 0; i < 16; ++i)
        slots[i] = &balls[size_t(i)];
    ComputeBallPaths(timeMs, slots);
    for (CBall& b : balls)
        b.m_Strength = strength;
    return balls;
}

} // namespace

TEST(IsoSurface, OneBallOfStrengthTwoWalksDownTwoCellsThenFills)
{
    const std::vector<CBall> balls = {{{0.0f, 0.0f, 0.0f}, 2.0f}};
    int cell[3];
    CIsoSurface::StartCell(balls[0], cell);
    EXPECT_EQ(cell[0], 16);   // 16.5 rounds to even
    EXPECT_EQ(cell[1], 16);
    EXPECT_EQ(cell[2], 16);

    ref::CReferenceMesher mesher(s_Iso);
    mesher.Build(balls.data(), 1);
    ASSERT_GE(mesher.Order().size(), 3u);
    EXPECT_EQ(mesher.Order()[0], (std::array<int, 3>{16, 16, 16}));
    EXPECT_EQ(mesher.Order()[1], (std::array<int, 3>{16, 16, 15}));
    EXPECT_EQ(mesher.Order()[2], (std::array<int, 3>{16, 16, 14}));
    EXPECT_EQ(mesher.CubeIndex(16, 16, 16), 255);
    EXPECT_EQ(mesher.CubeIndex(16, 16, 15), 255);
    EXPECT_EQ(mesher.CubeIndex(16, 16, 14), 223);

    auto surface = BuildSurface(balls);
    EXPECT_EQ(surface->VertexCount(), 504);
    EXPECT_EQ(surface->IndexCount(), 744);
    EXPECT_FALSE(surface->Truncated());
    for (int z = 14; z <= 16; ++z)
        EXPECT_EQ(surface->CellState(16, 16, z), 1) << z;
    EXPECT_EQ(surface->CellState(16, 16, 12), 0);   // wholly below the surface: never reached
    EXPECT_TRUE(SameBytes(*surface, mesher.Mesh()));
    EXPECT_TRUE(WellFormed(*surface, true));
}

TEST(IsoSurface, StrengthThirtyFourFitsTheInitialStack)
{
    auto surface = BuildSurface({{{0.0f, 0.0f, 0.0f}, 34.0f}});
    EXPECT_EQ(surface->VertexCount(), 6648);
    EXPECT_EQ(surface->IndexCount(), 9960);
    EXPECT_LE(surface->StackPeak(), 1024);
    EXPECT_GT(surface->StackPeak(), 0);
    EXPECT_EQ(surface->StackCapacity(), 1024);
    EXPECT_TRUE(WellFormed(*surface, true));
}

TEST(IsoSurface, TwoApartBallsGiveTwoSurfaces)
{
    const std::vector<CBall> balls = {{{0.0f, 0.0f, 0.0f}, 2.0f}, {{0.5f, 0.0f, 0.0f}, 2.0f}};
    int cell[3];
    CIsoSurface::StartCell(balls[1], cell);
    EXPECT_EQ(cell[0], 24);
    EXPECT_EQ(cell[1], 16);
    EXPECT_EQ(cell[2], 16);
    auto surface = BuildSurface(balls);
    EXPECT_EQ(surface->VertexCount(), 1008);
    EXPECT_EQ(surface->IndexCount(), 1488);
    EXPECT_EQ(surface->CellState(24, 16, 16), 1);
    EXPECT_TRUE(SameBytes(*surface, BuildReference(balls)));
    EXPECT_TRUE(WellFormed(*surface, true));
}

TEST(IsoSurface, ABallWhoseSurfaceIsBuiltAddsNothing)
{
    const CBall ball{{0.1f, -0.2f, 0.3f}, 5.0f};
    auto one = BuildSurface({ball});
    // The second ball's start cell lies inside the first one's blob, so its
    // walk ends on a cell already polygonised.
    auto twice = BuildSurface({ball, CBall{{0.1f, -0.2f, 0.3f}, 0.0f}});
    ASSERT_GT(one->VertexCount(), 0);
    ASSERT_EQ(one->VertexCount(), twice->VertexCount());
    ASSERT_EQ(one->IndexCount(), twice->IndexCount());
    EXPECT_EQ(std::memcmp(one->Vertices(), twice->Vertices(), size_t(one->VertexCount()) * 24), 0);
    EXPECT_EQ(std::memcmp(one->Indices(), twice->Indices(), size_t(one->IndexCount()) * 2), 0);
}

TEST(IsoSurface, BallsThatAddNothingBreakNothing)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float s : {0.0f, -3.0f, nan, inf, -inf})
    {
        auto alone = BuildSurface({{{0.0f, 0.0f, 0.0f}, s}});
        EXPECT_EQ(alone->VertexCount(), 0) << s;
        EXPECT_EQ(alone->IndexCount(), 0) << s;

        // Beside a real ball it changes nothing: same bytes as the ball alone.
        const CBall real{{-0.3f, 0.2f, 0.1f}, 4.0f};
        auto withIt = BuildSurface({real, {{0.5f, 0.5f, -0.5f}, s}});
        auto without = BuildSurface({real});
        ASSERT_EQ(withIt->VertexCount(), without->VertexCount()) << s;
        EXPECT_EQ(std::memcmp(withIt->Vertices(), without->Vertices(), size_t(without->VertexCount()) * 24), 0);
    }
    // A centre that is not a number contributes nothing either.
    auto nanCentre = BuildSurface({{{nan, 0.0f, 0.0f}, 5.0f}, {{0.2f, 0.0f, 0.0f}, 3.0f}});
    auto plain = BuildSurface({{{0.2f, 0.0f, 0.0f}, 3.0f}});
    EXPECT_EQ(nanCentre->VertexCount(), plain->VertexCount());
    EXPECT_TRUE(WellFormed(*nanCentre, true));
}

TEST(IsoSurface, CentresOffTheGridStayInsideIt)
{
    const std::vector<std::vector<CBall>> sets = {
        {{{5.0f, -3.0f, 0.99f}, 6.0f}},
        {{{1.0f, 1.0f, 1.0f}, 40.0f}},
        {{{-1.0f, -1.0f, -1.0f}, 40.0f}, {{0.97f, -0.97f, 0.0f}, 3.0f}},
        {{{1e30f, -1e30f, 0.0f}, 8.0f}, {{0.0f, 0.0f, 0.0f}, 3.0f}},
        {{{0.0f, 0.0f, 0.0f}, 3e38f}, {{0.0f, 0.5f, 0.0f}, 3e38f}},   // sums overflow to infinity
        {{{0.0f, 0.0f, 0.0f}, 400.0f}},   // fills the whole cube
    };
    for (const auto& balls : sets)
    {
        auto surface = BuildSurface(balls);
        EXPECT_TRUE(SameBytes(*surface, BuildReference(balls)));
        const float* v = surface->Vertices();
        for (int i = 0; i < surface->VertexCount() * 6; i += 6)
            for (int a = 0; a < 3; ++a)
                ASSERT_TRUE(v[i + a] >= -1.0f && v[i + a] <= 1.0f) << v[i + a];
        for (int i = 0; i < surface->IndexCount(); ++i)
            ASSERT_LT(surface->Indices()[i], surface->VertexCount());
    }
}

TEST(IsoSurface, SameBytesAsThePlainMesherOnRandomBalls)
{
    std::mt19937 rng(2024);
    int closedChecked = 0;
    for (int trial = 0; trial < 300; ++trial)
    {
        const std::vector<CBall> balls = RandomBalls(rng);
        auto surface = BuildSurface(balls);
        ASSERT_TRUE(SameBytes(*surface, BuildReference(balls))) << "trial " << trial;
        ASSERT_TRUE(WellFormed(*surface, !surface->Truncated())) << "trial " << trial;
        closedChecked += surface->Truncated() ? 0 : 1;
    }
    EXPECT_GT(closedChecked, 250);
}

TEST(IsoSurface, SameBytesAsThePlainMesherOnTheBallPaths)
{
    for (double timeMs : {0.0, 1234.5, 17000.0, 60000.0, 3600000.0})
        for (float strength : {2.0f, 6.0f, 14.0f, 34.0f})
        {
            const std::vector<CBall> balls = PathBalls(timeMs, strength);
            auto surface = BuildSurface(balls);
            EXPECT_TRUE(SameBytes(*surface, BuildReference(balls))) << timeMs << " " << strength;
            EXPECT_FALSE(surface->Truncated()) << timeMs << " " << strength;
            EXPECT_TRUE(WellFormed(*surface, true)) << timeMs << " " << strength;
        }
}

TEST(IsoSurface, SameBytesAtEveryVectorWidth)
{
    // Only the widths this processor runs are compared; 4 always is.
    std::mt19937 rng(77);
    std::vector<std::vector<CBall>> sets;
    for (int n = 0; n < 40; ++n)
        sets.push_back(RandomBalls(rng));
    for (float strength : {2.0f, 34.0f})
        sets.push_back(PathBalls(19000.0, strength));
    int widths = 0;
    for (int lanes : {16, 8, 4})
    {
        if (CIsoSurface::UseLanes(lanes) != lanes)
            continue;
        ++widths;
        for (size_t n = 0; n < sets.size(); ++n)
            ASSERT_TRUE(SameBytes(*BuildSurface(sets[n]), BuildReference(sets[n]))) << lanes << " lanes, set " << n;
    }
    CIsoSurface::UseLanes(16);
    EXPECT_GE(widths, 1);
}

TEST(IsoSurface, EveryComponentReachedFromABallIsTheWholeSurface)
{
    // One blob: the flood fill must find every crossed cell the full grid finds.
    const std::vector<CBall> balls = {{{0.1f, 0.2f, -0.1f}, 6.0f}, {{0.3f, 0.1f, 0.0f}, 4.0f}};
    auto surface = BuildSurface(balls);
    ref::CFullGridMesher full(s_Iso);
    full.Build(balls.data(), int(balls.size()));
    EXPECT_EQ(size_t(surface->IndexCount()), full.Mesh().m_Indices.size());
    EXPECT_EQ(size_t(surface->VertexCount()) * 6, full.Mesh().m_Vertices.size());
}

TEST(IsoSurface, StopsAtAWholeCellWhenTheVerticesRunOut)
{
    const std::vector<CBall> balls = {{{0.0f, 0.0f, 0.0f}, 2.0f}};
    const ref::CMesh whole = BuildReference(balls);
    for (int capacity : {0, 1, 7, 300, 503})
    {
        auto surface = BuildSurface(balls, capacity, CIsoSurface::s_IndexCapacity);
        EXPECT_TRUE(surface->Truncated()) << capacity;
        ASSERT_LE(surface->VertexCount(), capacity);
        // What was emitted is the start of the full mesh, cut between cells:
        // a prefix of both arrays, and the next cell would not have fitted.
        EXPECT_EQ(std::memcmp(surface->Vertices(), whole.m_Vertices.data(), size_t(surface->VertexCount()) * 24), 0);
        EXPECT_EQ(std::memcmp(surface->Indices(), whole.m_Indices.data(), size_t(surface->IndexCount()) * 2), 0);
        EXPECT_TRUE(SameBytes(*surface, BuildReference(balls, capacity, CIsoSurface::s_IndexCapacity)));
        for (int i = 0; i < surface->IndexCount(); ++i)
            ASSERT_LT(surface->Indices()[i], surface->VertexCount());
    }
    auto exact = BuildSurface(balls, 504, 744);
    EXPECT_FALSE(exact->Truncated());
    EXPECT_EQ(exact->VertexCount(), 504);
}

TEST(IsoSurface, StopsAtAWholeCellWhenTheIndicesRunOut)
{
    const std::vector<CBall> balls = PathBalls(5000.0, 6.0f);
    const ref::CMesh whole = BuildReference(balls);
    ASSERT_FALSE(whole.m_Truncated);
    const int capacity = int(whole.m_Indices.size() / 2) + 1;
    auto surface = BuildSurface(balls, CIsoSurface::s_VertexCapacity, capacity);
    EXPECT_TRUE(surface->Truncated());
    EXPECT_LE(surface->IndexCount(), capacity);
    EXPECT_GT(surface->IndexCount(), capacity - 16);   // stopped within one cell of the limit
    EXPECT_EQ(std::memcmp(surface->Indices(), whole.m_Indices.data(), size_t(surface->IndexCount()) * 2), 0);
    EXPECT_TRUE(SameBytes(*surface, BuildReference(balls, CIsoSurface::s_VertexCapacity, capacity)));
}

TEST(IsoSurface, FullCapacityHoldsSixteenBallsFillingTheCube)
{
    // The largest meshes: sixteen strong balls spread out.
    for (double timeMs : {0.0, 20000.0, 40000.0})
    {
        const std::vector<CBall> balls = PathBalls(timeMs, 34.0f);
        auto surface = BuildSurface(balls);
        EXPECT_FALSE(surface->Truncated());
        EXPECT_GT(surface->VertexCount(), 5000);
        EXPECT_TRUE(WellFormed(*surface, true));
    }
}

TEST(IsoSurface, RebuildsGiveTheSameBytesAcrossManyFrames)
{
    // Enough builds to wrap the per-build stamps of the edge cache, with the
    // balls moving so that stale entries would show.
    auto surface = std::make_unique<CIsoSurface>(s_Iso);
    CBall* ball = surface->AddBall();
    const std::vector<CBall> a = {{{0.0f, 0.0f, 0.0f}, 2.0f}};
    const std::vector<CBall> b = {{{0.03f, -0.02f, 0.01f}, 2.2f}};
    const ref::CMesh meshA = BuildReference(a), meshB = BuildReference(b);
    for (int frame = 0; frame < 66000; ++frame)
    {
        *ball = (frame & 1) ? b[0] : a[0];
        surface->BuildMesh();
        if (frame % 997 == 0 || frame > 65530)
        {
            ASSERT_TRUE(SameBytes(*surface, (frame & 1) ? meshB : meshA)) << frame;
        }
    }
}

TEST(IsoSurface, AddBallHandsOutSixteenSlots)
{
    CIsoSurface surface(s_Iso);
    CBall* slots[16];
    for (int i = 0; i < 16; ++i)
    {
        slots[i] = surface.AddBall();
        ASSERT_NE(slots[i], nullptr);
        for (int j = 0; j < i; ++j)
            ASSERT_NE(slots[i], slots[j]);
    }
    EXPECT_EQ(surface.AddBall(), nullptr);
    EXPECT_EQ(surface.AddBall(), nullptr);
}

TEST(IsoSurface, ReleaseLeavesAnEmptyMesh)
{
    auto surface = BuildSurface({{{0.0f, 0.0f, 0.0f}, 2.0f}});
    surface->Release();
    EXPECT_EQ(surface->VertexCount(), 0);
    EXPECT_EQ(surface->IndexCount(), 0);
    surface->BuildMesh();
    EXPECT_EQ(surface->VertexCount(), 0);
    EXPECT_TRUE(surface->Truncated());
}

TEST(IsoSurface, EmptyMesherBuildsNothing)
{
    CIsoSurface surface(s_Iso);
    surface.BuildMesh();
    EXPECT_EQ(surface.VertexCount(), 0);
    EXPECT_EQ(surface.IndexCount(), 0);
    EXPECT_FALSE(surface.Truncated());
}
