// ReplaceAll over a 10 MB settings-like text, 8-bit and UTF-16, with and without case, against a
// plain std::string (std::u16string) find-and-replace loop on the same text in the same run. The
// summary gives both times and their ratio (ReplaceAll / plain loop); the table rows each ratio
// with its goal. Ignoring case, the usual search text (Cyrillic and signs) has no letter whose case
// could differ; a search text with Latin letters is measured besides.
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

// The same text in UTF-16, and a search text with Latin letters (for the search that folds case).
const std::u16string& SettingsText16() {
    static const std::u16string text = quill::kernel::AnsiToWide(SettingsText());
    return text;
}
const std::u16string& Search16() {
    static const std::u16string s = quill::kernel::AnsiToWide(Search());
    return s;
}
const std::u16string& Replacement16() {
    static const std::u16string s = quill::kernel::AnsiToWide(Replacement());
    return s;
}
const std::string& LatinSearch() {
    static const std::string s = WideToAnsi(u" Тип=\"String\"");
    return s;
}
const std::string& LatinReplacement() {
    static const std::string s = WideToAnsi(u" Тип=\"Строка\"");
    return s;
}

template <class Char>
std::basic_string<Char> PlainReplace(const std::basic_string<Char>& text,
                                     const std::basic_string<Char>& search,
                                     const std::basic_string<Char>& replacement) {
    std::basic_string<Char> out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(search, from)) != std::basic_string<Char>::npos;
         from = at + search.size()) {
        out.append(text, from, at - from);
        out += replacement;
    }
    out.append(text, from, std::basic_string<Char>::npos);
    return out;
}

// ReplaceAll of `search` in `text` with or without case, checked once against the plain loop
// (which matches case: the texts hold the search text in one case only).
template <class Char>
void MeasureReplaceAll(benchmark::State& state, const std::basic_string<Char>& text,
                       const std::basic_string<Char>& search,
                       const std::basic_string<Char>& replacement, bool exactCase) {
    if (quill::exchange::ReplaceAll(text, search, replacement, exactCase) !=
        PlainReplace(text, search, replacement))
        state.SkipWithError("the two replacements disagree");
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::exchange::ReplaceAll(text, search, replacement, exactCase));
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(Char)));
}

template <class Char>
void MeasurePlain(benchmark::State& state, const std::basic_string<Char>& text,
                  const std::basic_string<Char>& search,
                  const std::basic_string<Char>& replacement) {
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainReplace(text, search, replacement));
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(Char)));
}

void BM_ReplaceAll(benchmark::State& state) {
    MeasureReplaceAll(state, SettingsText(), Search(), Replacement(), true);
}
void BM_ReplaceAllIgnoringCase(benchmark::State& state) {
    MeasureReplaceAll(state, SettingsText(), Search(), Replacement(), false);
}
void BM_PlainFindReplace(benchmark::State& state) {
    MeasurePlain(state, SettingsText(), Search(), Replacement());
}
void BM_ReplaceAllLatinIgnoringCase(benchmark::State& state) {
    MeasureReplaceAll(state, SettingsText(), LatinSearch(), LatinReplacement(), false);
}
void BM_PlainFindReplaceLatin(benchmark::State& state) {
    MeasurePlain(state, SettingsText(), LatinSearch(), LatinReplacement());
}
void BM_ReplaceAll16(benchmark::State& state) {
    MeasureReplaceAll(state, SettingsText16(), Search16(), Replacement16(), true);
}
void BM_ReplaceAll16IgnoringCase(benchmark::State& state) {
    MeasureReplaceAll(state, SettingsText16(), Search16(), Replacement16(), false);
}
void BM_PlainFindReplace16(benchmark::State& state) {
    MeasurePlain(state, SettingsText16(), Search16(), Replacement16());
}
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllIgnoringCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFindReplace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllLatinIgnoringCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFindReplaceLatin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAll16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAll16IgnoringCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFindReplace16)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    using quill::bench::AtMost;
    using quill::bench::CpuRatio;
    using quill::bench::PrintMeasure;
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
    const std::string plain = "std::string find-and-replace loop";
    const std::string plain16 = "std::u16string find-and-replace loop";
    PrintMeasure("ReplaceAll 10 MB, 8-bit", plain,
                 CpuRatio(reporter, "BM_ReplaceAll", "BM_PlainFindReplace"), AtMost(1.0));
    PrintMeasure("ReplaceAll 10 MB, 8-bit, ignoring case", plain,
                 CpuRatio(reporter, "BM_ReplaceAllIgnoringCase", "BM_PlainFindReplace"),
                 AtMost(1.5));
    PrintMeasure("ReplaceAll 10 MB, 8-bit, ignoring case, Latin letters", plain,
                 CpuRatio(reporter, "BM_ReplaceAllLatinIgnoringCase", "BM_PlainFindReplaceLatin"),
                 AtMost(1.5));
    PrintMeasure("ReplaceAll 10 MB, UTF-16", plain16,
                 CpuRatio(reporter, "BM_ReplaceAll16", "BM_PlainFindReplace16"), AtMost(1.0));
    PrintMeasure("ReplaceAll 10 MB, UTF-16, ignoring case", plain16,
                 CpuRatio(reporter, "BM_ReplaceAll16IgnoringCase", "BM_PlainFindReplace16"),
                 AtMost(1.5));
    benchmark::Shutdown();
    return 0;
}
