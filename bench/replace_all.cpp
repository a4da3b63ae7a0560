// ReplaceAll (skip-table search) over a 10 MB settings-like text, against a plain std::string
// find-and-replace loop on the same text in the same run. The summary line gives both times and
// their ratio (ReplaceAll / plain loop).
#include "summary_reporter.h"
#include "exchange/xml/text_utils.h"
#include "platform/kernel/codepage.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

using quill::kernel::WideToAnsi;

// About 10 MB of model and parameter elements in Windows-1251, with the attribute that the
// digit-4 rule renames in every parameter.
const std::string& SettingsText() {
    static const std::string text = [] {
        const std::string model =
            WideToAnsi(u"<Модель Код=\"{70231714-9996-413C-BFBB-F504227138B8}\" "
                       u"Наименование=\"Сканер штрихкодов\" "
                       u"Идентификатор=\"СканерКлавиатурный\" Библиотека=\"Quill.plu\"><Параметры>"
                       u"<Параметр Идентификатор=\"Префикс\" Наименование=\"Префикс\" "
                       u"Тип=\"String\" Значение=\"~\"/>"
                       u"<Параметр Идентификатор=\"Таймаут\" Наименование=\"Таймаут\" "
                       u"Тип=\"Integer\" Значение=\"50\"/>"
                       u"</Параметры></Модель>\r\n");
        std::string out;
        out.reserve(10u << 20);
        while (out.size() + model.size() <= (10u << 20))
            out += model;
        return out;
    }();
    return text;
}

const std::string& Search() {
    static const std::string s = WideToAnsi(u" Значение=");
    return s;
}
const std::string& Replacement() {
    static const std::string s = WideToAnsi(u" Зна4ение=");
    return s;
}

std::string PlainReplace(const std::string& text, const std::string& search,
                         const std::string& replacement) {
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(search, from)) != std::string::npos;
         from = at + search.size()) {
        out.append(text, from, at - from);
        out += replacement;
    }
    out.append(text, from, std::string::npos);
    return out;
}

void BM_ReplaceAll(benchmark::State& state) {
    const std::string& text = SettingsText();
    if (quill::exchange::ReplaceAll(text, Search(), Replacement(), true) !=
        PlainReplace(text, Search(), Replacement()))
        state.SkipWithError("the two replacements disagree");
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::exchange::ReplaceAll(text, Search(), Replacement(), true));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond);

void BM_ReplaceAllIgnoringCase(benchmark::State& state) {
    const std::string& text = SettingsText();
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::exchange::ReplaceAll(text, Search(), Replacement(), false));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceAllIgnoringCase)->Unit(benchmark::kMillisecond);

void BM_PlainFindReplace(benchmark::State& state) {
    const std::string& text = SettingsText();
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainReplace(text, Search(), Replacement()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PlainFindReplace)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& s = reporter.Seconds;
    if (s.count("BM_ReplaceAll") && s.count("BM_PlainFindReplace")) {
        std::printf(
            "summary: ReplaceAll %.2f ms, plain find-and-replace %.2f ms, ratio %.2f (%.1f MB)\n",
            s.at("BM_ReplaceAll") * 1e3, s.at("BM_PlainFindReplace") * 1e3,
            s.at("BM_ReplaceAll") / s.at("BM_PlainFindReplace"), SettingsText().size() / 1048576.0);
    }
    benchmark::Shutdown();
    return 0;
}
