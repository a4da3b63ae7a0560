#include "infra/log/log.h"

#include "infra/log/log_folder.h"
#include "infra/log/log_name.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "platform/kernel/local_time.h"
#include "platform/user/message_queue.h"

#include <cstdio>

namespace quill::infra {

namespace {

// Constants only: the module constructor writes the start banner before the dynamic
// initialisers of this file may have run.
constexpr char kFileMutexName[] = "_com.pellam.baselog.mutex";
constexpr std::string_view kHyphens =
    "----------------------------------------------------------------";
static_assert(kHyphens.size() == 64);

} // namespace

std::uint32_t CurrentThreadId() {
    return user::GetCurrentThreadId();
}

std::string ThreadIdText(std::uint32_t id) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%06X", id);
    return buffer;
}

std::string LostLinesText(std::uint64_t count) {
    return std::to_string(count) + " lines could not be written and were dropped";
}

TLog::TLog(std::string folder, std::string modulePath, bool isHost, TLogClock clock,
           unsigned lockWait)
    : FBaseFolder(std::move(folder)), FModulePath(std::move(modulePath)),
      FModuleName(ModuleBaseName(FModulePath)), FIsHost(isHost), FClock(std::move(clock)),
      FLockWait(lockWait) {
    // The platform clock's wall time: a test's virtual clock dates the lines and files.
    if (!FClock)
        FClock = [] { return TLogTime(std::chrono::milliseconds(kernel::GetSystemTimeMs())); };
    if (FBaseFolder.empty() || FBaseFolder.back() != '/') FBaseFolder += '/';
    if (kernel::TFileHandle area = OpenLogLockArea()) {
        FFileMutex = std::make_unique<kernel::TFileLock>(area, kFileMutexName);
        if (!FFileMutex->Valid()) FFileMutex.reset();
    }
    if (!FWriteBanners) return;
    if (FIsHost) {
        FPending.emplace_back();
        FPending.push_back(Banner(">>LOG_STARTED------[", LogBannerTime(FClock())));
    } else {
        FPending.push_back(Banner(">>Module loaded----[", FModulePath));
    }
}

TLog::~TLog() {
    std::lock_guard guard(FLock);
    try {
        FlushLocked();
        if (FWriteBanners) {
            QueueLocked(FIsHost ? Banner(">>LOG_STOPPED------[", LogBannerTime(FClock()))
                                : Banner(">>Module unloaded--[", FModulePath));
        }
        FlushLocked();
    } catch (...) {
        // Out of memory while unloading: the remaining lines are lost, the module still unloads.
    }
}

std::string TLog::Banner(std::string_view opening, std::string_view inside) const {
    std::string banner(opening);
    banner += inside;
    banner += ']';
    banner += kHyphens;
    return banner;
}

bool TLog::AddLine(std::string line) {
    std::lock_guard guard(FLock);
    QueueLocked(std::move(line));
    return FlushLocked();
}

bool TLog::Flush() {
    std::lock_guard guard(FLock);
    return FlushLocked();
}

void TLog::QueueLocked(std::string line) {
    FPending.push_back(std::move(line));
    while (FPending.size() > kMaxPendingLines) {
        FPending.pop_front();
        ++FLostLines;
    }
}

std::size_t TLog::PendingCount() const {
    std::lock_guard guard(FLock);
    return FPending.size();
}

std::string TLog::TodayFileName() const {
    return FBaseFolder + LogFileDate(FClock()) + ".log";
}

bool TLog::FlushLocked() {
    if (FPending.empty() && FLostLines == 0) return true;
    // Without a lock the lines are still written, only unordered against other writers.
    const bool locked = FFileMutex && FFileMutex->Lock(FFileMutexContended ? 0 : FLockWait);
    if (FFileMutex) FFileMutexContended = !locked;
    bool written = false;
    const kernel::TFileHandle folder =
        kernel::MakeFolders(FBaseFolder, 0755, kernel::TFolderUse::Private);
    if (folder) {
        const kernel::TFileHandle file =
            kernel::OpenFileAt(folder, LogFileDate(FClock()) + ".log", kernel::TFileAccess::Append,
                               kernel::TCreation::Renew, 0644, true);
        if (file) {
            // Lines dropped while nothing could be written are counted in a line of their own,
            // written first, where they are missing.
            std::string data;
            if (FLostLines > 0) data = MakeLineLocked("Log", LostLinesText(FLostLines), 0) + "\r\n";
            const std::size_t notice = data.size();
            for (const std::string& line : FPending)
                data += line + "\r\n";
            // The end of the last line that went out whole, for a write that stops short.
            auto wholeUpTo = [&](std::size_t done) {
                if (done < notice) return std::size_t{0};
                std::size_t end = notice;
                for (const std::string& line : FPending) {
                    if (end + line.size() + 2 > done) break;
                    end += line.size() + 2;
                }
                return end;
            };
            const std::size_t done = kernel::AppendWhole(file, data, wholeUpTo);
            written = done == data.size();
            // Lines that went out whole are not written again.
            if (done >= notice) {
                FLostLines = 0;
                std::size_t consumed = notice;
                while (!FPending.empty() && consumed + FPending.front().size() + 2 <= done) {
                    consumed += FPending.front().size() + 2;
                    FPending.pop_front();
                }
            }
        }
    }
    if (locked) FFileMutex->Unlock();
    return written;
}

void TLog::RegisterThread(std::uint32_t threadId, std::string_view name) {
    std::lock_guard guard(FLock);
    for (const auto& entry : FThreads) {
        if (entry.second == threadId) return;
    }
    FThreads.emplace_back(std::string(name), threadId);
    std::string text = "ThreadId=" + ThreadIdText(threadId) + " ClassName=";
    text += name;
    QueueLocked(MakeLineLocked("Thread create", text, 0));
    FlushLocked();
}

std::string TLog::ThreadName(std::uint32_t threadId) const {
    std::lock_guard guard(FLock);
    return ThreadNameLocked(threadId);
}

std::string TLog::ThreadNameLocked(std::uint32_t threadId) const {
    for (const auto& entry : FThreads) {
        if (entry.second == threadId) return entry.first;
    }
    return "...";
}

std::string TLog::MakeLine(std::string_view subject, std::string_view text, int indent) const {
    std::lock_guard guard(FLock);
    return MakeLineLocked(subject, text, indent);
}

std::string TLog::MakeLineLocked(std::string_view subject, std::string_view text,
                                 int indent) const {
    const std::uint32_t thread = CurrentThreadId();
    std::string line = LogLineTime(FClock());
    line += '\t';
    line += ThreadIdText(thread);
    line += '\t';
    line += ThreadNameLocked(thread);
    line += '\t';
    line += FModuleName;
    line += '\t';
    if (indent > 0) line.append(static_cast<std::size_t>(indent), '\t');
    line += subject;
    line += '\t';
    line += text;
    return line;
}

} // namespace quill::infra
