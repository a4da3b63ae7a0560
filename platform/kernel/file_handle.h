// TFileHandle: the one owner of an open file or folder descriptor; closes it when it goes.
// Move-only; not thread-safe per object.
#pragma once

namespace quill::kernel {

class TFileHandle {
  public:
    TFileHandle() = default;
    explicit TFileHandle(int fd) : FFd(fd) {}
    ~TFileHandle() { Reset(); }
    TFileHandle(TFileHandle&& other) noexcept : FFd(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    explicit operator bool() const { return Valid(); }
    // Gives the descriptor up without closing it.
    int Release() {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }
    // Closes the descriptor held (keeping errno) and holds `fd` instead.
    void Reset(int fd = -1);

  private:
    int FFd = -1;
};

} // namespace quill::kernel
