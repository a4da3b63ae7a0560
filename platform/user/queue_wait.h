// Waiting for a thread's message queue inside an event loop that is not ours (a toolkit's, or a
// plain poll loop), without polling.
//
// GetQueueWaitDescriptor gives the calling thread a descriptor that becomes readable when another
// thread places something in its queue (a posted or sent message, a keystroke of the input path)
// or when one of its timers is due. A loop watches it for reading; when it is readable, the loop
// calls AcknowledgeQueueWait and then retrieves with PeekMessage until nothing is left. Messages
// the thread places in its own queue do not make the descriptor readable: the thread is awake and
// retrieves them before it waits again. The descriptor's timer follows the monotonic clock; with
// a virtual clock installed (tests), a loop takes its deadline from GetNextTimerDue instead.
//
// Thread: each call concerns the calling thread's queue. The descriptor belongs to the queue and
// is closed with it; the caller never closes it. Errors: -1 with the last error set when the
// kernel refuses a descriptor.
#pragma once

#include "platform/user/user_types.h"

#include <cstdint>

namespace quill::user {

// The calling thread's wait descriptor, made on the first call.
int GetQueueWaitDescriptor();
// Takes back the readiness signalled so far and re-arms the timer for the earliest timer of the
// queue. Call it before retrieving: whatever arrives afterwards signals again.
void AcknowledgeQueueWait();
// The time (of the installed clock, in milliseconds) at which the calling thread's earliest timer
// is due; UINT64_MAX when it has none.
std::uint64_t GetNextTimerDue();

} // namespace quill::user
