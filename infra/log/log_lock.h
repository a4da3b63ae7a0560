// Machine-wide locks of the log, and the safe opening of files in shared, world-writable folders.
//
// The log serialises its file writes across every module and process of the machine, and elects
// one log host per process. Both rest on advisory flock() locks on files in one shared lock area,
// "<log folder>.locks/" (mode 1777 like the log folder). flock() is used rather than fcntl()
// locks because a flock() lock belongs to an open file description: two modules of one process
// that open the same lock file exclude each other just as two processes do, while fcntl() locks
// would be shared by the whole process. A lock dies with its holder, so no stale lock survives a
// crash.
//
// Folders shared by every user are a place where another user may plant links, so every file here
// is opened with O_NOFOLLOW, relative to a folder descriptor that was itself opened with
// O_NOFOLLOW; an existing file is opened without O_CREAT (the kernel's protected_regular setting
// refuses O_CREAT on another user's file in a sticky folder), a missing one is created with O_EXCL.
//
// These pieces stand in for the platform's machine-wide named mutexes until the platform layer
// offers them; the log should then move onto that. Not thread-safe per object: each holder guards
// its own lock object (the log takes its critical section first).
#pragma once

#include <string>

namespace quill::infra {

// Opens the folder `path` (which must not be a link) for use with OpenInFolder; -1 on failure.
int OpenFolderNoFollow(const std::string& path);

// Opens `name` inside the folder `folderFd` with `accessFlags` (O_RDONLY, O_WRONLY | O_APPEND, ...)
// without following a link, creating it with `mode` when missing (the mode is applied despite the
// umask, so that every user can share it). Returns the descriptor, or -1 with errno set.
int OpenInFolder(int folderFd, const std::string& name, int accessFlags, unsigned mode);

// The lock area "<log folder>.locks/", created (mode 1777) when missing; empty when there is no
// usable log folder.
std::string LogLockArea();

// One machine-wide lock: the lock file `name` in the lock area. Owns its descriptor.
class TLogLock {
  public:
    // Opens (creating if missing) the lock file; Valid() tells whether that worked.
    explicit TLogLock(const std::string& name);
    ~TLogLock();
    TLogLock(const TLogLock&) = delete;
    TLogLock& operator=(const TLogLock&) = delete;

    bool Valid() const { return FFd >= 0; }
    const std::string& Path() const { return FPath; }
    // Waits without limit for the lock; false when the lock file could not be opened.
    bool Lock();
    // Takes the lock if nobody holds it; false when it is held or the file could not be opened.
    bool TryLock();
    void Unlock();
    // The descriptor of the lock file (-1 when not valid); the holder may keep data in the file.
    int Fd() const { return FFd; }
    // Removes the lock file from the lock area (the holder does it before letting go, so that
    // per-process files do not pile up).
    void Remove();

  private:
    int FFd = -1;
    std::string FPath;
};

} // namespace quill::infra
