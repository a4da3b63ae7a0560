// TFileLock: a machine-wide lock that every user's processes share, as an advisory flock() on a
// file in a shared folder.
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
    TFileHandle FFile;
    bool FHeld = false;
};

} // namespace quill::kernel
