// TFileHandle: the one owner of an open file or folder; closes it when it goes. A handle that the
// file rules (files.h, folders.h) return empty carries why it is empty (Error()).
//
// Code above the platform passes handles, never what they hold: Get(), Path() and the native
// constructor are for the platform's own file steps. What a handle holds is the system's: a file
// descriptor on Linux, a HANDLE on Windows, where a folder's handle also keeps the folder's path
// because the system opens nothing relative to a folder handle. Move-only; not thread-safe per
// object.
#pragma once

#include "platform/kernel/file_error.h"

#include <string>
#include <utility>

namespace quill::kernel {

class TFileHandle {
  public:
#ifdef _WIN32
    using TNative = void*; // a HANDLE; nil when empty
    static constexpr TNative kNone = nullptr;
#else
    using TNative = int; // a descriptor
    static constexpr TNative kNone = -1;
#endif

    TFileHandle() = default;
    explicit TFileHandle(TNative native, std::string path = {})
        : FPath(std::move(path)), FFd(native) {}
    // An empty handle that tells why nothing was opened.
    static TFileHandle Failure(TFileError error) {
        TFileHandle handle;
        handle.FError = error;
        return handle;
    }
    ~TFileHandle() { Reset(); }
    TFileHandle(TFileHandle&& other) noexcept
        : FError(other.FError), FPath(std::move(other.FPath)), FFd(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept {
        if (this != &other) {
            const TFileError error = other.FError;
            std::string path = std::move(other.FPath);
            Reset(other.Release());
            FError = error;
            FPath = std::move(path);
        }
        return *this;
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    bool Valid() const { return FFd != kNone; }
    explicit operator bool() const { return Valid(); }
    // Why an empty handle is empty (success for an open one, or one never tried).
    TFileError Error() const { return FError; }

    // The platform's own: what is held.
    TNative Get() const { return FFd; }
    // The path it was opened by, where the platform keeps one (see above); empty otherwise.
    const std::string& Path() const { return FPath; }
    // Gives what is held up without closing it.
    TNative Release() {
        const TNative fd = FFd;
        FFd = kNone;
        FPath.clear();
        return fd;
    }
    // Closes what is held (keeping the system's error value) and holds `fd` instead.
    void Reset(TNative fd = kNone);

  private:
    TFileError FError;
    std::string FPath;
    TNative FFd = kNone;
};

} // namespace quill::kernel
