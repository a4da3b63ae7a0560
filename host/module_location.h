// Where quill-host finds Quill.plu and its window module when the command line names none.
//
// Two folders, in this order: the installed module folder, given relative to the program's own
// folder (QUILL_MODULE_DIR_FROM_BIN, e.g. "../lib/x86_64-linux-gnu/quill", so an installed tree
// works wherever it was installed and nothing of the build machine is built in), then the
// program's own folder (a build tree keeps everything side by side). The program's folder comes
// from the platform (its real path, links resolved).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill::host {

// The first regular file `name` in ModuleFolders of the running program; empty when there is
// none, and `looked` then holds every path tried, in order.
std::string FindModule(std::string_view name, std::vector<std::string>& looked);

// "a, b and c": the paths of `looked` for a message.
std::string ListLooked(const std::vector<std::string>& looked);

} // namespace quill::host
