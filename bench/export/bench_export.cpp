// The road exports on a 10,000-point track with division count 16 (160,000 samples).
//
// Metasequoia: the streaming writer against a plain fprintf writer. Both write to a stdio stream
// on /dev/null; before timing, both are written to memory and must agree byte for byte.
//
// GLB: the whole export as the editor runs it (texture bands read, mesh built, file written and
// synced through the atomic writer) against writing the same number of bytes from memory to the
// same path through the same writer: the disk's share of the work. The editor cuts and encodes
// the texture bands once while the texture file stays the same; BM_ExportGlbFirst does that on
// every export, as the first export of a session does. The counters give the file size, the
// largest heap use during one export, the CPU time of all threads and how long the benchmark's
// thread waited for a core.
#include "BaselineMqoWriter.h"
#include "common/AtomicFile.h"
#include "document/RoadTextures.h"
#include "export/MqoWriter.h"
#include "export/RoadExport.h"
#include "export/RoadModel.h"

#include <atomic>
#include <filesystem>
#include <malloc.h>
#include <new>
#include <stdexcept>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

// Heap accounting for the peak-memory counter: every operator new and delete of the process.
namespace heap {
std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const std::size_t live = g_live += malloc_usable_size(p);
    std::size_t peak = g_peak.load(std::memory_order_relaxed);
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return p;
}

void Free(void* p) {
    if (p != nullptr) {
        g_live -= malloc_usable_size(p);
        std::free(p);
    }
}
} // namespace heap

void* operator new(std::size_t size) {
    return heap::Allocate(size);
}
void* operator new[](std::size_t size) {
    return heap::Allocate(size);
}
void operator delete(void* p) noexcept {
    heap::Free(p);
}
void operator delete[](void* p) noexcept {
    heap::Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    heap::Free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    heap::Free(p);
}

namespace {

// Writes to an open stdio stream.
class CStdioSink final : public rolvet::CByteSink {
public:
    explicit CStdioSink(std::FILE* file) : m_file(file) {}
    rolvet::FileStatus Write(const char* data, std::size_t size) override {
        return std::fwrite(data, 1, size, m_file) == size ? rolvet::FileStatus::Success()
                                                          : rolvet::FileStatus::FromErrno(EIO);
    }

private:
    std::FILE* m_file;
};

constexpr int kPoints = 10000;
constexpr int kDivisions = 16;
constexpr int kRoadWidth = 100;

const std::vector<CVector3D>& Track() {
    static const std::vector<CVector3D> points = [] {
        std::vector<CVector3D> p;
        p.reserve(kPoints);
        for (int i = 0; i < kPoints; ++i) {
            const double a = 2.0 * 3.14159265358979 * i / kPoints;
            const double r = 20000.0 + 600.0 * std::sin(9.0 * a);
            p.emplace_back(static_cast<float>(r * std::cos(a)),
                           static_cast<float>(40.0 * std::sin(5.0 * a)),
                           static_cast<float>(r * std::sin(a)));
        }
        return p;
    }();
    return points;
}

// The Metasequoia model's vertices as the product works them out: on this track, 10,000 points
// about 12.6 apart, 20,000 from the origin, its difference quotients are too short to mean
// anything and the spline's tangent stands in; the baseline then differs from the streaming
// writer only in how it formats.
rolvet::baseline::VertexSource PlainVertices() {
    static const rolvet::CRoadSampler sampler(Track(), kDivisions,
                                              rolvet::HalfRoadWidth(kRoadWidth));
    return [](std::size_t k, int i) { return sampler.PlainSection(k, i); };
}

std::string Baseline() {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&data, &size);
    rolvet::baseline::WriteMqo(f, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth),
                               PlainVertices());
    std::fclose(f);
    std::string text(data, size);
    std::free(data);
    return text;
}

std::string Streaming() {
    rolvet::CStringSink sink;
    rolvet::WriteMqoDocument(sink, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth));
    return sink.Text();
}

void BM_ExportMqo(benchmark::State& state) {
    std::FILE* devnull = std::fopen("/dev/null", "w");
    CStdioSink sink(devnull);
    for (auto _ : state) {
        const auto outcome =
            rolvet::WriteMqoDocument(sink, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth));
        benchmark::DoNotOptimize(outcome);
    }
    std::fclose(devnull);
    state.SetItemsProcessed(state.iterations() * 4 * kPoints * kDivisions);
}

void BM_ExportMqo_Baseline(benchmark::State& state) {
    std::FILE* devnull = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        rolvet::baseline::WriteMqo(devnull, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth),
                                   PlainVertices());
    }
    std::fclose(devnull);
    state.SetItemsProcessed(state.iterations() * 4 * kPoints * kDivisions);
}

