// Encoding and decoding speed of the value stream, against memcpy of the same bytes into a warm
// buffer measured in the same run (counter "vs_memcpy": the benchmark's wall-clock bandwidth
// divided by memcpy's; both are wall-clock figures, as the machine may be shared).
//
// Two tables of 1000 x 1000 cells: doubles (a raw block) and variants of mixed kinds. Encoding
// writes into a new stream each time (growing it as a caller would) and, for the raw block,
// also into a reused stream; decoding reads back into a new value-array object.
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/value_array.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

// memcpy bandwidth (bytes per second) for `size` bytes into a warm buffer: the anchor. The median
// of several rounds, as the machine may be shared.
double MemcpyBandwidth(std::size_t size) {
    static std::map<std::size_t, double> cache;
    if (auto it = cache.find(size); it != cache.end()) return it->second;
    std::vector<unsigned char> from(size, 1), to(size, 0);
    using Clock = std::chrono::steady_clock;
    std::vector<double> rounds;
    for (int round = 0; round < 9; ++round) {
        int copies = 0;
        const auto start = Clock::now();
        auto now = start;
        do {
            std::memcpy(to.data(), from.data(), size);
            benchmark::DoNotOptimize(to.data());
            benchmark::ClobberMemory();
            ++copies;
            now = Clock::now();
        } while (now - start < std::chrono::milliseconds(20));
        rounds.push_back(static_cast<double>(size) * copies /
                         std::chrono::duration<double>(now - start).count());
    }
    std::sort(rounds.begin(), rounds.end());
    return cache[size] = rounds[rounds.size() / 2];
}

// Wall-clock time of the measured loop, the same clock as the anchor's.
class LoopTimer {
  public:
    LoopTimer() : FStart(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    }

  private:
    std::chrono::steady_clock::time_point FStart;
};

void Report(benchmark::State& state, std::size_t bytes, const LoopTimer& timer) {
    const double seconds = timer.Seconds();
    const double bandwidth =
        static_cast<double>(state.iterations()) * static_cast<double>(bytes) / seconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["MB_per_s"] = bandwidth / 1e6;
    state.counters["memcpy_MB_per_s"] = MemcpyBandwidth(bytes) / 1e6;
    state.counters["vs_memcpy"] = bandwidth / MemcpyBandwidth(bytes);
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
BENCHMARK_MAIN();
