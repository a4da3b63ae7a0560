#include "platform/kernel/file_error.h"

#include "platform/kernel/file_rules_impl.h"
#include "platform/kernel/last_error.h"

#include <cerrno>
#include <cstring>

namespace quill::kernel {

TFileError TFileError::Of(TKind kind) {
    switch (kind) {
    case None:
        return {};
    case NotFound:
        return TFileError(ENOENT);
    case Exists:
        return TFileError(EEXIST);
    case AccessDenied:
        return TFileError(EACCES);
    case Link:
        return TFileError(ELOOP);
    case IsFolder:
        return TFileError(EISDIR);
    case TooLarge:
        return TFileError(EFBIG);
    case NoSpace:
        return TFileError(ENOSPC);
    case OutOfMemory:
        return TFileError(ENOMEM);
    case Other:
        break;
    }
    return TFileError(EIO);
}

TFileError::TKind TFileError::Kind() const {
    switch (FCode) {
    case 0:
        return None;
    case ENOENT:
    case ENOTDIR:
        return NotFound;
    case EEXIST:
        return Exists;
    case EACCES:
    case EPERM:
        return AccessDenied;
    case ELOOP:
        return Link;
    case EISDIR:
        return IsFolder;
    case EFBIG:
        return TooLarge;
    case ENOSPC:
    case EDQUOT:
        return NoSpace;
    case ENOMEM:
        return OutOfMemory;
    default:
        return Other;
    }
}

std::string TFileError::Text() const {
    return std::strerror(FCode);
}

TFileError LastFileError() {
    return TFileError::FromSystem(errno != 0 ? errno : EIO);
}

com::HRESULT HResultFromFileError(TFileError error) {
    if (error.Is(TFileError::OutOfMemory)) return com::E_OUTOFMEMORY;
    return static_cast<com::HRESULT>(0x80070000u |
                                     (LastErrorFromErrno(error.SystemCode()) & 0xFFFF));
}

} // namespace quill::kernel
