#include "infra/log/log_time.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/format_settings.h"
#include "platform/kernel/local_time.h"
#include "platform/kernel/locale.h"

#include <array>
#include <cstdio>

namespace quill::infra {

namespace {

kernel::SYSTEMTIME ToLocal(TLogTime when) {
    using namespace std::chrono;
    // Whole milliseconds towards the past, as the clock's own reading would give them.
    return kernel::LocalTimeOf(floor<milliseconds>(when.time_since_epoch()).count());
}

std::string Digits(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

using NameTable = std::array<std::string, 12>;

NameTable Convert(const std::array<std::u16string_view, 12>& names) {
    NameTable table;
    for (std::size_t i = 0; i < names.size(); ++i)
        table[i] = kernel::WideToAnsi(names[i]);
    return table;
}

const NameTable& MonthNames(bool russian) {
    static const NameTable english =
        Convert({u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August",
                 u"September", u"October", u"November", u"December"});
    static const NameTable russianNames =
        Convert({u"января", u"февраля", u"марта", u"апреля", u"мая", u"июня", u"июля", u"августа",
                 u"сентября", u"октября", u"ноября", u"декабря"});
    return russian ? russianNames : english;
}

const NameTable& DayNames(bool russian) {
    static const NameTable english =
        Convert({u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday",
                 u"Saturday", u"", u"", u"", u"", u""});
    static const NameTable russianNames =
        Convert({u"воскресенье", u"понедельник", u"вторник", u"среда", u"четверг", u"пятница",
                 u"суббота", u"", u"", u"", u"", u""});
    return russian ? russianNames : english;
}

bool UserIsRussian() {
    return kernel::PrimaryLangId(kernel::GetUserDefaultLangID()) == kernel::LANG_RUSSIAN;
}

} // namespace

std::string FormatLogTime(std::string_view pattern, TLogTime when, bool russian) {
    const kernel::SYSTEMTIME local = ToLocal(when);
    const kernel::FormatSettings& settings = kernel::ProcessFormatSettings();
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        switch (c) {
        case '\'':
        case '"': {
            const std::size_t end = pattern.find(c, i + 1);
            const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = stop == pattern.size() ? stop : stop + 1;
            continue;
        }
        case 'd':
            if (run >= 3)
                out += DayNames(russian)[local.wDayOfWeek];
            else
                out += Digits(local.wDay, static_cast<int>(run));
            break;
        case 'M':
            if (run >= 3)
                out += MonthNames(russian)[local.wMonth - 1u];
            else
                out += Digits(local.wMonth, static_cast<int>(run));
            break;
        case 'y':
            out += run <= 2 ? Digits(local.wYear % 100, 2) : Digits(local.wYear, 4);
            break;
        case 'h':
        case 'H':
            out += Digits(local.wHour, run >= 2 ? 2 : 1);
            break;
        case 'm':
            out += Digits(local.wMinute, run >= 2 ? 2 : 1);
            break;
        case 's':
            out += Digits(local.wSecond, run >= 2 ? 2 : 1);
            break;
        case 'z':
            out += Digits(local.wMilliseconds, run >= 3 ? 3 : 1);
            break;
        case ':':
            out.append(run, settings.TimeSeparator);
            break;
        case '/':
            out.append(run, settings.DateSeparator);
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    return out;
}

std::string LogLineTime(TLogTime when) {
    return FormatLogTime("dd hh:mm:ss:zzz", when, false);
}

std::string LogFileDate(TLogTime when) {
    const kernel::SYSTEMTIME local = ToLocal(when);
    return Digits(local.wYear, 4) + "-" + Digits(local.wMonth, 2) + "-" + Digits(local.wDay, 2);
}

std::string LogBannerTime(TLogTime when) {
    const bool russian = UserIsRussian();
    static const std::string russianDate = kernel::WideToAnsi(u"d MMMM yyyy 'г.'");
    const std::string& longDate = russian ? russianDate : std::string("dddd, MMMM d, yyyy");
    // A blank between the two, or the year and the hour run together ("2026" + "09:05:03").
    return FormatLogTime(longDate + " " + kernel::ProcessFormatSettings().LongTimeFormat, when,
                         russian);
}

} // namespace quill::infra
