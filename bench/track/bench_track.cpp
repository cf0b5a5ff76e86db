// Track file load and save on a 1,000,000-vertex track, beside field-at-a-time baselines.
#include "track/TrackFile.h"
#include "track/VertexStore.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kVertices = 1'000'000;

const std::vector<CVector3D>& Track() {
    static const std::vector<CVector3D> track = [] {
        std::vector<CVector3D> v(kVertices);
        for (std::size_t i = 0; i < v.size(); ++i) {
            v[i] = {static_cast<float>(i) * 0.5f, static_cast<float>(i % 7),
                    -static_cast<float>(i)};
        }
        return v;
    }();
    return track;
}

std::filesystem::path Folder() {
    static const std::filesystem::path dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "rolvet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        return std::filesystem::path(pattern);
    }();
    return dir;
}

std::filesystem::path TrackPath() {
    static const std::filesystem::path path = [] {
        auto p = Folder() / "big.rolvet";
        if (rolvet::SaveTrackFile(p, 4, 100, Track())) {
            throw std::runtime_error("could not write the benchmark track");
        }
        return p;
    }();
    return path;
}

void BM_ReadBytes(benchmark::State& state) {
    const auto path = TrackPath();
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        std::vector<char> bytes(static_cast<std::size_t>(std::filesystem::file_size(path)));
        const ssize_t n = ::read(fd, bytes.data(), bytes.size());
        ::close(fd);
        if (n != static_cast<ssize_t>(bytes.size())) {
            state.SkipWithError("short read");
        }
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_TrackLoad(benchmark::State& state) {
    const auto path = TrackPath();
    for (auto _ : state) {
        rolvet::TrackData track;
        if (rolvet::LoadTrackFile(path, track) || track.vertices.size() != kVertices) {
            state.SkipWithError("load failed");
        }
        TheVertexStore().Assign(std::move(track.vertices));
        benchmark::DoNotOptimize(TheVertexStore().Count());
    }
    TheVertexStore().Clear();
}

// The straightforward translation: a buffered stream, one field at a time, the store resized
// first and then filled vertex by vertex.
void BM_TrackLoad_Baseline(benchmark::State& state) {
    const auto path = TrackPath();
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::int32_t div = 0, width = 0;
        std::uint32_t n = 0;
        in.read(reinterpret_cast<char*>(&div), 4);
        in.read(reinterpret_cast<char*>(&width), 4);
        in.read(reinterpret_cast<char*>(&n), 4);
        CVertexStore& store = TheVertexStore();
        store.Resize(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            CVector3D& v = store.At(i);
            in.read(reinterpret_cast<char*>(&v.x), 4);
            in.read(reinterpret_cast<char*>(&v.y), 4);
            in.read(reinterpret_cast<char*>(&v.z), 4);
        }
        if (!in || store.Count() != static_cast<int>(kVertices)) {
            state.SkipWithError("baseline load failed");
        }
        benchmark::DoNotOptimize(div + width);
    }
    TheVertexStore().Clear();
}

void BM_TrackSave(benchmark::State& state) {
    const auto path = Folder() / "save.rolvet";
    for (auto _ : state) {
        if (rolvet::SaveTrackFile(path, 4, 100, Track())) {
            state.SkipWithError("save failed");
        }
    }
}

void BM_TrackSave_Baseline(benchmark::State& state) {
    const auto path = Folder() / "save-baseline.rolvet";
    for (auto _ : state) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::int32_t div = 4, width = 100;
        const auto n = static_cast<std::uint32_t>(Track().size());
        out.write(reinterpret_cast<const char*>(&div), 4);
        out.write(reinterpret_cast<const char*>(&width), 4);
        out.write(reinterpret_cast<const char*>(&n), 4);
        for (const CVector3D& v : Track()) {
            out.write(reinterpret_cast<const char*>(&v.x), 4);
            out.write(reinterpret_cast<const char*>(&v.y), 4);
            out.write(reinterpret_cast<const char*>(&v.z), 4);
        }
        out.flush();
        if (!out) {
            state.SkipWithError("baseline save failed");
        }
    }
}

} // namespace

BENCHMARK(BM_ReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackLoad_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackSave_Baseline)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
