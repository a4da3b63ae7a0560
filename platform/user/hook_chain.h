// Private to the user services: the chain of keyboard hook procedures that both systems keep per
// hooked thread (newest first) and how it is called, so that CallNextHookEx, the argument checks
// and the hook handles mean the same everywhere. What differs stays with each system: where the
// chain is called from (the Linux stand-in's message retrieval, one system hook per thread on
// Windows) and what lies past its end.
#pragma once

#include "platform/user/keyboard_hook.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace quill::user::detail {

struct THook {
    HOOKPROC Proc;
    DWORD ThreadId;
    std::atomic<bool> Removed{false};
};

// A thread's hooks, newest first. A list is replaced, never changed in place, so a running chain
// keeps the list it started with.
using THookList = std::vector<std::shared_ptr<THook>>;

// `hook` in front of `rest` (nil: no hooks yet).
std::shared_ptr<const THookList> WithHook(std::shared_ptr<THook> hook, const THookList* rest);
// `hooks` without `hook`; nil when none stays.
std::shared_ptr<const THookList> WithoutHook(const THookList& hooks, const THook& hook);

// Only thread keyboard hooks with a procedure, on every system (a system-wide hook would load the
// module into every other process). False, with the last error set, for anything else.
bool HookAllowed(int hookKind, HOOKPROC proc, DWORD threadId);

// The handles given out for installed hooks. Not thread-safe: its owner's lock guards it.
class THookHandles {
  public:
    HHOOK Add(std::shared_ptr<THook> hook);
    // The hook of `handle`, forgotten and marked removed; nil with ERROR_INVALID_HOOK_HANDLE when
    // the handle is unknown.
    std::shared_ptr<THook> Take(HHOOK handle);
    // Forgets the handles of `hooks` and marks them removed (their thread has ended).
    void Drop(const THookList& hooks);

  private:
    std::unordered_map<HHOOK, std::shared_ptr<THook>> FHandles;
    std::uintptr_t FNextHandle = 0x20000;
};

// What the chain hands a key to past its last procedure: nil for nothing (the result is 0).
using TChainEnd = LRESULT (*)(void* context, int code, WPARAM wParam, LPARAM lParam);

// Calls `hooks` for one key on the calling thread; inside, CallNextHookEx continues the chain
// after the procedure that calls it, and the last one's CallNextHookEx goes to `end`. An exception
// of a procedure propagates (the chain's caller decides what it means).
LRESULT RunHookChain(const THookList& hooks, int code, WPARAM wParam, LPARAM lParam, TChainEnd end,
                     void* context);

} // namespace quill::user::detail
