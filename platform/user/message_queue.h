// Message queues: one per thread, with posting, sending, retrieval and dispatch.
//
// A thread's queue is made on its first use of these services (or of windows and timers) and goes
// away when the thread ends; its windows go with it. Posting is safe from any thread. A message
// posted to a window that no longer exists, or to a thread that has ended or never had a queue,
// is refused (FALSE, last error set) and never delivered; a message already queued for a window
// that is destroyed before retrieval is dropped.
//
// Retrieval order, as on the platform: messages sent from other threads are handled first (their
// window procedure runs inside the retrieving call), then posted messages in order, then input
// messages (keystrokes from the input path), then the quit request, then due timers (WM_TIMER is
// made when it is retrieved, at most one per timer per expiry). GetMessage waits until something
// arrives or the next timer is due, through the installed clock (clock.h): with the virtual clock
// it jumps to the timer's time instead of waiting.
//
// Before a message is returned it passes the thread's retrieval stages, in the order they were
// added: a stage may change the message or discard it (returning true), and a discarded message
// is removed even by PM_NOREMOVE. The keyboard hooks and the key state are such stages. Stages,
// window procedures and timer procedures run with no lock held and may call these services.
//
// SendMessage to a window of another thread waits until that thread retrieves messages; while
// waiting, the sender handles messages sent to itself, so two threads sending to each other do not
// deadlock. If the receiving thread ends first, the result is 0. Exceptions from a window
// procedure propagate to the caller of DispatchMessage or of a same-thread SendMessage; for a
// message sent from another thread they are swallowed (the sender gets 0).
#pragma once

#include "platform/kernel/named_mutex.h"
#include "platform/user/user_types.h"

namespace quill::user {

DWORD GetCurrentThreadId();

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// `hwnd` nil: any message of the thread; a window: that window's; HWND(-1): thread messages only.
// `filterMin` = `filterMax` = 0: every message number. TRUE when a message was retrieved.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
// 0 for WM_QUIT, -1 for a nil `msg` or a window filter that is no window, otherwise nonzero.
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
// Waits until the calling thread has a message to retrieve - sent, posted, input, a quit request
// or a due timer - or `milliseconds` have passed (kernel::INFINITE: no limit). Returns
// kernel::WAIT_OBJECT_0 + `count` when a message is there, kernel::WAIT_TIMEOUT when the time has
// passed. `waitAll` and `wakeMask` are not consulted.
//
// Without handles (`count` 0, `handles` nil) the wait follows the installed clock: with the
// virtual clock (clock.h) it moves the clock to the deadline or to the next timer's expiry,
// whichever comes first, so a caller can step an event loop through virtual time.
//
// With handles, they are wait handles of the input services (the standard input of console.h, an
// input device of input_device.h): the wait also ends when one of them has input, its end or an
// error, and returns kernel::WAIT_OBJECT_0 + the index of the first such handle, before messages.
// This wait is in real time (a virtual clock does not move during it). Messages the thread
// placed in its own queue count as there. WAIT_FAILED with ERROR_INVALID_HANDLE for a handle of
// another kind (or closed), with ERROR_INVALID_PARAMETER for `count` above 63 or nil `handles`.
// On Windows this is the system's wait, and the handles are the system's.
DWORD MsgWaitForMultipleObjects(DWORD count, const kernel::HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD QS_ALLINPUT = 0x04FF;

// Calls the window procedure (or, for WM_TIMER with a timer procedure, that procedure). A message
// for a window that no longer exists is dropped: 0.
LRESULT DispatchMessageA(const MSG* msg);
// For a key-down: asks the installed key translator for the character and posts WM_CHAR (or
// WM_SYSCHAR) for it. For a key-up (the release of Alt that ends an Alt code): posts WM_CHAR for
// the character the translator gives. FALSE when the message is no key message, no translator is
// installed, or it gives no character.
BOOL TranslateMessage(const MSG* msg);

// The extra-information word and the time of the last message the thread retrieved.
ULONG_PTR GetMessageExtraInfo();
LONG GetMessageTime();

#ifndef _WIN32
// ---- Stages for the input path ----
// The stand-in's own machinery: on Windows the system's input thread, its keyboard hooks and its
// TranslateMessage do this work, and these are not offered.

// Called for each message about to be returned; `removing` tells whether the retrieval removes it.
// Returns true to discard the message.
using RetrievalStage = bool (*)(MSG& msg, bool removing, void* context);
// Adds a stage to the calling thread's queue; the same (stage, context) pair is added once.
void AddRetrievalStage(RetrievalStage stage, void* context);
void RemoveRetrievalStage(RetrievalStage stage, void* context);

// The process's stage for input messages: called before the thread's own stages for each message
// from the input list about to be returned (the keyboard services keep the thread's key state and
// run the keyboard hooks there), with a nil context. Installs `stage` (nil: none); returns the
// previous one.
RetrievalStage SetInputStage(RetrievalStage stage);

// Converts a key message into a character for TranslateMessage: returns 1 and sets `character`,
// or 0.
using KeyTranslator = int (*)(const MSG& keyMessage, char16_t* character);
// Installs the process's translator (nil: none). Returns the previous one.
KeyTranslator SetKeyTranslator(KeyTranslator translator);

// Places a message in the input list of thread `threadId`'s queue, after the input already there
// (the input path's keystrokes go here, behind posted messages). FALSE when the thread has no
// queue.
BOOL PostInputMessage(DWORD threadId, const MSG& msg);
#endif

} // namespace quill::user
