// The anchor for the capture's hook: the cost of delivering one keystroke through the input path
// and message retrieval with a WH_KEYBOARD hook that only passes the key on. A program that
// measures a real hook registers this beside its own benchmark, so both are measured in the same
// run. Each iteration types one key (key-down and key-up, so every key-down is a fresh press) and
// retrieves both messages; the time per iteration is the cost per key-down.
#pragma once

#include "platform/user/keyboard_hook.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"

#include <benchmark/benchmark.h>

namespace quill::bench {

inline user::LRESULT PassingKeyboardHook(int code, user::WPARAM key, user::LPARAM flags) {
    return user::CallNextHookEx(nullptr, code, key, flags);
}

// Types `key` once, as a keyboard does (with its scan code: the capture passes a key without one
// unexamined), and retrieves its two messages; false when either did not arrive.
inline bool DeliverKeystroke(user::BYTE key) {
    user::MSG msg{};
    const auto scanCode = static_cast<user::BYTE>(user::MapVirtualKeyA(key, user::MAPVK_VK_TO_VSC));
    user::keybd_event(key, scanCode, 0, 0);
    const bool down = user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE) != 0;
    benchmark::DoNotOptimize(msg);
    user::keybd_event(key, scanCode, user::KEYEVENTF_KEYUP, 0);
    const bool up = user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE) != 0;
    benchmark::DoNotOptimize(msg);
    return down && up;
}

// Measures keystrokes through retrieval with `hook` installed on the calling thread (nil: none).
inline void MeasureKeystrokes(benchmark::State& state, user::HOOKPROC hook) {
    user::MSG msg{};
    user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_NOREMOVE); // the thread's queue
    const user::DWORD previousFocus = user::SetFocusThread(user::GetCurrentThreadId());
    const user::HHOOK handle =
        hook ? user::SetWindowsHookExA(user::WH_KEYBOARD, hook, nullptr, user::GetCurrentThreadId())
             : nullptr;
    if (hook && !handle) state.SkipWithError("the keyboard hook could not be installed");
    for (auto _ : state)
        if (!DeliverKeystroke('K')) {
            state.SkipWithError("a key message did not arrive");
            break;
        }
    if (handle) user::UnhookWindowsHookEx(handle);
    user::SetFocusThread(previousFocus);
    state.SetItemsProcessed(state.iterations());
}

inline void KeyboardHookAnchor(benchmark::State& state) {
    MeasureKeystrokes(state, &PassingKeyboardHook);
}

} // namespace quill::bench
