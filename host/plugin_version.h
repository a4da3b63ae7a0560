// The version a plug-in file carries in its version block, read from the file without loading it
// (loading would start the plug-in's log and capture just to print a number).
#pragma once

#include <string>

namespace quill::host {

// The "FileVersion" text of the block's first translation, or the fixed file version as
// "a.b.c.d" when the block has no such text; empty when the file has no version block (it is
// missing, unreadable, or no plug-in of ours). UTF-8.
std::string PluginFileVersion(const std::string& path);

// --version: prints "quill-host <version>" and the plug-in's path; for a missing file or one
// without a version block, says so on standard error. Returns the program's exit status.
int PrintVersion(const std::string& plugin);

} // namespace quill::host
