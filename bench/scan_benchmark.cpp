// Scanning and grouping a directory of 100,000 frame files, against a plain
// listing of the same directory through the same directory search.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/dir_scan.h"
#include "files/file_roots.h"
#include "kxr/rvutil.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 100000;

// The frame directory, made once for the whole run and removed at its end.
class FrameDirectory {
public:
    FrameDirectory() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() / ("kxr_scan_bench_" + std::to_string(stamp));
        fs::create_directories(dir_);
        char name[32];
        for (int i = 0; i < kFrames; ++i) {
            std::snprintf(name, sizeof name, "clip%06d.dpx", i);
            std::ofstream(dir_ / name);
        }
        path_ = dir_.string() + "/";
    }
    ~FrameDirectory() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    const std::string& Path() const { return path_; }

private:
    fs::path dir_;
    std::string path_;
};

const FrameDirectory& Frames() {
    static FrameDirectory frames;
    return frames;
}

kxr::DirCache NewCache() {
    kxr::DirCache cache{};
    rv_ListInit(&cache.entries);
    return cache;
}

void BM_ScanDirectory(benchmark::State& state) {
    const std::string& dir = Frames().Path();
    kxr::DirCache cache = NewCache();
    for (auto _ : state) {
        std::string locator = "\\Bench";
        benchmark::DoNotOptimize(kxr::ScanDirectory(nullptr, &cache, dir.c_str(), locator));
    }
    const kxr::ScanCounters counters = kxr::LastScanCounters();
    state.counters["entries"] = static_cast<double>(rv_ListCount(&cache.entries));
    state.counters["files"] = static_cast<double>(counters.files);
    state.counters["comparisons_per_frame"] =
        static_cast<double>(counters.keyComparisons) / static_cast<double>(counters.files);
    kxr::ClearDirCache(nullptr, &cache);
    rv_ListClose(&cache.entries);
}

// The peer: the same directory search with nothing done per name.
void BM_PlainListing(benchmark::State& state) {
    char pattern[RV_MAX_PATH] = {};
    rvOSMakePath(pattern, nullptr, Frames().Path().c_str(), "*", "*");
    for (auto _ : state) {
        RVFindData found{};
        RVHANDLE search = rvOSFindFirstFile(pattern, &found);
        int64_t names = 0;
        if (search != RV_INVALID_HANDLE) {
            do {
                ++names;
            } while (rvOSFindNextFile(search, &found) != 0);
            rvOSFindClose(search);
        }
        benchmark::DoNotOptimize(names);
    }
}

// The first scan probes every file's type; the rescans reuse those probes.
BENCHMARK(BM_ScanDirectory)->Name("BM_FirstScan")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ScanDirectory)->Name("BM_Rescan")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainListing)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
