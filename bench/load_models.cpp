// LoadModels and CreateModelList on settings documents of 1,000 and 10,000 models, against
// libxml2's own parse of the same text (the anchor) in the same run. The summary gives each time
// as a multiple of the anchor and the growth from 1,000 to 10,000 models. Building the list
// before a load and freeing it afterwards are not timed.
#include "summary_reporter.h"
#include "exchange/collections/model_list.h"
#include "platform/kernel/codepage.h"
#include "quill/host.h"
#include "registry/models/model_plu_list.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace quill;

// A settings document with `models` models of this library in ten equipment classes, each with
// three parameters.
const std::u16string& SettingsText(int models) {
    static std::map<int, std::u16string> texts;
    auto& text = texts[models];
    if (!text.empty()) return text;
    text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Система><КлассыОборудования>";
    const int perClass = models / 10;
    char code[64];
    for (int c = 0; c < 10; ++c) {
        text += u"<КлассОборудования Идентификатор=\"Класс" +
                kernel::Utf8ToWide(std::to_string(c)) + u"\">";
        for (int m = 0; m < perClass; ++m) {
            std::snprintf(code, sizeof code, "{%08X-1234-4ABC-8DEF-%012X}", c, m);
            const std::u16string n = kernel::Utf8ToWide(std::to_string(c * perClass + m));
            text += u"<Модель Код=\"" + kernel::Utf8ToWide(code) + u"\" Наименование=\"Модель " +
                    n + u"\" Идентификатор=\"M" + n +
                    u"\" Библиотека=\"Quill.plu\" ИспользуетOrvix=\"0\" Состояние=\"0\">"
                    u"<Параметры>"
                    u"<Параметр Идентификатор=\"Префикс\" Наименование=\"Префикс\" Тип=\"String\" "
                    u"Зна4ениеПоУмол4анию=\"~\" ФлагТолько4тение=\"0\" Описание=\"Начало данных\"/>"
                    u"<Параметр Идентификатор=\"Суффикс\" Наименование=\"Суффикс\" Тип=\"String\" "
                    u"Зна4ениеПоУмол4анию=\"#\" ФлагТолько4тение=\"0\" Описание=\"Конец данных\"/>"
                    u"<Параметр Идентификатор=\"Таймаут\" Наименование=\"Таймаут\" Тип=\"Integer\" "
                    u"Зна4ениеПоУмол4анию=\"50\" ФлагТолько4тение=\"0\" Описание=\"мс\"/>"
                    u"</Параметры></Модель>";
        }
        text += u"</КлассОборудования>";
    }
    text += u"</КлассыОборудования></Система>";
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

void BM_LoadModels(benchmark::State& state) {
    const com::OleVariant settings(SettingsText(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<registry::TModelPluList>(nullptr);
        list->SetLibraryFileName(u"Quill.plu");
        list->RegisterBaseModel(ScannerModelGuid, u"Сканер", 1, 1, 1, 1, 0, u"", u"Сканер",
                                u"Сканер", u"Сканер", nullptr);
        state.ResumeTiming();
        list->LoadModels(settings);
        state.PauseTiming();
        if (list->Count() != state.range(0) + 1) state.SkipWithError("wrong model count");
        // Freeing the list is no part of the load.
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadModels)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_CreateModelList(benchmark::State& state) {
    const com::OleVariant settings(SettingsText(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        auto list = exchange::CreateModelList(settings, u"", u"", u"Quill.plu", u"", u"", u"0");
        state.PauseTiming();
        if (list->Count() != state.range(0)) state.SkipWithError("wrong model count");
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreateModelList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    quill::bench::PrintGrowthSummary(reporter, {"BM_LoadModels", "BM_CreateModelList"},
                                     "BM_Libxml2Parse", "models",
                                     {{"BM_LoadModels", quill::bench::AtMost(3.0)},
                                      {"BM_CreateModelList", quill::bench::AtMost(3.0)}});
    benchmark::Shutdown();
    return 0;
}
