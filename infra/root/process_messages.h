// ProcessMessages: lets the calling thread's waiting messages run.
//
// Takes, translates and dispatches every message waiting in the calling thread's queue until none
// is left (due timers included; it never waits). A failure raised while a message is dispatched is
// swallowed and pumping goes on. A quit request met on the way is not consumed: it is posted again
// once the queue is empty, so the thread's own message loop still ends. Only for the queue's own
// thread.
#pragma once

namespace quill::infra {

void ProcessMessages();

} // namespace quill::infra
