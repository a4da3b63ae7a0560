// The Windows side's own helpers, shared by the files of platform/kernel/win32: the system calls
// behind every file, folder and lock step, paths between the contract's form and the system's, and
// the folder and file access checks. Not for code outside platform/kernel/win32.
//
// The file steps (Open, Write, Flush, Move, Lock, Read) are the system call of that name and
// nothing more, except that each first asks the fault switch (fault_injection.h), so that a test
// can fail any one of them in one place as on Linux: an injected error number becomes the matching
// system error (LastErrorFromErrno) in the thread's last error, and an injected "no space" Write
// first writes half of its bytes, as a filling disk does.
//
// Paths in the contract are UTF-8 with "/" between components on both systems (the code above the
// platform splits them at "/"); the system is called with UTF-16 and takes either separator, and
// what it hands back has its "\" turned into "/". Include this after the contract headers: it
// brings in <windows.h>, whose macros would rename the contract's own constants. Thread-safe.
#pragma once

#include "platform/kernel/file_error.h"
#include "platform/kernel/file_handle.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace quill::kernel::win32 {

// UTF-8 (the contract's paths) to the system's UTF-16 and back ("\" becomes "/").
std::wstring WidePath(std::string_view path);
std::string Utf8Path(std::wstring_view path);

// The path of `name` inside the folder `folder` was opened by.
std::string Inside(const TFileHandle& folder, std::string_view name);

HANDLE Open(const std::wstring& path, ::DWORD access, ::DWORD disposition, ::DWORD flags);
BOOL Write(HANDLE file, const void* data, ::DWORD size, ::DWORD* written);
BOOL Read(HANDLE file, void* data, ::DWORD size, ::DWORD* read);
BOOL Flush(HANDLE file);
BOOL Move(const std::wstring& from, const std::wstring& to, ::DWORD flags);
// LockFileEx of the file's first byte, exclusive, failing at once when another handle holds it.
BOOL LockNow(HANDLE file);

// The error the last failed step left in the thread's last error (never success: a step that
// failed without saying why is an I/O error).
TFileError LastFileError();

// `handle`, or when it is empty, an empty handle that carries LastFileError().
inline TFileHandle WithError(TFileHandle handle) {
    if (!handle) return TFileHandle::Failure(LastFileError());
    return handle;
}

// The access rights that the object's access list grants to everyone at large (Everyone,
// Authenticated Users, Users, Interactive, Anonymous), on the object itself (`own`) and handed
// down to the files made inside it (`toFiles`); a missing (nil) access list grants them all.
struct TBroadAccess {
    bool Known = false; // false when the access list could not be read
    ::DWORD Own = 0;
    ::DWORD ToFiles = 0;
};
TBroadAccess BroadAccessOf(HANDLE object);

} // namespace quill::kernel::win32
