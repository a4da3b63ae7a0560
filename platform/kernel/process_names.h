// Names that the modules of one process share, and nothing outside the process sees.
//
// What is registered here is common to every module loaded into the process (on Linux the run-time
// library is one copy per process; on Windows each module has its own copy, and the names live in
// the system's per-process registrations) and lives in no file that another user could write or
// plant.
// It stands in for the process-global registrations that modules of one process use to find each
// other (a global window class that carries the address of a shared buffer). The first caller to
// claim a name holds it until it lets it go; the holder may publish a text under it, which the
// other modules read. Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace quill::kernel {

// Claims `name` for `holder`; false when another holder has it.
bool ClaimProcessName(std::string_view name, const void* holder);
// Lets the name go (and its text with it) when `holder` holds it.
void ReleaseProcessName(std::string_view name, const void* holder);
// Publishes `text` under a name that `holder` holds; false when it does not hold it.
bool PublishProcessText(std::string_view name, const void* holder, std::string text);
// The text published under `name`; empty when the name is not held or nothing was published.
std::string ProcessText(std::string_view name);

} // namespace quill::kernel
