// TLog: one module's diagnostic log, written into daily files "<base folder>YYYY-MM-DD.log".
//
// Lines are queued and written at once; a write takes the log's lock, then the machine-wide file
// lock "_com.pellam.baselog.mutex" in the log's lock area (always in that order), so lines of all
// modules and processes never interleave within a line. The file lock is a file that anyone may
// hold, so its wait is bounded (kLogLockWait): a lock held too long costs the lines their ordering
// against other writers, never a hang; after one such timeout the log stops waiting until it gets
// the lock again. A new file starts with the first write of each calendar day; old files stay.
//
// The base folder and the daily files belong to the user who writes them: the folder is made with
// its parents (mode 0755), the files with mode 0644, by the folder and file rules of the platform
// (no link followed, no FIFO or device opened). A folder or file of another user is not written
// to: the write fails like any other. A day file of the writer's that others could write (group or
// other write permission, or a second name planted while an older release left the folder open to
// all) is never appended to: a fresh file takes its place. A process folder that others could
// write into is narrowed together with what it holds.
//
// A write that fails (the folder cannot be made or used, the file cannot be opened or written)
// never raises: it returns false and its lines stay queued for the next successful write, so a log
// that cannot write never stops the module that owns it. The queue keeps
// at most kMaxPendingLines lines; beyond that the oldest are dropped, so that a log that can never
// write does not grow without bound. Dropped lines are counted, and the next write that gets
// through starts with a line of its own that gives their number (LostLinesText). A write that
// stops short (a full disk) leaves whole lines only: the file is cut back to the end of the last
// whole line, and the rest stays queued.
//
// The log's start banner is queued at construction and written with the first write; the stop
// banner is written at destruction. Lines are Windows-1251 text. Every operation is thread-safe.
#pragma once

#include "infra/log/log_time.h"
#include "platform/kernel/file_lock.h"
#include "platform/rtl/object.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::infra {

using TLogClock = std::function<TLogTime()>;

constexpr std::size_t kMaxPendingLines = 10000;

// The longest wait for the machine-wide file lock, in milliseconds, unless the log is given
// another.
constexpr unsigned kLogLockWait = 500;

// The id of the calling thread (gettid).
std::uint32_t CurrentThreadId();
// An id as upper-case hexadecimal with at least 6 digits.
std::string ThreadIdText(std::uint32_t id);

// The text of the line that reports `count` lines the log had to drop.
std::string LostLinesText(std::uint64_t count);

class TLog : public rtl::TObject {
  public:
    // `folder`: the base folder ("/" is added when missing). `modulePath`: the owning module's
    // full path. `isHost`: whether the module is the log host of its process (banners differ).
    // `clock`: the wall clock (the system clock when empty). `lockWait`: the longest wait for the
    // file lock, in milliseconds.
    TLog(std::string folder, std::string modulePath, bool isHost, TLogClock clock = {},
         unsigned lockWait = kLogLockWait);
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
    // Lines dropped from a full queue since the last write that got through.
    std::uint64_t FLostLines = 0;
    mutable std::mutex FLock;
    std::unique_ptr<kernel::TFileLock> FFileMutex;
    // The last wait for the file lock ran out: the next write does not wait.
    bool FFileMutexContended = false;
    std::vector<std::pair<std::string, std::uint32_t>> FThreads;
    bool FWriteBanners = true;
    std::string FModulePath;
    std::string FModuleName;
    bool FIsHost;
    TLogClock FClock;
    unsigned FLockWait;
};

} // namespace quill::infra
