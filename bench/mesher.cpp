// The mesher on sixteen balls on their paths, at strengths 2 (silence), 6
// (typical music) and 34 (every band full), side by side with the plain
// cell-by-cell walk it must match byte for byte and with a full-grid marching
// cubes over the same field (all 33^3 corners, all 32^3 cells). SideBySide
// alternates the mesher and the full grid and keeps the fastest run of each,
// which holds up best on a busy machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"
#include "visualiser/ReferenceMesher.h"

namespace {

constexpr float s_Iso = 100.0f;
const double s_Times[4] = {0.0, 7000.0, 19000.0, 43000.0};

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

void BM_BuildMesh(benchmark::State& state)
{
    const float strength = float(state.range(0));
    CIsoSurface surface(s_Iso);
    CBall* slots[16];
    for (CBall*& s : slots)
        s = surface.AddBall();

    // Same bytes as the plain mesher, or the figures mean nothing.
    for (double t : s_Times)
    {
        const std::vector<CBall> balls = PathBalls(t, strength);
        for (int i = 0; i < 16; ++i)
            *slots[i] = balls[size_t(i)];
        surface.BuildMesh();
        ref::CReferenceMesher plain(s_Iso);
        plain.Build(balls.data(), 16);
        const ref::CMesh& m = plain.Mesh();
        if (size_t(surface.VertexCount()) * 6 != m.m_Vertices.size() ||
            size_t(surface.IndexCount()) != m.m_Indices.size() ||
            std::memcmp(surface.Vertices(), m.m_Vertices.data(), m.m_Vertices.size() * 4) != 0 ||
            std::memcmp(surface.Indices(), m.m_Indices.data(), m.m_Indices.size() * 2) != 0)
        {
            state.SkipWithError("mesh differs from the plain mesher");
            return;
        }
    }

    size_t frame = 0, vertices = 0;
    std::vector<std::vector<CBall>> sets;
    for (double t : s_Times)
        sets.push_back(PathBalls(t, strength));
    for (auto _ : state)
    {
        const std::vector<CBall>& balls = sets[frame++ % sets.size()];
        for (int i = 0; i < 16; ++i)
            *slots[i] = balls[size_t(i)];
        surface.BuildMesh();
        vertices += size_t(surface.VertexCount());
        benchmark::DoNotOptimize(surface.Vertices());
    }
    state.counters["vertices"] = double(vertices) / double(frame);
}

// The typical frame with the field sums capped at 4, 8 or 16 lanes (the
// widest the processor runs, if narrower).
void BM_BuildMeshLanes(benchmark::State& state)
{
    const int lanes = CIsoSurface::UseLanes(int(state.range(0)));
    CIsoSurface surface(s_Iso);
    CBall* slots[16];
    for (CBall*& s : slots)
        s = surface.AddBall();
    std::vector<std::vector<CBall>> sets;
    for (double t : s_Times)
        sets.push_back(PathBalls(t, 6.0f));
    size_t frame = 0;
    for (auto _ : state)
    {
        const std::vector<CBall>& balls = sets[frame++ % sets.size()];
        for (int i = 0; i < 16; ++i)
            *slots[i] = balls[size_t(i)];
        surface.BuildMesh();
        benchmark::DoNotOptimize(surface.Vertices());
    }
    state.counters["lanes"] = lanes;
    CIsoSurface::UseLanes(16);
}

void BM_PlainWalk(benchmark::State& state)
{
    const float strength = float(state.range(0));
    std::vector<std::vector<CBall>> sets;
    for (double t : s_Times)
        sets.push_back(PathBalls(t, strength));
    ref::CReferenceMesher plain(s_Iso);
    size_t frame = 0;
    for (auto _ : state)
    {
        const std::vector<CBall>& balls = sets[frame++ % sets.size()];
        plain.Build(balls.data(), 16);
        benchmark::DoNotOptimize(plain.Mesh().m_Vertices.data());
    }
}

void BM_FullGrid(benchmark::State& state)
{
    const float strength = float(state.range(0));
    std::vector<std::vector<CBall>> sets;
    for (double t : s_Times)
        sets.push_back(PathBalls(t, strength));
    ref::CFullGridMesher full(s_Iso);
    size_t frame = 0;
    for (auto _ : state)
    {
        const std::vector<CBall>& balls = sets[frame++ % sets.size()];
        full.Build(balls.data(), 16);
        benchmark::DoNotOptimize(full.Mesh().m_Vertices.data());
    }
}

// Both meshers in turn in every iteration, so that they see the same machine
// load; the fastest run of each and their ratio come out as counters.
void BM_SideBySide(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    const float strength = float(state.range(0));
    CIsoSurface surface(s_Iso);
    CBall* slots[16];
    for (CBall*& s : slots)
        s = surface.AddBall();
    std::vector<std::vector<CBall>> sets;
    for (double t : s_Times)
        sets.push_back(PathBalls(t, strength));
    ref::CFullGridMesher full(s_Iso);
    double bestMesher[4] = {1e30, 1e30, 1e30, 1e30}, bestFull[4] = {1e30, 1e30, 1e30, 1e30};
    size_t frame = 0;
    for (auto _ : state)
    {
        const size_t k = frame++ % sets.size();
        for (int i = 0; i < 16; ++i)
            *slots[i] = sets[k][size_t(i)];
        const auto t0 = Clock::now();
        surface.BuildMesh();
        const auto t1 = Clock::now();
        full.Build(sets[k].data(), 16);
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(full.Mesh().m_Vertices.data());
        bestMesher[k] = std::min(bestMesher[k], std::chrono::duration<double, std::micro>(t1 - t0).count());
        bestFull[k] = std::min(bestFull[k], std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
    double mesher = 0.0, fullGrid = 0.0;
    for (int k = 0; k < 4; ++k)
    {
        mesher += bestMesher[k] / 4.0;
        fullGrid += bestFull[k] / 4.0;
    }
    state.counters["mesher_us"] = mesher;
    state.counters["fullgrid_us"] = fullGrid;
    state.counters["ratio"] = fullGrid / mesher;
}

} // namespace

BENCHMARK(BM_BuildMesh)->Arg(2)->Arg(6)->Arg(34)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildMeshLanes)->Arg(4)->Arg(8)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainWalk)->Arg(2)->Arg(6)->Arg(34)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullGrid)->Arg(2)->Arg(6)->Arg(34)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SideBySide)->Arg(2)->Arg(6)->Arg(34)->Iterations(240)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