const std::string& Folder() {
    static const std::string dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "rolvet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        return pattern;
    }();
    return dir;
}

rolvet::RoadExportResult Export(rolvet::RoadFormat format, const std::string& path,
                                bool reuseTextures = true) {
    rolvet::RoadExportRequest request;
    request.format = format;
    request.modelPath = path;
    request.points = Track();
    request.divisions = kDivisions;
    request.halfWidth = rolvet::HalfRoadWidth(kRoadWidth);
    request.roadWidth = kRoadWidth;
    request.textureSource = ROLVET_TEXTURE;
    if (format != rolvet::RoadFormat::Mqo) {
        request.textures = LoadRoadTextureImages(QString::fromUtf8(ROLVET_TEXTURE), reuseTextures);
    }
    return rolvet::ExportRoad(request);
}

// How long this thread has waited for a core, from the scheduler's statistics (0 where they are
// not to be had): with other work on the machine, much of the wall time.
double RunQueueMs() {
    std::FILE* f = std::fopen("/proc/thread-self/schedstat", "r");
    unsigned long long running = 0, waiting = 0;
    if (f != nullptr) {
        if (std::fscanf(f, "%llu %llu", &running, &waiting) != 2) {
            waiting = 0;
        }
        std::fclose(f);
    }
    return static_cast<double>(waiting) * 1e-6;
}

// CPU time of the whole process, every thread included.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

std::string ModelPath(const char* name) {
    return Folder() + "/" + name;
}

void ExportGlb(benchmark::State& state, bool reuseTextures) {
    const std::string path = ModelPath("road.glb");
    std::size_t peak = 0;
    const double cpu = ProcessCpuMs();
    const double waited = RunQueueMs();
    for (auto _ : state) {
        const std::size_t before = heap::g_live.load();
        heap::g_peak = before;
        if (Export(rolvet::RoadFormat::Glb, path, reuseTextures).status !=
            rolvet::RoadExportStatus::Ok) {
            state.SkipWithError("the GLB export failed");
            return;
        }
        peak = std::max(peak, heap::g_peak.load() - before);
    }
    const auto bytes = static_cast<double>(std::filesystem::file_size(path));
    state.counters["cpu_all_ms"] =
        (ProcessCpuMs() - cpu) /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["wait_core_ms"] =
        (RunQueueMs() - waited) /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["file_MB"] = bytes / 1e6;
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["peak_per_file"] = static_cast<double>(peak) / bytes;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void BM_ExportGlb(benchmark::State& state) {
    ExportGlb(state, true);
}

void BM_ExportGlbFirst(benchmark::State& state) {
    ExportGlb(state, false);
}

// The same bytes as the GLB export, already in memory, through the same writer to the same path.
void BM_WriteBytesGlb(benchmark::State& state) {
    const std::string path = ModelPath("road.glb");
    if (Export(rolvet::RoadFormat::Glb, path).status != rolvet::RoadExportStatus::Ok) {
        state.SkipWithError("the GLB export failed");
        return;
    }
    std::string bytes(std::filesystem::file_size(path), '\0');
    std::FILE* f = std::fopen(path.c_str(), "rb");
    const bool read = f != nullptr && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr) {
        std::fclose(f);
    }
    if (!read) {
        state.SkipWithError("cannot read the GLB back");
        return;
    }
    const double cpu = ProcessCpuMs();
    const double waited = RunQueueMs();
    for (auto _ : state) {
        rolvet::CAtomicFile file(path);
        if (!file.Open().ok || !file.Write(bytes.data(), bytes.size()).ok || !file.Commit().ok) {
            state.SkipWithError("the write failed");
            return;
        }
    }
    state.counters["cpu_all_ms"] =
        (ProcessCpuMs() - cpu) /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["wait_core_ms"] =
        (RunQueueMs() - waited) /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// The Metasequoia export as the editor runs it: model through the atomic writer, texture copy.
void BM_ExportMqoFile(benchmark::State& state) {
    const std::string path = ModelPath("road.mqo");
    for (auto _ : state) {
        if (Export(rolvet::RoadFormat::Mqo, path).status != rolvet::RoadExportStatus::Ok) {
            state.SkipWithError("the Metasequoia export failed");
            return;
        }
    }
}

BENCHMARK(BM_ExportMqo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportMqo_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportMqoFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportGlb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportGlbFirst)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBytesGlb)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    const std::string expected = Baseline();
    const std::string actual = Streaming();
    if (actual != expected) {
        std::fprintf(stderr, "the streaming writer and the baseline differ (%zu vs %zu bytes)\n",
                     actual.size(), expected.size());
        return 1;
    }
    std::printf("identical output: %zu bytes, %d vertex lines\n", actual.size(),
                4 * kPoints * kDivisions);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
