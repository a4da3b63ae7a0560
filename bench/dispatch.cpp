// A call by name through GuardedCallEntry (a method with one argument, and a property read)
// against a direct call of the same handler with the same arguments, in the same run, with tables
// of 10 and 1,000 records and lists of 1 and 1,000 devices. The target records are the last of
// their tables and the call's device the last of its list, so a lookup that scanned would show.
//
// The direct call does what a caller of the handler must do at the least: put the argument into
// the handler's argument array (for the method) or a value variable (for the property) and call
// it. The call by name reuses one parameter block per benchmark, as a host that repeats a call
// does, and carries a host task object naming the device. The summary gives ns per call and the
// ratio (by name / direct) for every size.
#include "summary_reporter.h"
#include "plugin/control/call_entry.h"
#include "plugin/driver/base_dll_obj.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quill;
using com::OleVariant;

std::int64_t gSum = 0;

void HandleEcho(plugin::TBaseDllObj&, rtl::TObject*, std::vector<OleVariant>& args,
                OleVariant& result) {
    gSum += args[0].vt == com::VT_I4 ? args[0].lVal : 0;
    result = OleVariant(u"ok");
}
bool HandleLevel(rtl::TObject*, bool write, OleVariant& value, const std::string&) {
    if (!write) value = OleVariant(42);
    return true;
}
void HandleOther(plugin::TBaseDllObj&, rtl::TObject*, std::vector<OleVariant>&, OleVariant&) {}
bool HandleOtherProperty(rtl::TObject*, bool, OleVariant&, const std::string&) {
    return true;
}

// Tables of `size` records whose last ones are the targets; the names live as long as the program.
struct Tables {
    std::vector<std::u16string> Names;
    std::vector<plugin::MethodRecord> Methods;
    std::vector<plugin::PropertyRecord> Properties;
};

Tables& TablesOf(int size) {
    static std::map<int, std::unique_ptr<Tables>> all;
    auto& slot = all[size];
    if (slot) return *slot;
    slot = std::make_unique<Tables>();
    Tables& t = *slot;
    t.Names.reserve(2 * size);
    for (int i = 0; i < size - 1; ++i) {
        const std::u16string n = kernel::AnsiToWide(std::to_string(i));
        t.Names.push_back(u"Метод" + n + u",Method" + n);
        t.Names.push_back(u"Свойство" + n);
    }
    t.Names.push_back(u"Эхо,Echo");
    t.Names.push_back(u"Уровень");
    for (int i = 0; i < size - 1; ++i) {
        t.Methods.push_back({t.Names[2 * i], 0, HandleOther});
        t.Properties.push_back(
            {t.Names[2 * i + 1], u"", u"", u"Integer", false, u"", u"", HandleOtherProperty});
    }
    t.Methods.push_back({t.Names[2 * size - 2], 1, HandleEcho});
    t.Properties.push_back(
        {t.Names[2 * size - 1], u"Level", u"", u"Integer", true, u"", u"", HandleLevel});
    return t;
}

class THostTaskObject : public THostTask {
  public:
    std::string_view ClassName() const override { return "TInternalTask"; }
};

class TBenchDriver : public plugin::TBaseDllObj {
  public:
    explicit TBenchDriver(const Tables& t)
        : plugin::TBaseDllObj(t.Methods, {}, t.Properties, rtl::ItemClassOf<registry::TDeviceItem>,
                              plugin::ListClassOf<registry::TDevicesList>, &plugin::CallEntry) {}
};

// A driver installed as the library's driver object with `devices` devices; the task names the
// last one.
struct Setup {
    Setup(int records, int devices) : Driver(TablesOf(records)) {
        for (int i = 0; i < devices; ++i)
            Devices.push_back(static_cast<registry::TDeviceItem*>(Driver.Devices->Add()));
        Task.SetDeviceGuid(Devices.back()->Guid());
        plugin::DllObject = &Driver;
    }
    ~Setup() { plugin::DllObject = nullptr; }
    TBenchDriver Driver;
    std::vector<registry::TDeviceItem*> Devices;
    THostTaskObject Task;
};

void Block(exchange::TParams& block, std::u16string_view name, int kind, bool withArgument) {
    block.AllocateStorage();
    block.Add(OleVariant());
    block.Add(OleVariant(name));
    block.Add(OleVariant(kind));
    if (withArgument) block.Add(OleVariant(5));
}

void BM_MethodByName(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    exchange::TParams block;
    Block(block, u"echo", 1, true);
    for (auto _ : state) {
        if (!plugin::GuardedCallEntry(&block, &setup.Task)) {
            state.SkipWithError("the call failed");
            break;
        }
    }
    benchmark::DoNotOptimize(gSum);
}

void BM_MethodDirect(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const OleVariant argument(5);
    for (auto _ : state) {
        std::vector<OleVariant> args(1, argument);
        OleVariant result;
        HandleEcho(setup.Driver, &setup.Task, args, result);
        benchmark::DoNotOptimize(result);
    }
    benchmark::DoNotOptimize(gSum);
}

void BM_PropertyByName(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    exchange::TParams block;
    Block(block, u"LEVEL", 2, false);
    for (auto _ : state) {
        if (!plugin::GuardedCallEntry(&block, &setup.Task)) {
            state.SkipWithError("the call failed");
            break;
        }
    }
}

void BM_PropertyDirect(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    static const std::string name = kernel::WideToAnsi(u"Уровень");
    for (auto _ : state) {
        OleVariant value;
        HandleLevel(&setup.Task, false, value, name);
        benchmark::DoNotOptimize(value);
    }
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int records : {10, 1000})
        for (int devices : {1, 1000})
            b->Args({records, devices});
}

BENCHMARK(BM_MethodByName)->Apply(Sizes);
BENCHMARK(BM_MethodDirect)->Apply(Sizes);
BENCHMARK(BM_PropertyByName)->Apply(Sizes);
BENCHMARK(BM_PropertyDirect)->Apply(Sizes);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& s = reporter.Seconds;
    for (const char* kind : {"Method", "Property"})
        for (int records : {10, 1000})
            for (int devices : {1, 1000}) {
                const std::string suffix =
                    "/" + std::to_string(records) + "/" + std::to_string(devices);
                const std::string byName = std::string("BM_") + kind + "ByName" + suffix;
                const std::string direct = std::string("BM_") + kind + "Direct" + suffix;
                if (!s.count(byName) || !s.count(direct)) continue;
                std::printf("summary: %-8s records %4d devices %4d: by name %.1f ns, direct %.1f "
                            "ns, ratio %.2f\n",
                            kind, records, devices, s.at(byName) * 1e9, s.at(direct) * 1e9,
                            s.at(byName) / s.at(direct));
            }
    for (const char* kind : {"Method", "Property"})
        for (int records : {10, 1000})
            for (int devices : {1, 1000}) {
                const std::string suffix =
                    "/" + std::to_string(records) + "/" + std::to_string(devices);
                quill::bench::PrintMeasure(
                    std::string(kind) + " call by name, " + std::to_string(records) + " records, " +
                        std::to_string(devices) + (devices == 1 ? " device" : " devices"),
                    "direct call of the same handler",
                    quill::bench::CpuRatio(reporter, std::string("BM_") + kind + "ByName" + suffix,
                                           std::string("BM_") + kind + "Direct" + suffix),
                    quill::bench::AtMost(10));
            }
    benchmark::Shutdown();
    return 0;
}
