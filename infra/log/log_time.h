// The log's texts of time: the time stamp of a line, the name of a daily file and the date and time
// of a banner. All take a point of the wall clock and use local time (kernel/local_time.h).
//
// The banner's date and time follow the user's long date format (from the user's language: Russian
// "d MMMM yyyy 'г.'", otherwise "dddd, MMMM d, yyyy"), a blank, and the process's long time
// format; time separators come from the process-wide format settings. Texts are Windows-1251.
// Pure functions of their arguments and those settings; thread-safe.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quill::infra {

using TLogTime = std::chrono::system_clock::time_point;

// "DD HH:MM:SS:ZZZ" with every ":" written as the time separator.
std::string LogLineTime(TLogTime when);
// "YYYY-MM-DD", the name of the day's file without its extension.
std::string LogFileDate(TLogTime when);
// The user's long date, a blank, and the long time.
std::string LogBannerTime(TLogTime when);

// The date-time pattern formatter behind LogBannerTime: d, dd, dddd, M, MM, MMMM (Russian month
// names in the genitive, as they follow a day), yy,
// yyyy, h/H, hh/HH (00-23), m, mm (minutes), s, ss, z, zzz; ":" and "/" become the time and date
// separators; text in single or double quotes is copied. Other characters are copied as they are.
std::string FormatLogTime(std::string_view pattern, TLogTime when, bool russian);

} // namespace quill::infra
