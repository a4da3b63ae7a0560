// Keyboard hooks: WH_KEYBOARD procedures that see a thread's key messages before it gets them.
//
// SetWindowsHookExA(WH_KEYBOARD, proc, module, threadId) installs `proc` for thread `threadId`
// only; the newest hook of a thread is called first. Only thread hooks are supported: threadId 0
// (a system-wide hook) is refused with ERROR_NOT_SUPPORTED, as is every hook kind but WH_KEYBOARD
// (ERROR_INVALID_HOOK_FILTER); a nil procedure is refused with ERROR_INVALID_FILTER_PROC and a
// thread without a message queue with ERROR_INVALID_THREAD_ID. The module handle is not used.
//
// The procedures run on the hooked thread, inside its message retrieval, for each key message
// (WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP) of the input path (keyboard_input.h) before
// the message is returned: with HC_ACTION when the retrieval removes it (GetMessage, PeekMessage
// with PM_REMOVE), with HC_NOREMOVE when it does not. wParam is the virtual key, lParam the
// keystroke flags of the message. Inside a procedure the thread's key state already includes that
// message (key_state.h). What a procedure may rely on to tell a key a keyboard typed from one a
// program entered is the scan code in bits 16-23 of lParam: a keyboard's keys have a non-zero
// one, and a key entered with scan code 0 has 0 (keyboard_input.h). A procedure passes the
// message on with CallNextHookEx, which calls the next hook of the chain (0 when there is none)
// and returns its result. A non-zero result of the first procedure discards the message: it
// leaves the queue and retrieval goes on with the next message.
//
// UnhookWindowsHookEx removes a hook from any thread, also from inside a hook procedure (the
// running call is unaffected, and a removed hook is not called again). Hooks of a thread that has
// ended are never called again. An exception thrown by a procedure propagates to the caller of
// the retrieval, and the message is lost. Installation and removal are thread-safe.
//
// On Windows one system thread hook per hooked thread runs this layer's chain of the procedures
// installed for it; the chain's end hands the key to the system's next hook. Inside the chain the
// key state includes the key, on every system. GetMessageExtraInfo and GetMessageTime there are
// the system's, not always those of the hooked key (under Wine they are the previous message's):
// on Linux they are the hooked key's, but nothing meant for both systems may decide on them. An
// exception cannot reach the retrieval's caller there (the system's frames lie between it and the
// retrieval): one that escapes is stopped at the chain's entry, and the key passes on.
#pragma once

#include "platform/user/user_types.h"

namespace quill::user {

struct HHOOK__;
using HHOOK = HHOOK__*;
using HINSTANCE = void*;
typedef LRESULT(CALLBACK* HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);

constexpr int WH_KEYBOARD = 2;
constexpr int HC_ACTION = 0;
constexpr int HC_NOREMOVE = 3;

constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;
constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;
constexpr DWORD ERROR_INVALID_FILTER_PROC = 1427;

// The hook's handle, or nil with the last error set.
HHOOK SetWindowsHookExA(int hookKind, HOOKPROC proc, HINSTANCE module, DWORD threadId);
// Calls the next hook after the one running on this thread and returns its result; 0 when there
// is none or no hook is running. `hook` is not consulted: the chain position is the thread's.
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
// FALSE with ERROR_INVALID_HOOK_HANDLE for a handle that is no installed hook.
BOOL UnhookWindowsHookEx(HHOOK hook);

namespace [[gnu::visibility("hidden")]] detail {
// The retrieval stage of the input list: keeps the thread's key state and runs its hooks.
bool KeyboardRetrievalStage(MSG& msg, bool removing, void* context);
} // namespace gnu::visibility("hidden")]]detail

} // namespace quill::user
