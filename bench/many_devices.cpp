// Loading and clearing a device list of 100,000 and 1,000,000 devices, against libxml2's own parse
// of the same settings text (the anchor) in the same run, with the memory each device costs.
//
// BM_LoadList loads the UTF-16 settings text, as the host hands it over, into a fresh list;
// BM_ClearList frees a loaded list. Building a list before a load (and the load before a clear)
// is not timed. The summary gives the load as a multiple of the anchor, the growth of both from
// 100,000 to 1,000,000 devices beside the anchor's, and, from the allocator's statistics
// (mallinfo2), what a loaded list keeps per device and what the parsed document costs per device.
// Each size runs once: a million devices take seconds and gigabytes, and the ratios are steady.
#include "summary_reporter.h"
#include "platform/kernel/codepage.h"
#include "quill/host.h"
#include "registry/device/device_item.h"
#include "registry/list/devices_list.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <malloc.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace quill;

// The two sizes; the growth between them shows whether a cost is linear.
constexpr int kSizes[] = {100000, 1000000};

class TBenchDevicesList : public registry::TDevicesList {
  public:
    TBenchDevicesList() : registry::TDevicesList(rtl::ItemClassOf<registry::TDeviceItem>) {
        ModelList().RegisterBaseModel(ScannerModelGuid, u"Сканер", 1, 1, 1, 1, 0, u"", u"Сканер",
                                      u"Сканер", u"Сканер", nullptr);
        static const registry::TParamDefRow rows[] = {
            {u"HookPref", u"", u"Префикс", u"String", 0, u"+++", u"Префикс", nullptr},
            {u"HookSuff", u"", u"Суффикс", u"String", 0, u"", u"Суффикс", nullptr},
            {u"HookTimeOut", u"", u"Время ожидания", u"Integer", 0, u"65", u"Время", nullptr},
        };
        RegisterParams(rows);
    }
};

// A settings document with `devices` devices of distinct GUIDs, each with four parameters.
std::u16string BuildSettingsText(int devices) {
    std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Система><Оборудование>";
    char code[64];
    for (int d = 0; d < devices; ++d) {
        std::snprintf(code, sizeof code, "{%08X-1234-4ABC-8DEF-%012X}", d * 7919, d);
        const std::u16string n = kernel::Utf8ToWide(std::to_string(d));
        text += u"<Устройство Код=\"" + kernel::Utf8ToWide(code) +
                u"\" КодМодели=\"{3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7}\" "
                u"Наименование=\"Сканер " +
                n +
                u"\" КодТо4киДоступа=\"\"><Параметры>"
                u"<Параметр Идентификатор=\"Использовать\" Зна4ение=\"1\"/>"
                u"<Параметр Идентификатор=\"HookPref\" Зна4ение=\"~" +
                n +
                u"\"/>"
                u"<Параметр Идентификатор=\"HookSuff\" Зна4ение=\"#\"/>"
                u"<Параметр Идентификатор=\"HookTimeOut\" Зна4ение=\"50\"/>"
                u"</Параметры></Устройство>";
    }
    text += u"</Оборудование></Система>";
    return text;
}

// One text at a time: the texts of a million devices are large enough to matter.
const std::u16string& SettingsText(int devices) {
    static int built = -1;
    static std::u16string text;
    if (built != devices) {
        text.clear();
        text.shrink_to_fit();
        text = BuildSettingsText(devices);
        built = devices;
    }
    return text;
}

// Bytes the allocator has handed out and not yet taken back: small blocks from the heap and
// large ones mapped on their own. The program has one thread, so the main arena is all there is.
double BytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks) + static_cast<double>(info.hblkhd);
}

// Per device count: bytes of the parsed document, bytes a loaded list keeps.
std::map<int, double> gDocumentBytes;
std::map<int, double> gListBytes;

xmlDocPtr ParseUtf8(const std::string& utf8) {
    return xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                         XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_IGNORE_ENC);
}

void BM_Libxml2Parse(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const std::string utf8 = kernel::WideToUtf8(SettingsText(devices));
    for (auto _ : state) {
        xmlDocPtr doc = ParseUtf8(utf8);
        state.PauseTiming();
        if (!doc) state.SkipWithError("parse failed");
        xmlFreeDoc(doc);
        state.ResumeTiming();
    }
    malloc_trim(0);
    const double before = BytesInUse();
    xmlDocPtr doc = ParseUtf8(utf8);
    gDocumentBytes[devices] = (BytesInUse() - before) / devices;
    xmlFreeDoc(doc);
}
BENCHMARK(BM_Libxml2Parse)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_LoadList(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const com::OleVariant settings(SettingsText(devices));
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        const double before = BytesInUse();
        auto list = std::make_unique<TBenchDevicesList>();
        state.ResumeTiming();
        list->LoadList(settings);
        state.PauseTiming();
        gListBytes[devices] = (BytesInUse() - before) / devices;
        if (list->Count() != devices) state.SkipWithError("wrong device count");
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadList)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_ClearList(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const com::OleVariant settings(SettingsText(devices));
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<TBenchDevicesList>();
        list->LoadList(settings);
        state.ResumeTiming();
        list->ClearAll();
        state.PauseTiming();
        if (list->Count() != 0) state.SkipWithError("devices left");
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ClearList)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto time = [&](const std::string& name, int n) {
        const auto it = reporter.Seconds.find(name + "/" + std::to_string(n) + "/iterations:1");
        return it == reporter.Seconds.end() ? 0.0 : it->second;
    };
    for (int n : kSizes) {
        const double anchor = time("BM_Libxml2Parse", n);
        if (anchor > 0 && time("BM_LoadList", n) > 0)
            std::printf("summary: BM_LoadList/%d %.0f ms = %.2f x BM_Libxml2Parse (%.0f ms)\n", n,
                        time("BM_LoadList", n) * 1e3, time("BM_LoadList", n) / anchor,
                        anchor * 1e3);
        if (gListBytes.contains(n) && gDocumentBytes.contains(n))
            std::printf(
                "summary: %d devices: a loaded list keeps %.0f bytes per device; the parsed "
                "document takes %.0f bytes per device\n",
                n, gListBytes[n], gDocumentBytes[n]);
    }
    for (const char* name : {"BM_Libxml2Parse", "BM_LoadList", "BM_ClearList"})
        if (time(name, kSizes[0]) > 0 && time(name, kSizes[1]) > 0)
            std::printf("summary: %s growth %d -> %d devices: %.2f\n", name, kSizes[0], kSizes[1],
                        time(name, kSizes[1]) / time(name, kSizes[0]));
    benchmark::Shutdown();
    return 0;
}
