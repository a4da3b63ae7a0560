// TLog: one module's diagnostic log, written into daily files "<base folder>YYYY-MM-DD.log".
//
// Lines are queued and written at once; a write takes the log's lock, then the machine-wide file
// lock "_com.pellam.baselog.mutex" (always in that order), so lines of all modules and processes
// never interleave within a line. A new file starts with the first write of each calendar day; old
// files stay. The base folder is created with its parents (open to everyone, like the log folder)
// and files are opened for appending without following links.
//
// A write that fails (the folder cannot be made, the file cannot be opened or written, the file
// lock is unavailable) never raises: it returns false and its lines stay queued for the next
// successful write, so a log that cannot write never stops the module that owns it. The queue keeps
// at most kMaxPendingLines lines; beyond that the oldest are dropped, so that a log that can never
// write does not grow without bound.
//
// The log's start banner is queued at construction and written with the first write; the stop
// banner is written at destruction. Lines are Windows-1251 text. Every operation is thread-safe.
#pragma once

#include "infra/log/log_lock.h"
#include "infra/log/log_time.h"
#include "platform/rtl/object.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::infra {

using TLogClock = std::function<TLogTime()>;

constexpr std::size_t kMaxPendingLines = 10000;

// The id of the calling thread (gettid).
std::uint32_t CurrentThreadId();
// An id as upper-case hexadecimal with at least 6 digits.
std::string ThreadIdText(std::uint32_t id);

class TLog : public rtl::TObject {
  public:
    // `folder`: the base folder ("/" is added when missing). `modulePath`: the owning module's
    // full path. `isHost`: whether the module is the log host of its process (banners differ).
    // `clock`: the wall clock (the system clock when empty).
    TLog(std::string folder, std::string modulePath, bool isHost, TLogClock clock = {});
    // Writes what is queued, then the stop banner.
    ~TLog() override;
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;

    std::string_view ClassName() const override { return "TLog"; }

    // Queues `line` and writes the queue; false when the write failed (the lines stay queued).
    bool AddLine(std::string line);
    // Writes the queue to today's file; true when nothing was queued or all was written.
    bool Flush();
    // Registers the display name of a thread and writes its "Thread create" line; an id already
    // registered is ignored.
    void RegisterThread(std::uint32_t threadId, std::string_view name);
    // The name registered for the thread, or "..." if none.
    std::string ThreadName(std::uint32_t threadId) const;

    // One line: time, thread id, thread name, module name, `indent` tabs and subject, text.
    std::string MakeLine(std::string_view subject, std::string_view text, int indent) const;

    const std::string& BaseFolder() const { return FBaseFolder; }
    std::size_t PendingCount() const;
    // The file that a write made now would go to.
    std::string TodayFileName() const;

  private:
    std::string ThreadNameLocked(std::uint32_t threadId) const;
    std::string MakeLineLocked(std::string_view subject, std::string_view text, int indent) const;
    void QueueLocked(std::string line);
    bool FlushLocked();
    std::string Banner(std::string_view opening, std::string_view inside) const;

    std::string FBaseFolder;
    std::deque<std::string> FPending;
    mutable std::mutex FLock;
    TLogLock FFileMutex;
    std::vector<std::pair<std::string, std::uint32_t>> FThreads;
    bool FWriteBanners = true;
    std::string FModulePath;
    std::string FModuleName;
    bool FIsHost;
    TLogClock FClock;
};

} // namespace quill::infra
