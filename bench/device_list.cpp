// LoadList into a fresh device list and GetDeviceSettings with a key that is no GUID (the
// "EquList" export of every device) for 1,000 and 10,000 devices, against libxml2's own parse of
// the same settings text (the anchor) in the same run. The summary gives each time as a multiple
// of the anchor and the growth from 1,000 to 10,000 devices. Building the list before a load and
// freeing it afterwards are not timed. Also one device with 20,000 parameters loaded from its
// settings text, against libxml2's parse of that text: the parameter lookup must keep it linear.
#include "summary_reporter.h"
#include "platform/kernel/codepage.h"
#include "platform/xml/dom.h"
#include "quill/host.h"
#include "registry/device/device_item.h"
#include "registry/list/devices_list.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace quill;

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
const std::u16string& SettingsText(int devices) {
    static std::map<int, std::u16string> texts;
    auto& text = texts[devices];
    if (!text.empty()) return text;
    text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Система><Оборудование>";
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

void BM_Libxml2Parse(benchmark::State& state) {
    const std::string utf8 = kernel::WideToUtf8(SettingsText(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_IGNORE_ENC);
        if (!doc) state.SkipWithError("parse failed");
        xmlFreeDoc(doc);
    }
}
BENCHMARK(BM_Libxml2Parse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LoadList(benchmark::State& state) {
    const com::OleVariant settings(SettingsText(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<TBenchDevicesList>();
        state.ResumeTiming();
        list->LoadList(settings);
        state.PauseTiming();
        if (list->Count() != state.range(0)) state.SkipWithError("wrong device count");
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_GetDeviceSettings(benchmark::State& state) {
    TBenchDevicesList list;
    list.LoadList(com::OleVariant(SettingsText(static_cast<int>(state.range(0)))));
    const com::OleVariant key(u"EquList");
    for (auto _ : state) {
        com::OleVariant result;
        list.GetDeviceSettings(key, result);
        state.PauseTiming();
        if (xml::NodeFromVariant(result)->SelectNodes(u"/EquList/Устройство").Length() !=
            static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("wrong device count");
        result.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GetDeviceSettings)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One device's settings text with `parameters` parameters of distinct names.
const std::u16string& DeviceText(int parameters) {
    static std::map<int, std::u16string> texts;
    auto& text = texts[parameters];
    if (!text.empty()) return text;
    text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Устройство "
           u"Код=\"{0000002A-1234-4ABC-8DEF-00000000002A}\" "
           u"КодМодели=\"{3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7}\" Наименование=\"Сканер\" "
           u"КодТо4киДоступа=\"\"><Параметры>";
    for (int p = 0; p < parameters; ++p) {
        const std::u16string n = kernel::Utf8ToWide(std::to_string(p));
        text +=
            u"<Параметр Идентификатор=\"Параметр" + n + u"\" Зна4ение=\"Значение " + n + u"\"/>";
    }
    text += u"</Параметры></Устройство>";
    return text;
}

void BM_Libxml2ParseDevice(benchmark::State& state) {
    const std::string utf8 = kernel::WideToUtf8(DeviceText(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_IGNORE_ENC);
        if (!doc) state.SkipWithError("parse failed");
        xmlFreeDoc(doc);
    }
}
BENCHMARK(BM_Libxml2ParseDevice)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_LoadDeviceParameters(benchmark::State& state) {
    const int parameters = static_cast<int>(state.range(0));
    const com::OleVariant settings(DeviceText(parameters));
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<TBenchDevicesList>();
        auto* device = static_cast<registry::TDeviceItem*>(list->Add());
        state.ResumeTiming();
        device->LoadDeviceSettings(settings);
        state.PauseTiming();
        if (device->Params().Count() < parameters) state.SkipWithError("parameters missing");
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadDeviceParameters)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    quill::bench::PrintGrowthSummary(reporter, {"BM_LoadList", "BM_GetDeviceSettings"},
                                     "BM_Libxml2Parse", "devices",
                                     {{"BM_GetDeviceSettings", quill::bench::AtMost(2.0)}});
    quill::bench::PrintMeasure("BM_LoadDeviceParameters/20000", "BM_Libxml2ParseDevice/20000",
                               quill::bench::CpuRatio(reporter, "BM_LoadDeviceParameters/20000",
                                                      "BM_Libxml2ParseDevice/20000"),
                               quill::bench::AtMost(3.0));
    benchmark::Shutdown();
    return 0;
}
