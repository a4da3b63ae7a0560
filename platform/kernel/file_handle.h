// TFileHandle: the one owner of an open file or folder; closes it when it goes. A handle that the
// file rules (files.h, folders.h) return empty carries why it is empty (Error()).
//
// Code above the platform passes handles, never what they hold: Get() and the descriptor
// constructor are for the platform's own file steps. Move-only; not thread-safe per object.
#pragma once

#include "platform/kernel/file_error.h"

namespace quill::kernel {

class TFileHandle {
  public:
    TFileHandle() = default;
    explicit TFileHandle(int fd) : FFd(fd) {}
    // An empty handle that tells why nothing was opened.
    static TFileHandle Failure(TFileError error) {
        TFileHandle handle;
        handle.FError = error;
        return handle;
    }
    ~TFileHandle() { Reset(); }
    TFileHandle(TFileHandle&& other) noexcept : FError(other.FError), FFd(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept {
        if (this != &other) {
            const TFileError error = other.FError;
            Reset(other.Release());
            FError = error;
        }
        return *this;
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    bool Valid() const { return FFd >= 0; }
    explicit operator bool() const { return Valid(); }
    // Why an empty handle is empty (success for an open one, or one never tried).
    TFileError Error() const { return FError; }

    // The platform's own: the descriptor held.
    int Get() const { return FFd; }
    // Gives the descriptor up without closing it.
    int Release() {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }
    // Closes the descriptor held (keeping errno) and holds `fd` instead.
    void Reset(int fd = -1);

  private:
    TFileError FError;
    int FFd = -1;
};

} // namespace quill::kernel
