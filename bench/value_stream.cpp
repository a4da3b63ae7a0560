// Encoding and decoding speed of the value stream, against memcpy of the same bytes into a warm
// buffer measured in the same run (counter "vs_memcpy": the benchmark's wall-clock bandwidth
// divided by memcpy's; "vs_memcpy_cpu" the same in CPU time, which a shared machine disturbs
// less).
//
// Two tables of 1000 x 1000 cells: doubles (a raw block) and variants of mixed kinds. Encoding
// writes into a new stream each time (growing it as a caller would) and, for the raw block,
// also into a reused stream; decoding reads back into a new value-array object.
#include "summary_reporter.h"
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/value_array_class.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace quill;
using namespace quill::com;
using namespace quill::exchange;

namespace {

constexpr int kRows = 1000;
constexpr int kColumns = 1000;

OleVariant DoubleTable() {
    const SAFEARRAYBOUND bounds[2] = {{kRows, 0}, {kColumns, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_R8, 2, bounds);
    auto* cells = static_cast<double*>(array->pvData);
    for (int i = 0; i < kRows * kColumns; ++i)
        cells[i] = i * 0.25;
    return OleVariant::FromArray(array, VT_R8);
}

OleVariant MixedTable() {
    const SAFEARRAYBOUND bounds[2] = {{kRows, 0}, {kColumns, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    auto* cells = static_cast<VARIANT*>(array->pvData);
    for (int i = 0; i < kRows * kColumns; ++i) {
        switch (i % 5) {
        case 0:
            new (&cells[i]) OleVariant(i);
            break;
        case 1:
            new (&cells[i]) OleVariant(i * 1.5);
            break;
        case 2:
            new (&cells[i])
                OleVariant(u"cell " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
            break;
        case 3:
            new (&cells[i]) OleVariant(i % 2 == 0);
            break;
        default:
            break; // empty
        }
    }
    return OleVariant::FromArray(array, VT_VARIANT);
}

const OleVariant& Table(bool doubles) {
    static const OleVariant d = DoubleTable();
    static const OleVariant m = MixedTable();
    return doubles ? d : m;
}

const std::vector<unsigned char>& Encoded(bool doubles) {
    static std::map<bool, std::vector<unsigned char>> cache;
    auto& bytes = cache[doubles];
    if (bytes.empty()) {
        TMyMemoryStream stream;
        WriteValue(stream, Table(doubles));
        bytes.assign(stream.Memory, stream.Memory + stream.Size);
    }
    return bytes;
}

// Seconds of CPU time this process has used; on a shared machine a fairer clock than the wall.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TBandwidth {
    double Wall; // bytes per second
    double Cpu;
};

// memcpy bandwidth for `size` bytes into a warm buffer: the anchor. The median of several
// rounds, as the machine may be shared.
TBandwidth MemcpyBandwidth(std::size_t size) {
    static std::map<std::size_t, TBandwidth> cache;
    if (auto it = cache.find(size); it != cache.end()) return it->second;
    std::vector<unsigned char> from(size, 1), to(size, 0);
    using Clock = std::chrono::steady_clock;
    std::vector<double> walls, cpus;
    for (int round = 0; round < 9; ++round) {
        int copies = 0;
        const auto start = Clock::now();
        const double cpu = CpuSeconds();
        auto now = start;
        do {
            std::memcpy(to.data(), from.data(), size);
            benchmark::DoNotOptimize(to.data());
            benchmark::ClobberMemory();
            ++copies;
            now = Clock::now();
        } while (now - start < std::chrono::milliseconds(20));
        const double bytes = static_cast<double>(size) * copies;
        walls.push_back(bytes / std::chrono::duration<double>(now - start).count());
        cpus.push_back(bytes / (CpuSeconds() - cpu));
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return cache[size] = {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// Wall-clock and CPU time of the measured loop, the same clocks as the anchor's.
class LoopTimer {
  public:
    LoopTimer() : FStart(std::chrono::steady_clock::now()), FCpu(CpuSeconds()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    }
    double CpuUsed() const { return CpuSeconds() - FCpu; }

  private:
    std::chrono::steady_clock::time_point FStart;
    double FCpu;
};

void Report(benchmark::State& state, std::size_t bytes, const LoopTimer& timer) {
    const double total = static_cast<double>(state.iterations()) * static_cast<double>(bytes);
    const double bandwidth = total / timer.Seconds();
    const double cpuBandwidth = total / timer.CpuUsed();
    const TBandwidth anchor = MemcpyBandwidth(bytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["MB_per_s"] = bandwidth / 1e6;
    state.counters["memcpy_MB_per_s"] = anchor.Wall / 1e6;
    state.counters["vs_memcpy"] = bandwidth / anchor.Wall;
    state.counters["vs_memcpy_cpu"] = cpuBandwidth / anchor.Cpu;
}

void BM_Memcpy(benchmark::State& state) {
    const std::size_t size = Encoded(state.range(0) != 0).size();
    std::vector<unsigned char> from(size, 1), to(size, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), size);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_Encode(benchmark::State& state) {
    const bool doubles = state.range(0) != 0;
    const OleVariant& table = Table(doubles);
    MemcpyBandwidth(Encoded(doubles).size());
    LoopTimer timer;
    for (auto _ : state) {
        TMyMemoryStream stream;
        WriteValue(stream, table);
        benchmark::DoNotOptimize(stream.Memory);
    }
    Report(state, Encoded(doubles).size(), timer);
}

void BM_EncodeReusedStream(benchmark::State& state) {
    const bool doubles = state.range(0) != 0;
    const OleVariant& table = Table(doubles);
    MemcpyBandwidth(Encoded(doubles).size());
    TMyMemoryStream stream;
    LoopTimer timer;
    for (auto _ : state) {
        stream.Position = 0;
        WriteValue(stream, table);
        benchmark::DoNotOptimize(stream.Memory);
    }
    Report(state, Encoded(doubles).size(), timer);
}

void BM_Decode(benchmark::State& state) {
    const bool doubles = state.range(0) != 0;
    const auto& bytes = Encoded(doubles);
    TMyMemoryStream stream;
    stream.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    CreateValueArray(); // class registration outside the measurement
    MemcpyBandwidth(bytes.size());
    LoopTimer timer;
    for (auto _ : state) {
        stream.Position = 0;
        OleVariant value = ReadValue(stream);
        benchmark::DoNotOptimize(value.pdispVal);
    }
    Report(state, bytes.size(), timer);
}

} // namespace

// Argument 1: the 1000 x 1000 table of doubles (raw block); 0: the mixed variant table.
BENCHMARK(BM_Memcpy)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Encode)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeReusedStream)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    using quill::bench::CpuRatio;
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Bandwidth against memcpy's: memcpy's CPU time over the measure's, for the same bytes.
    for (int doubles : {1, 0}) {
        const std::string arg = "/" + std::to_string(doubles) + "/real_time";
        const char* table = doubles ? "1000 x 1000 doubles (raw block)" : "1000 x 1000 mixed table";
        const quill::bench::TGoal goal =
            doubles ? quill::bench::AtLeast(0.5) : quill::bench::TGoal{};
        const std::string anchor = "memcpy bandwidth of the same bytes";
        const double memcpyToEncode = CpuRatio(reporter, "BM_Memcpy" + arg, "BM_Encode" + arg);
        const double memcpyToDecode = CpuRatio(reporter, "BM_Memcpy" + arg, "BM_Decode" + arg);
        quill::bench::PrintMeasure(std::string("value stream encode bandwidth, ") + table, anchor,
                                   memcpyToEncode, goal);
        quill::bench::PrintMeasure(std::string("value stream decode bandwidth, ") + table, anchor,
                                   memcpyToDecode, goal);
    }
    benchmark::Shutdown();
    return 0;
}
