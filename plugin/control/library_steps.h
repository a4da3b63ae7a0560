// The steps of the library's start-up and shut-down, run in order by the module constructor and
// destructor (plugin/entry/library_lifecycle.cpp).
//
// A step that fails never stops the others: the failure is written to the log as an error line,
// "<phase>: <step>: <reason>" (the exception's message, or "unknown failure" when it has none),
// and the next step runs. Nothing raises out of RunLibrarySteps. For the loading thread.
#pragma once

#include <span>
#include <string_view>

namespace quill::plugin {

struct TLibraryStep {
    std::string_view Name; // what the error line calls the step
    void (*Run)();
};

void RunLibrarySteps(std::string_view phase, std::span<const TLibraryStep> steps) noexcept;

} // namespace quill::plugin
