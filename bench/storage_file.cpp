// Saving and loading a 1000 x 100 table of mixed cells as a storage file, against bare zlib on
// the same value stream measured in the same run (counter "vs_zlib": time per save or load
// divided by the time of compress2 at level 9, or of uncompress, of those bytes).
//
// Saving includes encoding, the checksum and the atomic replacement of the file (temporary file,
// fsync, rename); loading includes reading, the checks, inflating and decoding into a table.
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/safe_array.h"
#include "exchange/valuearray/value_array.h"
#include "platform/kernel/codepage.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

using namespace quill;
using namespace quill::com;
using namespace quill::exchange;

namespace {

constexpr int kRows = 1000;
constexpr int kColumns = 100;

ComPtr<ISafeArray> MixedTable() {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(kRows, kColumns);
    for (int i = 0; i < kRows; ++i)
        for (int j = 0; j < kColumns; ++j) {
            const int k = i * kColumns + j;
            switch (k % 5) {
            case 0:
                table->SetValue(i, j, OleVariant(k));
                break;
            case 1:
                table->SetValue(i, j, OleVariant(k * 1.5));
                break;
            case 2:
                table->SetValue(i, j,
                                OleVariant(u"товар " + std::u16string(1, static_cast<char16_t>(
                                                                             u'a' + k % 26))));
                break;
            case 3:
                table->SetValue(i, j, OleVariant(k % 3 == 0));
                break;
            default:
                break;
            }
        }
    return table;
}

ComPtr<ISafeArray>& Table() {
    static ComPtr<ISafeArray> table = MixedTable();
    return table;
}

const std::vector<unsigned char>& ValueStream() {
    static std::vector<unsigned char> bytes;
    if (bytes.empty()) {
        TMyMemoryStream stream;
        WriteArray(stream, static_cast<TSafeArray*>(Table().Get())->PSA(), VT_VARIANT);
        bytes.assign(stream.Memory, stream.Memory + stream.Size);
    }
    return bytes;
}

const std::vector<unsigned char>& Compressed() {
    static std::vector<unsigned char> packed;
    if (packed.empty()) {
        const auto& raw = ValueStream();
        uLongf size = compressBound(raw.size());
        packed.resize(size);
        compress2(packed.data(), &size, raw.data(), raw.size(), 9);
        packed.resize(size);
    }
    return packed;
}

std::string FilePath() {
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder && *folder ? folder : "/tmp") + "/quill-bench-" +
               std::to_string(getpid()) + ".dat";
    }();
    return path;
}

// Median seconds of `work` over a few runs: the anchor of this run.
template <class Work> double AnchorSeconds(Work&& work) {
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double CompressSeconds() {
    static const double seconds = AnchorSeconds([] {
        const auto& raw = ValueStream();
        std::vector<unsigned char> out(raw.size());
        uLongf size = out.size();
        benchmark::DoNotOptimize(compress2(out.data(), &size, raw.data(), raw.size(), 9));
    });
    return seconds;
}

double UncompressSeconds() {
    static const double seconds = AnchorSeconds([] {
        const auto& packed = Compressed();
        std::vector<unsigned char> out(ValueStream().size());
        uLongf size = out.size();
        benchmark::DoNotOptimize(uncompress(out.data(), &size, packed.data(), packed.size()));
    });
    return seconds;
}

void ReportAgainst(benchmark::State& state, double anchorSeconds,
                   std::chrono::steady_clock::time_point start) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double perIteration = seconds / static_cast<double>(state.iterations());
    state.counters["ms_per_op"] = perIteration * 1e3;
    state.counters["zlib_ms"] = anchorSeconds * 1e3;
    state.counters["vs_zlib"] = perIteration / anchorSeconds;
    state.counters["stream_bytes"] = static_cast<double>(ValueStream().size());
}

void BM_Compress2Level9(benchmark::State& state) {
    const auto& raw = ValueStream();
    std::vector<unsigned char> out(raw.size());
    for (auto _ : state) {
        uLongf size = out.size();
        benchmark::DoNotOptimize(compress2(out.data(), &size, raw.data(), raw.size(), 9));
    }
    state.counters["packed_bytes"] = static_cast<double>(Compressed().size());
}

void BM_Uncompress(benchmark::State& state) {
    const auto& packed = Compressed();
    std::vector<unsigned char> out(ValueStream().size());
    for (auto _ : state) {
        uLongf size = out.size();
        benchmark::DoNotOptimize(uncompress(out.data(), &size, packed.data(), packed.size()));
    }
}

void BM_SaveToFile(benchmark::State& state) {
    BStr path(kernel::Utf8ToWide(FilePath()));
    const double anchor = CompressSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::int16_t ok = 0;
        Table()->SaveToFile(path.Get(), &ok);
        if (!ok) state.SkipWithError("save failed");
    }
    ReportAgainst(state, anchor, start);
}

void BM_LoadFromFile(benchmark::State& state) {
    BStr path(kernel::Utf8ToWide(FilePath()));
    std::int16_t ok = 0;
    Table()->SaveToFile(path.Get(), &ok);
    const double anchor = UncompressSeconds();
    ComPtr<ISafeArray> target = CreateValueArray();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        target->LoadFromFile(path.Get(), &ok);
        if (!ok) state.SkipWithError("load failed");
    }
    ReportAgainst(state, anchor, start);
    std::filesystem::remove(FilePath());
}

} // namespace

BENCHMARK(BM_Compress2Level9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Uncompress)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
