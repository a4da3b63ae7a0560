// The log host of a process, and the log name it shares with the other modules of the process.
//
// The first framework module loaded into a process becomes its log host: it takes, without
// waiting, the lock "_com.pellam.baselog.host_<PID>" (process id in upper-case hexadecimal, at
// least 6 digits) in the log's lock area and holds it while it is loaded. Every later module of
// the process finds that lock held and is not the host.
//
// The host's lock file also carries the log name to the other modules: the host writes the name
// into it, and a module looks it up by the process id. This is the per-process equivalent of a
// process-global registration that holds the address of the host's name buffer: a module trusts
// the file only while some module holds its lock (so a file left by a dead process with the same
// id is never read) and only when it belongs to the user the process runs as (so another user
// cannot steer where our lines go). The host removes the file when it unloads; modules that copied
// the name keep their copy. Processes in separate pid namespaces that share one log folder may see
// each other's ids; such a module at worst writes into its twin's folder.
//
// Objects are used by the module's start-up and shut-down only; not thread-safe.
#pragma once

#include "infra/log/log_lock.h"

#include <memory>
#include <string>

namespace quill::infra {

// "_com.pellam.baselog.host_" + the process id as upper-case hexadecimal, at least 6 digits.
std::string LogHostLockName();

class TLogHost {
  public:
    // Becomes the log host of this process, or returns null: another module of the process is the
    // host, or the lock area cannot be used.
    static std::unique_ptr<TLogHost> Elect();
    // Removes the published name and lets the host lock go.
    ~TLogHost();
    TLogHost(const TLogHost&) = delete;
    TLogHost& operator=(const TLogHost&) = delete;

    // Publishes `logName` (at most kMaxLogName characters) for the other modules; false when it
    // cannot be written.
    bool Publish(const std::string& logName);

  private:
    explicit TLogHost(std::unique_ptr<TLogLock> lock) : FLock(std::move(lock)) {}
    std::unique_ptr<TLogLock> FLock;
};

// The log name published by the live host of this process; empty when there is none.
std::string FindPublishedLogName();

} // namespace quill::infra
