// TFileError: why a file or folder step failed, as a value that the file rules (files.h,
// folders.h, file_replace.h) hand back instead of leaving it in a per-thread variable.
//
// Callers tell failures apart by name (Is(TFileError::NotFound)); the system's own code rides
// along unseen, so the message and the HRESULT of a failure stay as precise as the system made
// them. A default TFileError is success. Plain value; thread-safe as any value is.
#pragma once

#include "platform/com/com_types.h"

#include <string>

namespace quill::kernel {

class TFileError {
  public:
    enum TKind {
        None,         // success
        NotFound,     // no such file, or a folder on the way is missing or no folder
        Exists,       // the name is taken (an exclusive creation)
        AccessDenied, // permissions, an owner the rules refuse, or not a regular file
        Link,         // a link where none is followed, or too many links
        IsFolder,     // a path that names no file ("", ".", a trailing "/")
        TooLarge,     // more bytes than the limit asked for
        NoSpace,      // a full disk or quota
        OutOfMemory,
        Other,
    };

    TFileError() = default;
    // The error that the system reported with `code` (the platform's native error number).
    static TFileError FromSystem(int code) { return TFileError(code); }
    // A representative error of `kind` (for comparisons and tests).
    static TFileError Of(TKind kind);

    bool Ok() const { return FCode == 0; }
    bool Failed() const { return FCode != 0; }
    TKind Kind() const;
    bool Is(TKind kind) const { return Kind() == kind; }
    // The system's text for it ("Permission denied").
    std::string Text() const;
    // The native code, for the platform's own use.
    int SystemCode() const { return FCode; }

    friend bool operator==(TFileError, TFileError) = default;

  private:
    explicit TFileError(int code) : FCode(code) {}
    int FCode = 0;
};

// The HRESULT that reports the failure to a COM caller: E_OUTOFMEMORY for memory, otherwise the
// Win32 facility code of the matching platform error (E_ACCESSDENIED for access denied, the
// disk-full code for a full disk, and so on).
com::HRESULT HResultFromFileError(TFileError error);

} // namespace quill::kernel
