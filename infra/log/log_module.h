// The log of one module: its start-up and shut-down, and the module-level write.
//
// Start-up elects the log host of the process (the first module to start), fixes the log name (the
// host computes it in the log folder and publishes it; a later module copies the host's name, or
// names its log beside the program when no host is found), creates the module's TLog in the folder
// named by the log name less its extension, and, when it runs on the process's main thread,
// registers that thread as "MainThread", which writes the start banner with the first line.
// Shut-down writes a last "LogThread"/"Terminate" line, destroys the log (stop banner), and in the
// host withdraws the host lock and the published name.
//
// Nothing here raises or stops the module: without a usable log folder the module keeps no log, and
// a log that cannot write keeps its lines queued for the next write that succeeds.
//
// LogStartup, LogShutdown and LogWrite act on this module's own instance; the library's module
// constructor and destructor call the first two. TLogModule is the same per-module state as an
// object, so that one process can hold several "modules" (tests). Start-up and shut-down belong to
// the module's loading thread; Write may be called from any thread, but the indent it keeps is a
// plain per-module integer, as callers only change it from one thread.
#pragma once

#include "infra/log/log.h"
#include "infra/log/log_host.h"

#include <memory>
#include <string>
#include <string_view>

namespace quill::infra {

class TLogModule {
  public:
    // `modulePath`: the module's full file path; `clock`: the wall clock (system clock if empty);
    // `lockWait`: the log's longest wait for the file lock, in milliseconds.
    explicit TLogModule(std::string modulePath, TLogClock clock = {},
                        unsigned lockWait = kLogLockWait);
    ~TLogModule();
    TLogModule(const TLogModule&) = delete;
    TLogModule& operator=(const TLogModule&) = delete;

    void Startup() noexcept;
    void Shutdown() noexcept;
    // One line, with the indent applied: a negative delta before the line, a positive one after.
    // Does nothing when the module has no log.
    void Write(std::string_view subject, std::string_view text, int indentDelta = 0) noexcept;
    // An error line (log_line.h): `step` failed for `reason`, and the module carried on.
    void WriteError(std::string_view step, std::string_view reason) noexcept;

    bool IsHost() const { return FHost != nullptr; }
    // The log name (at most kMaxLogName characters); empty when the module has no log.
    const std::string& LogName() const { return FLogName; }
    TLog* Log() const { return FLog.get(); }
    int Indent() const { return FLogIndent; }

  private:
    std::string FModulePath;
    TLogClock FClock;
    unsigned FLockWait;
    int FLogIndent = 0;
    std::unique_ptr<TLog> FLog;
    std::string FLogName;
    std::unique_ptr<TLogHost> FHost;
};

// This module's log.
void LogStartup() noexcept;
void LogShutdown() noexcept;
void LogWrite(std::string_view subject, std::string_view text, int indentDelta = 0) noexcept;
void LogError(std::string_view step, std::string_view reason) noexcept;

} // namespace quill::infra
