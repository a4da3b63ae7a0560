// The log host of a process, and the log name it shares with the other modules of the process.
//
// The first framework module loaded into a process becomes its log host: it claims the name
// "_com.pellam.baselog.host_<PID>" (process id in upper-case hexadecimal, at least 6 digits) among
// the process's shared names (kernel/process_names.h) and holds it while it is loaded. Every later
// module of the process finds the name held and is not the host. The host publishes the log name
// under that name, and a module looks it up there.
//
// Both stay inside the process: the run-time library is one copy per process, so nothing of the
// election or of the name lies in a file that another user could plant, rewrite or lock. The host
// lets the name go when it unloads; modules that copied the log name keep their copy. A child
// made by fork has its own process id and so elects its own host.
//
// Objects are used by the module's start-up and shut-down only; not thread-safe.
#pragma once

#include <memory>
#include <string>

namespace quill::infra {

// "_com.pellam.baselog.host_" + the process id as upper-case hexadecimal, at least 6 digits.
std::string LogHostName();

class TLogHost {
  public:
    // Becomes the log host of this process, or returns null when another module is the host.
    static std::unique_ptr<TLogHost> Elect();
    // Withdraws the published name and lets the host's claim go.
    ~TLogHost();
    TLogHost(const TLogHost&) = delete;
    TLogHost& operator=(const TLogHost&) = delete;

    // Publishes `logName` (at most kMaxLogName characters) for the other modules; false when it
    // is empty or too long.
    bool Publish(const std::string& logName);

  private:
    explicit TLogHost(std::string name) : FName(std::move(name)) {}
    std::string FName;
};

// The log name published by the host of this process; empty when there is none.
std::string FindPublishedLogName();

} // namespace quill::infra
