// Memory and time of the undo history on a 1,000,000-vertex track: 10,000 steps of every kind,
// measured as the heap the history gives back when it is destroyed, beside the baseline of one
// whole copy of the track (what a history of snapshots would pay for every single step).
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kVertices = 1'000'000;
constexpr int kSteps = 10'000;
constexpr double kBudgetBytes = 10.0 * 1024 * 1024;

// Bytes of heap in use: small blocks plus blocks mapped on their own.
double HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

void FillStore() {
    std::vector<CVector3D> v(kVertices);
    for (int i = 0; i < kVertices; ++i) {
        v[static_cast<std::size_t>(i)] = {static_cast<float>(i % 1000), 0.0f,
                                          static_cast<float>(i / 1000)};
    }
    TheVertexStore().Assign(std::move(v));
}

// A mix of every kind of step: drags, typed coordinates, appends, deletions, settings.
void MakeSteps(CRolvetDoc& doc, std::mt19937& rng) {
    std::uniform_int_distribution<int> any(0, kVertices - 1);
    for (int i = 0; i < kSteps; ++i) {
        CVertexStore& store = TheVertexStore();
        const int index = any(rng) % store.Count();
        switch (i % 5) {
        case 0: { // a drag: the vertex follows the cursor, the step is recorded when it ends
            const CVector3D& v = store.At(index);
            doc.BeginVertexDrag(index);
            doc.DragVertexTo(index, v.x + 1.0f, v.z);
            doc.EndVertexDrag();
            break;
        }
        case 1:
            doc.SetVertex(index, {1.0f, static_cast<float>(i), 2.0f});
            break;
        case 2:
            doc.AppendVertex({static_cast<float>(i), 0.0f, 0.0f});
            break;
        case 3:
            doc.EraseVertex(store.Count() - 1 - index % 1000);
            break;
        default:
            doc.SetSettings(10 + i % 1990, 1 + i % 16);
            break;
        }
    }
}

void BM_HistoryOf10000Steps(benchmark::State& state) {
    double historyBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FillStore(); // every run starts from the same track
        state.ResumeTiming();
        auto doc = std::make_unique<CRolvetDoc>();
        std::mt19937 rng(7);
        MakeSteps(*doc, rng);
        if (doc->HistoryCount() != kSteps) {
            state.SkipWithError("a step was not recorded");
            break;
        }
        state.PauseTiming();
        const double withHistory = HeapInUse();
        doc.reset();
        historyBytes = withHistory - HeapInUse();
        state.ResumeTiming();
    }
    // Baseline: one copy of the whole track, measured the same way.
    const double before = HeapInUse();
    auto snapshot = std::make_unique<std::vector<CVector3D>>(TheVertexStore().All().begin(),
                                                             TheVertexStore().All().end());
    const double snapshotBytes = HeapInUse() - before;
    benchmark::DoNotOptimize(snapshot->data());
    state.counters["history_bytes"] = historyBytes;
    state.counters["bytes_per_step"] = historyBytes / kSteps;
    state.counters["history_per_budget"] = historyBytes / kBudgetBytes;
    state.counters["history_per_one_snapshot"] = historyBytes / snapshotBytes;
}
BENCHMARK(BM_HistoryOf10000Steps)->Iterations(3)->Unit(benchmark::kMillisecond);

// Undoing and redoing one drag step of the long track.
void BM_UndoRedoDrag(benchmark::State& state) {
    FillStore();
    CRolvetDoc doc;
    const CVector3D& v = TheVertexStore().At(kVertices / 2);
    doc.BeginVertexDrag(kVertices / 2);
    doc.DragVertexTo(kVertices / 2, v.x, v.z + 5.0f);
    doc.EndVertexDrag();
    for (auto _ : state) {
        doc.OnEditUndo();
        doc.OnEditRedo();
    }
    state.SetItemsProcessed(static_cast<long long>(state.iterations()) * 2);
}
BENCHMARK(BM_UndoRedoDrag);

// Baseline for the above: putting back a whole snapshot of the track.
void BM_UndoRedoBaselineSnapshot(benchmark::State& state) {
    FillStore();
    const std::vector<CVector3D> a(TheVertexStore().All().begin(), TheVertexStore().All().end());
    std::vector<CVector3D> b = a;
    b[kVertices / 2].z += 5.0f;
    for (auto _ : state) {
        TheVertexStore().Assign(std::vector<CVector3D>(a));
        TheVertexStore().Assign(std::vector<CVector3D>(b));
    }
    state.SetItemsProcessed(static_cast<long long>(state.iterations()) * 2);
}
BENCHMARK(BM_UndoRedoBaselineSnapshot)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
