// Saving and loading a 1000 x 100 table of mixed cells as a storage file, against bare zlib on
// the same value stream measured in the same run (counter "vs_zlib": time per save or load
// divided by the time of compress2 at level 9, or of uncompress, of those bytes; "vs_zlib_cpu"
// the same in CPU time, which a shared machine disturbs less; the wall clock includes the
// fsync of the save). The table rows (see summary_reporter.h) compare CPU times of the runs, and
// the compressed size against zlib's.
//
// Saving includes encoding, the checksum and the atomic replacement of the file (temporary file,
// fsync, rename); loading includes reading, the checks, inflating and decoding into a table (and
// freeing the table it replaces). The save's image work and its file replacement, and the load's
// decoding, are also measured apart, so that a ratio can be traced to its part.
#include "summary_reporter.h"
#include "exchange/stream/atomic_file.h"
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/value_array_object.h"
#include "exchange/valuearray/storage_file.h"
#include "exchange/valuearray/value_array_class.h"
#include "platform/kernel/codepage.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
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

// Seconds of CPU time this process has used; on a shared machine a fairer clock than the wall.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TAnchor {
    double Wall; // median seconds per run
    double Cpu;
};

// Median wall-clock and CPU seconds of `work` over at least seven runs and half a second: the
// anchor of this run. A fast anchor gets many runs, so that one quiet or busy moment of a shared
// machine does not decide it.
template <class Work> TAnchor AnchorSeconds(Work&& work) {
    std::vector<double> walls, cpus;
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 7 || (i < 2000 && std::chrono::steady_clock::now() - begin <
                                              std::chrono::milliseconds(500));
         ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu = CpuSeconds();
        work();
        cpus.push_back(CpuSeconds() - cpu);
        walls.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

TAnchor CompressSeconds() {
    static const TAnchor seconds = AnchorSeconds([] {
        const auto& raw = ValueStream();
        std::vector<unsigned char> out(raw.size());
        uLongf size = out.size();
        benchmark::DoNotOptimize(compress2(out.data(), &size, raw.data(), raw.size(), 9));
    });
    return seconds;
}

TAnchor UncompressSeconds() {
    static const TAnchor seconds = AnchorSeconds([] {
        const auto& packed = Compressed();
        std::vector<unsigned char> out(ValueStream().size());
        uLongf size = out.size();
        benchmark::DoNotOptimize(uncompress(out.data(), &size, packed.data(), packed.size()));
    });
    return seconds;
}

// Wall-clock and CPU time at the start of the measured loop.
struct TLoopStart {
    std::chrono::steady_clock::time_point Wall = std::chrono::steady_clock::now();
    double Cpu = CpuSeconds();
};

void ReportAgainst(benchmark::State& state, const TAnchor& anchor, const TLoopStart& start) {
    const double n = static_cast<double>(state.iterations());
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start.Wall).count() / n;
    const double cpu = (CpuSeconds() - start.Cpu) / n;
    state.counters["ms_per_op"] = wall * 1e3;
    state.counters["zlib_ms"] = anchor.Wall * 1e3;
    state.counters["vs_zlib"] = wall / anchor.Wall;
    state.counters["vs_zlib_cpu"] = cpu / anchor.Cpu;
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
    const TAnchor anchor = CompressSeconds();
    const TLoopStart start;
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
    const TAnchor anchor = UncompressSeconds();
    ComPtr<ISafeArray> target = CreateValueArray();
    const TLoopStart start;
    for (auto _ : state) {
        target->LoadFromFile(path.Get(), &ok);
        if (!ok) state.SkipWithError("load failed");
    }
    ReportAgainst(state, anchor, start);
    std::filesystem::remove(FilePath());
}

