// The process's log name: "<folder><module>_<computer>_<session>.log". The daily files of a
// process are written into the folder that is this name less its extension.
//
// The session number is the process's session id (getsid), which stands for the terminal session
// the program runs in; 9999 stands in when it cannot be read. A name must fit the 260 characters
// that modules of one process share; a longer one is refused (empty result), and a module without
// a log name keeps no log rather than writing somewhere else. Pure functions apart from the
// reads of the host name, the session and the program path; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace quill::infra {

constexpr std::size_t kMaxLogName = 260;
constexpr long kUnknownSession = 9999;

// The computer's name (GetComputerNameA: the host name up to its first dot); empty when it
// cannot be read.
std::string ComputerName();
// The session number of this process, kUnknownSession when it cannot be read.
long ProcessSessionNumber();

// A path's file name without folder and extension ("/x/Quill.plu" -> "Quill").
std::string ModuleBaseName(std::string_view path);
// `path` without the extension of its last component.
std::string WithoutExtension(std::string_view path);

// `folder` (ending in "/") + module base name + "_" + computer + "_" + session + ".log"; empty
// when the result would be longer than kMaxLogName. A negative session counts as unknown.
std::string MakeLogName(std::string_view folder, std::string_view modulePath,
                        std::string_view computer, long session);
// The log host's name: in the log folder; empty when there is no log folder or it is too long.
std::string HostLogName(std::string_view modulePath);
// A module that finds no host of its process names its log beside the program:
// program path less its extension + "_" + computer + "_" + session + ".log".
std::string OwnLogName();

} // namespace quill::infra
