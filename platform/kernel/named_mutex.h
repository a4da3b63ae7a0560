// Mutexes: CreateMutexA, OpenMutexA, WaitForSingleObject, ReleaseMutex, CloseHandle.
//
// A named mutex is machine-wide: every process of every user that names it gets the same lock. It
// is an advisory lock on a file in one shared runtime folder ($QUILL_RUNTIME_DIR, else
// /tmp/.quill-kernel-objects, made world-writable with the sticky bit); the folder and the file
// follow the platform's file rules (folders.h, files.h): no link followed, the folder refused
// unless it is root's or the caller's with the sticky bit (or the caller's private one), the file
// used only when it is a regular file. The file's content is never read. Ownership asked for at
// creation is granted only when it is free at once, and the presence mark is never waited for, so a
// lock that another user holds cannot stop a creator for ever. The prefixes "Global\" and "Local\"
// are accepted and dropped: every name is machine-wide. Other characters than letters, digits, ".",
// "_" and "-" are escaped in the file name; a name that does not fit a file name fails with
// ERROR_INVALID_NAME.
//
// Within a process all handles of one name share one object. A mutex is owned by a thread, which
// may wait on it again and must release it as often; a thread that ends while owning it leaves it
// abandoned (the next waiter gets WAIT_ABANDONED and owns it). Across processes the file lock
// does the same, and a process that dies lets go of its locks. "Exists" (ERROR_ALREADY_EXISTS from
// CreateMutexA, success of OpenMutexA) means that some process holds a handle of that name now, not
// that a lock file was left behind. Waits with a time limit poll the lock; the time is real time.
// Thread-safe; failures return nil/false/WAIT_FAILED and set the last error.
#pragma once

#include "platform/kernel/security.h"

#include <cstdint>
#include <string>

namespace quill::kernel {

using HANDLE = void*;

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;
constexpr DWORD SYNCHRONIZE = 0x00100000;

// A new or existing mutex; with `initialOwner` the calling thread owns it when it was made by this
// call. ERROR_ALREADY_EXISTS (with a valid handle) when it existed.
HANDLE CreateMutexA(const SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, const char* name);
// An existing mutex; nil with ERROR_FILE_NOT_FOUND when no process holds one of that name.
HANDLE OpenMutexA(DWORD access, BOOL inheritHandle, const char* name);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE handle);
BOOL CloseHandle(HANDLE handle);

#ifndef _WIN32
// The folder of the lock files, read from the environment on every call (Linux only: the system's
// own mutexes on Windows need none).
std::string KernelObjectFolder();
#endif

} // namespace quill::kernel
