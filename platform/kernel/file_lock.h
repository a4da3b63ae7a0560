// TFileLock: a machine-wide lock that every user's processes share, as a lock on a file in a
// shared folder: an advisory flock() on Linux (file_lock_flock.cpp), LockFileEx on the file's first
// byte on Windows (win32/file_lock.cpp). The bounded wait around one try is the same on both.
//
// The file carries no data and nobody trusts its content. It is opened by the file rules
// (files.h): never a link, never a FIFO or device, a regular file only. A file made here gets mode
// 0644: a flock() needs only a descriptor, so other users lock it through a read-only one and none
// can write into it. A flock() lock belongs to one open file description, so two objects of one
// process exclude each other as two processes do, and a lock dies with its holder.
//
// Every wait is bounded: whoever holds the lock for longer than the wait only costs the waiter
// the exclusion, never a hang. The wait polls with short sleeps of real time. Not thread-safe per
// object: the holder guards its own lock object.
#pragma once

#include "platform/kernel/file_handle.h"

#include <string_view>

namespace quill::kernel {

class TFileLock {
  public:
    // Opens, creating it when missing, the lock file `name` in the open folder `folder`.
    TFileLock(const TFileHandle& folder, std::string_view name);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    bool Valid() const { return FFile.Valid(); }
    // Takes the lock, waiting at most `waitMs` milliseconds (0: only when it is free); false when
    // it stays held by someone else or the file could not be opened.
    bool Lock(unsigned waitMs);
    void Unlock();
    bool Held() const { return FHeld; }

  private:
    // One try, as the system offers it: taken, held by someone else, or failed for another reason.
    enum class TTry { Taken, Busy, Failed };
    static TTry TryLock(const TFileHandle& file);
    static void Release(const TFileHandle& file);

    TFileHandle FFile;
    bool FHeld = false;
};

} // namespace quill::kernel
