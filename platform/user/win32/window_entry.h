// Private to the Windows side of the user services: the one window procedure that the system calls
// for the windows of this layer's classes, and the way a procedure's exception reaches the caller
// of DispatchMessageA, SendMessageA, CreateWindowExA or DestroyWindow as the contract promises.
//
// An exception must not cross the system's frames (in a statically linked 32-bit module it ends
// the process). The entry catches it and keeps it for the calling thread while one of those calls
// is running, and the call raises it again once the system has returned; outside them (the host's
// own message loop dispatching to our window) it is dropped, and the message's result is 0
// (-1 for WM_CREATE, so that creation fails). Retrieval (PeekMessageA, GetMessageA) drops them as
// well: a message sent from another thread has no caller here to take the failure.
#pragma once

#include <exception>
#include <utility>

namespace quill::user::win32 {

// Keeps `failure` for the innermost running call that raises again; false when none runs.
bool KeepFailure(std::exception_ptr failure);

class TFailureScope {
  public:
    // `raising`: the call raises again what its procedures raised; else they are dropped.
    explicit TFailureScope(bool raising);
    ~TFailureScope();
    TFailureScope(const TFailureScope&) = delete;
    TFailureScope& operator=(const TFailureScope&) = delete;
    // Raises the kept exception, if any.
    void RaiseKept();

  private:
    friend bool KeepFailure(std::exception_ptr failure);
    // The scopes of one thread form a chain through a plain per-thread pointer: a thread-local
    // with a destructor would make the C++ run-time pin the whole library until the thread ends,
    // so that FreeLibrary could never unload it.
    TFailureScope* FOuter;
    bool FRaising;
    std::exception_ptr FFailure;
};

// Runs `call` (a system call that may run window procedures) within a raising scope.
template <class F> auto Raising(F call) {
    TFailureScope scope(true);
    auto result = call();
    scope.RaiseKept();
    return result;
}

} // namespace quill::user::win32