// The save without its file: encoding, compress2 at level 9, the checksum and the header. This
// is the part that competes with bare zlib; the file replacement is measured on its own below.
void BM_SaveImageOnly(benchmark::State& state) {
    const TAnchor anchor = CompressSeconds();
    const SAFEARRAY* table = static_cast<TSafeArray*>(Table().Get())->PSA();
    const TLoopStart start;
    for (auto _ : state) {
        TMyMemoryStream stream;
        WriteArray(stream, table, VT_VARIANT);
        const std::string image = BuildStorageImage(
            stream.Memory, static_cast<std::size_t>(stream.Size), LocalDateTimeNow());
        benchmark::DoNotOptimize(image.data());
    }
    ReportAgainst(state, anchor, start);
}

// The atomic replacement of the file with the saved image: temporary file, write, fsync, rename.
// Its wall time is the disk's (mostly the fsync), not this library's CPU; "vs_zlib" puts it
// beside compress2 so that the save's wall-clock ratio can be read apart.
void BM_ReplaceFileOnly(benchmark::State& state) {
    const TAnchor anchor = CompressSeconds();
    TMyMemoryStream stream;
    WriteArray(stream, static_cast<TSafeArray*>(Table().Get())->PSA(), VT_VARIANT);
    const std::string image =
        BuildStorageImage(stream.Memory, static_cast<std::size_t>(stream.Size), 0);
    const TLoopStart start;
    for (auto _ : state)
        ReplaceFileContents(FilePath(), {{image.data(), image.size()}});
    ReportAgainst(state, anchor, start);
    state.counters["file_bytes"] = static_cast<double>(image.size());
}

// Decoding the value stream into a new table, from memory: the load's work besides reading the
// file, the checks and inflating.
void BM_DecodeOnly(benchmark::State& state) {
    const auto& bytes = ValueStream();
    TMyMemoryStream stream;
    stream.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    CreateValueArray(); // class registration outside the measurement
    const TAnchor anchor = UncompressSeconds();
    const TLoopStart start;
    for (auto _ : state) {
        stream.Position = 0;
        OleVariant value = ReadValue(stream);
        benchmark::DoNotOptimize(value.pdispVal);
    }
    ReportAgainst(state, anchor, start);
}

} // namespace

// A save costs about 0.1 s: at least two seconds each so that the medians settle.
BENCHMARK(BM_Compress2Level9)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SaveImageOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ReplaceFileOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Uncompress)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

int main(int argc, char** argv) {
    using quill::bench::AtMost;
    using quill::bench::CpuRatio;
    using quill::bench::PrintMeasure;
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto run = [](const char* name, double minTime) {
        char text[96];
        std::snprintf(text, sizeof text, "%s/min_time:%.3f/real_time", name, minTime);
        return std::string(text);
    };
    const std::string compress = run("BM_Compress2Level9", 2.0);
    const std::string uncompress = run("BM_Uncompress", 1.0);
    const std::string table = " (1000 x 100 mixed table)";
    PrintMeasure("SaveToFile" + table, "compress2 level 9 of its value stream",
                 CpuRatio(reporter, run("BM_SaveToFile", 2.0), compress), AtMost(0.75));
    PrintMeasure("SaveToFile without the file (encode, compress, checksum)",
                 "compress2 level 9 of its value stream",
                 CpuRatio(reporter, run("BM_SaveImageOnly", 2.0), compress));
    // The compressed size needs no timing: the same image the save writes, against zlib's.
    const auto& raw = ValueStream();
    const std::string image = BuildStorageImage(raw.data(), raw.size(), 0);
    PrintMeasure("SaveToFile compressed size" + table, "compress2 level 9 output size",
                 static_cast<double>(image.size() - StorageHeaderSize) /
                     static_cast<double>(Compressed().size()),
                 AtMost(1.01));
    PrintMeasure("LoadFromFile" + table, "zlib uncompress of the same value stream",
                 CpuRatio(reporter, run("BM_LoadFromFile", 1.0), uncompress), AtMost(1.0));
    PrintMeasure("LoadFromFile's decoding alone (value stream to table)",
                 "zlib uncompress of the same value stream",
                 CpuRatio(reporter, run("BM_DecodeOnly", 1.0), uncompress));
    benchmark::Shutdown();
    return 0;
}
