// Error lines: how a failure that the module carried on past is written, and how a reader picks
// such lines out of a day file.
//
// A log line is "time, thread id, thread name, module name, indent tabs and subject, text", tab
// separated (TLog::MakeLine); banners are lines without tabs. The log has no levels: a line is an
// error line when its subject is kErrorSubject, and its text names the step that failed and why
// ("<step>: <reason>"). Pure functions; thread-safe.
#pragma once

#include <string_view>

namespace quill::infra {

constexpr std::string_view kErrorSubject = "Error";

// Whether `line` (one line of a day file, without its line end) is an error line.
bool IsErrorLine(std::string_view line);

} // namespace quill::infra
