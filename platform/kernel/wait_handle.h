// Private to the platform: the handles of the input services (standard input, input devices) that
// a wait (MsgWaitForMultipleObjects) takes, each standing for a descriptor that becomes readable
// when input, its end or an error is there.
//
// A wait handle is a number from a registry, never a pointer, so an unknown or closed handle is
// refused without being touched. The service that made a handle keeps its descriptor open and
// closes the handle before it closes the descriptor. Thread-safe.
#pragma once

#include "platform/kernel/named_mutex.h"

namespace quill::kernel {
namespace [[gnu::visibility("hidden")]] detail {

// A new handle standing for `fd` (which stays the caller's).
HANDLE NewWaitHandle(int fd);
// Forgets `handle`; a wait that takes it afterwards fails with ERROR_INVALID_HANDLE.
void CloseWaitHandle(HANDLE handle);
// The descriptor `handle` stands for; -1 when it is no open wait handle.
int WaitHandleDescriptor(HANDLE handle);

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::kernel
