// Keyboard hooks on Windows: one system thread hook per hooked thread, in front of a chain of the
// procedures installed for it (newest first), so that while they run the contract's view of the
// key holds on every system (win32/hooked_key.h). The system calls the chain inside the thread's
// message retrieval, as the contract describes; the chain's end hands the key to the system's
// next hook.
#include "platform/user/keyboard_hook.h"

#include "platform/user/hook_chain.h"
#include "platform/user/win32/hooked_key.h"
#include "platform/user/win32/user_system.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace quill::user {

namespace {

using detail::THook;
using detail::THookList;

// A thread's hooks and the system hook that runs them.
struct TChain {
    ::HHOOK System = nullptr;
    std::shared_ptr<const THookList> Hooks;
};

struct THookRegistry {
    std::mutex Lock;
    std::unordered_map<DWORD, TChain> Chains;
    detail::THookHandles Handles;
};

THookRegistry& Registry() {
    static THookRegistry* registry = new THookRegistry; // outlives threads that end during exit
    return *registry;
}

// The key the calling thread's chain runs for; nil outside one.
thread_local const win32::THookedKey* tHookedKey = nullptr;

// Past the chain's last procedure: the system's next hook.
LRESULT SystemNextHook(void* system, int code, WPARAM wParam, LPARAM lParam) {
    return ::CallNextHookEx(static_cast<::HHOOK>(system), code, wParam, lParam);
}

::LRESULT CALLBACK ChainEntry(int code, ::WPARAM wParam, ::LPARAM lParam) {
    std::shared_ptr<const THookList> hooks;
    ::HHOOK system = nullptr;
    {
        THookRegistry& registry = Registry();
        std::lock_guard guard(registry.Lock);
        if (const auto it = registry.Chains.find(::GetCurrentThreadId());
            it != registry.Chains.end()) {
            hooks = it->second.Hooks;
            system = it->second.System;
        }
    }
    if (code < 0 || !hooks) return ::CallNextHookEx(system, code, wParam, lParam);
    const win32::THookedKey key{wParam, lParam};
    struct TRestore {
        const win32::THookedKey* Saved;
        ~TRestore() { tHookedKey = Saved; }
    } restore{tHookedKey};
    tHookedKey = &key;
    try {
        return detail::RunHookChain(*hooks, code, wParam, lParam, &SystemNextHook, system);
    } catch (...) {
        // It must not cross the system's frames, which would end the process: a procedure that
        // fails passes the key on.
        return ::CallNextHookEx(system, code, wParam, lParam);
    }
}

} // namespace

namespace win32 {

const THookedKey* HookedKey() {
    return tHookedKey;
}

} // namespace win32

HHOOK SetWindowsHookExA(int hookKind, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
    if (!detail::HookAllowed(hookKind, proc, threadId)) return nullptr;
    if (threadId == ::GetCurrentThreadId()) win32::EnsureQueue();
    auto hook = std::make_shared<THook>();
    hook->Proc = proc;
    hook->ThreadId = threadId;

    THookRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    TChain& chain = registry.Chains[threadId];
    if (!chain.System) {
        chain.System = ::SetWindowsHookExA(WH_KEYBOARD, &ChainEntry,
                                           static_cast<::HINSTANCE>(module), threadId);
        if (!chain.System) {
            const ::DWORD error = ::GetLastError();
            registry.Chains.erase(threadId);
            ::SetLastError(error);
            return nullptr;
        }
    }
    chain.Hooks = detail::WithHook(hook, chain.Hooks.get());
    return registry.Handles.Add(std::move(hook));
}

BOOL UnhookWindowsHookEx(HHOOK handle) {
    THookRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    const std::shared_ptr<THook> hook = registry.Handles.Take(handle);
    if (!hook) return FALSE;
    if (const auto chain = registry.Chains.find(hook->ThreadId); chain != registry.Chains.end()) {
        if (auto rest = detail::WithoutHook(*chain->second.Hooks, *hook)) {
            chain->second.Hooks = std::move(rest);
        } else {
            ::UnhookWindowsHookEx(chain->second.System);
            registry.Chains.erase(chain);
        }
    }
    return TRUE;
}

} // namespace quill::user
